// Bytes off the wire, in pieces of any size, through the frame reader; and a
// payload built into a frame must come back whole.
#include <cstdlib>
#include <string>

#include "server/request_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = data[0] % 64 + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;

    RequestFrame::FrameReader reader;
    std::string payload;
    for (std::size_t at = 0; at < length; at += piece) {
        reader.Feed(bytes + at, std::min(piece, length - at));
        RequestFrame::FrameReader::Status status;
        while ((status = reader.Next(payload)) == RequestFrame::FrameReader::Status::kFrame) {
        }
        if (status == RequestFrame::FrameReader::Status::kBad) break;
    }

    // A frame always carries a payload: requests end in a NUL, replies are never empty.
    if (length == 0) return 0;
    std::string original(bytes, length);
    std::mt19937 random(static_cast<unsigned>(size));
    std::string frame = RequestFrame::Build(original, random);
    RequestFrame::FrameReader echo;
    echo.Feed(frame.data(), frame.size());
    std::string back;
    if (echo.Next(back) != RequestFrame::FrameReader::Status::kFrame || back != original) abort();
    if (echo.Buffered() != 0) abort();

    std::string copy(bytes, length);
    RequestFrame::Unscramble(copy, static_cast<int>(length));
    RequestFrame::GetLong(copy, static_cast<int>(data[0]) - 8);
    RequestFrame::PutLong(copy, static_cast<int>(data[0]) - 8, static_cast<std::int32_t>(size));
    return 0;
}
