#pragma once
// Black-and-white pages as 1-bit images and as CCITT group 4 data, the
// lossless compression scanners and fax machines use for such pages.

#include <QImage>

#include <string>

namespace platform {

bool IsBitonal(const QImage& page);

// The page in one bit a pixel (colour 0 white, 1 black, leftmost pixel in
// the high bit); a null image when a pixel is neither black nor white.
QImage ToMono(const QImage& page);

// A page of ToMono as one CCITT group 4 strip (K -1, no byte alignment,
// white runs for 0 bits); empty when encoding fails.
std::string EncodeG4(const QImage& mono);

}  // namespace platform
