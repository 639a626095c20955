#pragma once
// A page as prints put it out: in the smallest image format that holds it
// exactly, and encoded as the PDF file and the CUPS job both store it.

#include <QImage>

#include <string>

namespace platform {

// One bit for black and white, grey levels, else colour.
QImage CompactPageImage(const QImage& page);
// The page in grey, for a printer that prints without colour.
QImage GreyPageImage(const QImage& page);
// A grey or colour page as JPEG; empty when it cannot be encoded.
std::string EncodeJpeg(const QImage& page);

}  // namespace platform
