#pragma once
// libtiff over a byte string in memory, so an encoder can hand its bytes on
// without a file, and the tags of a black-and-white page in CCITT group 4.

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

// One strip of 1-bit rows, 1 for black, leftmost pixel in the high bit.
void SetG4PageTags(TIFF* tif, int width, int height);

}  // namespace platform
