#include <gtest/gtest.h>

#include <string>

#include "annotations/annotation_edit.h"
#include "annotations/clip_rules.h"

namespace {

using namespace annotations;

AnnotationRec Rec(int l, int t, int r, int b, std::string text = "") {
    AnnotationRec rec;
    rec.Left = l;
    rec.Top = t;
    rec.Right = r;
    rec.Bottom = b;
    rec.Text = std::move(text);
    return rec;
}

TEST(AnnotationHitTest, PointsOnTheEdgeOfEveryKindAreNoHit) {
    const AnnotationRec box = Rec(10, 20, 110, 60);
    const AnnotationRec markup = Rec(500, 500, 500, 500, "500,500;900,520");
    struct Case {
        const char* what;
        bool hit;
        bool expected;
    } cases[] = {
        {"box inside", BoxHit(box, 11, 21), true},
        {"box left edge", BoxHit(box, 10, 40), false},
        {"box right edge", BoxHit(box, 110, 40), false},
        {"box top edge", BoxHit(box, 50, 20), false},
        {"box bottom edge", BoxHit(box, 50, 60), false},
        {"icon inside", IconHit(box, 10 + 23, 20 + 23, 24), true},
        {"icon far edge", IconHit(box, 10 + 24, 30, 24), false},
        {"icon of size 0", IconHit(box, 11, 21, 0), false},
        {"markup 99 around its first point", MarkupHit(markup, 401, 599), true},
        {"markup 100 around its first point", MarkupHit(markup, 400, 550), false},
        {"markup along its points", MarkupHit(markup, 899, 580), true},
        {"markup past its last point", MarkupHit(markup, 900, 580), false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.hit, c.expected) << c.what;
}

TEST(AnnotationHitTest, IconSizeFollowsScaleAndFactorAndScaleZeroHitsNothing) {
    struct Case {
        int pixels;
        float scale, factor;
        int expected;
    } cases[] = {
        {24, 1.0f, 1.0f, 24}, {24, 0.5f, 1.0f, 48}, {24, 2.0f, 1.0f, 12},
        {24, 1.0f, 0.0f, 24},  // a factor of 0 counts as 1
        {24, 0.5f, 2.0f, 24}, {24, 0.0f, 1.0f, 0},  {24, -1.0f, 1.0f, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IconSizeInImage(c.pixels, c.scale, c.factor), c.expected)
            << c.scale << " " << c.factor;
}

TEST(AnnotationHitTest, KindsAreTriedInOrderAndTheFirstRecordWins) {
    PageLists l;
    l[kHighlight] = {{Rec(0, 0, 100, 100)}, 1};
    l[kRedaction] = {{Rec(0, 0, 100, 100), Rec(0, 0, 200, 200)}, 2};
    l[kStickyNote] = {{Rec(150, 150, 0, 0)}, 1};
    l[kClip] = {{Rec(150, 150, 0, 0)}, 1};
    l[kMarkup] = {{Rec(300, 300, 300, 300, "300,300")}, 1};
    struct Case {
        int x, y;
        std::int32_t kind;
        int index;
    } cases[] = {
        {50, 50, kHighlight, 0},    // over a redaction too: the highlight comes first
        {150, 150, kRedaction, 1},  // the second redaction, before the icons
        {380, 380, kMarkup, 0},
        {450, 450, 0, -1},
    };
    for (const Case& c : cases) {
        const AnnotationHit hit = FindAnnotationAt(l, c.x, c.y, 24, 24);
        EXPECT_EQ(hit.kind, c.kind) << c.x;
        EXPECT_EQ(hit.index, c.index) << c.x;
    }
    l[kRedaction].count = 0;  // records past the count are not on the page
    EXPECT_EQ(FindAnnotationAt(l, 160, 160, 24, 24).kind, kStickyNote);
    l[kStickyNote].count = 0;
    EXPECT_EQ(FindAnnotationAt(l, 160, 160, 24, 24).kind, kClip);
}

TEST(AnnotationListEdit, RemovingMovesLaterRecordsUpAndAppendingGoesLast) {
    KindList k{{Rec(1, 0, 0, 0), Rec(2, 0, 0, 0), Rec(3, 0, 0, 0)}, 3};
    RemoveRecord(k, 0);
    ASSERT_EQ(k.count, 2);
    EXPECT_EQ(k.list[0].Left, 2);
    EXPECT_EQ(k.list[1].Left, 3);
    RemoveRecord(k, 5);  // nothing there
    EXPECT_EQ(k.count, 2);
    AppendRecord(k, Rec(9, 0, 0, 0));
    EXPECT_EQ(k.count, 3);
    EXPECT_EQ(k.list[2].Left, 9);
}

TEST(AnnotationListEdit, AListTooLongForTheServerIsNeverBuiltForASave) {
    AnnotationList list = {Rec(0, 0, 10, 10, std::string(11900, 'a'))};
    std::string text;
    EXPECT_TRUE(BuildListForSave(1, list, text));
    list.push_back(Rec(0, 0, 10, 10, std::string(200, 'b')));
    EXPECT_FALSE(BuildListForSave(2, list, text));
    EXPECT_GT(text.size(), TalqClientAPI_Header::kMaxAnnotationListText) << "built whole, not cut";
}

// Another user's version of a mark is only ever the one new record in its
// place: one shown already, one elsewhere, or two new ones are never taken.
TEST(AnnotationListEdit, TheMarkNowInPlaceIsNeverAGuess) {
    const AnnotationRec mine = Rec(10, 10, 50, 50, "mine"), theirs = Rec(10, 10, 50, 50, "theirs");
    const KindList shown{{mine, theirs}, 2};
    const AnnotationRec changed = Rec(10, 10, 50, 50, "changed");
    EXPECT_EQ(MarkNowInPlace(KindList{{theirs, changed}, 2}, shown, mine), 1);
    EXPECT_EQ(MarkNowInPlace(KindList{{theirs}, 1}, shown, mine), -1) << "deleted";
    EXPECT_EQ(MarkNowInPlace(KindList{{Rec(11, 10, 50, 50, "x")}, 1}, shown, mine), -1);
    EXPECT_EQ(MarkNowInPlace(KindList{{changed, Rec(10, 10, 50, 50, "new")}, 2}, shown, mine), -1)
        << "two candidates";
}

TEST(AnnotationUserText, ControlCharactersOtherThanLineBreaksAndTabsAreDropped) {
    const std::string typed = std::string("a\x18") + "b\x1F" + "c\x1E\x1D\x16\x00" + "d\r\n\te";
    EXPECT_EQ(CleanUserText(std::string(typed.data(), typed.size())), "abcd\r\n\te");
    EXPECT_EQ(MarkupPointText({{120, 40}, {130, 52}, {160, 60}}), "120,40;130,52;160,60");
}

TEST(ClipTargets, StoredClipsSplitByModeAndFreeCommandsByTheirRules) {
    struct Case {
        std::int32_t mode;
        std::string text;
        ClipTarget expected;
    } cases[] = {
        {1, "/docs/a.pdf", {1, "/docs/a.pdf", ""}},
        {2, std::string("/docs/a.txt\x1E/usr/bin/gedit"), {2, "/docs/a.txt", "/usr/bin/gedit"}},
        {0, "C:\\Tools\\View.EXE report.doc", {2, "report.doc", "C:\\Tools\\View.EXE"}},
        {0, "\"/docs/one path.pdf\"", {1, "/docs/one path.pdf", ""}},
    };
    for (const Case& c : cases) {
        const ClipTarget t = ReadStoredClip(c.mode, c.text);
        EXPECT_EQ(t.mode, c.expected.mode) << c.text;
        EXPECT_EQ(t.file, c.expected.file) << c.text;
        EXPECT_EQ(t.program, c.expected.program) << c.text;
    }
}

}  // namespace
