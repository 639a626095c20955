#include "render/bitonal_scale.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
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
    int first = 0;  // first source pixel
    int firstWeight = 0;
    int inner = 0;  // whole pixels after it
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

namespace {

// One source row's contribution to every output column, less a blank row's:
// the row is copied with zero padding so that a window of 32 bits can be
// read at any pixel. Returns false for a row with no set pixel.
bool RowShades(const uchar* row, int w, const std::vector<Span>& xs, int g0, int g1,
               std::vector<uchar>& padded, std::vector<int>& shades) {
    const int bytes = (w + 7) / 8;
    if (RowIsBlank(row, w)) return false;
    std::copy(row, row + bytes, padded.begin());
    if (w % 8 != 0)
        padded[static_cast<std::size_t>(bytes - 1)] &= static_cast<uchar>(0xFF << (8 - w % 8));
    const auto shade = [g0, g1](int setWeight) {
        return (g0 * (kOne - setWeight) + g1 * setWeight) >> 4;
    };
    const int blank = shade(0);
    const uchar* p = padded.data();
    for (std::size_t x = 0; x < xs.size(); ++x) {
        const Span& sx = xs[x];
        int set = 0;
        if (sx.inner <= 23) {  // first, inner and last within 25 bits
            const uchar* b = p + (sx.first >> 3);
            std::uint32_t v = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
                              (std::uint32_t{b[2]} << 8) | b[3];
            v <<= (sx.first & 7);
            if (v == 0) {
                shades[x] = 0;
                continue;
            }
            set = static_cast<int>(v >> 31) * sx.firstWeight;
            if (sx.inner > 0) {
                set += __builtin_popcount((v << 1) >> (32 - sx.inner)) * sx.innerWeight;
            }
            set += static_cast<int>((v << (sx.inner + 1)) >> 31) * sx.lastWeight;
        } else {
            set = Bit(p, sx.first) * sx.firstWeight;
            for (int i = 1; i <= sx.inner; ++i) set += Bit(p, sx.first + i) * sx.innerWeight;
            set += Bit(p, sx.first + sx.inner + 1) * sx.lastWeight;
        }
        shades[x] = shade(set) - blank;
    }
    return true;
}

// Output rows [y0, y1) of the scaled page.
void ScaleBand(const QImage& page, const std::vector<Span>& xs, const std::vector<Span>& ys, int y0,
               int y1, uchar* outBits, qsizetype outStride) {
    const int w = page.width(), h = page.height(), dw = static_cast<int>(xs.size());
    const int g0 = qRed(page.color(0)), g1 = qRed(page.color(1));
    // A row's contribution at one column depends only on the weight of its
    // set pixels there; sums are kept as the difference from blank rows.
    const std::uint32_t blankShade = static_cast<std::uint32_t>((g0 * kOne) >> 4);
    // The padding covers a 4-byte read at the last pixel and well past it.
    std::vector<uchar> padded(static_cast<std::size_t>((w + 7) / 8 + 8), 0);
    std::vector<int> shades(static_cast<std::size_t>(dw)), previous(shades.size());
    int previousRow = -1;
    bool previousInk = false;
    // Qt's sums run in 32 bits and end below 2^32, so wrapping unsigned
    // arithmetic gives the same final sums.
    std::vector<std::uint32_t> extra(static_cast<std::size_t>(dw));

    for (int y = y0; y < y1; ++y) {
        const Span& sy = ys[static_cast<std::size_t>(y)];
        std::fill(extra.begin(), extra.end(), 0);
        const int rows = sy.inner + 2;
        for (int r = 0; r < rows; ++r) {
            const int wy = r == 0 ? sy.firstWeight : r <= sy.inner ? sy.innerWeight : sy.lastWeight;
            const int sr = sy.first + r;
            if (wy == 0 || sr >= h) continue;
            // Neighbouring output rows share the source row between them.
            if (sr != previousRow) {
                previousInk = RowShades(page.constScanLine(sr), w, xs, g0, g1, padded, shades);
                previousRow = sr;
                if (previousInk) previous.swap(shades);
            }
            if (!previousInk) continue;
            const auto weight = static_cast<std::uint32_t>(wy);
            for (std::size_t x = 0; x < extra.size(); ++x) {
                extra[x] += static_cast<std::uint32_t>(previous[x]) * weight;
            }
        }
        auto* line = reinterpret_cast<QRgb*>(outBits + y * outStride);
        for (int x = 0; x < dw; ++x) {
            const std::uint32_t sum = blankShade * kOne + extra[static_cast<std::size_t>(x)];
            const int g = static_cast<int>((sum >> 24) & 0xff);
            line[x] = qRgb(g, g, g);
        }
    }
}

}  // namespace

QImage ScaleDown(const QImage& page, int dw, int dh) {
    const int w = page.width(), h = page.height();
    if (!IsBitonal(page) || !ShrinksByAreaAverage(w, h, dw, dh)) return {};
    QImage out(dw, dh, QImage::Format_RGB32);
    if (out.isNull()) return {};
    const std::vector<Span> xs = Spans(w, dw), ys = Spans(h, dh);
    uchar* bits = out.bits();  // detached once, before any band runs
    const qsizetype stride = out.bytesPerLine();
    // Bands of rows in the pool's threads, as Qt's own smooth scaling runs;
    // each band writes its own rows only.
    QThreadPool* pool = QThreadPool::globalInstance();
    const int bands = std::clamp(std::min(pool->maxThreadCount(), dh / 64), 1, 16);
    if (bands == 1 || pool->contains(QThread::currentThread())) {
        ScaleBand(page, xs, ys, 0, dh, bits, stride);
        return out;
    }
    QSemaphore done;
    for (int b = 1; b < bands; ++b) {
        const int y0 = dh * b / bands, y1 = dh * (b + 1) / bands;
        pool->start([&, y0, y1] {
            ScaleBand(page, xs, ys, y0, y1, bits, stride);
            done.release();
        });
    }
    ScaleBand(page, xs, ys, 0, dh / bands, bits, stride);
    done.acquire(bands - 1);
    return out;
}

}  // namespace bitonal
