// The query procedures against the stand-in server's engine.
#include <gtest/gtest.h>

#include "engine_query_api.h"
#include "foundation/fields.h"
#include "navigation/query_sources.h"
#include "platform/scripted_prompts.h"
#include "support/scoped_env.h"

namespace {

using namespace TalqClientAPI_Header;
using navigation::kRecordSep;
using navigation::kSectionSep;
using namespace navigation;
using testsupport::PageKey;

class QueryEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        testsupport::MakeQuerySystem(dir_.Path() + "/sys", 5000, 4500);
        api_ = std::make_unique<testsupport::EngineQueryApi>(dir_.Path() + "/sys");
    }
    std::vector<std::string> Keys() const {
        std::vector<std::string> keys;
        for (int i = 1; i <= query_.RowCount; ++i)
            keys.push_back(mVBUtil::GetField(",", query_.KeyList, i));
        return keys;
    }
    testsupport::ScopedTempDir dir_;
    std::unique_ptr<testsupport::EngineQueryApi> api_;
    platform::ScriptedPrompts prompts_;
    platform::ScopedPrompts scoped_{prompts_};
    QueryRecord query_;
};

TEST_F(QueryEndToEnd, TagQueryPagesForwardAndBackAtPagesAndAtTheDocumentLevel) {
    ASSERT_TRUE(OpenServerQuery(*api_, query_, 1, "Hot", 0, 2000));
    EXPECT_EQ(query_.RowCount, 2000);
    EXPECT_EQ(query_.MoreFlags, kMoreFollows);
    EXPECT_EQ(query_.CurrentRow, 1);
    EXPECT_EQ(query_.FirstKey, PageKey(1));
    ASSERT_TRUE(QueryScroll(*api_, query_, 1));
    EXPECT_EQ(query_.MoreFlags, kMoreFollows | kMoreBefore);
    EXPECT_EQ(query_.FirstKey, PageKey(2001));
    ASSERT_TRUE(QueryScroll(*api_, query_, 1));
    EXPECT_EQ(query_.MoreFlags, kMoreBefore);
    EXPECT_EQ(query_.RowCount, 500);
    EXPECT_EQ(query_.LastKey, PageKey(4500));
    ASSERT_TRUE(QueryScroll(*api_, query_, 2));
    EXPECT_EQ(query_.FirstKey, PageKey(2001));

    // A copy pages on its own without moving the original.
    QueryRecord copy = query_;
    ASSERT_TRUE(QueryScroll(*api_, copy, 2));
    EXPECT_EQ(copy.FirstKey, PageKey(1));
    ASSERT_TRUE(QueryScroll(*api_, query_, 1));
    EXPECT_EQ(query_.FirstKey, PageKey(4001));

    // Documents of five pages: 900 units, in one set.
    query_.Level = 1;
    ASSERT_TRUE(QueryScroll(*api_, query_, 0));
    EXPECT_EQ(query_.RowCount, 900);
    EXPECT_EQ(query_.MoreFlags, 0);
    EXPECT_EQ(Keys()[1], PageKey(6));
}

TEST_F(QueryEndToEnd, PagingAtTheDocumentLevelVisitsEveryUnitOnceBothWays) {
    ASSERT_TRUE(OpenServerQuery(*api_, query_, 1, "Hot", 1, 100));
    std::vector<std::string> forward;
    int sets = 1;
    while (true) {
        for (const std::string& key : Keys()) forward.push_back(key);
        if ((query_.MoreFlags & kMoreFollows) == 0) break;
        ASSERT_TRUE(QueryScroll(*api_, query_, 1));
        ++sets;
    }
    EXPECT_EQ(sets, 9);
    ASSERT_EQ(forward.size(), 900u);
    EXPECT_EQ(forward[899], PageKey(4496));
    std::vector<std::string> back;
    while (true) {
        std::vector<std::string> keys = Keys();
        back.insert(back.begin(), keys.begin(), keys.end());
        if ((query_.MoreFlags & kMoreBefore) == 0) break;
        ASSERT_TRUE(QueryScroll(*api_, query_, 2));
    }
    EXPECT_EQ(back, forward);
}

TEST_F(QueryEndToEnd, KeyListFileOfThousandsOfKeysUploadedAndOpened) {
    std::string text;
    for (int i = 3000; i >= 1; --i) text += PageKey(i) + "\r\n";
    text += "NOT-A-KEY\r\n";
    testsupport::WriteFile(dir_.Path() + "/keys.txt", text);
    ASSERT_TRUE(UploadKeyListFile(*api_, query_, dir_.Path() + "/keys.txt", 0));
    EXPECT_TRUE(prompts_.Messages().empty());
    EXPECT_EQ(query_.Kind, 2);
    EXPECT_EQ(query_.FirstKey, PageKey(3000));
    EXPECT_EQ(query_.MoreFlags, kMoreFollows);
    ASSERT_TRUE(QueryScroll(*api_, query_, 1));
    EXPECT_EQ(query_.RowCount, 1000);
    EXPECT_EQ(query_.LastKey, PageKey(1));
    EXPECT_EQ(query_.InvalidKeyList, "*NOT-A-KEY");

    std::int32_t count = 0;
    std::string reason;
    ASSERT_EQ(SaveQueryKeys(*api_, query_, dir_.Path() + "/out.txt", count, reason),
              SaveKeysResult::kOk);
    EXPECT_EQ(count, 3000);
    EXPECT_EQ(testsupport::ReadFile(dir_.Path() + "/out.txt"),
              text.substr(0, text.size() - std::string("NOT-A-KEY\r\n").size()));

    // Closing the query deletes its server file.
    std::string file = query_.ServerFile;
    ClearServerQuery(*api_, query_);
    QueryRecord stale;
    stale.Kind = 2;
    stale.ServerFile = file;
    EXPECT_FALSE(QueryScroll(*api_, stale, 0));
}

TEST_F(QueryEndToEnd, SortByDatePolledToItsEndAndAborted) {
    ASSERT_TRUE(OpenServerQuery(*api_, query_, 1, "Hot", 0, 2000));
    ASSERT_TRUE(StartQuerySort(*api_, query_, 0));
    int polls = 0;
    SortLoopHooks hooks{[] {}, [] { return false; }, [&](const std::string&) { ++polls; }, [] {}};
    ASSERT_TRUE(PollQuerySort(*api_, query_, hooks));
    EXPECT_EQ(query_.Kind, 2);
    // Page 10 carries the earliest date; undated pages follow in their order.
    EXPECT_EQ(query_.FirstKey, PageKey(10));
    EXPECT_EQ(Keys()[9], PageKey(1));
    EXPECT_EQ(Keys()[10], PageKey(11));

    ASSERT_TRUE(StartQuerySort(*api_, query_, 1));
    bool cancel = false;
    int answered = 0;
    SortLoopHooks aborting{[] {}, [&] { return cancel; },
                           [&](const std::string&) {
                               ++answered;
                               cancel = true;
                           },
                           [] {}};
    // The list is small enough for one slice: the job ends before the abort.
    std::string before = query_.ServerFile;
    EXPECT_TRUE(PollQuerySort(*api_, query_, aborting));
    EXPECT_NE(query_.ServerFile, before);
}

TEST_F(QueryEndToEnd, LargeSortTakesSeveralPollsAndHonoursCancel) {
    std::string text;
    for (int r = 0; r < 9; ++r)
        for (int i = 1; i <= 5000; ++i) text += PageKey(i) + "\r\n";
    testsupport::WriteFile(dir_.Path() + "/many.txt", text);
    ASSERT_TRUE(UploadKeyListFile(*api_, query_, dir_.Path() + "/many.txt", 0));
    std::string unsorted = query_.ServerFile;
    ASSERT_TRUE(StartQuerySort(*api_, query_, 0));
    bool cancel = false;
    SortLoopHooks hooks{[] {}, [&] { return cancel; }, [&](const std::string&) { cancel = true; },
                        [] {}};
    EXPECT_FALSE(PollQuerySort(*api_, query_, hooks));
    EXPECT_EQ(api_->lastCommand, "BackGroundStatus,1");
    EXPECT_EQ(query_.ServerFile, unsorted);
    EXPECT_EQ(query_.RowCount, 2000);
}

TEST_F(QueryEndToEnd, SavedCollectionIsListedInTheTagPool) {
    std::string keys = PageKey(3) + "\r\n" + PageKey(4) + "\r\n";
    testsupport::WriteFile(dir_.Path() + "/k.txt", keys);
    ASSERT_TRUE(UploadKeyListFile(*api_, query_, dir_.Path() + "/k.txt", 0));
    std::string reply;
    ASSERT_TRUE(api_->RemotePassThrough("TALQConvertQueryToIssue," + RequestPrefix(*api_) + "," +
                                            query_.ServerFile + ",Saved Pages," +
                                            std::to_string(query_.Level),
                                        reply, false))
        << reply;
    ASSERT_TRUE(
        api_->RemotePassThrough("TALQGetTagPoolList," + RequestPrefix(*api_), reply, false));
    EXPECT_EQ(reply, "Even,Hot,Saved Pages");
    ASSERT_TRUE(OpenServerQuery(*api_, query_, 1, "Saved Pages", 0, 2000));
    EXPECT_EQ(query_.KeyList, PageKey(3) + "," + PageKey(4));
}

TEST_F(QueryEndToEnd, MultiTagCombinationsOverSeveralPages) {
    // "Hot" holds 1..4500 (three pages of 20000? no: one), "Even" the even pages.
    std::string both = CombineTags(*api_,
                                   "Hot\x1e"
                                   "Even",
                                   2, kLogicAnd)
                           .value();
    EXPECT_EQ(mVBUtil::CountFields(",", both), 2250);
    std::string notEven = CombineTags(*api_,
                                      "Even\x1e"
                                      "Hot",
                                      2, kLogicNot)
                              .value();
    EXPECT_EQ(mVBUtil::GetField(",", notEven, 1), PageKey(4502));
    EXPECT_EQ(mVBUtil::CountFields(",", notEven), 250);
    std::string any = CombineTags(*api_,
                                  "Hot\x1e"
                                  "Even",
                                  2, kLogicOr)
                          .value();
    EXPECT_EQ(mVBUtil::CountFields(",", any), 4750);
}

TEST_F(QueryEndToEnd, EachSearchEndToEndIncludingNoHits) {
    ASSERT_TRUE(SearchImageText(*api_, query_, 1, "BROWN", 0));
    EXPECT_EQ(query_.KeyList, PageKey(7) + "," + PageKey(8));
    ASSERT_TRUE(SearchImageText(*api_, query_, 1, "brown fox", 1));
    EXPECT_EQ(query_.KeyList, PageKey(7));
    ASSERT_TRUE(SearchImageText(*api_, query_, 0, "privileged", 0));
    EXPECT_EQ(query_.KeyList, PageKey(12));
    ASSERT_TRUE(SearchDocDate(*api_, query_, 4, "20000120", "20000121"));
    EXPECT_EQ(query_.KeyList, PageKey(9) + "," + PageKey(10));
    std::string old = query_.ServerFile;
    EXPECT_FALSE(SearchDocDate(*api_, query_, 1, "19990101", ""));
    EXPECT_EQ(query_.Kind, 0);
    QueryRecord stale;
    stale.Kind = 2;
    stale.ServerFile = old;
    EXPECT_FALSE(QueryScroll(*api_, stale, 0));
    EXPECT_FALSE(SearchImageText(*api_, query_, 1, "zebra", 0));
}

}  // namespace
