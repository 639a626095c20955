#pragma once
// Page images written by tests and benchmarks: a bitonal CCITT Group 4 TIFF
// through libtiff, other formats through Qt.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>

#include <tiffio.h>

#include <string>
#include <vector>

namespace testsupport {

// Writes a 1-bit image (black = set pixels) as a G4 TIFF at the given dpi.
inline bool WriteG4Tiff(const std::string& path, const QImage& page, int dpi) {
    QImage mono = page.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif) return false;
    const int w = mono.width(), h = mono.height();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, h);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(dpi));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(dpi));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    std::vector<unsigned char> row((w + 7) / 8);
    // Qt's Format_Mono is MSB first; colour 0 of its table may be black or
    // white, so read pixels rather than bytes.
    for (int y = 0; y < h; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (int x = 0; x < w; ++x) {
            if (qGray(mono.pixel(x, y)) < 128) row[x / 8] |= 0x80 >> (x % 8);
        }
        if (TIFFWriteScanline(tif, row.data(), y, 0) < 0) {
            TIFFClose(tif);
            return false;
        }
    }
    TIFFClose(tif);
    return true;
}

// A white page of w by h pixels as PNG file bytes.
inline std::string PngBytes(int w, int h) {
    QImage page(w, h, QImage::Format_RGB32);
    page.fill(Qt::white);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    page.save(&buffer, "PNG");
    return bytes.toStdString();
}

// A noisy JPEG whose header is whole and whose body does not decode.
inline std::string DamagedJpeg() {
    QImage image(600, 800, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x, y, x * y));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    for (qsizetype i = 2000; i < bytes.size() - 2; i += 97) bytes[i] = '\xFF';
    return bytes.toStdString();
}

// A 600 dpi letter scan (5100 x 6600) as JPEG bytes, in colour or grey,
// black in its top-left corner. Made once: it takes a while to encode.
inline const std::string& LetterScan600(bool grey) {
    static std::string made[2];
    if (made[grey].empty()) {
        QImage page(5100, 6600, QImage::Format_RGB32);
        page.fill(qRgb(40, 160, 220));
        page.setDotsPerMeterX(23622);
        page.setDotsPerMeterY(23622);
        QPainter(&page).fillRect(0, 0, 600, 600, Qt::black);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        (grey ? page.convertToFormat(QImage::Format_Grayscale8) : page).save(&buffer, "JPG", 75);
        made[grey] = buffer.data().toStdString();
    }
    return made[grey];
}

}  // namespace testsupport
