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

// Another viewer renamed or deleted collections while the editor was open:
// a rename is followed only where nothing else changed beside it, and every
// entry of the reviewer's that went is named, never swapped for a guess.
TEST(TagPaletteRebase, FollowsOnlyCertainRenamesAndNamesEveryEntryThatWent) {
    using Names = std::vector<std::string>;
    using Renames = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* what;
        Names poolBefore, poolNow, read, shown, stored;
        Names palette;
        Renames renamed;
        Names gone, appeared;
    } cases[] = {
        {"crossing renames: Alpha to Budget, Bravo to Audit",
         {"Alpha", "Bravo", "Hot"},
         {"Audit", "Budget", "Hot"},
         {"Hot"},
         {"Hot", "Bravo"},
         {"Hot"},
         {"Hot"},
         {},
         {"Bravo"},
         {"Audit", "Budget"}},
        {"a deletion of Alpha beside Bravo renamed to Beta",
         {"Alpha", "Bravo", "Hot"},
         {"Beta", "Hot"},
         {"Hot"},
         {"Hot", "Alpha"},
         {"Hot"},
         {"Hot"},
         {},
         {"Alpha"},
         {"Beta"}},
        {"a stored and an added collection renamed, each alone in its place",
         {"Confidential", "Exhibit", "Hot", "Privileged"},
         {"Classified", "Exhibit", "Hotter", "Privileged"},
         {"Privileged", "Hot"},
         {"Hot", "Privileged", "Confidential"},
         {"Privileged", "Hotter"},
         {"Hotter", "Privileged", "Classified"},
         {{"Hot", "Hotter"}, {"Confidential", "Classified"}},
         {},
         {}},
        {"a stored and an added collection renamed side by side",
         {"Confidential", "Hot", "Privileged"},
         {"ConfidentialX", "HotX", "Privileged"},
         {"Hot", "Privileged"},
         {"Hot", "Privileged", "Confidential"},
         {"HotX", "Privileged"},
         {"HotX", "Privileged"},
         {},
         {"Hot", "Confidential"},
         {"ConfidentialX", "HotX"}},
        {"an addition deleted, a collection created elsewhere",
         {"Hot", "Withdrawn"},
         {"Aardvark", "Hot"},
         {},
         {"Withdrawn", "Hot"},
         {},
         {"Hot"},
         {},
         {"Withdrawn"},
         {"Aardvark"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto r =
            annotations::RebasePalette(c.read, c.shown, c.stored, c.poolBefore, c.poolNow);
        EXPECT_EQ(r.palette, c.palette);
        EXPECT_EQ(r.renamed, c.renamed);
        EXPECT_EQ(r.gone, c.gone);
        EXPECT_EQ(r.appeared, c.appeared);
    }
}

}  // namespace
