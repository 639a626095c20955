// The full position text of the status line and the requests its stored
// lists save.
#include <gtest/gtest.h>

#include "fake_query_api.h"
#include "navigation/position_text.h"

namespace {

using navigation::DocumentPositionText;
using testsupport::FakeQueryApi;

TEST(PositionText, EachLevelShowsItsPositionOrDotsWhenTheListWasCutOrMissesTheDocument) {
    struct Case {
        const char* reply;
        const char* text;
    } cases[] = {
        {",K1,K2", "Folder: 1 of 2  "},
        {"ALL,K1,K2,K3", "Folder: 1 of 3  "},
        {"MOREAFTER,K1,K2", "Folder: ... of ...  "},
        {"both,K1,K2", "Folder: ... of ...  "},
        // Every key sorts after the document.
        {",K3,K4", "Folder: ... of ...  "},
        {",,K1,,K2,", "Folder: 1 of 2  "},
    };
    for (const Case& c : cases) {
        FakeQueryApi api;
        api.Queue(c.reply);
        DocumentPositionText text;
        EXPECT_EQ(text.BuildFullPositionText(api, 1, "2", "Folder", "K15", "K17"), c.text)
            << c.reply;
        ASSERT_EQ(api.sent.size(), 1u);
        EXPECT_EQ(api.sent[0], "TALQGetScroll,ANN,pw,Proj,K15,2,20000");
    }
}

TEST(PositionText, TwoLevelsJoinTheirPiecesAndStoredListsSpareRequests) {
    FakeQueryApi api;
    api.Queue("ALL,D01,D11,D21");
    api.Queue("ALL,D01,D03,D05,D07,D09,D11,D13");
    DocumentPositionText text;
    const std::string levels = "2|1", descs = "Folder|Document";
    EXPECT_EQ(text.BuildFullPositionText(api, 2, levels, descs, "D07", "D08"),
              "Folder: 1 of 3  Document: 4 of 7  ");
    EXPECT_EQ(api.sent.size(), 2u);
    // Another page of the same document.
    EXPECT_EQ(text.BuildFullPositionText(api, 2, levels, descs, "D07", "D08"),
              "Folder: 1 of 3  Document: 4 of 7  ");
    // The next document lies inside both stored lists: counted, not asked.
    EXPECT_EQ(text.BuildFullPositionText(api, 2, levels, descs, "D09", "D10"),
              "Folder: 1 of 3  Document: 5 of 7  ");
    EXPECT_EQ(api.sent.size(), 2u);
    // Past the stored document list: only that level asks again.
    api.Queue("MOREBEFORE,D15,D17");
    EXPECT_EQ(text.BuildFullPositionText(api, 2, levels, descs, "D15", "D16"),
              "Folder: 2 of 3  Document: ... of ...  ");
    ASSERT_EQ(api.sent.size(), 3u);
    EXPECT_EQ(api.sent[2], "TALQGetScroll,ANN,pw,Proj,D15,1,20000");
    // Clearing, as a project change does, asks every level again.
    text.Clear();
    api.Queue("ALL,D11");
    api.Queue("ALL,D15");
    EXPECT_EQ(text.BuildFullPositionText(api, 2, levels, descs, "D15", "D16"),
              "Folder: 1 of 1  Document: 1 of 1  ");
    EXPECT_EQ(api.sent.size(), 5u);
}

TEST(PositionText, AFailedRequestGivesNoTextAndTheNextBuildAsksOnlyForTheMissingLevels) {
    FakeQueryApi api;
    api.Queue("ALL,D01,D11");
    api.Queue("ERROR: down", false);
    DocumentPositionText text;
    EXPECT_EQ(text.BuildFullPositionText(api, 2, "2|1", "Folder|Document", "D07", "D08"), "");
    api.Queue("ALL,D07");
    EXPECT_EQ(text.BuildFullPositionText(api, 2, "2|1", "Folder|Document", "D07", "D08"),
              "Folder: 1 of 2  Document: 1 of 1  ");
    ASSERT_EQ(api.sent.size(), 3u);
    EXPECT_EQ(api.sent[2], "TALQGetScroll,ANN,pw,Proj,D07,1,20000");
}

TEST(PositionText, ProjectsWithManyOrNoLevelsAreSizedByTheirLevelCount) {
    FakeQueryApi api;
    DocumentPositionText text;
    EXPECT_EQ(text.BuildFullPositionText(api, 0, "", "", "K1", "K1"), "");
    EXPECT_TRUE(api.sent.empty());
    std::string levels, descs, expected;
    for (int i = 1; i <= 12; ++i) {
        levels += (i > 1 ? "|" : "") + std::to_string(13 - i);
        descs += (i > 1 ? "|L" : "L") + std::to_string(i);
        expected += "L" + std::to_string(i) + ": 1 of 1  ";
        api.Queue(",K1");
    }
    EXPECT_EQ(text.BuildFullPositionText(api, 12, levels, descs, "K1", "K1"), expected);
    // A project with fewer levels starts afresh.
    api.Queue(",K1,K2");
    EXPECT_EQ(text.BuildFullPositionText(api, 1, "1", "Doc", "K2", "K2"), "Doc: 2 of 2  ");
}

}  // namespace
