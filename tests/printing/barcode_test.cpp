// The key drawn as a Code 39 symbol and read back from one scanline, in
// each of the four directions.

#include <gtest/gtest.h>

#include <vector>

#include "print_test_support.h"
#include "printing/gdi_prn.h"

namespace {

// The samples through the middle of the bar span, from the symbol's start.
std::vector<bool> Scan(const QImage& img, const QRect& box, int rotation, int across) {
    std::vector<bool> dark;
    const bool vertical = rotation == 1 || rotation == 3;
    const int length = vertical ? box.height() : box.width();
    for (int k = 0; k < length; ++k) {
        int x = 0, y = 0;
        switch (rotation) {
            case 1:
                x = box.right() - across, y = box.top() + k;
                break;
            case 2:
                x = box.right() - k, y = box.bottom() - across;
                break;
            case 3:
                x = box.left() + across, y = box.bottom() - k;
                break;
            default:
                x = box.left() + k, y = box.top() + across;
                break;
        }
        dark.push_back(qGray(img.pixel(x, y)) < 128);
    }
    return dark;
}

TEST(BarCode, SymbolReadsBackInEveryDirection) {
    struct Case {
        std::string key, expected;
        int resolution, size;
    };
    const Case cases[] = {
        {"AB-12", "*AB-12*", 300, 14},
        {"ab,_&", "*AB /+*", 300, 14},
        {"X $Y", "*X--Y*", 300, 14},
        {"DOC0042", "*DOC0042*", 100, 8},  // one-pixel modules stay apart
    };
    for (const Case& c : cases) {
        for (int rotation = 0; rotation < 4; ++rotation) {
            cGdiPrn engine;
            std::int32_t w = 0, h = 0;
            engine.BarCodeWidth(c.key, c.resolution, c.size, w);
            engine.BarCodeHeight(c.key, c.resolution, c.size, h);
            const bool vertical = rotation == 1 || rotation == 3;
            const QRect box(20, 20, vertical ? h : w, vertical ? w : h);
            platform::DrawSurface page(box.right() + 40, box.bottom() + 40);
            engine.DrawBarCode(page, c.key, box.left(), box.top(), box.right(), box.bottom(),
                               "Liberation Mono", c.size, c.resolution, rotation, true);
            const int cw = h / 2, gap = std::max(2, (cw + 2) / 4);
            const std::string read =
                printtest::DecodeCode39(Scan(page.Image(), box, rotation, gap + cw / 2));
            EXPECT_EQ(read, c.expected) << c.key << " rotation " << rotation;
        }
    }
}

TEST(BarCode, SizesFollowFontSizeAndResolution) {
    struct Case {
        int resolution, size, length;
        std::int32_t width, height;
    };
    // Character width cw and module m; the reservation covers the module gap
    // after every character: (length + 2) x (cw + m).
    const Case cases[] = {
        {300, 14, 8, 10 * 48, 90},    // cw 45, m 3
        {100, 8, 3, 5 * 16, 30},      // cw 15, m 1
        {300, 200, 1, 3 * 320, 600},  // size taken as 100: cw 300, m 20
        {300, 4, 2, 4 * 32, 60},      // size taken as 8: cw 30, m 2
    };
    cGdiPrn engine;
    for (const Case& c : cases) {
        std::int32_t w = 0, h = 0;
        const std::string key(c.length, 'A');
        engine.BarCodeWidth(key, c.resolution, c.size, w);
        engine.BarCodeHeight(key, c.resolution, c.size, h);
        EXPECT_EQ(w, c.width) << c.resolution << "/" << c.size;
        EXPECT_EQ(h, c.height) << c.resolution << "/" << c.size;
    }
    EXPECT_EQ(engine.BarCodePattern(300), engine.BarCodePattern('-'));
    EXPECT_EQ(engine.BarCodePattern(-1), engine.BarCodePattern('-'));
}

}  // namespace
