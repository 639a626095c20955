// Bytes a peer of the message layer sends, in pieces of any size.
#include <cstdlib>
#include <string>

#include "platform/dde_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = data[0] % 32 + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;
    platform::DdeFrameReader reader;
    for (std::size_t at = 0; at < length && !reader.Malformed(); at += piece) {
        reader.Append(bytes + at, std::min(piece, length - at));
        while (auto frame = reader.Next()) {
            std::string encoded = platform::EncodeDdeFrame(*frame);
            platform::DdeFrameReader echo;
            echo.Append(encoded.data(), encoded.size());
            auto back = echo.Next();
            if (!back || back->kind != frame->kind || back->fields != frame->fields) abort();
        }
    }
    return 0;
}
