#pragma once
// Shrinking a bitonal page straight from its 1-bit form, by area average,
// without making a full-size copy: to the display size, pixel for pixel as
// Qt's smooth scaling of the page's 32-bit copy, or to the smaller page a
// server sends.

#include <QImage>

#include <array>

namespace bitonal {

// Whether Qt's smooth scaling of a w x h page to dw x dh averages areas (a
// shrink to less than half in either direction); other sizes it samples.
bool ShrinksByAreaAverage(int w, int h, int dw, int dh);

// Whether the image is a 1-bit page in two greys, which ScaleDown takes.
bool IsBitonal(const QImage& image);

// The 1-bit page averaged down to dw x dh as an RGB32 image; a null image
// unless IsBitonal(page) and ShrinksByAreaAverage(...) hold.
QImage ScaleDown(const QImage& page, int dw, int dh);

// For each averaged grey (0 black to 255 white), whether it is written black.
using Blacks = std::array<bool, 256>;

// The 1-bit page averaged down to any size no larger than its own and made
// black and white again as it is written (colour 0 white, 1 black); a null
// image unless IsBitonal(page).
QImage ShrinkToBlackAndWhite(const QImage& page, int dw, int dh, const Blacks& black);

}  // namespace bitonal
