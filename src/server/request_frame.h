#pragma once
// The frame both ends of the wire exchange: four bytes of total length (most
// significant first, never scrambled), a 196-byte head holding four
// selectors and a 32-byte key among random filler, then the payload
// scrambled with the key. The client and the document server share this
// one definition.

#include <array>
#include <cstdint>
#include <deque>
#include <random>
#include <string>

namespace RequestFrame {

inline constexpr int kHeadLength = 200;
inline constexpr int kKeyLength = 32;
// Longest frame either end accepts; a longer announced length is bad data.
inline constexpr int kMaxFrameLength = 64 * 1024 * 1024;

// Before its login a connection may send no larger frame than a login
// needs, so a stranger cannot make the server hold more.
inline constexpr int kMaxFrameBeforeLogin = 16 * 1024;
// What a login carries besides its password: "TALQRequiredLogin," user ","
// password ",," domain "," client code ",8.6,1" and the NUL.
inline constexpr int kMaxUserIdLength = 128;
inline constexpr int kMaxDomainLength = 255;
inline constexpr int kLoginFixedLength = 18 + 1 + 2 + 1 + 6 + 6 + 1;  // client code "-32768"
// A longer password could be set but never sent in a login.
inline constexpr int kMaxPasswordLength =
    kMaxFrameBeforeLogin - kHeadLength - kLoginFixedLength - kMaxUserIdLength - kMaxDomainLength;
static_assert(kMaxPasswordLength == 15766);

// The replies to a session the server ended, its user's password changed or
// the user disabled: the connection closes after either, and the client
// gives the login again.
inline constexpr char kSessionEnded[] = "ERROR: Password Changed, Log In Again";
inline constexpr char kUserDisabled[] = "ERROR: User Disabled, Session Ended";
inline bool EndsSession(const std::string& reply) {
    return reply == kSessionEnded || reply == kUserDisabled;
}

// How long the server takes at most to close a connection whose peer went
// without a close (its network lost), unless started with another time.
inline constexpr int kDeadPeerSeconds = 60;
// What follows "ERROR: Page Locked by " and the user when the server refuses
// a page lock that another of its own connections of the same user holds:
// maybe the asker's own, lost, which it closes within the time it names.
std::string LockedOnAnotherConnection(int deadPeerSeconds);
// The time such a refusal names; 0 for any other text.
int DeadPeerSecondsOf(const std::string& refusal);

// Added to the head bytes (positions 5 to 200) before sending.
extern const std::array<std::uint8_t, 10> kHeadCover;

// Four bytes at 1-based positions pos+1..pos+4; nothing when the frame is
// shorter. A negative value writes 0 as its first byte.
void PutLong(std::string& frame, int pos, std::int32_t value);
// 0 when the frame is too short or the first byte is 128 or more.
std::int32_t GetLong(const std::string& frame, int pos);

// Scrambles frame[0, length) in place; frames under 201 bytes stay as they are.
void Scramble(std::string& frame, int length, std::mt19937& random);
// Undoes Scramble. False when a selector is out of range: the head is then
// uncovered and the payload left scrambled.
bool Unscramble(std::string& frame, int length);

// A whole scrambled frame around a payload (a request's payload is the
// command and one NUL).
std::string Build(const std::string& payload, std::mt19937& random);
std::string BuildRequest(const std::string& command, std::mt19937& random);

// A generator seeded from the system's entropy.
std::mt19937 SeededRandom();

// Collects frames from a byte stream that arrives in pieces of any size.
// A frame begun holds the pieces read so far, and nothing of it stays once
// it is whole: a growing string would hold up to twice what came, and keep it.
class FrameReader {
  public:
    enum class Status { kNeedMore, kFrame, kBad };
    // Appends bytes; then call Next until it asks for more.
    void Feed(const char* data, std::size_t length);
    // kFrame: payload holds the unscrambled payload (bytes after the head).
    // kBad: the stream cannot be read further (length out of range or
    // selectors that do not decode); the connection should end.
    Status Next(std::string& payload);
    std::size_t Buffered() const { return buffered_; }
    // Drops whatever is buffered, and the memory it held.
    void Reset() {
        pieces_.clear();
        start_ = 0;
        buffered_ = 0;
    }

  private:
    // Moves the next length bytes to out, or copies them when peek.
    void Take(char* out, std::size_t length, bool peek);

    std::deque<std::string> pieces_;
    std::size_t start_ = 0;  // bytes of the first piece already taken
    std::size_t buffered_ = 0;
};

}  // namespace RequestFrame
