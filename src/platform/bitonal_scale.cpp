#include "platform/bitonal_scale.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cstdint>
#include <cstring>
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
    // Where a span of at most 23 whole pixels lies in the 32 bits read from
    // its first pixel's byte, leftmost pixel highest once shifted.
    int byte = 0;
    int shift = 0;
    std::uint32_t bits = 0;   // the span's own pixels
    std::uint32_t whole = 0;  // its whole pixels
};

// Spans short enough to be read as one 32-bit window.
constexpr int kMaxWindowInner = 23;

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
        span.byte = span.first >> 3;
        span.shift = span.first & 7;
        if (span.inner <= kMaxWindowInner) {
            span.bits = ~0u << (30 - span.inner);
            span.whole = span.bits & ~(1u << 31) & ~(1u << (30 - span.inner));
        }
        val += inc;
    }
    return spans;
}

inline int Bit(const uchar* row, int x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// The bytes [first, last) of a row outside which every byte is 0; empty
// (first == last) for a row of zeros.
void InkBytes(const uchar* row, int bytes, int& first, int& last) {
    first = 0;
    std::uint64_t eight = 0;
    while (first + 8 <= bytes && (std::memcpy(&eight, row + first, sizeof eight), eight == 0))
        first += 8;
    while (first < bytes && row[first] == 0) ++first;
    last = bytes;
    while (last - 8 >= first && (std::memcpy(&eight, row + last - 8, sizeof eight), eight == 0))
        last -= 8;
    while (last > first && row[last - 1] == 0) --last;
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

// The output columns [begin, end) that a source row touches with ink.
struct Columns {
    int begin = 0;
    int end = 0;
};

// Adds one source row, at the given weight, to the sums of the output
// columns it inks; a sum is kept as the difference from a blank row's. The
// row is copied with zero padding so that a window of 32 bits can be read at
// any pixel. Narrow: every span is read as one window. Empty for a row with
// no set pixel.
// The count of set pixels is the inner loop's costliest step: where the
// processor has an instruction for it, that is used.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("popcnt", "default")))
#endif
Columns AddRow(const uchar* row, int w, const std::vector<Span>& xs, bool narrow, int g0, int g1,
               std::uint32_t weight, std::vector<uchar>& padded, std::uint32_t* sums) {
    const int bytes = (w + 7) / 8;
    std::copy(row, row + bytes, padded.begin());
    if (w % 8 != 0)
        padded[static_cast<std::size_t>(bytes - 1)] &= static_cast<uchar>(0xFF << (8 - w % 8));
    const uchar* p = padded.data();
    int firstByte = 0, lastByte = 0;
    InkBytes(p, bytes, firstByte, lastByte);
    if (firstByte == lastByte) return {};
    // Columns wholly in the paper beside the ink add nothing.
    const auto begin = std::partition_point(xs.begin(), xs.end(), [&](const Span& sx) {
        return sx.first + sx.inner + 1 < firstByte * 8;
    });
    const auto end = std::partition_point(
        begin, xs.end(), [&](const Span& sx) { return sx.first < lastByte * 8; });
    // A pixel's shade less a blank one's: g0 * kOne is a multiple of 16, so
    // this is Qt's (g0 * (kOne - set) + g1 * set) >> 4 less (g0 * kOne) >> 4.
    const auto shadeAbove = [g1g0 = g1 - g0](int setWeight) { return (g1g0 * setWeight) >> 4; };
    std::uint32_t* sum = sums + (begin - xs.begin());
    if (narrow) {
        for (auto it = begin; it != end; ++it, ++sum) {
            const Span& sx = *it;
            std::uint32_t v = 0;
            std::memcpy(&v, p + sx.byte, sizeof v);
            v = (__builtin_bswap32(v) << sx.shift) & sx.bits;
            if (v == 0) continue;
            const int set = static_cast<int>(v >> 31) * sx.firstWeight +
                            __builtin_popcount(v & sx.whole) * sx.innerWeight +
                            static_cast<int>((v >> (30 - sx.inner)) & 1) * sx.lastWeight;
            *sum += static_cast<std::uint32_t>(shadeAbove(set)) * weight;
        }
    } else {
        for (auto it = begin; it != end; ++it, ++sum) {
            const Span& sx = *it;
            int set = Bit(p, sx.first) * sx.firstWeight;
            for (int i = 1; i <= sx.inner; ++i) set += Bit(p, sx.first + i) * sx.innerWeight;
            set += Bit(p, sx.first + sx.inner + 1) * sx.lastWeight;
            *sum += static_cast<std::uint32_t>(shadeAbove(set)) * weight;
        }
    }
    return {static_cast<int>(begin - xs.begin()), static_cast<int>(end - xs.begin())};
}

// Output rows [y0, y1) of the scaled page: RGB32, or 1-bit through black.
void ScaleBand(const QImage& page, const std::vector<Span>& xs, const std::vector<Span>& ys, int y0,
               int y1, uchar* outBits, qsizetype outStride, const Blacks* black) {
    const int w = page.width(), h = page.height(), dw = static_cast<int>(xs.size());
    const int g0 = qRed(page.color(0)), g1 = qRed(page.color(1));
    // A row's contribution at one column depends only on the weight of its
    // set pixels there.
    const std::uint32_t blankShade = static_cast<std::uint32_t>((g0 * kOne) >> 4);
    // The padding covers a 4-byte read at the last pixel and well past it.
    std::vector<uchar> padded(static_cast<std::size_t>((w + 7) / 8 + 8), 0);
    // Qt's sums run in 32 bits and end below 2^32, so wrapping unsigned
    // arithmetic gives the same final sums.
    std::vector<std::uint32_t> extra(static_cast<std::size_t>(dw), 0);
    const bool narrow = std::all_of(xs.begin(), xs.end(),
                                    [](const Span& sx) { return sx.inner <= kMaxWindowInner; });
    const int blank = static_cast<int>(((blankShade * kOne) >> 24) & 0xff);

    for (int y = y0; y < y1; ++y) {
        const Span& sy = ys[static_cast<std::size_t>(y)];
        Columns ink{dw, 0};
        const int rows = sy.inner + 2;
        for (int r = 0; r < rows; ++r) {
            const int wy = r == 0 ? sy.firstWeight : r <= sy.inner ? sy.innerWeight : sy.lastWeight;
            const int sr = sy.first + r;
            if (wy == 0 || sr >= h) continue;
            const Columns added = AddRow(page.constScanLine(sr), w, xs, narrow, g0, g1,
                                         static_cast<std::uint32_t>(wy), padded, extra.data());
            if (added.begin == added.end) continue;
            ink.begin = std::min(ink.begin, added.begin);
            ink.end = std::max(ink.end, added.end);
        }
        ink.end = std::max(ink.begin, ink.end);
        uchar* line = outBits + y * outStride;
        // Most of a page is paper.
        if (black != nullptr) {
            std::memset(line, (*black)[static_cast<std::size_t>(blank)] ? 0xFF : 0, (dw + 7) / 8);
        } else {
            auto* pixels = reinterpret_cast<QRgb*>(line);
            std::fill(pixels, pixels + ink.begin, qRgb(blank, blank, blank));
            std::fill(pixels + ink.end, pixels + dw, qRgb(blank, blank, blank));
        }
        for (int x = ink.begin; x < ink.end; ++x) {
            const std::uint32_t sum = blankShade * kOne + extra[static_cast<std::size_t>(x)];
            extra[static_cast<std::size_t>(x)] = 0;
            const int g = static_cast<int>((sum >> 24) & 0xff);
            if (black != nullptr) {
                const auto bit = static_cast<uchar>(0x80 >> (x & 7));
                if ((*black)[static_cast<std::size_t>(g)]) {
                    line[x >> 3] |= bit;
                } else {
                    line[x >> 3] &= static_cast<uchar>(~bit);
                }
            } else {
                reinterpret_cast<QRgb*>(line)[x] = qRgb(g, g, g);
            }
        }
    }
}

// The averaged page in out, whose size is set: RGB32, or Mono through black.
void Shrink(const QImage& page, QImage& out, const Blacks* black) {
    const int dw = out.width(), dh = out.height();
    const std::vector<Span> xs = Spans(page.width(), dw), ys = Spans(page.height(), dh);
    uchar* bits = out.bits();  // detached once, before any band runs
    const qsizetype stride = out.bytesPerLine();
    if (black != nullptr) {
        // A server's threads already share the machine between requests.
        ScaleBand(page, xs, ys, 0, dh, bits, stride, black);
        return;
    }
    // Bands of rows in the pool's threads, as Qt's own smooth scaling runs;
    // each band writes its own rows only.
    QThreadPool* pool = QThreadPool::globalInstance();
    const int bands = std::clamp(std::min(pool->maxThreadCount(), dh / 64), 1, 16);
    if (bands == 1 || pool->contains(QThread::currentThread())) {
        ScaleBand(page, xs, ys, 0, dh, bits, stride, black);
        return;
    }
    QSemaphore done;
    for (int b = 1; b < bands; ++b) {
        const int y0 = dh * b / bands, y1 = dh * (b + 1) / bands;
        pool->start([&, y0, y1] {
            ScaleBand(page, xs, ys, y0, y1, bits, stride, black);
            done.release();
        });
    }
    ScaleBand(page, xs, ys, 0, dh / bands, bits, stride, black);
    done.acquire(bands - 1);
}

}  // namespace

QImage ScaleDown(const QImage& page, int dw, int dh) {
    if (!IsBitonal(page) || !ShrinksByAreaAverage(page.width(), page.height(), dw, dh)) return {};
    QImage out(dw, dh, QImage::Format_RGB32);
    if (!out.isNull()) Shrink(page, out, nullptr);
    return out;
}

QImage ShrinkToBlackAndWhite(const QImage& page, int dw, int dh, const Blacks& black) {
    if (!IsBitonal(page) || dw <= 0 || dh <= 0 || dw > page.width() || dh > page.height())
        return {};
    QImage out(dw, dh, QImage::Format_Mono);
    if (out.isNull()) return {};
    out.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    Shrink(page, out, &black);
    return out;
}

}  // namespace bitonal
