#pragma once
// The frames two peers of the message layer exchange over a local socket.
//
//   frame   = length (4 bytes, most significant first) + body (length bytes)
//   body    = kind (1 byte) + fields
//   field   = length (4 bytes, most significant first) + bytes
//
// Kinds and their fields:
//   'L' link      client: protocol version ("1"), application, topic
//   'A' accept    server: application, topic (its own spelling)
//   'X' execute   client: text
//   'P' poke      client: item, text
//   'F' front     client: no fields (a second instance asks the first to come forward)
//   'R' result    server: "1" or "0", error number (decimal), description
// Every client frame after the link is answered by exactly one result.
// Anything else (an unknown kind, a field running past the body, bytes left
// over, a body above kMaxDdeBody) is malformed and ends the connection.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr std::uint32_t kMaxDdeBody = 1u << 20;
inline constexpr const char* kDdeProtocolVersion = "1";

enum class DdeFrameKind : char {
    Link = 'L',
    Accept = 'A',
    Execute = 'X',
    Poke = 'P',
    Front = 'F',
    Result = 'R',
};

struct DdeFrame {
    DdeFrameKind kind = DdeFrameKind::Result;
    std::vector<std::string> fields;
};

std::string EncodeDdeFrame(const DdeFrame& frame);

// Reads frames off the front of a receive buffer as bytes arrive.
class DdeFrameReader {
  public:
    void Append(const char* data, size_t size) { buffer_.append(data, size); }
    // The next whole frame, removed from the buffer; nullopt when more bytes
    // are needed or the input is malformed (then Malformed() holds for good).
    std::optional<DdeFrame> Next();
    bool Malformed() const { return malformed_; }

  private:
    std::string buffer_;
    bool malformed_ = false;
};

// The field count a well-formed frame of each kind carries.
int DdeFieldCount(DdeFrameKind kind);

}  // namespace platform
