#pragma once
// Page image files as a scanning station stores them: bitonal pages as TIFF
// with CCITT Group 4 compression, greyscale and colour pages as JPEG.

#include <QImage>

#include <string>
#include <vector>

namespace docserver::imaging {

// True where a pixel counts as ink on a bitonal page.
bool IsInk(QRgb pixel);

// One page per directory, 1 bit per pixel, the resolution tags set from each
// image's dots per metre. False when the file cannot be written.
bool WriteG4Tiff(const std::vector<QImage>& pages, const std::string& path);
// The same as bytes (empty on failure).
std::string EncodeG4Tiff(const std::vector<QImage>& pages);

// Greyscale pages are stored with 8-bit samples, colour pages as RGB.
std::string EncodeJpeg(const QImage& page, bool grey, int quality = 85);

// PNG keeps the image's dots per metre (written without Qt's writer).
std::string EncodePng(const QImage& image);

// Reads an image of any format Qt knows; a null image when it cannot.
QImage DecodeImage(const std::string& bytes);

// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Why the file at path gives no bytes to read, in words for an
// administrator; "" when nothing is found wrong.
std::string UnreadableReason(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace docserver::imaging
