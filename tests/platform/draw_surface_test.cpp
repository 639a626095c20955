#include <gtest/gtest.h>

#include <QFontMetrics>

#include "platform/draw_surface.h"

namespace {

using platform::DrawSurface;

constexpr std::int32_t kWhite = 0xFFFFFF;
constexpr std::int32_t kYellow = 0x00FFFF;
constexpr std::int32_t kRed = 0x0000FF;

TEST(DrawSurfaceTest, ColoursKeepTheStoredByteOrder) {
    EXPECT_EQ(platform::RgbFromColorRef(kRed), qRgb(255, 0, 0));
    EXPECT_EQ(platform::RgbFromColorRef(0xFF0000), qRgb(0, 0, 255));
    EXPECT_EQ(platform::ColorRefFromRgb(qRgb(0x12, 0x34, 0x56)), 0x563412);
    DrawSurface s(4, 4, kYellow);
    EXPECT_EQ(s.Point(0, 0), kYellow);
    EXPECT_EQ(s.Point(4, 0), -1);
}

TEST(DrawSurfaceTest, MaskPenAndsTheColourWithThePage) {
    DrawSurface s(20, 20, kWhite);
    s.DrawMode = platform::kDrawCopyPen;
    s.Box(0, 0, 150, 300, 0x404040, true);  // dark strip, pixels 0..10 x 0..20
    s.DrawMode = platform::kDrawMaskPen;
    s.Box(0, 0, 19 * 15, 19 * 15, kYellow, true);
    EXPECT_EQ(s.Point(15, 15), kYellow);           // white paper takes the colour
    EXPECT_EQ(s.Point(5, 5), 0x404040 & kYellow);  // dark print stays dark
}

TEST(DrawSurfaceTest, InvertingTwiceRestoresThePage) {
    DrawSurface s(30, 30, kWhite);
    s.DrawMode = platform::kDrawCopyPen;
    s.Box(0, 0, 150, 150, 0x123456, true);
    const QImage before = s.Image().copy();
    s.DrawMode = platform::kDrawInvert;
    s.DrawWidth = 2;
    s.FillStyle = platform::kFillTransparent;
    s.Box(30, 30, 300, 300, 0, false);
    EXPECT_NE(s.Image(), before);
    EXPECT_EQ(s.Point(2, 2), 0xFFFFFF ^ 0x123456);
    EXPECT_EQ(s.Point(10, 10), 0x123456);  // inside an outline stays
    s.Box(30, 30, 300, 300, 0, false);
    EXPECT_EQ(s.Image(), before);
}

int CountColour(const DrawSurface& s, std::int32_t colour, int l, int t, int r, int b) {
    int n = 0;
    for (int y = t; y <= b; ++y)
        for (int x = l; x <= r; ++x) n += s.Point(x, y) == colour;
    return n;
}

TEST(DrawSurfaceTest, HatchedFillsLeaveThePageBetweenTheirLines) {
    for (int style : {platform::kFillUpwardDiagonal, platform::kFillDiagonalCross}) {
        DrawSurface s(40, 40, kWhite);
        s.FillStyle = style;
        s.FillColor = kRed;
        s.Box(0, 0, 39 * 15, 39 * 15, 0, false);
        const int red = CountColour(s, kRed, 1, 1, 38, 38);
        const int white = CountColour(s, kWhite, 1, 1, 38, 38);
        EXPECT_GT(red, 38 * 38 / 10) << style;
        EXPECT_GT(white, 38 * 38 / 3) << style;
        EXPECT_EQ(s.Point(0, 20), 0) << style;  // the outline
    }
    DrawSurface masked(40, 40, kWhite);
    masked.DrawMode = platform::kDrawMaskPen;
    masked.FillStyle = platform::kFillUpwardDiagonal;
    masked.FillColor = kYellow;
    masked.Box(0, 0, 39 * 15, 39 * 15, 0, false);
    EXPECT_GT(CountColour(masked, kYellow, 1, 1, 38, 38), 38 * 38 / 10);
    EXPECT_GT(CountColour(masked, kWhite, 1, 1, 38, 38), 38 * 38 / 3);

    DrawSurface clear(10, 10, kWhite);
    clear.FillStyle = platform::kFillTransparent;
    clear.Box(0, 0, 135, 135, 0, false);
    EXPECT_EQ(CountColour(clear, kWhite, 1, 1, 8, 8), 64);
}

TEST(DrawSurfaceTest, TwipsFollowTheInjectedScreen) {
    DrawSurface s(20, 20, kWhite);
    s.SetTwips({20.0, 10.0});
    s.Line(100, 100, 100, 100, 0);  // one point at (5, 10)
    EXPECT_EQ(s.Point(5, 10), 0);
    EXPECT_EQ(CountColour(s, 0, 0, 0, 19, 19), 1);

    platform::SetScreenTwipsPerPixelForTest({12.0, 12.0});
    EXPECT_EQ(platform::ScreenTwipsPerPixel().x, 12.0);
    EXPECT_EQ(DrawSurface(2, 2).Twips().y, 12.0);
    platform::SetScreenTwipsPerPixelForTest({0.0, 0.0});
    EXPECT_EQ(platform::ScreenTwipsPerPixel().x, 15.0);  // 96 dpi offscreen
}

TEST(DrawSurfaceTest, FontCellHeightIsAscentPlusDescent) {
    for (int cell : {10, 23, 33, 66}) {
        platform::SurfaceFont f{true, "Arial", cell, 0, false, false, false};
        QFontMetrics m(platform::QtFontFor(f));
        EXPECT_LE(m.ascent() + m.descent(), cell);
        EXPECT_GE(m.ascent() + m.descent(), cell - 2);
        EXPECT_TRUE(m.inFont(QChar('A')));
    }
}

// The inked pixels of a text drawn at (50, 50) with an escapement.
QRect InkOf(int escapement) {
    DrawSurface s(100, 100, kWhite);
    s.SelectFont({true, "Arial", 16, escapement, false, false, false});
    s.TextOut(50, 50, "WWWW");
    QRect ink;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            if (s.Point(x, y) != kWhite) ink |= QRect(x, y, 1, 1);
    return ink;
}

TEST(DrawSurfaceTest, TextTurnsAboutItsTopLeftReferencePoint) {
    QRect flat = InkOf(0);  // right and below
    EXPECT_GE(flat.left(), 50);
    EXPECT_GE(flat.top(), 50);
    EXPECT_LE(flat.bottom(), 50 + 16);
    QRect up = InkOf(900);  // runs upward, the cell to the right
    EXPECT_LE(up.bottom(), 50);
    EXPECT_GE(up.left(), 50);
    EXPECT_LE(up.right(), 50 + 16);
    QRect down = InkOf(2700);  // runs downward, the cell to the left
    EXPECT_GE(down.top(), 50);
    EXPECT_LE(down.right(), 50);
    QRect back = InkOf(1800);  // upside down, left and above
    EXPECT_LE(back.right(), 50);
    EXPECT_LE(back.bottom(), 50);
}

}  // namespace
