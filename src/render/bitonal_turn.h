#pragma once
// Turning a 1-bit page by a quarter. Qt turns such a page a pixel at a time
// through its generic pixel calls, the slowest step of printing a landscape
// scan; this moves eight rows by eight columns at once.

#include <QImage>

namespace bitonal {

// The Format_Mono page turned as QImage::transformed turns it by 90 degrees
// (turns 1), 180 (turns 2) or 270 (turns 3), pixel for pixel, with its colour
// table and resolution; a null image for any other format or turn. Every
// byte of the result is set, padding included.
QImage QuarterTurn(const QImage& page, int turns);

}  // namespace bitonal
