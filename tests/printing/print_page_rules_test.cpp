// The print driver's rules that need no server: batch page lines, turning
// and landscape, the layers of a printed page and its message text.

#include <gtest/gtest.h>

#include "printing/print_choices.h"
#include "printing/print_page_rules.h"

namespace {

using namespace printing;

TEST(PrintPageRules, BatchLinesHoldSixFieldsWhateverTheMessageHolds) {
    struct Case {
        std::string key;
        bool marked;
        std::string message, code;
        std::int32_t flags;
        std::string line;
    };
    const Case cases[] = {
        {"KEY", true, "Conf", "D", kPrintImageKey | kPrintMessage, "KEY*R~0~P~Conf~D~KEY\n"},
        {"KEY", false, "", "", 0, "KEY~0~P~~~\n"},
        // A line break or "~" in a field would break the line or its fields.
        {"KEY", false, "a~b\r\nc", "F\n", kPrintImageKey, "KEY~0~P~a-b@@c~F@~KEY\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BatchPageLine(c.key, c.marked, "P", c.message, c.code, c.flags), c.line);
}

TEST(PrintPageRules, PagesTurnAndGoLandscapeByRotationAndShape) {
    struct Case {
        std::int32_t rotation, w, h, dpi;
        std::int32_t turn, layers;
        bool landscape;
    };
    const Case cases[] = {
        {0, 3300, 2550, 300, 3, 3, true},   // 11.0 x 8.5 in
        {0, 2400, 1800, 300, 0, 0, false},  // 8.0 x 6.0 in
        {0, 500, 400, 0, 3, 3, true},       // no resolution counts as 50 dpi
        {1, 100, 200, 300, 0, 0, true},    {1, 200, 100, 300, 1, 1, false},
        {2, 200, 100, 300, 2, 2, false},   {3, 100, 200, 300, 2, 2, true},
        {3, 200, 100, 300, 3, 3, false},   {7, 200, 100, 300, 0, 5, false},
    };
    for (const Case& c : cases) {
        const PageOrientation o = OrientPage(c.rotation, c.w, c.h, c.dpi, 5);
        EXPECT_EQ(o.turn, c.turn) << c.rotation << " " << c.w << "x" << c.h;
        EXPECT_EQ(o.layerRotation, c.layers) << c.rotation << " " << c.w << "x" << c.h;
        EXPECT_EQ(o.landscape, c.landscape) << c.rotation << " " << c.w << "x" << c.h;
    }
}

TEST(PrintPageRules, RedactionColourFollowsTheEngineThenBlackThenWhite) {
    struct Case {
        std::int32_t flags;
        bool blackAndWhite;
        std::int16_t mode;
    };
    const std::int32_t red = kPrintRedactions;
    const Case cases[] = {{red, false, 0},
                          {red, true, 1},
                          {red | kPrintRedactBlack, false, 1},
                          {red | kPrintRedactWhite, true, 2},
                          {red | kPrintRedactBlack | kPrintRedactWhite, false, 2}};
    for (const Case& c : cases)
        EXPECT_EQ(LayersFor(c.flags, false, 0, 0, c.blackAndWhite).redactColorMode, c.mode)
            << c.flags;
}

TEST(PrintPageRules, PageMessageJoinsMessageAndTagsUnlessTagsAreHidden) {
    struct Case {
        std::int32_t flags, tagAccess;
        std::string tags, text;
    };
    const Case cases[] = {
        {kPrintMessage | kPrintIssueTags, 0, "", "Conf@"},  // no tags still gives the separator
        {kPrintMessage | kPrintIssueTags, 0, "A,B", "Conf@A, B"},
        {kPrintIssueTags, 0, "A,B", "A, B"},
        {kPrintMessage | kPrintIssueTags, 2, "A,B", "Conf"},
        {kPrintIssueTags, 1, "A", "A"},
        {0, 0, "A", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PageMessageText(c.flags, "Conf", c.tagAccess, c.tags), c.text) << c.flags;
        EXPECT_EQ(WantsTags(c.flags, c.tagAccess),
                  (c.flags & kPrintIssueTags) != 0 && c.tagAccess != 2);
    }
}

}  // namespace
