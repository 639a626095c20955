#include "server/request_frame.h"

#include <gtest/gtest.h>

#include "server/encrypted_socket.h"

namespace {

std::string PlainFrame(const std::string& payload) {
    std::string frame(RequestFrame::kHeadLength, '\0');
    frame += payload;
    RequestFrame::PutLong(frame, 0, static_cast<std::int32_t>(frame.size()));
    return frame;
}

std::string Payload(std::size_t length, unsigned seed) {
    std::string s(length, '\0');
    for (std::size_t i = 0; i < length; ++i) s[i] = static_cast<char>((i * 131 + seed) & 0xFF);
    return s;
}

TEST(RequestFrame, RoundTripsAtTheHeadBoundaryAndBeyond) {
    std::mt19937 random(7);
    for (int length : {201, 232, 233, 4096, 3 * 1024 * 1024 + 17}) {
        std::string payload = Payload(static_cast<std::size_t>(length - 200), length);
        std::string frame = PlainFrame(payload);
        std::string scrambled = frame;
        RequestFrame::Scramble(scrambled, length, random);
        EXPECT_EQ(scrambled.substr(0, 4), frame.substr(0, 4)) << "length is never scrambled";
        EXPECT_NE(scrambled.substr(200), payload) << length;
        ASSERT_TRUE(RequestFrame::Unscramble(scrambled, length));
        EXPECT_EQ(scrambled.substr(200), payload) << length;
    }
}

TEST(RequestFrame, FramesOf200BytesOrLessStayUnchanged) {
    std::mt19937 random(1);
    std::string frame(200, 'x');
    RequestFrame::PutLong(frame, 0, 200);
    std::string copy = frame;
    RequestFrame::Scramble(copy, 200, random);
    EXPECT_EQ(copy, frame);
}

TEST(RequestFrame, LoneNulOfAnEmptyCommandIsScrambled) {
    EncryptedSocket socket;
    std::string frame = PlainFrame(std::string(1, '\0'));
    bool changed = false;
    for (int i = 0; i < 8 && !changed; ++i) {
        std::string copy = frame;
        socket.SOCK_EString(copy, 201);
        changed = copy[200] != '\0';
    }
    EXPECT_TRUE(changed);
}

TEST(RequestFrame, SameCommandScrambledTwiceDiffersAndBothUnscramble) {
    EncryptedSocket socket;
    std::string frame = PlainFrame(std::string("TALQGetVersion") + '\0');
    std::string a = frame, b = frame;
    socket.SOCK_EString(a, static_cast<int>(a.size()));
    socket.SOCK_EString(b, static_cast<int>(b.size()));
    EXPECT_NE(a, b);
    socket.SOCK_DString(a, static_cast<int>(a.size()));
    socket.SOCK_DString(b, static_cast<int>(b.size()));
    EXPECT_EQ(a.substr(200), frame.substr(200));
    EXPECT_EQ(b.substr(200), frame.substr(200));
}

TEST(RequestFrame, TenCharacterCommandMakesFrameOf211WithTrailingNul) {
    std::mt19937 random(3);
    std::string frame = RequestFrame::BuildRequest("ABCDEFGHIJ", random);
    ASSERT_EQ(frame.size(), 211u);
    EXPECT_EQ(RequestFrame::GetLong(frame, 0), 211);
    ASSERT_TRUE(RequestFrame::Unscramble(frame, 211));
    EXPECT_EQ(frame.substr(200), std::string("ABCDEFGHIJ") + '\0');
}

TEST(RequestFrame, SelectorsOutOfRangeLeavePayloadScrambled) {
    std::mt19937 random(5);
    std::string frame = RequestFrame::Build("payload", random);
    // Selector 0 uncovers to 6.
    frame[4] = static_cast<char>(6 + RequestFrame::kHeadCover[0]);
    std::string before = frame.substr(200);
    EXPECT_FALSE(RequestFrame::Unscramble(frame, static_cast<int>(frame.size())));
    EXPECT_EQ(frame.substr(200), before);
    EXPECT_EQ(static_cast<unsigned char>(frame[4]), 6);
}

TEST(RequestFrame, PutLongAndGetLong) {
    std::string frame(8, '\0');
    RequestFrame::PutLong(frame, 0, 300);
    EXPECT_EQ(frame.substr(0, 4), std::string("\0\0\x01\x2C", 4));
    EXPECT_EQ(RequestFrame::GetLong(frame, 0), 300);
    EXPECT_EQ(RequestFrame::GetLong(std::string(3, '\x01'), 0), 0);
    RequestFrame::PutLong(frame, 4, -1);
    EXPECT_EQ(frame.substr(4), std::string("\0\xFF\xFF\xFF", 4))
        << "a negative value writes 0 first";
    std::string high("\x80\0\0\x01", 4);
    EXPECT_EQ(RequestFrame::GetLong(high, 0), 0);
    std::string shortFrame(5, '\0');
    RequestFrame::PutLong(shortFrame, 2, 300);
    EXPECT_EQ(shortFrame, std::string(5, '\0')) << "nothing written past the end";
}

TEST(FrameReader, ReassemblesFramesFedByteByByteAndBackToBack) {
    std::mt19937 random(11);
    std::string stream =
        RequestFrame::Build("first", random) + RequestFrame::Build("second", random);
    RequestFrame::FrameReader reader;
    std::vector<std::string> got;
    std::string payload;
    for (char c : stream) {
        reader.Feed(&c, 1);
        while (reader.Next(payload) == RequestFrame::FrameReader::Status::kFrame)
            got.push_back(payload);
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], "first");
    EXPECT_EQ(got[1], "second");
}

TEST(FrameReader, RefusesLengthsOutsideTheFrameRange) {
    for (std::uint32_t length :
         {0u, 4u, 200u, static_cast<std::uint32_t>(RequestFrame::kMaxFrameLength) + 1u,
          0xFFFFFFFFu}) {
        std::string head = {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                            static_cast<char>(length >> 8), static_cast<char>(length)};
        RequestFrame::FrameReader reader;
        reader.Feed(head.data(), head.size());
        std::string payload;
        EXPECT_EQ(reader.Next(payload), RequestFrame::FrameReader::Status::kBad) << length;
    }
}

// A long randomised run in place of a fuzzer: any bytes, cut anywhere, never
// crash the reader, and every valid frame comes out whole.
TEST(FrameReader, SurvivesRandomStreams) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255), pick(0, 9), cut(1, 700);
    for (int round = 0; round < 3000; ++round) {
        std::string stream;
        std::vector<std::string> expected;
        bool corrupt = false;
        for (int f = 0; f < 3; ++f) {
            std::string payload(static_cast<std::size_t>(cut(random)), '\0');
            for (char& c : payload) c = static_cast<char>(byte(random));
            std::string frame = RequestFrame::Build(payload, random);
            if (pick(random) == 0) {
                frame[static_cast<std::size_t>(byte(random)) % frame.size()] =
                    static_cast<char>(byte(random));
                corrupt = true;
            }
            stream += frame;
            expected.push_back(payload);
        }
        RequestFrame::FrameReader reader;
        std::vector<std::string> got;
        std::size_t pos = 0;
        bool bad = false;
        while (pos < stream.size() && !bad) {
            std::size_t n =
                std::min<std::size_t>(static_cast<std::size_t>(cut(random)), stream.size() - pos);
            reader.Feed(stream.data() + pos, n);
            pos += n;
            std::string payload;
            RequestFrame::FrameReader::Status status;
            while ((status = reader.Next(payload)) == RequestFrame::FrameReader::Status::kFrame)
                got.push_back(payload);
            bad = status == RequestFrame::FrameReader::Status::kBad;
        }
        if (!corrupt) {
            EXPECT_FALSE(bad);
            EXPECT_EQ(got, expected);
        }
    }
}

}  // namespace
