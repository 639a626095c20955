#include <gtest/gtest.h>

#include <climits>

#include "render/image_view_transform.h"

namespace {

using mGdi32::ImageToScreen;
using mGdi32::ImageViewTransform;
using mGdi32::ScreenToImage;

TEST(TransformTest, IdentityWithoutRotationScaleOrOffsets) {
    ImageViewTransform t{0, 1.0f, 0, 0, 800, 600, 1.0f};
    std::int32_t x = 123, y = 456;
    ImageToScreen(x, y, t);
    EXPECT_EQ(x, 123);
    EXPECT_EQ(y, 456);
    ScreenToImage(x, y, t);
    EXPECT_EQ(x, 123);
    EXPECT_EQ(y, 456);
}

TEST(TransformTest, QuarterTurnMapsScreenToImageAndBack) {
    ImageViewTransform t{1, 1.0f, 0, 0, 1000, 800, 1.0f};
    std::int32_t x = 10, y = 20;
    ScreenToImage(x, y, t);
    EXPECT_EQ(x, 20);
    EXPECT_EQ(y, 990);
    ImageToScreen(x, y, t);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
}

TEST(TransformTest, OffsetsCountInScreenPixels) {
    ImageViewTransform t{0, 0.5f, 100, 0, 1000, 1000, 1.0f};
    std::int32_t x = 10, y = 0;
    ScreenToImage(x, y, t);
    EXPECT_EQ(x, 220);
    EXPECT_EQ(y, 0);
}

TEST(TransformTest, ZeroScaleAndFactorBecomeOneInTheRecord) {
    ImageViewTransform t{0, 0.0f, 0, 0, 10, 10, 0.0f};
    std::int32_t x = 3, y = 4;
    ImageToScreen(x, y, t);
    EXPECT_EQ(t.scale, 1.0f);
    EXPECT_EQ(t.factor, 1.0f);
    EXPECT_EQ(x, 3);
}

TEST(TransformTest, HalvesRoundToEven) {
    ImageViewTransform t{0, 2.0f, 0, 0, 100, 100, 1.0f};
    std::int32_t x = 5, y = 7;
    ScreenToImage(x, y, t);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 4);
}

TEST(TransformTest, EveryRotationRoundTripsWithScaleOffsetsAndFactor) {
    // Points that land on whole screen pixels come back exactly.
    for (int r = 0; r < 4; ++r) {
        ImageViewTransform t{r, 2.0f, 40, 60, 1200, 900, 0.5f};
        for (auto [ix, iy] : {std::pair{100, 200}, std::pair{400, 40}, std::pair{1000, 1600}}) {
            std::int32_t x = ix, y = iy;
            ImageToScreen(x, y, t);
            std::int32_t sx = x, sy = y;
            ScreenToImage(x, y, t);
            EXPECT_EQ(x, ix) << "rotation " << r;
            EXPECT_EQ(y, iy) << "rotation " << r;
            // The screen point follows the rotation's geometry.
            const int dx = ix / 2, dy = iy / 2;  // displayed pixels
            int ex = 0, ey = 0;
            switch (r) {
                case 0:
                    ex = dx;
                    ey = dy;
                    break;
                case 1:
                    ex = 1200 - dy;
                    ey = dx;
                    break;
                case 2:
                    ex = 1200 - dx;
                    ey = 900 - dy;
                    break;
                case 3:
                    ex = dy;
                    ey = 900 - dx;
                    break;
            }
            EXPECT_EQ(sx, 2 * (ex - 20)) << "rotation " << r;
            EXPECT_EQ(sy, 2 * (ey - 30)) << "rotation " << r;
        }
    }
}

TEST(TransformTest, OtherRotationsSkipTheRotationStep) {
    ImageViewTransform t{7, 2.0f, 40, 40, 100, 100, 1.0f};
    std::int32_t x = 10, y = 20;
    ImageToScreen(x, y, t);
    EXPECT_EQ(x, 20);
    EXPECT_EQ(y, 40);
}

TEST(TransformTest, FarPointsSaturateInsteadOfWrapping) {
    ImageViewTransform t{2, 1000.0f, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 1000.0f};
    std::int32_t x = INT_MAX, y = INT_MIN;
    ImageToScreen(x, y, t);
    EXPECT_TRUE(x == INT_MAX || x == INT_MIN);
    ImageViewTransform u{0, 0.001f, 0, 0, 10, 10, 0.001f};
    x = INT_MAX;
    y = INT_MIN;
    ScreenToImage(x, y, u);
    EXPECT_EQ(x, INT_MAX);
    EXPECT_EQ(y, INT_MIN);
}

TEST(TransformTest, PageDrawInfoBuildsTheTransformWithTheFactor) {
    PageDrawInfo info;
    info.width = 500;
    info.height = 700;
    info.scale = 0.0f;
    info.offsetX = 3;
    info.offsetY = 4;
    info.rotation = 3;
    mGdi32::ImageViewTransform t = mGdi32::TransformFor(info, 0.0f);
    EXPECT_EQ(t.rotation, 3);
    EXPECT_EQ(t.scale, 1.0f);
    EXPECT_EQ(t.factor, 1.0f);
    EXPECT_EQ(t.width, 500);
    EXPECT_EQ(t.offsetY, 4);
}

}  // namespace
