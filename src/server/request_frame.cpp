#include "server/request_frame.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace RequestFrame {

// Part of the protocol: the server and every client use these values.
const std::array<std::uint8_t, 10> kHeadCover = {0x5B, 0xC4, 0x17, 0x8E, 0x33,
                                                 0xF1, 0x6A, 0x29, 0xD7, 0x90};

namespace {

constexpr int kGroupLength = 6;

std::uint8_t Byte(const std::string& s, int index) {
    return static_cast<std::uint8_t>(s[static_cast<std::size_t>(index)]);
}

void Set(std::string& s, int index, int value) {
    s[static_cast<std::size_t>(index)] = static_cast<char>(static_cast<std::uint8_t>(value));
}

// Key byte g sits in group g at the offset its selector names.
void CollectKey(const std::string& frame, const int selectors[4],
                std::array<std::uint8_t, kKeyLength>& key) {
    for (int g = 0; g < kKeyLength; ++g)
        key[static_cast<std::size_t>(g)] = Byte(frame, 8 + kGroupLength * g + selectors[g % 4]);
}

constexpr char kOnAnotherConnection[] = " on another connection; a lost one is closed within ";
constexpr char kSeconds[] = " seconds";

}  // namespace

std::string LockedOnAnotherConnection(int deadPeerSeconds) {
    return kOnAnotherConnection + std::to_string(deadPeerSeconds) + kSeconds;
}

int DeadPeerSecondsOf(const std::string& refusal) {
    const std::string tail = kSeconds;
    const std::size_t at = refusal.rfind(kOnAnotherConnection);
    if (at == std::string::npos || refusal.size() < tail.size() ||
        refusal.compare(refusal.size() - tail.size(), tail.size(), tail) != 0)
        return 0;
    const std::size_t from = at + sizeof kOnAnotherConnection - 1;
    const std::size_t digits = refusal.size() - tail.size() - from;
    if (digits == 0 || digits > 6) return 0;
    int seconds = 0;
    for (std::size_t i = from; i < from + digits; ++i) {
        if (refusal[i] < '0' || refusal[i] > '9') return 0;
        seconds = seconds * 10 + (refusal[i] - '0');
    }
    return seconds;
}

void PutLong(std::string& frame, int pos, std::int32_t value) {
    if (pos < 0 || static_cast<long long>(frame.size()) < static_cast<long long>(pos) + 4) return;
    std::uint32_t v = static_cast<std::uint32_t>(value);
    // The top byte of a negative value is not positive when masked: 0.
    Set(frame, pos, value < 0 ? 0 : static_cast<int>((v >> 24) & 0xFF));
    Set(frame, pos + 1, static_cast<int>((v >> 16) & 0xFF));
    Set(frame, pos + 2, static_cast<int>((v >> 8) & 0xFF));
    Set(frame, pos + 3, static_cast<int>(v & 0xFF));
}

std::int32_t GetLong(const std::string& frame, int pos) {
    if (pos < 0 || static_cast<long long>(frame.size()) < static_cast<long long>(pos) + 4) return 0;
    if (Byte(frame, pos) >= 128) return 0;
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(Byte(frame, pos)) << 24) |
                                     (static_cast<std::uint32_t>(Byte(frame, pos + 1)) << 16) |
                                     (static_cast<std::uint32_t>(Byte(frame, pos + 2)) << 8) |
                                     Byte(frame, pos + 3));
}

void Scramble(std::string& frame, int length, std::mt19937& random) {
    if (length <= kHeadLength || static_cast<std::size_t>(length) > frame.size()) return;
    std::uniform_int_distribution<int> selector(0, kGroupLength - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    int selectors[4];
    for (int i = 0; i < 4; ++i) {
        selectors[i] = selector(random);
        Set(frame, 4 + i, selectors[i]);
    }
    for (int p = 8; p < kHeadLength; ++p) Set(frame, p, byte(random));
    std::array<std::uint8_t, kKeyLength> key{};
    CollectKey(frame, selectors, key);
    for (int p = 4; p < kHeadLength; ++p) Set(frame, p, Byte(frame, p) + kHeadCover[(p - 4) % 10]);
    for (int p = kHeadLength; p < length; ++p)
        Set(frame, p,
            Byte(frame, p) + key[static_cast<std::size_t>((p - kHeadLength) % kKeyLength)]);
}

bool Unscramble(std::string& frame, int length) {
    if (length <= kHeadLength || static_cast<std::size_t>(length) > frame.size()) return false;
    for (int p = 4; p < kHeadLength; ++p) Set(frame, p, Byte(frame, p) - kHeadCover[(p - 4) % 10]);
    int selectors[4];
    for (int i = 0; i < 4; ++i) {
        selectors[i] = Byte(frame, 4 + i);
        if (selectors[i] >= kGroupLength) return false;
    }
    std::array<std::uint8_t, kKeyLength> key{};
    CollectKey(frame, selectors, key);
    for (int p = kHeadLength; p < length; ++p)
        Set(frame, p,
            Byte(frame, p) - key[static_cast<std::size_t>((p - kHeadLength) % kKeyLength)]);
    return true;
}

std::string Build(const std::string& payload, std::mt19937& random) {
    std::string frame(kHeadLength, '\0');
    frame += payload;
    int length = static_cast<int>(frame.size());
    PutLong(frame, 0, length);
    Scramble(frame, length, random);
    return frame;
}

std::string BuildRequest(const std::string& command, std::mt19937& random) {
    std::string payload = command;
    payload.push_back('\0');
    return Build(payload, random);
}

std::mt19937 SeededRandom() {
    std::random_device device;
    std::seed_seq seed{
        device(), device(),
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    return std::mt19937(seed);
}

namespace {

// Small reads are gathered into pieces of up to this, so that a trickle
// costs no more than the bytes it sends.
constexpr std::size_t kPieceLength = 64 * 1024;

}  // namespace

void FrameReader::Feed(const char* data, std::size_t length) {
    if (length == 0) return;
    if (!pieces_.empty() && pieces_.back().size() + length <= kPieceLength)
        pieces_.back().append(data, length);
    else
        pieces_.emplace_back(data, length);
    buffered_ += length;
}

void FrameReader::Take(char* out, std::size_t length, bool peek) {
    std::size_t start = start_;
    for (auto piece = pieces_.begin(); length > 0;) {
        const std::size_t n = std::min(length, piece->size() - start);
        std::copy_n(piece->data() + start, n, out);
        out += n;
        length -= n;
        start += n;
        if (start < piece->size()) break;
        start = 0;
        if (peek) {
            ++piece;
        } else {
            pieces_.pop_front();
            piece = pieces_.begin();
        }
    }
    if (!peek) start_ = start;
}

FrameReader::Status FrameReader::Next(std::string& payload) {
    if (buffered_ < 4) return Status::kNeedMore;
    unsigned char head[4];
    Take(reinterpret_cast<char*>(head), 4, true);
    std::uint32_t length = (static_cast<std::uint32_t>(head[0]) << 24) |
                           (static_cast<std::uint32_t>(head[1]) << 16) |
                           (static_cast<std::uint32_t>(head[2]) << 8) | head[3];
    if (length <= static_cast<std::uint32_t>(kHeadLength) ||
        length > static_cast<std::uint32_t>(kMaxFrameLength))
        return Status::kBad;
    if (buffered_ < length) return Status::kNeedMore;
    std::string frame(length, '\0');
    Take(frame.data(), length, false);
    buffered_ -= length;
    if (!Unscramble(frame, static_cast<int>(length))) return Status::kBad;
    frame.erase(0, kHeadLength);
    payload = std::move(frame);
    return Status::kFrame;
}

}  // namespace RequestFrame
