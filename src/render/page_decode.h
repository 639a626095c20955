#pragma once
// Decoding a page image from its file's bytes, read once: the picture and
// the depth its header states. A bitonal TIFF is decoded by libtiff straight
// into a 1-bit image; every other file goes through Qt's image readers. A
// JPEG page can be decoded at the reduced size a view needs.

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace pagedecode {

struct DecodedPage {
    QImage image;          // null when the bytes do not decode
    int bitsPerPixel = 0;  // as the header states it, else the image's depth
};

DecodedPage Decode(const QByteArray& bytes);

// What a JPEG page's header tells, read without decoding its pixels.
struct PageHeader {
    QSize size;
    int bitsPerPixel = 0;
    int dotsPerMeterX = 0;
    int dotsPerMeterY = 0;
};

// False for any other file, and for a JPEG whose header does not read.
bool ReadJpegHeader(const QByteArray& bytes, PageHeader& header);

// A JPEG page of pageSize decoded at the smallest of its half, quarter and
// eighth sizes (libjpeg's DCT scaling) that still covers size. Null when
// only the full size covers it, or when the bytes do not decode.
QImage DecodeJpegReduced(const QByteArray& bytes, const QSize& pageSize, const QSize& size);

// Depth of an image file as its header states it (0 when unknown).
int HeaderBitsPerPixel(const QByteArray& bytes);

}  // namespace pagedecode
