#include "imaging/page_quality.h"

#include <QByteArray>

#include <cmath>
#include <vector>

#include "imaging/page_files.h"
#include "platform/rounding.h"

namespace docserver::imaging {

namespace {

double StoredDpi(const QImage& image) {
    const int dpm = image.dotsPerMeterX();
    // Qt reports 72 dpi (2835 dots per metre) for files without a density.
    if (dpm <= 0 || dpm == 2835) return 300.0;
    // Dots per metre are whole numbers; the dots per inch they stand for were.
    return platform::RoundToInt(dpm * 0.0254);
}

bool IsBitonal(const QImage& image) {
    return image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB;
}

}  // namespace

namespace {

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

}  // namespace

QImage ResamplePage(const QImage& page, QSize target) {
    const QSize size(std::max(1, target.width()), std::max(1, target.height()));
    if (!IsBitonal(page) && !page.isGrayscale()) {
        const QImage source = page.convertToFormat(QImage::Format_RGB32);
        QImage out(size, QImage::Format_RGB32);
        AreaAverage<3>(source, out);
        return out;
    }
    const QImage source = page.convertToFormat(QImage::Format_Grayscale8);
    QImage out(size, QImage::Format_Grayscale8);
    AreaAverage<1>(source, out);
    if (IsBitonal(page)) {
        // Darken the grey of partly covered pixels so a one-pixel stroke in a
        // three-pixel step still reads as ink.
        uchar table[256];
        for (int v = 0; v < 256; ++v) {
            table[v] =
                static_cast<uchar>(255 - platform::RoundToInt(255.0 * std::sqrt(1.0 - v / 255.0)));
        }
        for (int y = 0; y < out.height(); ++y) {
            uchar* row = out.scanLine(y);
            for (int x = 0; x < out.width(); ++x) row[x] = table[row[x]];
        }
    }
    return out;
}

QualityImage ImageForQuality(const std::string& stored, int dpi) {
    QualityImage result;
    if (dpi <= 0) {
        result.bytes = stored;
        return result;
    }
    const QImage page = DecodeImage(stored);
    if (page.isNull()) return result;
    const double storedDpi = StoredDpi(page);
    if (storedDpi <= dpi) {
        result.bytes = stored;
        return result;
    }
    result.scale = dpi / storedDpi;
    const QSize target(platform::RoundToInt(page.width() * result.scale),
                       platform::RoundToInt(page.height() * result.scale));
    QImage small = ResamplePage(page, target);
    if (IsBitonal(page)) {
        // Black and white stays 1-bit Group 4; the darkened grey of
        // ResamplePage keeps thin strokes black at the threshold.
        small = small.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
    }
    const int dpm = platform::RoundToInt(dpi / 0.0254);
    small.setDotsPerMeterX(dpm);
    small.setDotsPerMeterY(dpm);
    result.bytes = IsBitonal(page) ? EncodeG4Tiff({small}) : EncodeJpeg(small, page.isGrayscale());
    // A reduction is for fewer bytes: one that would take more is not sent.
    if (result.bytes.empty() || result.bytes.size() >= stored.size()) {
        result.scale = 1.0;
        result.bytes = stored;
    }
    return result;
}

std::string FormatScaleHead(double scale) {
    std::string text = QByteArray::number(scale, 'g', 6).toStdString();
    text.resize(8, '\0');
    return text;
}

}  // namespace docserver::imaging
