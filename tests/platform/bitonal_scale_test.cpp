#include <gtest/gtest.h>

#include <random>

#include "platform/bitonal_scale.h"

namespace {

QImage RandomBitonal(int w, int h, QRgb colour0, QRgb colour1, unsigned seed) {
    std::mt19937 rng(seed);
    QImage page(w, h, QImage::Format_Mono);
    page.setColorTable({colour0, colour1});
    page.fill(0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (rng() % 3 == 0) page.setPixel(x, y, 1);
        }
    }
    return page;
}

QImage QtSmoothScale(const QImage& page, int dw, int dh) {
    return page.convertToFormat(QImage::Format_RGB32)
        .scaled(dw, dh, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

// Shrinking from the 1-bit page must show exactly what the smooth scaling of
// its 32-bit copy showed, or pages would change look.
TEST(BitonalScale, ShrinkingFromOneBitMatchesTheSmoothScaleOfTheFullCopy) {
    const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0), grey = qRgb(200, 200, 200);
    struct Case {
        int w, h;
        QRgb c0, c1;
    } cases[] = {{400, 400, white, black},
                 {37, 53, white, black},
                 {101, 99, black, white},
                 {641, 480, black, grey}};
    for (const Case& c : cases) {
        const QImage page = RandomBitonal(c.w, c.h, c.c0, c.c1, static_cast<unsigned>(c.w));
        for (int dw = 1; dw < c.w; dw += 7) {
            const int dh = std::max(1, dw * c.h / c.w);
            if (!bitonal::ShrinksByAreaAverage(c.w, c.h, dw, dh)) {
                EXPECT_TRUE(bitonal::ScaleDown(page, dw, dh).isNull());
                continue;
            }
            EXPECT_EQ(bitonal::ScaleDown(page, dw, dh), QtSmoothScale(page, dw, dh))
                << c.w << "x" << c.h << " to " << dw << "x" << dh;
        }
    }
}

// A server halves pages, a step Qt's area average does not take: each
// pixel must be black as the mean of its four is, rows ending mid-byte
// included.
TEST(BitonalScale, HalvingToBlackAndWhiteFollowsTheMeanOfEachBlock) {
    const QImage page = RandomBitonal(202, 150, qRgb(255, 255, 255), qRgb(0, 0, 0), 7);
    // Below 64, 128 and 192: one, two and three black pixels of four.
    for (int below : {64, 128, 192}) {
        bitonal::Blacks black{};
        for (int v = 0; v < below; ++v) black[static_cast<std::size_t>(v)] = true;
        const QImage half = bitonal::ShrinkToBlackAndWhite(page, 101, 75, black);
        ASSERT_EQ(half.size(), QSize(101, 75));
        for (int y = 0; y < 75; ++y) {
            for (int x = 0; x < 101; ++x) {
                const int sum =
                    qGray(page.pixel(2 * x, 2 * y)) + qGray(page.pixel(2 * x + 1, 2 * y)) +
                    qGray(page.pixel(2 * x, 2 * y + 1)) + qGray(page.pixel(2 * x + 1, 2 * y + 1));
                ASSERT_EQ(qGray(half.pixel(x, y)) == 0, sum / 4 < below)
                    << x << "," << y << " below " << below;
            }
        }
    }
    EXPECT_TRUE(bitonal::ShrinkToBlackAndWhite(page, 203, 75, {}).isNull()) << "larger than the page";
}

}  // namespace
