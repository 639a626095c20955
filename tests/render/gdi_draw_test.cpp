#include <gtest/gtest.h>

#include <QPainter>

#include "render/gdi32.h"

namespace {

using platform::DrawSurface;
using namespace mGdi32;

constexpr std::int32_t kWhite = 0xFFFFFF;
constexpr std::int32_t kYellow = 0x00FFFF;
constexpr std::int32_t kRed = 0x0000FF;
constexpr std::int32_t kBlue = 0xFF0000;

ImageViewTransform Identity(int w = 200, int h = 200) {
    return {0, 1.0f, 0, 0, w, h, 1.0f};
}

int Count(const DrawSurface& s, std::int32_t colour, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += s.Point(x, y) == colour;
    return n;
}

QRect Ink(const DrawSurface& s, std::int32_t background = kWhite) {
    QRect ink;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            if (s.Point(x, y) != background) ink |= QRect(x, y, 1, 1);
    return ink;
}

TEST(FontTest, CellHeightIsSizeTimesOnePointSixFive) {
    DrawSurface s(10, 10);
    platform::SurfaceFont made, previous;
    ASSERT_TRUE(CreateFontForDC(s, "Arial", 14, 0, 0, made, previous));
    EXPECT_EQ(made.cellHeight, 23);
    EXPECT_FALSE(previous.valid);
    platform::SurfaceFont second, first;
    ASSERT_TRUE(CreateFontForDC(s, "Arial", 20, 1, kFontBold | kFontItalic, second, first));
    EXPECT_EQ(second.cellHeight, 33);
    EXPECT_EQ(second.escapement, 2700);
    EXPECT_TRUE(second.bold);
    EXPECT_TRUE(second.italic);
    EXPECT_FALSE(second.underline);
    EXPECT_EQ(first.cellHeight, 23);
    RestoreFontForDC(s, second, first);
    EXPECT_EQ(s.SelectedFont().cellHeight, 23);
    std::int32_t w = 0, h = 0;
    EXPECT_TRUE(GetTextWidth(s, "Wide", w, h));
    EXPECT_GT(w, 20);
    EXPECT_LE(h, 23);
    EXPECT_FALSE(GetTextWidth(s, "", w, h));

    EXPECT_EQ(CreateFontForDC(s, std::string(40, 'x'), 10, 2, 0, made, previous), true);
    EXPECT_EQ(made.face.size(), 31u);
    EXPECT_EQ(made.escapement, 1800);
    DrawSurface none;
    EXPECT_FALSE(CreateFontForDC(none, "Arial", 10, 0, 0, made, previous));
    EXPECT_FALSE(made.valid);
}

TEST(FontTest, TextDirectionFollowsBitsAndPageRotation) {
    EXPECT_EQ(TextDirectionFor(1, 0), 3);
    EXPECT_EQ(TextDirectionFor(0, 2), 2);
    EXPECT_EQ(TextDirectionFor(3, 3), 0);
    EXPECT_EQ(TextDirectionFor(4, 1), 2);
    EXPECT_EQ(TextDirectionFor(2 | 4, 0), 1);  // the later bit wins
    for (int rotation : {-9, 4, 77}) {
        int d = TextDirectionFor(1, rotation);
        EXPECT_TRUE(d >= 0 && d <= 3) << rotation;
    }
}

class WrapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::SurfaceFont made, previous;
        ASSERT_TRUE(CreateFontForDC(s_, "Arial", 10, 0, 0, made, previous));  // 17 px lines
        s_.ForeColor = 0;
    }
    DrawSurface s_{200, 200};
};

TEST_F(WrapTest, ABoxOfOneLineTakesThePrefixThatFits) {
    DrawTextWrapped(s_, "abcdefghijklmnopqrstuvwxyz", 0, 10, 10, 60, 30);
    QRect ink = Ink(s_);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left(), 10);
    EXPECT_LE(ink.right(), 60);
    EXPECT_LE(ink.bottom(), 30);
}

TEST_F(WrapTest, ALongWordBreaksBetweenCharactersAcrossLines) {
    DrawTextWrapped(s_, "abcdefghijklmnopqrstuvwxyzabcdefghij", 0, 10, 10, 70, 190);
    QRect ink = Ink(s_);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_LE(ink.right(), 70);
    EXPECT_GT(ink.height(), 17);  // a second line
}

TEST_F(WrapTest, WordsWrapWithinTheBoxAndStopAtItsDepth) {
    DrawTextWrapped(s_, "one two three four five six seven eight nine ten eleven twelve", 0, 10, 10,
                    90, 60);
    QRect ink = Ink(s_);
    EXPECT_LE(ink.right(), 90);
    EXPECT_LE(ink.bottom(), 60 + 17);
    EXPECT_GT(ink.height(), 20);
}

TEST_F(WrapTest, ADirectionOutsideTheFourDrawsAsDirectionZero) {
    DrawSurface plain(200, 200);
    plain.SelectFont(s_.SelectedFont());
    DrawTextWrapped(plain, "some words here", 0, 10, 10, 190, 190);
    DrawTextWrapped(s_, "some words here", 9, 10, 10, 190, 190);
    EXPECT_EQ(s_.Image(), plain.Image());
    EXPECT_FALSE(Ink(s_).isEmpty());
}

TEST_F(WrapTest, TurnedTextStartsAtItsCorner) {
    platform::SurfaceFont made, previous;
    ASSERT_TRUE(CreateFontForDC(s_, "Arial", 10, 1, 0, made, previous));
    DrawTextWrapped(s_, "down", 1, 20, 20, 120, 180);
    QRect ink = Ink(s_);
    EXPECT_LE(ink.right(), 120);  // the cell hangs left of the right edge
    EXPECT_GE(ink.left(), 120 - 18);
    EXPECT_GE(ink.top(), 20);
}

TEST(BoxTest, AnnotBoxMasksThePageOrHatchesInsideABlackOutline) {
    DrawSurface s(100, 100);
    s.DrawMode = platform::kDrawCopyPen;
    s.Box(0, 0, 30 * 15, 99 * 15, 0x303030, true);
    ImageViewTransform t = Identity();
    DrawAnnotBox(s, kYellow, {10, 10, 60, 60}, t, 0);
    EXPECT_EQ(s.Point(40, 40), kYellow);
    EXPECT_EQ(s.Point(20, 20), 0x303030 & kYellow);
    EXPECT_EQ(s.Point(70, 70), kWhite);
    EXPECT_EQ(s.DrawMode, platform::kDrawMaskPen);

    DrawSurface o(100, 100);
    o.FillColor = kRed;
    DrawAnnotBox(o, kYellow, {10, 10, 60, 60}, t, 1);
    EXPECT_EQ(o.Point(10, 30), 0);  // outline in black, not the colour
    EXPECT_EQ(o.Point(60, 30), 0);
    EXPECT_GT(Count(o, kRed, QRect(11, 11, 49, 49)), 100);
    EXPECT_GT(Count(o, kWhite, QRect(11, 11, 49, 49)), 1000);
    EXPECT_EQ(Count(o, kYellow, QRect(0, 0, 100, 100)), 0);
}

TEST(BoxTest, RubberBandTwiceRestoresTheScreen) {
    DrawSurface s(80, 80);
    s.DrawMode = platform::kDrawCopyPen;
    s.Box(0, 0, 40 * 15, 40 * 15, kBlue, true);
    const QImage before = s.Image().copy();
    ImageViewTransform t{0, 2.0f, 0, 0, 40, 40, 1.0f};
    DrawRubberBandRect(s, {5, 5, 30, 30}, t);
    EXPECT_NE(s.Image(), before);
    EXPECT_EQ(s.Point(10, 30), kWhite ^ kBlue);
    DrawRubberBandRect(s, {5, 5, 30, 30}, t);
    EXPECT_EQ(s.Image(), before);
}

TEST(MarkupTest, PolylineFollowsItsPointsInThePenColour) {
    DrawSurface s(100, 100);
    ImageViewTransform t = Identity();
    DrawMarkupLine(s, kRed, 1, "10,10;50,10;50,60", t, 0);
    EXPECT_EQ(s.Point(30, 10), kRed);
    EXPECT_EQ(s.Point(50, 40), kRed);
    EXPECT_EQ(s.Point(30, 30), kWhite);
    EXPECT_EQ(s.DrawWidth, 1);

    DrawSurface wide(100, 100);
    ImageViewTransform half{0, 0.5f, 0, 0, 200, 200, 2.0f};
    DrawMarkupLine(wide, kRed, 4, "20,20;160,20", half, 0);
    EXPECT_EQ(wide.DrawWidth, 4);
    EXPECT_EQ(wide.Point(50, 21), kRed);
    EXPECT_EQ(wide.Point(50, 24), kWhite);
}

TEST(MarkupTest, ZeroPairsAreSkippedButScreenZeroStillJoins) {
    DrawSurface s(100, 100);
    ImageViewTransform t = Identity();
    DrawMarkupLine(s, kRed, 1, "0,0;20,20;20,70", t, 0);
    EXPECT_EQ(s.Point(20, 40), kRed);
    EXPECT_EQ(s.Point(10, 10), kWhite);  // no segment from the skipped pair

    // Scrolled so that the middle vertex lands on screen column 0.
    DrawSurface edge(100, 100);
    ImageViewTransform scrolled{0, 1.0f, 30, 0, 200, 200, 1.0f};
    DrawMarkupLine(edge, kRed, 1, "60,10;30,50;80,50", scrolled, 0);
    EXPECT_EQ(edge.Point(0, 50), kRed);
    EXPECT_EQ(edge.Point(25, 50), kRed);  // the segment leaving x = 0
    EXPECT_EQ(edge.Point(15, 30), kRed);  // and the one reaching it
}

TEST(MarkupTest, SelectedLineInvertsAndCanBeErased) {
    DrawSurface s(100, 100);
    const QImage before = s.Image().copy();
    ImageViewTransform t = Identity();
    DrawMarkupLine(s, kRed, 9, "10,50;90,50", t, 1);
    EXPECT_EQ(s.DrawWidth, 1);
    EXPECT_EQ(s.DrawStyle, platform::kDrawDash);
    EXPECT_GT(Count(s, 0, QRect(0, 50, 100, 1)), 10);
    EXPECT_GT(Count(s, kWhite, QRect(10, 50, 80, 1)), 5);  // dashed
    DrawMarkupLine(s, kRed, 9, "10,50;90,50", t, 1);
    EXPECT_EQ(s.Image(), before);
}

struct RedactionCase {
    std::int16_t colorMode;
    std::int16_t fillMode;
    std::int32_t fill;
    std::int32_t outline;
    std::int32_t text;
};

TEST(RedactionTest, FillOutlineAndLabelColoursFollowTheModes) {
    const std::int32_t fill = kBlue, fontColour = kRed;
    const RedactionCase cases[] = {
        {0, 0, fill, fill, fontColour},    // screen: solid in the fill colour
        {1, 0, fill, 0, kWhite},           // forced black print
        {2, 0, fill, kWhite, 0},           // forced white print
        {0, 1, kWhite, fill, fontColour},  // see-through
        {2, 1, kWhite, fill, 0},           // see-through keeps the fill colour
    };
    for (const RedactionCase& c : cases) {
        DrawSurface s(200, 120);
        ImageViewTransform t = Identity(200, 120);
        AnnotFont font{"", 12, 0, fontColour};
        DrawRedactionLabel(s, fill, "SECRET", font, {10, 10, 190, 110}, 0, t, c.colorMode,
                           c.fillMode);
        EXPECT_EQ(font.face, "Arial");
        EXPECT_EQ(s.Point(10, 60), c.outline) << c.colorMode << "/" << c.fillMode;
        EXPECT_EQ(s.Point(15, 15), c.fill) << c.colorMode << "/" << c.fillMode;
        EXPECT_GT(Count(s, c.text, QRect(40, 40, 120, 40)), 20) << c.colorMode << "/" << c.fillMode;
        // The label is centred in the box.
        QRect ink;
        for (int y = 11; y < 110; ++y)
            for (int x = 11; x < 190; ++x)
                if (s.Point(x, y) == c.text) ink |= QRect(x, y, 1, 1);
        EXPECT_NEAR(ink.center().x(), 100, 6) << c.colorMode << "/" << c.fillMode;
        EXPECT_NEAR(ink.center().y(), 60, 6) << c.colorMode << "/" << c.fillMode;
    }
}

TEST(RedactionTest, AWhiteOutlineAroundAnOpenFillTurnsBlack) {
    DrawSurface s(100, 100);
    ImageViewTransform t = Identity(100, 100);
    AnnotFont font{"Arial", 10, 0, 0};
    DrawRedactionLabel(s, kWhite, "", font, {10, 10, 90, 90}, 0, t, 0, 1);
    EXPECT_EQ(s.Point(10, 50), 0);
    EXPECT_EQ(s.Point(50, 50), kWhite);
}

TEST(RedactionTest, CrossHatchShowsThePageBetweenItsLines) {
    DrawSurface s(100, 100);
    ImageViewTransform t = Identity(100, 100);
    AnnotFont font{"Arial", 10, 0, 0};
    DrawRedactionLabel(s, kBlue, "", font, {0, 0, 99, 99}, 0, t, 0, 2);
    EXPECT_GT(Count(s, kBlue, QRect(1, 1, 98, 98)), 500);
    EXPECT_GT(Count(s, kWhite, QRect(1, 1, 98, 98)), 3000);
}

TEST(TextAnnotationTest, EmptyTextDrawsNothingAndSelectedTextIsBlack) {
    DrawSurface s(200, 100);
    ImageViewTransform t = Identity(200, 100);
    AnnotFont font{"Arial", 12, 0, kRed};
    DrawTextAnnotation(s, "", font, {0, 0, 199, 99}, 0, t, 0, 0);
    EXPECT_TRUE(Ink(s).isEmpty());
    DrawTextAnnotation(s, "Note", font, {20, 10, 199, 99}, 0, t, 0, 0);
    QRect ink = Ink(s);
    EXPECT_GE(ink.left(), 20);
    EXPECT_LE(ink.left(), 24);
    EXPECT_GT(Count(s, kRed, QRect(0, 0, 200, 100)), 20);
    DrawSurface sel(200, 100);
    DrawTextAnnotation(sel, "Note", font, {20, 10, 199, 99}, 0, t, 1, 0);
    EXPECT_EQ(Count(sel, kRed, QRect(0, 0, 200, 100)), 0);
    EXPECT_GT(Count(sel, 0, QRect(0, 0, 200, 100)), 20);
}

TEST(PrinterTest, StretchCapabilityComesFromTheSurface) {
    DrawSurface s(2, 2);
    EXPECT_TRUE(IsPrinterStretchDib(s));
    s.RasterCaps = 0x1;
    EXPECT_FALSE(IsPrinterStretchDib(s));
}

}  // namespace
