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

QImage ResamplePage(const QImage& page, QSize target) {
    const QImage source = page.convertToFormat(QImage::Format_RGB32);
    const int sw = source.width();
    const int sh = source.height();
    const int tw = std::max(1, target.width());
    const int th = std::max(1, target.height());
    QImage out(tw, th, QImage::Format_RGB32);
    // Box filter over the exact source area of each target pixel (integer
    // bounds); Qt's smooth scaling samples too sparsely at a third of the size
    // and drops one-pixel lines.
    std::vector<int> x0(tw + 1);
    for (int x = 0; x <= tw; ++x) x0[x] = static_cast<int>(static_cast<long long>(x) * sw / tw);
    std::vector<long long> r(tw), g(tw), b(tw), n(tw);
    for (int y = 0; y < th; ++y) {
        const int ya = static_cast<int>(static_cast<long long>(y) * sh / th);
        const int yb = std::max(ya + 1, static_cast<int>(static_cast<long long>(y + 1) * sh / th));
        std::fill(r.begin(), r.end(), 0);
        std::fill(g.begin(), g.end(), 0);
        std::fill(b.begin(), b.end(), 0);
        std::fill(n.begin(), n.end(), 0);
        for (int sy = ya; sy < yb && sy < sh; ++sy) {
            const auto* row = reinterpret_cast<const QRgb*>(source.constScanLine(sy));
            for (int x = 0; x < tw; ++x) {
                const int xb = std::max(x0[x] + 1, x0[x + 1]);
                for (int sx = x0[x]; sx < xb && sx < sw; ++sx) {
                    r[x] += qRed(row[sx]);
                    g[x] += qGreen(row[sx]);
                    b[x] += qBlue(row[sx]);
                    ++n[x];
                }
            }
        }
        auto* dest = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < tw; ++x) {
            const long long count = std::max<long long>(1, n[x]);
            dest[x] = qRgb(static_cast<int>(r[x] / count), static_cast<int>(g[x] / count),
                           static_cast<int>(b[x] / count));
        }
    }
    if (IsBitonal(page)) {
        // Darken the grey of partly covered pixels so a one-pixel stroke in a
        // three-pixel step still reads as ink.
        QImage grey = out.convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < grey.height(); ++y) {
            uchar* row = grey.scanLine(y);
            for (int x = 0; x < grey.width(); ++x) {
                const double coverage = 1.0 - row[x] / 255.0;
                row[x] =
                    static_cast<uchar>(255 - platform::RoundToInt(255.0 * std::sqrt(coverage)));
            }
        }
        out = grey;
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
    const int dpm = platform::RoundToInt(dpi / 0.0254);
    small.setDotsPerMeterX(dpm);
    small.setDotsPerMeterY(dpm);
    result.bytes = IsBitonal(page) ? EncodePng(small) : EncodeJpeg(small, page.isGrayscale());
    return result;
}

std::string FormatScaleHead(double scale) {
    std::string text = QByteArray::number(scale, 'g', 6).toStdString();
    text.resize(8, '\0');
    return text;
}

}  // namespace docserver::imaging
