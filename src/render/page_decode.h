#pragma once
// Decoding a page image from its file's bytes, read once: the picture and
// the depth its header states. A bitonal TIFF is decoded by libtiff straight
// into a 1-bit image; every other file goes through Qt's image readers.

#include <QByteArray>
#include <QImage>

namespace pagedecode {

struct DecodedPage {
    QImage image;          // null when the bytes do not decode
    int bitsPerPixel = 0;  // as the header states it, else the image's depth
};

DecodedPage Decode(const QByteArray& bytes);

// Depth of an image file as its header states it (0 when unknown).
int HeaderBitsPerPixel(const QByteArray& bytes);

}  // namespace pagedecode
