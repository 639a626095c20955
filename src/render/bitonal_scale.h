#pragma once
// Shrinking a bitonal page straight from its 1-bit form to the display size.
// The result is pixel for pixel the area average that Qt's smooth scaling
// gives for the page's 32-bit copy, without making that full-size copy.

#include <QImage>

namespace bitonal {

// Whether Qt's smooth scaling of a w x h page to dw x dh averages areas (a
// shrink to less than half in either direction); other sizes it samples.
bool ShrinksByAreaAverage(int w, int h, int dw, int dh);

// Whether the image is a 1-bit page in two greys, which ScaleDown takes.
bool IsBitonal(const QImage& image);

// The 1-bit page averaged down to dw x dh as an RGB32 image; a null image
// unless IsBitonal(page) and ShrinksByAreaAverage(...) hold.
QImage ScaleDown(const QImage& page, int dw, int dh);

}  // namespace bitonal
