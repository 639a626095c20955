// The original-file window's arithmetic and quick scroll's pace.

#include <gtest/gtest.h>

#include "viewer/native_view.h"
#include "viewer/quick_scroll.h"

namespace {

using namespace viewer::nativeview;

TEST(NativeViewTest, ScaleModesFitWidthFitPageOrKeepTheScale) {
    struct Case {
        int mode;
        float current;
        int imgW, imgH;
        float scale;
        int dspW, dspH;
    };
    // An 800 x 600 view.
    const Case cases[] = {
        {0, 0.0f, 1600, 1200, 0.5f, 800, 600},    // fit width
        {1, 0.0f, 800, 1200, 0.5f, 400, 600},     // fit page: the smaller ratio
        {0, 0.0f, 800, 1200, 1.0f, 800, 1200},    // fit width of a tall page
        {2, 1.25f, 800, 600, 1.25f, 1000, 750},   // custom keeps its scale
        {2, 0.0f, 400, 300, 2.0f, 800, 600},      // custom without a scale fits the width
        {1, 0.0f, 1200, 1600, 0.375f, 450, 600},  // fit page of a tall page
    };
    for (const Case& c : cases) {
        const auto v = ScaleFor(c.mode, c.current, c.imgW, c.imgH, 800, 600);
        ASSERT_TRUE(v) << c.mode;
        EXPECT_FLOAT_EQ(v->scale, c.scale) << c.mode << " " << c.imgW;
        EXPECT_EQ(v->dspWidth, c.dspW) << c.mode << " " << c.imgW;
        EXPECT_EQ(v->dspHeight, c.dspH) << c.mode << " " << c.imgW;
    }
    // 1000 x 750 in 800 x 600: both bars, in units of ten pixels, halves to even.
    const auto v = ScaleFor(2, 1.25f, 800, 600, 800, 600);
    EXPECT_TRUE(v->horizontal.enabled);
    EXPECT_EQ(v->horizontal.maximum, 21);
    EXPECT_EQ(v->horizontal.smallChange, 2);
    EXPECT_EQ(v->horizontal.largeChange, 12);
    EXPECT_EQ(v->vertical.maximum, 16);
    EXPECT_EQ(v->vertical.largeChange, 9);
    EXPECT_FALSE(ScaleFor(0, 0.0f, 1600, 1200, 800, 600)->vertical.enabled);
}

TEST(NativeViewTest, AnImageWithoutSizeHasNoScale) {
    EXPECT_FALSE(ScaleFor(0, 1.0f, 0, 600, 800, 600));
    EXPECT_FALSE(ScaleFor(1, 1.0f, 600, 0, 800, 600));
    EXPECT_FALSE(ScaleFor(2, 1.0f, -5, 10, 800, 600));
}

TEST(NativeViewTest, ScrollOffsetsStayInsideTheImageBeyondSixteenBits) {
    // A bar value of 5000 is 50,000 pixels: past a 16-bit product.
    EXPECT_EQ(OffsetForBar(5000, 100000, 500), 50000);
    EXPECT_EQ(OffsetForBar(20000, 100000, 500), 99500);
    EXPECT_EQ(OffsetForBar(-3, 100000, 500), 0);
    EXPECT_EQ(OffsetForBar(3, 400, 500), 0);
    EXPECT_EQ(RangeFor(400000, 500).maximum, 39951);
    EXPECT_EQ(OffsetForPoint(2.0f, 100, 2000, 500), 200);
    EXPECT_EQ(OffsetForPoint(2.0f, 900, 2000, 500), 1500);
    EXPECT_EQ(OffsetForPoint(2.0f, 900, 400, 500), 0);
}

TEST(NativeViewTest, ZoomStepsAreSmallerBelowFullSizeAndStayInRange) {
    struct Case {
        float from;
        bool in;
        float to;
    };
    const Case cases[] = {{1.0f, true, 1.05f},   {1.05f, true, 1.15f}, {1.0f, false, 0.95f},
                          {3.95f, true, 4.0f},   {4.0f, true, 4.0f},   {0.1f, false, 0.05f},
                          {0.05f, false, 0.05f}, {1.3f, false, 1.2f}};
    for (const Case& c : cases) {
        const auto s = ZoomStep(c.from, c.in);
        ASSERT_TRUE(s);
        EXPECT_NEAR(*s, c.to, 1e-5) << c.from << (c.in ? " in" : " out");
    }
    EXPECT_FALSE(ZoomStep(0.0f, true));
    EXPECT_FALSE(ZoomStep(0.0f, false));
}

TEST(NativeViewTest, DragZoomNeedsMoreThan25PixelsAndNeverPasses2) {
    EXPECT_FALSE(DragZoom(10, 10, 30, 30, 800, 600));             // 20 x 20
    EXPECT_FALSE(DragZoom(30, 30, 5, 5, 800, 600));               // 25 x 25, corners swapped
    EXPECT_FLOAT_EQ(*DragZoom(10, 10, 30, 40, 800, 600), 2.0f);   // 20 x 30, capped
    EXPECT_FLOAT_EQ(*DragZoom(0, 0, 400, 1200, 800, 600), 0.5f);  // the smaller ratio
    EXPECT_FLOAT_EQ(*DragZoom(400, 1200, 0, 0, 800, 600), 0.5f);
    // One side of no length: the other side's ratio.
    EXPECT_FLOAT_EQ(*DragZoom(50, 0, 50, 1200, 800, 600), 0.5f);
    EXPECT_FLOAT_EQ(*DragZoom(0, 70, 1600, 70, 800, 600), 0.5f);
}

TEST(NativeViewTest, StoredPositionIsUsedOnlyWhenSoundAndLiesOnTheScreen) {
    const WindowRect screen{0, 0, 19200, 14400};
    struct Case {
        const char* stored;
        std::optional<WindowRect> expected;
    };
    const Case cases[] = {
        {"1500,1200,9000,7000", WindowRect{1500, 1200, 9000, 7000}},
        {"-100,-50,99999,99999", WindowRect{0, 0, 19200, 14400}},
        {"18000,14000,3000,2000", WindowRect{16200, 12400, 3000, 2000}},
        {"1500.5,1200,9000,7000", WindowRect{1500, 1200, 9000, 7000}},
        {"", std::nullopt},
        {"abc,1200,9000,7000", std::nullopt},
        {"1500,1200,9000", std::nullopt},
        {"1500,1200,0,7000", std::nullopt},
        {"1500,1200,9000,-7000", std::nullopt},
        {"1500,1200,9000,7000x", std::nullopt},
        {"nan,1,2,3", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseStartPos(c.stored, screen), c.expected) << c.stored;
    }
    // An area that does not start at the corner (a panel on the left).
    EXPECT_EQ(ParseStartPos("0,0,3000,2000", {900, 0, 18300, 14400}),
              (WindowRect{900, 0, 3000, 2000}));
    EXPECT_EQ(ParseStartPos(FormatStartPos({15, 30, 4500, 6000}), screen),
              (WindowRect{15, 30, 4500, 6000}));
}

TEST(QuickScrollPaceTest, IntervalStepsBy250Between250And15000) {
    using namespace viewer::quickscroll;
    EXPECT_EQ(OpeningInterval(0), 1000);
    EXPECT_EQ(OpeningInterval(3000), 3000);
    std::int32_t i = OpeningInterval(0);
    for (int n = 0; n < 4; ++n) i = StepInterval(i, true);
    EXPECT_EQ(i, 2000);
    EXPECT_EQ(StepInterval(250, false), 250);
    EXPECT_EQ(StepInterval(15000, true), 15000);
    EXPECT_EQ(StepInterval(500, false), 250);
}

}  // namespace
