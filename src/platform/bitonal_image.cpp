#include "platform/bitonal_image.h"

#include "platform/memory_tiff.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

constexpr quint32 kRgbMask = 0xFFFFFF;

// Whether eight pixels are all white, read two at a time.
inline bool AllWhite8(const quint32* p) {
    constexpr quint64 kRgb2 = 0x00FFFFFF00FFFFFFull;
    quint64 a, b, c, d;
    std::memcpy(&a, p, sizeof a);
    std::memcpy(&b, p + 2, sizeof b);
    std::memcpy(&c, p + 4, sizeof c);
    std::memcpy(&d, p + 6, sizeof d);
    return (a & b & c & d & kRgb2) == kRgb2;
}

// Pure black and pure white are the colours one above which is 0 or 1;
// two pixels are tested at a time.
bool RowIsBitonal(const quint32* line, int width) {
    constexpr quint64 kMask2 = 0x00FFFFFF00FFFFFFull, kOne2 = 0x0000000100000001ull;
    quint64 off = 0;
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        // Most of a page is paper.
        const quint32* p = line + x;
        if (AllWhite8(p)) continue;
        for (int i = 0; i < 8; i += 2) {
            quint64 two;
            std::memcpy(&two, p + i, sizeof two);
            off |= ((two & kMask2) + kOne2) & kMask2;
        }
    }
    for (; x + 2 <= width; x += 2) {
        quint64 two;
        std::memcpy(&two, line + x, sizeof two);
        off |= ((two & kMask2) + kOne2) & kMask2;
    }
    if (x < width) off |= ((line[x] & kRgbMask) + 1) & kRgbMask;
    return (off & ~kOne2) == 0;
}

}  // namespace

bool IsBitonal(const QImage& page) {
    const QImage rgb =
        page.format() == QImage::Format_RGB32 ? page : page.convertToFormat(QImage::Format_RGB32);
    const int w = rgb.width(), h = rgb.height();
    for (int y = 0; y < h; ++y) {
        if (!RowIsBitonal(reinterpret_cast<const quint32*>(rgb.constScanLine(y)), w)) return false;
    }
    return true;
}

QImage ToMono(const QImage& page) {
    const QImage rgb =
        page.format() == QImage::Format_RGB32 ? page : page.convertToFormat(QImage::Format_RGB32);
    const int w = rgb.width(), h = rgb.height();
    QImage mono(w, h, QImage::Format_Mono);
    mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    mono.fill(0);
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const quint32*>(rgb.constScanLine(y));
        uchar* out = mono.scanLine(y);
        // One pass: a pixel one above which is 1 is black, 0 white, anything
        // else neither.
        quint32 off = 0;
        int x0 = 0;
        for (; x0 + 8 <= w; x0 += 8) {
            // Most of a page is paper.
            const quint32* p = line + x0;
            if (AllWhite8(p)) continue;
            quint32 byte = 0;
            for (int i = 0; i < 8; ++i) {
                const quint32 v = ((line[x0 + i] & kRgbMask) + 1) & kRgbMask;
                off |= v;
                byte |= v << (7 - i);
            }
            out[x0 >> 3] = static_cast<uchar>(byte);
        }
        if (x0 < w) {
            quint32 byte = 0;
            for (int i = 0; x0 + i < w; ++i) {
                const quint32 v = ((line[x0 + i] & kRgbMask) + 1) & kRgbMask;
                off |= v;
                byte |= v << (7 - i);
            }
            out[x0 >> 3] = static_cast<uchar>(byte);
        }
        if ((off & ~1u) != 0) return QImage();
    }
    return mono;
}

std::string EncodeG4(const QImage& mono) {
    const int w = mono.width(), h = mono.height();
    if (mono.format() != QImage::Format_Mono || w <= 0 || h <= 0) return {};
    MemoryTiff file;
    TIFF* tif = OpenMemoryTiff(file, "w");
    if (tif == nullptr) return {};
    SetG4PageTags(tif, w, h);
    std::string strip;
    // One strip of whole bytes a row; libtiff may change the buffer too.
    const size_t bytesPerRow = static_cast<size_t>(w + 7) / 8;
    std::string bits(bytesPerRow * static_cast<size_t>(h), '\0');
    for (int y = 0; y < h; ++y)
        std::memcpy(bits.data() + bytesPerRow * static_cast<size_t>(y), mono.constScanLine(y),
                    bytesPerRow);
    if (TIFFWriteEncodedStrip(tif, 0, bits.data(), static_cast<tmsize_t>(bits.size())) >= 0 &&
        TIFFFlushData(tif) == 1) {
        uint64_t* offsets = nullptr;
        uint64_t* counts = nullptr;
        if (TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets) == 1 &&
            TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) == 1 && offsets && counts &&
            offsets[0] + counts[0] <= file.bytes.size()) {
            strip.assign(reinterpret_cast<const char*>(file.bytes.data() + offsets[0]),
                         static_cast<size_t>(counts[0]));
        }
    }
    TIFFClose(tif);
    return strip;
}

}  // namespace platform
