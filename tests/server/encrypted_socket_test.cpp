#include "server/encrypted_socket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "foundation/mod_registry.h"
#include "server/request_frame.h"
#include "server/winsock_api.h"

class EncryptedSocketTestPeer {
  public:
    static void Reserve(EncryptedSocket& s) { s.ReserveLocalPort(); }
    static void Release(EncryptedSocket& s) { s.ReleaseLocalPort(); }
};

namespace {

std::string PortList() {
    return modRegistry::RegGetString(modRegistry::HKEY_CURRENT_USER, kPortListKey, kPortListValue);
}
void SetPortList(const std::string& list) {
    modRegistry::RegSetVolatileString(modRegistry::HKEY_CURRENT_USER, kPortListKey, kPortListValue,
                                      list);
}

// The socket reads one end of a socket pair; the test writes the other.
class QueryDataTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(modWinsockAPI::InitWinsock());
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair_), 0);
        socket_.Socket = pair_[0];
        socket_.State = 7;
    }
    void TearDown() override {
        if (pair_[1] >= 0) ::close(pair_[1]);
    }
    void Write(const std::string& bytes) {
        ASSERT_EQ(::send(pair_[1], bytes.data(), bytes.size(), 0),
                  static_cast<ssize_t>(bytes.size()));
    }
    void ClosePeer() {
        ::close(pair_[1]);
        pair_[1] = -1;
    }
    // Polls until the socket reports something other than "nothing waiting".
    int Poll() {
        for (int i = 0; i < 1000; ++i) {
            int r = socket_.QueryData();
            if (r != 0) return r;
            usleep(1000);
        }
        return 0;
    }
    std::string Reply(const std::string& payload) { return RequestFrame::Build(payload, random_); }

    int pair_[2] = {-1, -1};
    EncryptedSocket socket_;
    std::mt19937 random_{99};
};

TEST_F(QueryDataTest, LargeReplyArrivesInSeveralReceives) {
    std::string payload(19800, 'r');
    Write(Reply(payload));
    std::vector<int> results;
    int r;
    while ((r = Poll()) == 2) results.push_back(r);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(results.size(), 2u) << "8192-byte receives";
    EXPECT_EQ(socket_.DataLen, 19800);
    EXPECT_EQ(socket_.Data, payload);
}

TEST_F(QueryDataTest, FirstReceiveOfFewerThanFourBytesIsReassembled) {
    std::string frame = Reply("short reply");
    Write(frame.substr(0, 3));
    EXPECT_EQ(Poll(), 2);
    Write(frame.substr(3, 1));
    EXPECT_EQ(Poll(), 2);
    Write(frame.substr(4));
    EXPECT_EQ(Poll(), 1);
    EXPECT_EQ(socket_.Data, "short reply");
}

TEST_F(QueryDataTest, BytesAfterTheFrameAreNotPartOfTheReply) {
    Write(Reply("answer") + "TRAILING");
    EXPECT_EQ(Poll(), 1);
    EXPECT_EQ(socket_.Data, "answer");
    EXPECT_EQ(socket_.DataLen, 6);
}

TEST_F(QueryDataTest, UndecodableSelectorsFailTheReply) {
    std::string frame = Reply("secret");
    frame[5] = static_cast<char>(9 + RequestFrame::kHeadCover[1]);
    Write(frame);
    EXPECT_EQ(Poll(), -1);
    EXPECT_EQ(socket_.DataLen, -1);
    EXPECT_EQ(socket_.Data, "");
}

TEST_F(QueryDataTest, OversizedOrTooShortLengthFailsAtOnce) {
    std::string head("\x7F\xFF\xFF\xFF", 4);
    Write(head + std::string(100, 'x'));
    EXPECT_EQ(Poll(), -1);
    EXPECT_EQ(socket_.DataLen, -1);
    std::string tiny("\0\0\0\x10", 4);
    Write(tiny + std::string(12, 'x'));
    EXPECT_EQ(Poll(), -1);
    EXPECT_EQ(socket_.DataLen, -1);
}

TEST_F(QueryDataTest, PeerClosingMidReplyIsBadDataAndBeforeItALostSocket) {
    std::string frame = Reply(std::string(500, 'p'));
    Write(frame.substr(0, 300));
    EXPECT_EQ(Poll(), 2);
    ClosePeer();
    EXPECT_EQ(Poll(), -1);
    EXPECT_EQ(socket_.DataLen, -1);
}

TEST_F(QueryDataTest, PeerClosingBeforeAnyReplyByteIsALostSocket) {
    ClosePeer();
    EXPECT_EQ(Poll(), -1);
    EXPECT_EQ(socket_.DataLen, 0);
    EXPECT_EQ(socket_.Data, "");
}

// Random replies cut at random places always come back whole.
TEST_F(QueryDataTest, RandomPiecesAlwaysReassemble) {
    std::mt19937 random(4242);
    std::uniform_int_distribution<int> size(1, 30000), cut(1, 9000), byte(0, 255);
    for (int round = 0; round < 60; ++round) {
        std::string payload(static_cast<std::size_t>(size(random)), '\0');
        for (char& c : payload) c = static_cast<char>(byte(random));
        std::string frame = Reply(payload);
        std::size_t pos = 0;
        int r = 0;
        while (pos < frame.size() && r != -1) {
            std::size_t n = std::min(frame.size() - pos, static_cast<std::size_t>(cut(random)));
            Write(frame.substr(pos, n));
            pos += n;
            r = socket_.QueryData();
        }
        while (r == 0 || r == 2) r = Poll();
        ASSERT_EQ(r, 1) << round;
        ASSERT_TRUE(socket_.Data == payload) << round;
    }
}

TEST(EncryptedSocketSend, PartlyTakenFrameIsNeverSentAgainFromItsStart) {
    ASSERT_TRUE(modWinsockAPI::InitWinsock());
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    int small = 4096;
    ::setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    platform::SetNonBlockingMode(pair[0], true);
    std::thread reader([&] {
        char buffer[10000];
        std::size_t got = 0;
        while (got < sizeof buffer) {
            ssize_t n = ::recv(pair[1], buffer, sizeof buffer - got, 0);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        ::close(pair[1]);
    });
    EncryptedSocket s;
    s.Socket = pair[0];
    s.State = 7;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(s.SendData(std::string(4 * 1024 * 1024, 'f')), -1);
    reader.join();
    EXPECT_TRUE(s.PartlySent());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900))
        << "no waits for attempts that would corrupt the stream";
}

TEST(EncryptedSocketPorts, ReservesTheFirstFreePortAndReleasesOnlyItsOwn) {
    SetPortList("5000|5001");
    EncryptedSocket a;
    a.LocalPortBase = 5000;
    EncryptedSocketTestPeer::Reserve(a);
    EXPECT_EQ(a.LocalPort, 5002);
    EXPECT_EQ(PortList(), "5000|5001|5002");
    EncryptedSocket b;
    b.LocalPort = 5001;
    EncryptedSocketTestPeer::Release(b);
    EXPECT_EQ(PortList(), "5000|5002");
    EXPECT_EQ(b.LocalPort, 0);
    EncryptedSocketTestPeer::Release(a);
    EXPECT_EQ(PortList(), "5000");
}

TEST(EncryptedSocketPorts, TenTakenPortsGiveBasePlusTenAndBaseZeroWritesNothing) {
    std::string list;
    for (int p = 6000; p < 6010; ++p) list += (list.empty() ? "" : "|") + std::to_string(p);
    SetPortList(list);
    EncryptedSocket a;
    a.LocalPortBase = 6000;
    EncryptedSocketTestPeer::Reserve(a);
    EXPECT_EQ(a.LocalPort, 6010);
    EXPECT_EQ(PortList(), list + "|6010");
    EncryptedSocket b;
    EncryptedSocketTestPeer::Reserve(b);
    EXPECT_EQ(b.LocalPort, 0);
    EXPECT_EQ(PortList(), list + "|6010");
    EncryptedSocketTestPeer::Release(a);
}

TEST(EncryptedSocketBind, LoopbackSourceForARemoteServerBindsAnyAddress) {
    EXPECT_EQ(BindAddressFor("127.0.1.1", "192.0.2.10"), "0.0.0.0");
    EXPECT_EQ(BindAddressFor("127.0.1.1", "127.0.0.1"), "127.0.1.1");
    EXPECT_EQ(BindAddressFor("192.0.2.5", "192.0.2.10"), "192.0.2.5");
    EXPECT_EQ(BindAddressFor("", "192.0.2.10"), "0.0.0.0");
}

TEST(EncryptedSocketState, RefusesToConnectUnlessOpen) {
    ASSERT_TRUE(modWinsockAPI::InitWinsock());
    EncryptedSocket s;
    EXPECT_EQ(s.AttemptConnection(), -1);
    EXPECT_EQ(s.SocketOpen(1, 6), 0);
    EXPECT_EQ(s.State, 0);
    EXPECT_EQ(s.SocketOpen(1, 6), -1) << "a held socket is not opened again";
    EXPECT_EQ(s.SocketClose(), 0);
    EXPECT_EQ(s.Socket, -1);
    EXPECT_EQ(s.State, -1);
}

}  // namespace
