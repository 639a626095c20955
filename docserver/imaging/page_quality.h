#pragma once
// The page bytes a client gets for an image quality: the stored file as it
// is, or the page resampled to a lower resolution with the matching scale.

#include <QImage>

#include <string>

namespace docserver::imaging {

struct QualityImage {
    double scale = 1.0;  // displayed pixels per stored coordinate
    std::string bytes;
};

// 0 keeps the stored file; 100 and 150 resample to that many dots per inch,
// a black-and-white page to 1-bit Group 4. A page already at or below that
// resolution, or whose reduction would take more bytes, is sent as stored,
// scale 1. Empty bytes when the stored file cannot be read.
QualityImage ImageForQuality(const std::string& stored, int dpi);

// Area-averages a grey or colour page down to the target size.
QImage ResamplePage(const QImage& page, QSize target);

// Exactly 8 characters: the scale as text, padded with NUL characters.
std::string FormatScaleHead(double scale);

}  // namespace docserver::imaging
