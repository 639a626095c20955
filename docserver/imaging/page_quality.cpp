#include "imaging/page_quality.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <cmath>
#include <vector>

#include "imaging/page_files.h"
#include "platform/bitonal_scale.h"
#include "platform/rounding.h"

namespace docserver::imaging {

namespace {

double StoredDpi(int dotsPerMeter) {
    // Qt reports 72 dpi (2835 dots per metre) for files without a density.
    if (dotsPerMeter <= 0 || dotsPerMeter == 2835) return 300.0;
    // Dots per metre are whole numbers; the dots per inch they stand for were.
    return platform::RoundToInt(dotsPerMeter * 0.0254);
}

bool IsBitonal(const QImage& image) {
    return image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB;
}

bool IsJpeg(const std::string& bytes) {
    return bytes.size() >= 3 && bytes.compare(0, 3, "\xFF\xD8\xFF") == 0;
}

// The horizontal density of a JPEG's JFIF header in dots per metre, as Qt's
// decoder sets it; 0 when the file gives none.
int JfifDotsPerMeter(const std::string& bytes) {
    const auto at = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    // The header's segments, up to the first frame or scan.
    for (std::size_t i = 2; i + 4 <= bytes.size() && at(i) == 0xFF;) {
        const int marker = at(i + 1);
        const std::size_t length = (std::size_t{at(i + 2)} << 8) | at(i + 3);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                           marker != 0xCC;
        if (frame || marker == 0xDA || length < 2) return 0;
        if (marker == 0xE0 && length >= 14 && i + 16 <= bytes.size() &&
            bytes.compare(i + 4, 5, std::string("JFIF\0", 5)) == 0) {
            const int density = (at(i + 12) << 8) | at(i + 13);
            if (at(i + 11) == 1) return static_cast<int>(100.0 * density / 2.54);
            if (at(i + 11) == 2) return 100 * density;
            return 0;
        }
        i += 2 + length;
    }
    return 0;
}

QSize ReducedSize(QSize stored, double scale) {
    return QSize(std::max(1, platform::RoundToInt(stored.width() * scale)),
                 std::max(1, platform::RoundToInt(stored.height() * scale)));
}

// Which averaged greys of a bitonal page are black. Partly covered pixels
// count darker than their share, so a one-pixel stroke in a three-pixel step
// still reads as ink.
const bitonal::Blacks& DarkenedThreshold() {
    static const bitonal::Blacks blacks = [] {
        bitonal::Blacks table{};
        for (int v = 0; v < 256; ++v) {
            const int darkened = 255 - platform::RoundToInt(255.0 * std::sqrt(1.0 - v / 255.0));
            table[static_cast<std::size_t>(v)] = darkened < 128;
        }
        return table;
    }();
    return blacks;
}

// Box filter over the exact source area of each target pixel (integer
// bounds); Qt's smooth scaling samples too sparsely at a third of the size
// and drops one-pixel lines. Channels are the bytes of one pixel.
template <int Channels>
void AreaAverage(const QImage& source, QImage& out) {
    constexpr int kStride = Channels == 1 ? 1 : 4;  // RGB32 keeps a fourth byte
    const int sw = source.width();
    const int sh = source.height();
    const int tw = out.width();
    const int th = out.height();
    std::vector<int> x0(tw + 1);
    for (int x = 0; x <= tw; ++x) x0[x] = static_cast<int>(static_cast<long long>(x) * sw / tw);
    std::vector<long long> sum(static_cast<std::size_t>(tw) * Channels);
    for (int y = 0; y < th; ++y) {
        const int ya = static_cast<int>(static_cast<long long>(y) * sh / th);
        const int yb = std::max(ya + 1, static_cast<int>(static_cast<long long>(y + 1) * sh / th));
        std::fill(sum.begin(), sum.end(), 0);
        for (int sy = ya; sy < yb && sy < sh; ++sy) {
            const uchar* row = source.constScanLine(sy);
            for (int x = 0; x < tw; ++x) {
                const int xb = std::min(sw, std::max(x0[x] + 1, x0[x + 1]));
                for (int sx = x0[x]; sx < xb; ++sx) {
                    for (int c = 0; c < Channels; ++c)
                        sum[x * Channels + c] += row[sx * kStride + c];
                }
            }
        }
        uchar* dest = out.scanLine(y);
        for (int x = 0; x < tw; ++x) {
            const int xb = std::min(sw, std::max(x0[x] + 1, x0[x + 1]));
            const long long count = std::max<long long>(
                1, static_cast<long long>(xb - x0[x]) * (std::min(yb, sh) - ya));
            for (int c = 0; c < Channels; ++c) {
                dest[x * kStride + c] = static_cast<uchar>(sum[x * Channels + c] / count);
            }
            if constexpr (Channels != 1) {
                reinterpret_cast<QRgb*>(dest)[x] |= 0xff000000u;  // opaque, in any byte order
            }
        }
    }
}

// A bitonal page reduced to black and white, from its 1-bit form.
QImage ReduceBitonal(const QImage& page, QSize target) {
    QImage mono = page.format() == QImage::Format_Mono ? page
                                                       : page.convertToFormat(QImage::Format_Mono);
    if (!bitonal::IsBitonal(mono)) {
        // Two colours that are not greys: black and white by their lightness.
        mono = page.convertToFormat(QImage::Format_Grayscale8)
                   .convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
    }
    return bitonal::ShrinkToBlackAndWhite(mono, target.width(), target.height(),
                                          DarkenedThreshold());
}

}  // namespace

QImage ResamplePage(const QImage& page, QSize target) {
    const QSize size(std::max(1, target.width()), std::max(1, target.height()));
    if (!page.isGrayscale()) {
        const QImage source = page.convertToFormat(QImage::Format_RGB32);
        QImage out(size, QImage::Format_RGB32);
        AreaAverage<3>(source, out);
        return out;
    }
    const QImage source = page.convertToFormat(QImage::Format_Grayscale8);
    QImage out(size, QImage::Format_Grayscale8);
    AreaAverage<1>(source, out);
    return out;
}

QualityImage ImageForQuality(const std::string& stored, int dpi) {
    QualityImage result;
    result.bytes = stored;
    if (dpi <= 0) return result;
    QImage small;
    bool bitonal = false;
    if (IsJpeg(stored)) {
        // Decoded straight at the reduced size: libjpeg scales in its
        // transform, Qt smooths the rest.
        QByteArray data =
            QByteArray::fromRawData(stored.data(), static_cast<qsizetype>(stored.size()));
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "jpeg");
        const QSize size = reader.size();
        const double storedDpi = StoredDpi(JfifDotsPerMeter(stored));
        if (size.isValid() && storedDpi <= dpi) return result;
        result.scale = dpi / storedDpi;
        if (size.isValid()) reader.setScaledSize(ReducedSize(size, result.scale));
        small = reader.read();
    } else {
        const QImage page = DecodeImage(stored);
        if (page.isNull()) return {};
        const double storedDpi = StoredDpi(page.dotsPerMeterX());
        if (storedDpi <= dpi) return result;
        result.scale = dpi / storedDpi;
        bitonal = IsBitonal(page);
        // Black and white stays 1-bit Group 4, shrunk from its 1-bit form.
        small = bitonal ? ReduceBitonal(page, ReducedSize(page.size(), result.scale))
                        : ResamplePage(page, ReducedSize(page.size(), result.scale));
    }
    if (small.isNull()) return {};
    const int dpm = platform::RoundToInt(dpi / 0.0254);
    small.setDotsPerMeterX(dpm);
    small.setDotsPerMeterY(dpm);
    std::string reduced = bitonal ? EncodeG4Tiff({small}) : EncodeJpeg(small, small.isGrayscale());
    // A reduction is for fewer bytes: one that would take more is not sent.
    if (!reduced.empty() && reduced.size() < stored.size()) {
        result.bytes = std::move(reduced);
    } else {
        result.scale = 1.0;
    }
    return result;
}

std::string FormatScaleHead(double scale) {
    std::string text = QByteArray::number(scale, 'g', 6).toStdString();
    text.resize(8, '\0');
    return text;
}

}  // namespace docserver::imaging
