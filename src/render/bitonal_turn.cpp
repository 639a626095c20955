#include "render/bitonal_turn.h"

#include <algorithm>
#include <cstdint>

namespace bitonal {
namespace {

// An 8 x 8 bit block, row i in byte 7 - i, leftmost pixel in the high bit:
// row i of the result is column i of the block.
std::uint64_t Transpose(std::uint64_t x) {
    std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAULL;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCULL;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ULL;
    x ^= t ^ (t << 28);
    return x;
}

}  // namespace

QImage QuarterTurn(const QImage& page, int turns) {
    if (page.format() != QImage::Format_Mono || turns < 1 || turns > 3) return {};
    // Qt's half turn of a 1-bit image reads padding it never set; two quarter
    // turns give the same pixels from known bits only.
    if (turns == 2) return QuarterTurn(QuarterTurn(page, 1), 1);
    const int w = page.width(), h = page.height();
    QImage out(h, w, QImage::Format_Mono);
    if (out.isNull()) return {};
    out.setColorTable(page.colorTable());
    out.setDotsPerMeterX(page.dotsPerMeterX());
    out.setDotsPerMeterY(page.dotsPerMeterY());
    out.setOffset(page.offset());
    const bool clockwise = turns == 1;
    const int outBytes = (h + 7) / 8, inBytes = (w + 7) / 8;
    const std::uint8_t* in = page.constBits();
    std::uint8_t* bits = out.bits();
    const qsizetype inStride = page.bytesPerLine(), outStride = out.bytesPerLine();
    // Bits past the last pixel of a row are padding nobody set: kept out of the
    // block, they cannot turn into pixels, and the turned rows' own padding is
    // cleared so that whoever reads whole words of them reads known bits.
    const std::uint8_t lastByteMask =
        w % 8 == 0 ? 0xFF : static_cast<std::uint8_t>(0xFF << (8 - w % 8));
    for (int r = 0; r < w; ++r) {
        std::fill(bits + outStride * r + outBytes, bits + outStride * (r + 1), std::uint8_t{0});
    }
    // Clockwise, output column c shows source row h - 1 - c and output row
    // r source column r; the other way, column c shows row c and row r
    // shows column w - 1 - r.
    for (int bc = 0; bc < outBytes; ++bc) {
        const std::uint8_t* rows[8];
        for (int i = 0; i < 8; ++i) {
            const int c = bc * 8 + i;
            rows[i] = c >= h ? nullptr : in + inStride * (clockwise ? h - 1 - c : c);
        }
        for (int bx = 0; bx < inBytes; ++bx) {
            const std::uint8_t mask = bx == inBytes - 1 ? lastByteMask : 0xFF;
            std::uint64_t block = 0;
            for (int i = 0; i < 8; ++i) {
                const std::uint8_t b = rows[i] ? rows[i][bx] & mask : 0;
                block |= static_cast<std::uint64_t>(b) << (8 * (7 - i));
            }
            block = Transpose(block);
            for (int j = 0; j < 8; ++j) {
                const int x = bx * 8 + j;
                if (x >= w) break;
                const auto column = static_cast<std::uint8_t>(block >> (8 * (7 - j)));
                bits[outStride * (clockwise ? x : w - 1 - x) + bc] = column;
            }
        }
    }
    return out;
}

}  // namespace bitonal
