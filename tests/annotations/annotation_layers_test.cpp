#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "annotations/annotation_layers.h"
#include "platform/rounding.h"
#include "render/gdi32.h"

namespace {

using namespace TalqClientAPI_Header;
using platform::DrawSurface;

constexpr std::int32_t kWhite = 0xFFFFFF;
constexpr std::int32_t kYellow = 0x00FFFF;
constexpr std::int32_t kRed = 0x0000FF;
constexpr std::int32_t kBlue = 0xFF0000;
constexpr std::int32_t kMagenta = 0xFF00FF;
constexpr std::int32_t kGreen = 0x00FF00;
constexpr std::int32_t kCyan = 0xFFFF00;

// A 400 x 300 page as displayed with the given turn and scale.
PageDrawInfo Page(int rotation, float scale) {
    PageDrawInfo info;
    info.width = rotation % 2 ? 300 : 400;
    info.height = rotation % 2 ? 400 : 300;
    info.rotation = static_cast<std::int16_t>(rotation);
    info.scale = scale;
    return info;
}

QPoint Screen(const PageDrawInfo& info, int x, int y) {
    mGdi32::ImageViewTransform t = mGdi32::TransformFor(info, 1.0f);
    mGdi32::ImageToScreen(x, y, t);
    return {x, y};
}

int CountIn(const DrawSurface& s, std::int32_t colour, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += s.Point(x, y) == colour;
    return n;
}

QRect ScreenBox(const PageDrawInfo& info, int l, int t, int r, int b) {
    return QRect(Screen(info, l, t), Screen(info, r, b)).normalized();
}

AnnotationRec Rec(int l, int t, int r, int b, std::int32_t colour) {
    AnnotationRec rec;
    rec.Left = l;
    rec.Top = t;
    rec.Right = r;
    rec.Bottom = b;
    rec.Color = colour;
    return rec;
}

TEST(LayersTest, EveryKindLandsOnItsScreenPixelsAtEachTurnAndScale) {
    QImage icon(24, 24, QImage::Format_RGB32);
    icon.fill(QColor(0, 255, 0));
    for (float scale : {1.0f, 0.5f}) {
        for (int rotation = 0; rotation < 4; ++rotation) {
            SCOPED_TRACE(testing::Message() << "scale " << scale << " rotation " << rotation);
            PageDrawInfo info = Page(rotation, scale);
            DrawSurface s(400, 400);

            AnnotationList highlights{Rec(40, 40, 120, 80, kYellow)};
            DrawHighlights(1, highlights, s, info, 0, 1.0f);
            EXPECT_EQ(s.Point(Screen(info, 80, 60).x(), Screen(info, 80, 60).y()), kYellow);

            AnnotationList redactions{Rec(200, 40, 300, 100, kBlue)};
            DrawRedactions(1, redactions, s, info, 0, 1.0f, 0);
            EXPECT_EQ(CountIn(s, kBlue, ScreenBox(info, 200, 40, 300, 100)),
                      ScreenBox(info, 200, 40, 300, 100).width() *
                          ScreenBox(info, 200, 40, 300, 100).height());

            AnnotationRec markup = Rec(50, 200, 50, 200, kRed);
            markup.Rotation = 4;  // pen size
            markup.Text = "50,200;150,200";
            DrawMarkups(1, {markup}, s, info, 0, 1.0f);
            QPoint mid = Screen(info, 100, 200);
            EXPECT_EQ(s.Point(mid.x(), mid.y()), kRed);

            AnnotationRec note = Rec(20, 100, 180, 180, 0);
            note.FontName = "Arial";
            note.FontSize = 12;
            note.Color2 = kMagenta;
            note.Text = "Note text";
            DrawTextNotes(1, {note}, s, info, 0, 1.0f);
            QRect noteBox = ScreenBox(info, 20, 100, 180, 180);
            EXPECT_GT(CountIn(s, kMagenta, noteBox), 10);
            EXPECT_EQ(CountIn(s, kMagenta, QRect(0, 0, 400, 400)), CountIn(s, kMagenta, noteBox));

            AnnotationList stickies{Rec(300, 200, 330, 230, 0)};
            DrawIconAnnotations(1, stickies, s, info, icon, 1.0f);
            // At the screen corner nearest the box's top-left, at its own size.
            const int extent = platform::RoundToInt(24 / scale);
            QRect iconBox = ScreenBox(info, 300, 200, 300 + extent, 200 + extent);
            EXPECT_EQ(s.Point(iconBox.left(), iconBox.top()), kGreen);
            EXPECT_EQ(CountIn(s, kGreen, QRect(0, 0, 400, 400)), 24 * 24);

            DrawQuesterHits("300,120,350,150|", "310,260,330,280^340,260,360,280|", s, info,
                            kYellow, kCyan, 1.0f);
            QPoint hit = Screen(info, 325, 135);
            EXPECT_EQ(s.Point(hit.x(), hit.y()), kYellow);
            QPoint word1 = Screen(info, 320, 270), word2 = Screen(info, 350, 270);
            EXPECT_EQ(s.Point(word1.x(), word1.y()), kCyan);
            EXPECT_EQ(s.Point(word2.x(), word2.y()), kCyan);
        }
    }
}

TEST(LayersTest, SearchHitsBoxOnlyMatchingWordsWithWildcards) {
    PageDrawInfo info = Page(0, 1.0f);
    DrawSurface s(200, 100);
    DrawSearchHits("alpha|10|20|30|20^beta|60|20|30|20^alphabet|110|20|40|20", "  alph*  ", s, info,
                   kRed, 1.0f, 0);
    EXPECT_EQ(s.Point(25, 30), kRed);
    EXPECT_EQ(s.Point(75, 30), kWhite);
    EXPECT_EQ(s.Point(130, 30), kRed);

    DrawSurface blanks(200, 100);
    DrawSearchHits("alpha|10|20|30|20", "   ", blanks, info, kRed, 1.0f, 0);
    DrawSearchHits("", "alpha", blanks, info, kRed, 1.0f, 0);
    EXPECT_EQ(CountIn(blanks, kRed, QRect(0, 0, 200, 100)), 0);

    DrawSurface one(200, 100);
    DrawSearchHits("beta|60|20|30|20", "BETA", one, info, kRed, 1.0f, 0);
    EXPECT_EQ(one.Point(75, 30), kRed);  // a list without "^" is one word
}

TEST(LayersTest, SearchHitsFindWordsInsideThePunctuationOfOcrEntries) {
    struct Case {
        std::string entry, keyword;
        bool hit;
    };
    const std::vector<Case> cases = {
        {"libraries,", "libraries", true},
        {"(Acme)", "acme", true},
        {"\"quoted\"", "quoted", true},
        {"end.", "en*", true},
        {"e-mail", "mail", true},
        {"Caf\xE9;", "caf\xE9", true},  // accented letters belong to the word
        {"\x8Auma,", "\x8Auma", true},  // so do the letters of 128..159
        {"Caf\xE9;", "caf", false},
        {"librarian,", "libraries", false},
        {"U.S.", "U.S.", true},  // a whole entry still matches as before
        {"x\xD7y", "x\xD7y", true},
        {"x\xD7y", "y", true},  // the multiplication sign separates
        {"'94", "94", true},
    };
    for (const Case& c : cases) {
        PageDrawInfo info = Page(0, 1.0f);
        DrawSurface s(200, 100);
        DrawSearchHits(c.entry + "|10|20|30|20", c.keyword, s, info, kRed, 1.0f, 0);
        EXPECT_EQ(s.Point(25, 30) == kRed, c.hit) << c.entry << " / " << c.keyword;
    }
}

TEST(LayersTest, CountsBeyondTheListAndEmptyNotesDrawSafely) {
    PageDrawInfo info = Page(0, 1.0f);
    DrawSurface s(100, 100);
    AnnotationList list{Rec(10, 10, 20, 20, kBlue)};
    DrawRedactions(5, list, s, info, 0, 0.0f, 0);
    DrawHighlights(5, list, s, info, 0, 0.0f);
    DrawMarkups(5, list, s, info, 0, 0.0f);
    DrawIconAnnotations(5, list, s, info, QImage(), 0.0f);
    EXPECT_EQ(s.Point(15, 15), kBlue);

    DrawSurface notes(100, 100);
    AnnotationRec empty = Rec(0, 0, 99, 99, 0);
    empty.FontSize = 12;
    empty.Color2 = kRed;
    DrawTextNotes(1, {empty}, notes, info, 0, 1.0f);
    EXPECT_EQ(CountIn(notes, kWhite, QRect(0, 0, 100, 100)), 100 * 100);
    DrawRedactions(0, list, notes, info, 0, 1.0f, 0);
    EXPECT_EQ(notes.Point(15, 15), kWhite);
}

TEST(LayersTest, RedactionLabelsComeFromTheStamp) {
    PageDrawInfo info = Page(0, 1.0f);
    DrawSurface s(300, 100);
    AnnotationRec r = Rec(10, 10, 290, 90, 0);
    r.FontSize = 14;
    r.Color2 = kWhite;
    r.Stamp = std::string("PRIVILEGED") + kStampSep + "jdoe" + kStampSep + "01/01/2026";
    DrawRedactions(1, {r}, s, info, 0, 1.0f, 0);
    EXPECT_GT(CountIn(s, kWhite, QRect(11, 11, 278, 78)), 30);  // white label on black
    EXPECT_EQ(s.Point(12, 12), 0);
}

}  // namespace
