#pragma once
// libtiff over a byte string in memory, so an encoder can hand its bytes on
// without a file.

#include <tiffio.h>

#include <string>

namespace platform {

struct MemoryTiff {
    std::string bytes;
    toff_t position = 0;
};

// A TIFF written into (mode "w") or read from the bytes; null when libtiff
// refuses. TIFFClose ends it; the bytes outlive it.
TIFF* OpenMemoryTiff(MemoryTiff& memory, const char* mode);

}  // namespace platform
