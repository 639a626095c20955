#include "navigation/query_sources.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>

#include "fake_query_api.h"
#include "platform/scripted_prompts.h"
#include "support/scoped_env.h"
#include "support/small_disk.h"

namespace {

using namespace TalqClientAPI_Header;
using navigation::kRecordSep;
using navigation::kSectionSep;
using namespace navigation;
using testsupport::FakeQueryApi;

const std::string SS(1, kSectionSep);
const std::string RS(1, kRecordSep);

std::string Merge(const std::string& a, const std::string& b, std::int16_t logic) {
    clsBigString la, lb, result;
    la.AddStr(a);
    lb.AddStr(b);
    MergeKeyLists(la, lb, result, logic);
    EXPECT_EQ(la.LenStr(), 0);
    EXPECT_EQ(lb.LenStr(), 0);
    return result.GetStr();
}

std::string Reply(const std::string& marker, const std::vector<std::string>& rows,
                  const std::string& position = "0") {
    std::string joined;
    for (const std::string& row : rows) joined += (joined.empty() ? "" : RS) + row;
    return (rows.empty() ? "" : rows[0]) + SS + position + SS + marker + SS +
           std::to_string(rows.size()) + SS + joined;
}

TEST(MergeKeyLists, UnionIntersectionAndDifferenceOfSortedListsWithOverlaps) {
    EXPECT_EQ(Merge("K1,K3", "K2,K3", kLogicOr), "K1,K2,K3");
    EXPECT_EQ(Merge("A,C,E,G", "B,C,D,G,H", kLogicOr), "A,B,C,D,E,G,H");
    EXPECT_EQ(Merge("A,C,E,G", "B,C,D,G,H", kLogicAnd), "C,G");
    EXPECT_EQ(Merge("A,C,E,G", "B,C,D,G,H", kLogicNot), "A,E");
    // Keys compare without case; the first list's spelling is kept.
    EXPECT_EQ(Merge("a,b", "B,c", kLogicAnd), "b");
    EXPECT_EQ(Merge("a,b", "B,c", kLogicOr), "a,b,c");
    EXPECT_EQ(Merge("", "A,B", kLogicOr), "A,B");
    EXPECT_EQ(Merge("A,B", "", kLogicNot), "A,B");
    EXPECT_EQ(Merge("A,B", "", kLogicAnd), "");
}

TEST(MergeKeyLists, ThreeTagsCombineStepByStep) {
    FakeQueryApi api;
    api.Queue(Reply("", {"A", "B", "C", "D"}));
    api.Queue(Reply("", {"B", "C", "D"}));
    api.Queue(Reply("", {"C", "D", "E"}));
    EXPECT_EQ(CombineTags(api, "T1\x1eT2\x1eT3", 3, kLogicAnd), "C,D");
    api.Queue(Reply("", {"A", "B", "C", "D"}));
    api.Queue(Reply("", {"B"}));
    api.Queue(Reply("", {"D", "E"}));
    EXPECT_EQ(CombineTags(api, "T1\x1eT2\x1eT3", 3, kLogicNot), "A,C");
    EXPECT_EQ(api.sent[3], "TALQQueryScroll,ANN,pw,Proj,0" + SS + SS + SS + "T1" + SS + "0" + SS +
                               "20000" + SS + "0");
}

TEST(FetchTagKeys, PagesUntilNothingFollowsSkippingRepeatsAndKeepingKeysOnly) {
    FakeQueryApi api;
    api.Queue(Reply("MOREFOLLOWS", {"A\ttext", "B"}, "0"));
    // The next page repeats B and brings C; an empty row is skipped.
    api.Queue(Reply("BOTH", {"B", "", "C\tmore"}, "2"));
    api.Queue(Reply("MOREBEFORE", {"D"}, "4"));
    clsBigString list;
    FetchTagKeys(api, "Hot", list);
    EXPECT_EQ(list.GetStr(), "A,B,C,D");
    ASSERT_EQ(api.sent.size(), 3u);
    EXPECT_EQ(api.sent[1], "TALQQueryScroll,ANN,pw,Proj,0" + SS + "B" + SS + "0" + SS + "Hot" + SS +
                               "0" + SS + "20000" + SS + "1");
}

TEST(FetchTagKeys, MoreBeforeAloneIsOnePageAndAPageAddingNothingStops) {
    FakeQueryApi api;
    api.Queue(Reply("MOREBEFORE", {"A"}));
    clsBigString list;
    FetchTagKeys(api, "T", list);
    EXPECT_EQ(api.sent.size(), 1u);
    // A server that keeps saying more follow with the same rows.
    FakeQueryApi stuck;
    for (int i = 0; i < 5; ++i) stuck.Queue(Reply("MOREFOLLOWS", {"A", "B"}));
    clsBigString rows;
    FetchTagKeys(stuck, "T", rows);
    EXPECT_EQ(rows.GetStr(), "A,B");
    EXPECT_EQ(stuck.sent.size(), 2u);
    // A failed request ends the tag with what was read.
    FakeQueryApi failing;
    failing.Queue(Reply("MOREFOLLOWS", {"A"}));
    failing.Queue("ERROR", false);
    clsBigString partial;
    EXPECT_FALSE(FetchTagKeys(failing, "T", partial));
    EXPECT_EQ(partial.GetStr(), "A");
}

TEST(CombineTags, ATagNotReadWholeGivesNoListAndAsksNoFurtherTag) {
    FakeQueryApi api;
    api.Queue(Reply("", {"A", "B"}));
    api.Queue(Reply("MOREFOLLOWS", {"B"}));
    api.Queue("ERROR", false);
    EXPECT_EQ(CombineTags(api, "T1\x1eT2\x1eT3", 3, kLogicOr), std::nullopt);
    EXPECT_EQ(api.sent.size(), 3u);
    api.Queue("ERROR", false);
    EXPECT_EQ(CombineTags(api, "T1\x1eT2", 2, kLogicNot), std::nullopt);
    EXPECT_EQ(api.sent.size(), 4u);
}

// A collection that existed before may hold some keys of the query: only
// all of them tell that the lost save was stored.
TEST(CollectionHoldsQuery, TrueOnlyWhenEveryKeyOfEverySetIsInTheCollection) {
    FakeQueryApi api;
    QueryRecord query;
    query.Kind = 2;
    query.ServerFile = "F";
    auto sets = [&api] {
        api.Queue("zz" + SS + "0" + SS + "MOREFOLLOWS" + SS + "2" + SS + "A" + RS + "B");
        api.Queue("zz" + SS + "2" + SS + "MOREBEFORE" + SS + "2" + SS + "*bad" + RS + "D");
    };
    api.Queue(Reply("", {"A", "B", "C", "D"}));
    sets();
    EXPECT_EQ(CollectionHoldsQuery(api, query, "Set"), true);
    api.Queue(Reply("", {"A", "B", "C"}));
    sets();
    EXPECT_EQ(CollectionHoldsQuery(api, query, "Set"), false);
    // Not read whole: not known.
    api.Queue(Reply("", {"A", "B", "C", "D"}));
    api.Queue("zz" + SS + "0" + SS + "MOREFOLLOWS" + SS + "2" + SS + "A" + RS + "B");
    api.Queue("ERROR", false);
    EXPECT_EQ(CollectionHoldsQuery(api, query, "Set"), std::nullopt);
    api.Queue("ERROR", false);
    EXPECT_EQ(CollectionHoldsQuery(api, query, "Set"), std::nullopt);
}

TEST(MultiTagFile, CreatedExclusivelyWithTheNamePattern) {
    testsupport::ScopedTempDir dir;
    std::string path = CreateMultiTagFile(dir.Path());
    ASSERT_FALSE(path.empty());
    std::string name = path.substr(path.rfind('/') + 1);
    EXPECT_EQ(name.size(), 16u);
    EXPECT_EQ(name.substr(0, 2), "MI");
    EXPECT_EQ(name.substr(12), ".TMP");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(CreateMultiTagFile(dir.Path() + "/missing"), "");
}

TEST(SaveQueryKeys, WritesEveryKeyOfEverySetWhateverTheCurrentRow) {
    testsupport::ScopedTempDir dir;
    FakeQueryApi api;
    QueryRecord query;
    query.Kind = 2;
    query.ServerFile = "F";
    query.KeyList = "untouched";
    // Field 1 names no row: the current row becomes the last of each set.
    api.Queue("zz" + SS + "0" + SS + "MOREFOLLOWS" + SS + "2" + SS + "A" + RS + "B");
    api.Queue("zz" + SS + "2" + SS + "BOTH" + SS + "3" + SS + "C" + RS + "*bad" + RS + "D");
    api.Queue("zz" + SS + "4" + SS + "MOREBEFORE" + SS + "1" + SS + "E");
    std::int32_t count = 0;
    std::string reason;
    EXPECT_EQ(SaveQueryKeys(api, query, dir.Path() + "/out.txt", count, reason),
              SaveKeysResult::kOk);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(testsupport::ReadFile(dir.Path() + "/out.txt"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
    EXPECT_EQ(query.KeyList, "untouched");
    // A private list replaced stays private.
    ::chmod((dir.Path() + "/out.txt").c_str(), 0600);
    api.Queue("zz" + SS + "0" + SS + "NONE" + SS + "1" + SS + "F");
    EXPECT_EQ(SaveQueryKeys(api, query, dir.Path() + "/out.txt", count, reason),
              SaveKeysResult::kOk);
    struct stat kept {};
    ::stat((dir.Path() + "/out.txt").c_str(), &kept);
    EXPECT_EQ(kept.st_mode & 0777, 0600u);

    EXPECT_EQ(SaveQueryKeys(api, query, dir.Path() + "/no/dir/out.txt", count, reason),
              SaveKeysResult::kCannotCreate);
    api.Queue("ERROR", false);
    EXPECT_EQ(SaveQueryKeys(api, query, dir.Path() + "/out2.txt", count, reason),
              SaveKeysResult::kCannotPosition);
    // A set that fails midway is not reported as a complete file.
    api.Queue("A" + SS + "0" + SS + "MOREFOLLOWS" + SS + "1" + SS + "A");
    api.Queue("ERROR", false);
    EXPECT_EQ(SaveQueryKeys(api, query, dir.Path() + "/out3.txt", count, reason),
              SaveKeysResult::kCannotPosition);
}

TEST(SaveQueryKeys, AFailedSaveKeepsTheOldFileWholeAndSaysWhy) {
    testsupport::SmallDisk disk;
    if (!disk.Refusal().empty()) GTEST_SKIP() << "no small disk: " << disk.Refusal();
    const std::string file = disk.Path() + "/keys.txt";
    testsupport::WriteFile(file, "OLD\r\n");
    FakeQueryApi api;
    QueryRecord query;
    query.Kind = 2;
    query.ServerFile = "F";
    std::int32_t count = 0;
    std::string reason;
    // A set that fails midway.
    api.Queue("A" + SS + "0" + SS + "MOREFOLLOWS" + SS + "1" + SS + "A");
    api.Queue("ERROR", false);
    EXPECT_EQ(SaveQueryKeys(api, query, file, count, reason), SaveKeysResult::kCannotPosition);
    EXPECT_EQ(testsupport::ReadFile(file), "OLD\r\n");

    // A disk that fills while writing.
    disk.Fill(0);
    std::string keys;
    for (int i = 0; i < 3000; ++i) keys += (i ? RS : "") + "ACM" + std::to_string(1000000 + i);
    api.Queue("zz" + SS + "0" + SS + "NONE" + SS + "3000" + SS + keys);
    EXPECT_EQ(SaveQueryKeys(api, query, file, count, reason), SaveKeysResult::kWriteFailed);
    EXPECT_EQ(reason, "No space left on device");
    EXPECT_EQ(testsupport::ReadFile(file), "OLD\r\n");
    // Nothing but the filler and the old file: no partial list is left.
    const std::filesystem::directory_iterator left(disk.Path());
    EXPECT_EQ(std::distance(begin(left), end(left)), 2);
}

TEST(PollQuerySort, AbortGoesOutOnlyAfterCancelAndAFailedPollIsNoSort) {
    FakeQueryApi api;
    QueryRecord query;
    query.Kind = 2;
    query.ServerFile = "OLD";
    int polls = 0, waits = 0;
    bool cancel = false;
    std::vector<std::string> progress;
    SortLoopHooks hooks{[] {}, [&] { return cancel; },
                        [&](const std::string& t) { progress.push_back(t); }, [&] { ++waits; }};
    // A running reply that carries a status must not turn into an abort.
    api.Queue("1,5,Sorting");
    api.Queue("1,0,Sorting more");
    api.Queue("0,0,NEW");
    api.Queue(Reply("", {"X"}));
    api.Queue("OK");
    EXPECT_TRUE(PollQuerySort(api, query, hooks));
    EXPECT_EQ(api.sent[0], "BackGroundStatus,0");
    EXPECT_EQ(api.sent[1], "BackGroundStatus,0");
    EXPECT_EQ(progress.size(), 2u);
    EXPECT_EQ(waits, 2);
    EXPECT_EQ(query.ServerFile, "NEW");
    (void)polls;

    api.sent.clear();
    cancel = true;
    api.Queue("0,1,Sort Aborted");
    EXPECT_FALSE(PollQuerySort(api, query, hooks));
    EXPECT_EQ(api.sent[0], "BackGroundStatus,1");
    EXPECT_EQ(query.ServerFile, "NEW");

    cancel = false;
    api.Queue("ERROR: lost", false);
    EXPECT_FALSE(PollQuerySort(api, query, hooks));
    EXPECT_EQ(query.ServerFile, "NEW");
    EXPECT_EQ(query.KeyList, "X");
}

TEST(CollectionName, TrimmedAndRefusedWithSeparatorsOrControls) {
    std::string reason;
    std::string name = "  Privileged  ";
    EXPECT_TRUE(CheckCollectionName(name, reason));
    EXPECT_EQ(name, "Privileged");
    for (std::string bad : std::vector<std::string>{"a,b", "a|b", "a\tb", "a\x1e"}) {
        EXPECT_FALSE(CheckCollectionName(bad, reason)) << bad;
        EXPECT_FALSE(reason.empty());
    }
    std::string blank = "   ";
    EXPECT_FALSE(CheckCollectionName(blank, reason));
    EXPECT_TRUE(reason.empty());
}

TEST(SearchDate, EightDigitsWithTheYearAndMonthRules) {
    EXPECT_TRUE(IsValidSearchDate("20260131", 2026));
    EXPECT_TRUE(IsValidSearchDate("00000000", 2026));
    EXPECT_TRUE(IsValidSearchDate("20270000", 2026));
    EXPECT_FALSE(IsValidSearchDate("20280101", 2026));
    EXPECT_FALSE(IsValidSearchDate("17991231", 2026));
    EXPECT_FALSE(IsValidSearchDate("20261301", 2026));
    EXPECT_FALSE(IsValidSearchDate("2026011", 2026));
    EXPECT_FALSE(IsValidSearchDate("2026-1-1", 2026));
    EXPECT_FALSE(IsValidSearchDate("+2026011", 2026));
    EXPECT_FALSE(IsValidSearchDate("\xd9\xa2\xd9\xa0\xd9\xa2\xd9\xa6", 2026));
}

TEST(Searches, RequestsCloseTheOldQueryAndOpenOnlyWithHits) {
    FakeQueryApi api;
    QueryRecord query;
    query.Kind = 2;
    query.ServerFile = "OLD";
    api.Queue("OK");
    api.Queue("0,");
    EXPECT_FALSE(SearchImageText(api, query, 1, "brown fox", 1));
    EXPECT_EQ(api.sent[0], "TALQDeleteFile,OLD");
    EXPECT_EQ(api.sent[1], "TALQSearchImgText,ANN,pw,Proj,brown fox,1,32000");
    EXPECT_EQ(query.Kind, 0);

    api.Queue("2,RES.TMP");
    api.Queue(Reply("", {"A", "B"}));
    EXPECT_TRUE(SearchImageText(api, query, 0, "memo", 0));
    EXPECT_EQ(api.sent[2], "TALQSearchResultsTempFile,ANN,pw,Proj,memo,0,32000,0");
    EXPECT_EQ(query.ServerFile, "RES.TMP");
    EXPECT_EQ(query.PageSize, 2000);
    EXPECT_EQ(query.Level, 0);

    api.Queue("OK");
    api.Queue("x,");
    EXPECT_FALSE(SearchDocDate(api, query, 4, "20000101", "20001231"));
    EXPECT_EQ(api.sent.back(), "TALQDTSearchDate,ANN,pw,Proj,4,20000101,20001231");
    api.Queue("ERROR", false);
    EXPECT_FALSE(SearchDocDate(api, query, 5, "20000101", ""));
}

}  // namespace
