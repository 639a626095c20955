// The tag palette's row model and the rules for collection names.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "annotations/tag_collections.h"
#include "annotations/tag_palette.h"

namespace {

using annotations::LayoutTagPalette;
using annotations::TagPalette;

std::string Palette(int count) {
    std::string list;
    for (int i = 1; i <= count; ++i) list += (i > 1 ? "," : "") + ("T" + std::to_string(i));
    return list;
}

TEST(TagPaletteRows, KeepsTheFirst200TagsInListOrderWithEmptyNamesAndStartsOff) {
    TagPalette p;
    p.Load(Palette(250), 250);
    ASSERT_EQ(p.Count(), 200);
    EXPECT_EQ(p.Caption(1), "T1");
    EXPECT_EQ(p.Caption(200), "T200");
    p.Load("Hot,,Cold", 3);
    ASSERT_EQ(p.Count(), 3);
    EXPECT_EQ(p.Caption(2), "");
    EXPECT_FALSE(p.IsOn(1) || p.IsOn(2) || p.IsOn(3));
    p.Load("", 0);
    EXPECT_EQ(p.Count(), 0);
}

TEST(TagPaletteRows, PageTagsTurnRowsOnWithoutRegardToCaseAndOnlyWithinTheirCount) {
    struct Case {
        std::string pageTags;
        int n;
        std::string onRows;  // one letter per row: 1 on, 0 off
    } cases[] = {
        {"hot,RESPONSIVE", 2, "110"},
        {"Hot,Cold", 1, "100"},  // tokens past the count are not read
        {"", 0, "000"},
        {"Privileged & Co,other", 2, "001"},
    };
    TagPalette p;
    p.Load("Hot,Responsive,PRIVILEGED & CO", 3);
    for (const Case& c : cases) {
        p.SetOn(1, true);  // an earlier page's state never lingers
        p.MarkPageTags(c.pageTags, c.n);
        std::string got;
        for (int i = 1; i <= 3; ++i) got += p.IsOn(i) ? '1' : '0';
        EXPECT_EQ(got, c.onRows) << c.pageTags;
    }
}

TEST(TagPaletteLayout, RowsThatFitDecideTheScrollBarItsRangeAndTheLabelWidth) {
    struct Case {
        int count, width, height;
        int rowsFit;
        bool bar;
        int labelWidth, maximum, largeChange, barLeft, barHeight;
    } cases[] = {
        // 3 rows fit ((1420 - 460) / 320); a palette that fits has no bar.
        {3, 2760, 1420, 3, false, 2260, 0, 1, 0, 0},
        {200, 2760, 1420, 3, true, 2260 - 255, 197, 2, 2760 - 255 - 120, 1020},
        // Half a row rounds to even; one row fits: a page step of at least 1.
        {5, 2000, 460 + 480, 2, true, 1500 - 255, 3, 1, 2000 - 255 - 120, 540},
        {5, 2000, 460 + 320, 1, true, 1500 - 255, 4, 1, 2000 - 255 - 120, 380},
        // A pane too low for any row holds none, not a negative number.
        {4, 1600, 100, 0, true, 1100 - 255, 4, 1, 1600 - 255 - 120, 0},
        {0, 1600, 100, 0, false, 1100, 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        const auto l = LayoutTagPalette(c.count, c.width, c.height, 255);
        SCOPED_TRACE(std::to_string(c.count) + " rows in " + std::to_string(c.height));
        EXPECT_EQ(l.rowsFit, c.rowsFit);
        EXPECT_EQ(l.scrollBar, c.bar);
        EXPECT_EQ(l.labelWidth, c.labelWidth);
        if (!c.bar) continue;
        EXPECT_EQ(l.barMaximum, c.maximum);
        EXPECT_EQ(l.barLargeChange, c.largeChange);
        EXPECT_EQ(l.barLeft, c.barLeft);
        EXPECT_EQ(l.barTop, 400);
        EXPECT_EQ(l.barHeight, c.barHeight);
    }
}

TEST(TagPaletteLayout, ScrollingMovesRowsUpByWholePitches) {
    EXPECT_EQ(annotations::TagRowTop(1, 0), 460);
    EXPECT_EQ(annotations::TagRowTop(3, 0), 460 + 640);
    EXPECT_EQ(annotations::TagRowTop(3, 2), 460);
    EXPECT_LT(annotations::TagRowTop(2, 2), 460);   // scrolled out of sight
    EXPECT_EQ(annotations::TagRowTop(2, -5), 780);  // a negative value counts as 0
}

TEST(TagCollectionNames, AreTrimmedCutTo40AndRefusedWhenTheyWouldSplitTheLists) {
    EXPECT_EQ(annotations::CleanTagName("  Hot  "), "Hot");
    EXPECT_EQ(annotations::CleanTagName(std::string(45, 'x')), std::string(40, 'x'));
    EXPECT_EQ(annotations::CleanTagName(std::string(39, 'x') + "  yz"), std::string(39, 'x'));
    EXPECT_EQ(annotations::TagNameFault("Attorney & Client"), "");
    for (const std::string& bad :
         {std::string("A,B"), std::string("A|B"), std::string("A\tB"), std::string("A\nB")}) {
        const std::string why = annotations::TagNameFault(bad);
        EXPECT_NE(why, "") << bad;
    }
    EXPECT_NE(annotations::TagNameFault("A,B").find("comma"), std::string::npos);
    EXPECT_NE(annotations::TagNameFault("A|B").find("bar"), std::string::npos);
}

// Another viewer renamed, deleted or created collections while the editor
// was open. Names alone cannot tell a rename from a deletion and a
// creation: nothing is followed by guess, the stored entries follow the
// stored palette (which the server keeps by the collections themselves),
// and every entry of the reviewer's that went is named.
TEST(TagPaletteRebase, FollowsNothingByGuessAndNamesEveryEntryThatWent) {
    using Names = std::vector<std::string>;
    struct Case {
        const char* what;
        Names poolBefore, poolNow, read, shown, stored;
        Names palette, gone, unstored, added, collectionsGone, appeared;
        bool storedChanged, changed;
    } cases[] = {
        {"an addition deleted, another created in its place",
         {"Alpha", "Bravo", "Hot"}, {"Alpha", "Bravo Counsel Only", "Hot"},
         {"Hot"}, {"Hot", "Bravo"}, {"Hot"},
         {"Hot"}, {"Bravo"}, {}, {}, {"Bravo"}, {"Bravo Counsel Only"}, false, true},
        {"a stored collection deleted, another created in its place",
         {"Hot", "Responsive"}, {"Hot Counsel Only", "Responsive"},
         {"Hot", "Responsive"}, {"Hot", "Responsive"}, {"Responsive"},
         {"Responsive"}, {"Hot"}, {}, {}, {"Hot"}, {"Hot Counsel Only"}, true, true},
        {"Alpha to Zulu, Bravo to Alpha, Alpha stored",
         {"Alpha", "Bravo"}, {"Alpha", "Zulu"},
         {"Alpha"}, {"Alpha"}, {"Zulu"},
         {"Zulu"}, {}, {"Alpha"}, {}, {"Bravo"}, {"Zulu"}, true, true},
        {"the same renames, Alpha added in the editor",
         {"Alpha", "Bravo"}, {"Alpha", "Zulu"},
         {}, {"Alpha"}, {},
         {"Alpha"}, {}, {}, {"Alpha"}, {"Bravo"}, {"Zulu"}, false, true},
        {"an addition renamed in case alone",
         {"Bravo", "Hot"}, {"BRAVO", "Hot"},
         {"Hot"}, {"Hot", "Bravo"}, {"Hot"},
         {"Hot"}, {"Bravo"}, {}, {}, {"Bravo"}, {"BRAVO"}, false, true},
        {"a collection created elsewhere changes nothing read",
         {"Hot"}, {"Aardvark", "Hot"},
         {"Hot"}, {"Hot"}, {"Hot"},
         {"Hot"}, {}, {}, {}, {}, {"Aardvark"}, false, false},
        {"the reviewer's removal, addition and order over another's addition",
         {"A", "B", "C", "D"}, {"A", "B", "C", "D"},
         {"A", "B"}, {"B", "C"}, {"A", "B", "D"},
         {"B", "D", "C"}, {}, {}, {"C"}, {}, {}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto r =
            annotations::RebasePalette(c.read, c.shown, c.stored, c.poolBefore, c.poolNow);
        EXPECT_EQ(r.palette, c.palette);
        EXPECT_EQ(r.gone, c.gone);
        EXPECT_EQ(r.unstored, c.unstored);
        EXPECT_EQ(r.added, c.added);
        EXPECT_EQ(r.collections.gone, c.collectionsGone);
        EXPECT_EQ(r.collections.appeared, c.appeared);
        EXPECT_EQ(r.storedChanged, c.storedChanged);
        EXPECT_EQ(r.Changed(), c.changed);
    }
}

}  // namespace
