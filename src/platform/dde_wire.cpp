#include "platform/dde_wire.h"

namespace platform {
namespace {

void PutLength(std::string& out, std::uint32_t n) {
    out.push_back(static_cast<char>((n >> 24) & 0xFF));
    out.push_back(static_cast<char>((n >> 16) & 0xFF));
    out.push_back(static_cast<char>((n >> 8) & 0xFF));
    out.push_back(static_cast<char>(n & 0xFF));
}

std::uint32_t GetLength(const std::string& in, size_t at) {
    auto byte = [&](size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(in[at + i]));
    };
    return (byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3);
}

bool KnownKind(char c) {
    switch (static_cast<DdeFrameKind>(c)) {
        case DdeFrameKind::Link:
        case DdeFrameKind::Accept:
        case DdeFrameKind::Execute:
        case DdeFrameKind::Poke:
        case DdeFrameKind::Front:
        case DdeFrameKind::Result:
            return true;
    }
    return false;
}

}  // namespace

int DdeFieldCount(DdeFrameKind kind) {
    switch (kind) {
        case DdeFrameKind::Link:
            return 3;
        case DdeFrameKind::Accept:
            return 2;
        case DdeFrameKind::Execute:
            return 1;
        case DdeFrameKind::Poke:
            return 2;
        case DdeFrameKind::Front:
            return 0;
        case DdeFrameKind::Result:
            return 3;
    }
    return -1;
}

std::string EncodeDdeFrame(const DdeFrame& frame) {
    std::string body(1, static_cast<char>(frame.kind));
    for (const std::string& field : frame.fields) {
        PutLength(body, static_cast<std::uint32_t>(field.size()));
        body += field;
    }
    std::string out;
    PutLength(out, static_cast<std::uint32_t>(body.size()));
    return out + body;
}

std::optional<DdeFrame> DdeFrameReader::Next() {
    if (malformed_ || buffer_.size() < 4) return std::nullopt;
    std::uint32_t length = GetLength(buffer_, 0);
    if (length == 0 || length > kMaxDdeBody) {
        malformed_ = true;
        return std::nullopt;
    }
    if (buffer_.size() - 4 < length) return std::nullopt;

    const size_t end = 4 + static_cast<size_t>(length);
    DdeFrame frame;
    if (!KnownKind(buffer_[4])) {
        malformed_ = true;
        return std::nullopt;
    }
    frame.kind = static_cast<DdeFrameKind>(buffer_[4]);
    size_t at = 5;
    while (at < end) {
        if (end - at < 4) {
            malformed_ = true;
            return std::nullopt;
        }
        std::uint32_t n = GetLength(buffer_, at);
        at += 4;
        if (n > end - at) {
            malformed_ = true;
            return std::nullopt;
        }
        frame.fields.push_back(buffer_.substr(at, n));
        at += n;
    }
    if (static_cast<int>(frame.fields.size()) != DdeFieldCount(frame.kind)) {
        malformed_ = true;
        return std::nullopt;
    }
    buffer_.erase(0, end);
    return frame;
}

}  // namespace platform
