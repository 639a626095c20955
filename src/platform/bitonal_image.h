#pragma once
// Black-and-white pages as 1-bit rows and as CCITT group 4 data, the
// lossless compression scanners and fax machines use for such pages.

#include <QImage>

#include <string>

namespace platform {

// A page whose every pixel is pure black or pure white.
struct BitonalRows {
    int width = 0;
    int height = 0;
    int bytesPerRow = 0;
    std::string bits;  // rows top first, leftmost pixel in the high bit, 1 = black
};

bool IsBitonal(const QImage& page);

// False, with rows left incomplete, when a pixel is neither black nor white.
bool PackBitonal(const QImage& page, BitonalRows& rows);

// The rows as one CCITT group 4 strip (K -1, no byte alignment, white runs
// for 0 bits); empty when encoding fails.
std::string EncodeG4(const BitonalRows& rows);

}  // namespace platform
