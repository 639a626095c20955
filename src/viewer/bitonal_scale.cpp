#include "viewer/bitonal_scale.h"

#include <cstdint>
#include <vector>

namespace bitonal {
namespace {

// Weights are 14-bit fixed point: every output pixel takes 1 << 14 of each
// direction, spread over the source pixels it covers, as Qt's area average
// spreads them (first pixel, whole pixels, last pixel), so the sums and
// their truncations match it exactly.
constexpr int kOne = 1 << 14;

struct Span {
    int first = 0;      // first source pixel
    int firstWeight = 0;
    int inner = 0;      // whole pixels after it
    int innerWeight = 0;
    int lastWeight = 0;  // of the pixel after the whole ones
};

std::vector<Span> Spans(int s, int d) {
    std::vector<Span> spans(static_cast<std::size_t>(d));
    const std::int64_t inc = (static_cast<std::int64_t>(s) << 16) / d;
    const int cp = static_cast<int>(((static_cast<std::int64_t>(d) << 14) + s - 1) / s);
    std::int64_t val = 0;
    for (int i = 0; i < d; ++i) {
        Span& span = spans[static_cast<std::size_t>(i)];
        span.first = static_cast<int>(val >> 16);
        span.firstWeight = static_cast<int>(((0x10000 - (val & 0xffff)) * cp) >> 16);
        span.innerWeight = cp;
        int j = kOne - span.firstWeight;
        while (j > cp) {
            ++span.inner;
            j -= cp;
        }
        span.lastWeight = j;
        val += inc;
    }
    return spans;
}

inline int Bit(const uchar* row, int x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// A row with no set pixel (the bits past the width are not looked at).
bool RowIsBlank(const uchar* row, int w) {
    for (int i = 0; i < w / 8; ++i) {
        if (row[i] != 0) return false;
    }
    for (int x = (w / 8) * 8; x < w; ++x) {
        if (Bit(row, x) != 0) return false;
    }
    return true;
}

}  // namespace

bool ShrinksByAreaAverage(int w, int h, int dw, int dh) {
    return dw > 0 && dh > 0 && dw < w && dh < h && (dw * 2 < w || dh * 2 < h);
}

bool IsBitonal(const QImage& image) {
    if (image.format() != QImage::Format_Mono || image.colorCount() != 2) return false;
    for (int i = 0; i < 2; ++i) {
        const QRgb c = image.color(i);
        if (qRed(c) != qGreen(c) || qGreen(c) != qBlue(c)) return false;
    }
    return true;
}

QImage ScaleDown(const QImage& page, int dw, int dh) {
    const int w = page.width(), h = page.height();
    if (!IsBitonal(page) || !ShrinksByAreaAverage(w, h, dw, dh)) return {};
    QImage out(dw, dh, QImage::Format_RGB32);
    if (out.isNull()) return {};
    const std::vector<Span> xs = Spans(w, dw), ys = Spans(h, dh);
    const int g0 = qRed(page.color(0)), g1 = qRed(page.color(1));
    // A row's contribution at one output column depends only on the weight
    // of its set pixels there; blank rows add the same to every column.
    const auto shade = [g0, g1](int setWeight) {
        return (g0 * (kOne - setWeight) + g1 * setWeight) >> 4;
    };
    const std::int64_t blankShade = shade(0);
    std::vector<std::int64_t> extra(static_cast<std::size_t>(dw));

    for (int y = 0; y < dh; ++y) {
        const Span& sy = ys[static_cast<std::size_t>(y)];
        std::fill(extra.begin(), extra.end(), 0);
        const int rows = sy.inner + 2;
        for (int r = 0; r < rows; ++r) {
            const int wy = r == 0 ? sy.firstWeight : r <= sy.inner ? sy.innerWeight : sy.lastWeight;
            const int sr = sy.first + r;
            if (wy == 0 || sr >= h) continue;
            const uchar* row = page.constScanLine(sr);
            if (RowIsBlank(row, w)) continue;
            for (int x = 0; x < dw; ++x) {
                const Span& sx = xs[static_cast<std::size_t>(x)];
                const int last = sx.first + sx.inner + 1;
                const int lastByte = (last < w ? last : w - 1) >> 3;
                bool any = false;
                for (int b = sx.first >> 3; b <= lastByte; ++b) any = any || row[b] != 0;
                if (!any) continue;
                int set = Bit(row, sx.first) * sx.firstWeight;
                for (int i = 1; i <= sx.inner; ++i) set += Bit(row, sx.first + i) * sx.innerWeight;
                if (last < w) set += Bit(row, last) * sx.lastWeight;
                extra[static_cast<std::size_t>(x)] +=
                    static_cast<std::int64_t>(shade(set) - blankShade) * wy;
            }
        }
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < dw; ++x) {
            const auto sum =
                static_cast<std::uint32_t>(blankShade * kOne + extra[static_cast<std::size_t>(x)]);
            const int g = static_cast<int>((sum >> 24) & 0xff);
            line[x] = qRgb(g, g, g);
        }
    }
    return out;
}

}  // namespace bitonal
