#include "engine/query_commands.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <algorithm>

#include "engine/command_engine.h"
#include "engine/engine_text.h"
#include "engine/system_db.h"
#include "platform/wire_separators.h"
#include "support/scoped_env.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;
using docserver::Split;

constexpr char kSS = 25;
constexpr char kRS = wire::kRecordSep;
const std::string kP = "ADMIN,SECRET,Demo Project";

std::string Key(int n) {
    return testsupport::PageKey(n);
}

// A page reply taken apart.
struct Set {
    std::string first, position, marker;
    int count = 0;
    std::vector<std::string> keys, texts;
};

Set ParseSet(const std::string& reply) {
    Set set;
    std::vector<std::string> f = Split(reply, kSS);
    EXPECT_EQ(f.size(), 5u) << reply;
    if (f.size() != 5) return set;
    set.first = f[0];
    set.position = f[1];
    set.marker = f[2];
    set.count = std::stoi(f[3]);
    if (set.count == 0) return set;
    for (const std::string& row : Split(f[4], kRS)) {
        std::size_t tab = row.find('\t');
        set.keys.push_back(row.substr(0, tab));
        set.texts.push_back(tab == std::string::npos ? "" : row.substr(tab + 1));
    }
    return set;
}

// 100 pages K00001..K00100: a box every 50 pages, a folder every 20, a
// document every 5. Pages 1-40 are tagged "Hot", even pages "Even";
// pages 1-10 carry dates descending, the rest none.
class QueryEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/sys";
        testsupport::MakeQuerySystem(sys_, 100, 40);
        std::string error;
        docserver::SystemDb db;
        ASSERT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
        ASSERT_TRUE(
            db.Exec("INSERT INTO folder_descriptions VALUES (1, 21, 2, 'Memo folder');", error))
            << error;
        engine_ = CommandEngine::Open(sys_, error);
        ASSERT_TRUE(engine_) << error;
        ASSERT_EQ(Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").substr(0, 1), "1");
        ASSERT_EQ(Run("TALQGetProjectInfo," + kP).substr(0, 5),
                  std::string("3") + kSS + "1" + kSS + "2");
    }
    std::string Run(const std::string& command) { return engine_->Execute(state_, command); }
    std::string Scroll(int kind, const std::string& source, int level, int size, int direction,
                       const std::string& position = "", const std::string& start = "") {
        std::string s(1, kSS);
        return Run("TALQQueryScroll," + kP + "," + std::to_string(kind) + s + start + s + position +
                   s + source + s + std::to_string(level) + s + std::to_string(size) + s +
                   std::to_string(direction));
    }
    std::string Upload(const std::vector<std::string>& lines) {
        std::string name = Run("TALQCreateTempFile," + kP);
        std::string chunk;
        for (const std::string& line : lines) {
            if (!chunk.empty()) chunk.push_back(kRS);
            chunk += line;
        }
        if (!lines.empty()) {
            EXPECT_EQ(Run("TALQWriteTempFile," + kP + "," + name + "," + chunk), "OK");
        }
        return name;
    }
    int TempFileCount() {
        int count = 0;
        if (DIR* d = ::opendir((sys_ + "/tmp").c_str())) {
            while (dirent* e = ::readdir(d))
                if (e->d_name[0] != '.') ++count;
            ::closedir(d);
        }
        return count;
    }

    testsupport::ScopedTempDir dir_;
    std::string sys_;
    std::unique_ptr<CommandEngine> engine_;
    ConnectionState state_;
};

TEST_F(QueryEngineTest, TagQueryPagesForwardAndBackInKeyOrderWithMarkers) {
    Set first = ParseSet(Scroll(0, "hot", 0, 15, 0));
    EXPECT_EQ(first.marker, "MOREFOLLOWS");
    EXPECT_EQ(first.count, 15);
    EXPECT_EQ(first.first, Key(1));
    EXPECT_EQ(first.keys.front(), Key(1));
    EXPECT_EQ(first.keys.back(), Key(15));

    Set second = ParseSet(Scroll(0, "Hot", 0, 15, 1, first.position));
    EXPECT_EQ(second.marker, "BOTH");
    EXPECT_EQ(second.first, Key(16));
    Set third = ParseSet(Scroll(0, "Hot", 0, 15, 1, second.position));
    EXPECT_EQ(third.marker, "MOREBEFORE");
    EXPECT_EQ(third.count, 10);
    EXPECT_EQ(third.keys.back(), Key(40));
    // The token is stateless: an older token pages again from its own set.
    Set again = ParseSet(Scroll(0, "Hot", 0, 15, 1, first.position));
    EXPECT_EQ(again.keys, second.keys);
    Set back = ParseSet(Scroll(0, "Hot", 0, 15, 2, third.position));
    EXPECT_EQ(back.keys, second.keys);
    // Any other direction starts over.
    EXPECT_EQ(ParseSet(Scroll(0, "Hot", 0, 15, 7, third.position)).keys, first.keys);
    // Without a token the start key places the next set just after it.
    Set after = ParseSet(Scroll(0, "Hot", 0, 15, 1, "", "k00030"));
    EXPECT_EQ(after.first, Key(31));
    EXPECT_EQ(ParseSet(Scroll(0, "Hot", 0, 100, 0)).marker, "NONE");
    EXPECT_EQ(ParseSet(Scroll(0, "No such tag", 0, 100, 0)).count, 0);
}

TEST_F(QueryEngineTest, BoundaryLevelGivesOneRowPerUnitAtItsFirstPage) {
    // "Even" holds pages 2..100; documents start every 5 pages.
    Set docs = ParseSet(Scroll(0, "Even", 1, 100, 0));
    ASSERT_EQ(docs.count, 20);
    EXPECT_EQ(docs.keys[0], Key(1));
    EXPECT_EQ(docs.keys[1], Key(6));
    Set folders = ParseSet(Scroll(0, "Hot", 2, 1, 0));
    EXPECT_EQ(folders.marker, "MOREFOLLOWS");
    EXPECT_EQ(folders.keys, std::vector<std::string>{Key(1)});
    Set next = ParseSet(Scroll(0, "Hot", 2, 1, 1, folders.position));
    EXPECT_EQ(next.keys, std::vector<std::string>{Key(21)});
    EXPECT_EQ(next.texts, std::vector<std::string>{"Memo folder"});
    EXPECT_EQ(Scroll(0, "Hot", 9, 100, 0).rfind("ERROR", 0), 0u);
}

TEST_F(QueryEngineTest, UploadedFileKeepsLinesInvalidKeysAndConceptTexts) {
    std::string name = Run("TALQCreateTempFile," + kP);
    EXPECT_EQ(name.find_first_of(",/\\"), std::string::npos) << name;
    // Each chunk ends its last line: "K00003" and "K00009" stay apart.
    std::string rs(1, kRS);
    EXPECT_EQ(Run("TALQWriteTempFile," + kP + "," + name + ",K00005" + rs + "K00003"), "OK");
    EXPECT_EQ(Run("TALQWriteTempFile," + kP + "," + name + ",K00009\tseen in, a memo" + rs + rs +
                  "NOPE" + rs + "k00001"),
              "OK");
    Set set = ParseSet(Scroll(1, name, 0, 100, 0));
    EXPECT_EQ(set.keys, (std::vector<std::string>{Key(5), Key(3), Key(9), "*NOPE", Key(1)}));
    EXPECT_EQ(set.texts[2], "seen in, a memo");
    EXPECT_EQ(set.first, Key(5));
    // At the document level K00003 and K00005 share a unit.
    Set docs = ParseSet(Scroll(1, name, 1, 100, 0));
    EXPECT_EQ(docs.keys, (std::vector<std::string>{Key(1), Key(6), "*NOPE"}));
}

TEST_F(QueryEngineTest, ClientsCannotNameFilesOutsideTheTemporaryFolder) {
    for (std::string bad : {"../system.db", "/etc/passwd", "..", "sub/x", "a\\b"}) {
        EXPECT_EQ(Run("TALQDeleteFile," + bad).rfind("ERROR", 0), 0u) << bad;
        EXPECT_EQ(Run("TALQWriteTempFile," + kP + "," + bad + ",X").rfind("ERROR", 0), 0u) << bad;
        EXPECT_EQ(Scroll(1, bad, 0, 100, 0).rfind("ERROR", 0), 0u) << bad;
    }
    // A name in the folder that the server never issued is not written.
    testsupport::WriteFile(sys_ + "/tmp/planted", "K00001\n");
    EXPECT_EQ(Run("TALQWriteTempFile," + kP + ",planted,K00002").rfind("ERROR", 0), 0u);
    EXPECT_EQ(testsupport::ReadFile(sys_ + "/system.db").empty(), false);
    std::string name = Upload({"K00001"});
    EXPECT_EQ(Run("TALQDeleteFile," + name), "OK");
    EXPECT_EQ(Scroll(1, name, 0, 100, 0).rfind("ERROR", 0), 0u);
    EXPECT_EQ(Run("TALQCreateTempFile,ADMIN,wrong,Demo Project").rfind("ERROR", 0), 0u);
}

TEST_F(QueryEngineTest, SortJobTakesPollsOrdersByDateAndHonoursAbort) {
    std::vector<std::string> lines;
    // Enough rows for several slices; dated pages come out first by date.
    for (int i = 0; i < static_cast<int>(docserver::QueryCommands::kSortSlice) * 2 + 10; ++i)
        lines.push_back(Key(100 - i % 100));
    std::string name = Upload(lines);
    EXPECT_EQ(Run("TALQStartQuerySort,1," + name + ",0,0"), "OK");
    int polls = 0;
    std::string reply;
    do {
        reply = Run("BackGroundStatus,0");
        ++polls;
    } while (reply.rfind("1,", 0) == 0 && polls < 10);
    EXPECT_EQ(polls, 3);
    std::vector<std::string> f = Split(reply, ',');
    ASSERT_EQ(f.size(), 3u) << reply;
    EXPECT_EQ(f[0], "0");
    EXPECT_EQ(f[1], "0");
    Set sorted = ParseSet(Scroll(1, f[2], 0, 3, 0));
    // Page 10 has the earliest date, then page 9; each appears as often as listed.
    EXPECT_EQ(sorted.keys[0], Key(10));
    EXPECT_EQ(ParseSet(Scroll(1, f[2], 0, 500, 0)).keys[410], Key(9));

    EXPECT_EQ(Run("TALQStartQuerySort,0,Hot,0,1"), "OK");
    Set descending = ParseSet(Scroll(1, Split(Run("BackGroundStatus,0"), ',')[2], 0, 2, 0));
    EXPECT_EQ(descending.keys, (std::vector<std::string>{Key(1), Key(2)}));

    EXPECT_EQ(Run("TALQStartQuerySort,1," + name + ",0,0"), "OK");
    EXPECT_EQ(Run("BackGroundStatus,0").rfind("1,0,", 0), 0u);
    EXPECT_EQ(Run("BackGroundStatus,1").rfind("0,1,", 0), 0u);
    EXPECT_EQ(Run("BackGroundStatus,0").rfind("0,2,", 0), 0u);
}

TEST_F(QueryEngineTest, QuerySavedAsCollectionIsListedAndHoldsItsUnits) {
    std::string name = Upload({"K00003", "K00044"});
    EXPECT_EQ(Run("TALQConvertQueryToIssue," + kP + "," + name + ",Review Set,1"), "OK");
    EXPECT_EQ(Run("TALQGetTagPoolList," + kP), "Even,Hot,Review Set");
    // At the document level every page of both documents joins.
    Set set = ParseSet(Scroll(0, "Review Set", 0, 100, 0));
    EXPECT_EQ(set.keys, (std::vector<std::string>{Key(1), Key(2), Key(3), Key(4), Key(5), Key(41),
                                                  Key(42), Key(43), Key(44), Key(45)}));
    EXPECT_EQ(Run("TALQConvertQueryToIssue," + kP + "," + name + ",Bad|Name,0").rfind("ERROR", 0),
              0u);
    EXPECT_EQ(Run("TALQConvertQueryToIssue," + kP + "," + name + ",Bad,Name,0").rfind("ERROR", 0),
              0u);
}

TEST_F(QueryEngineTest, SearchesAnswerCountAndFileOnlyWithHits) {
    int before = TempFileCount();
    EXPECT_EQ(Run("TALQSearchImgText," + kP + ",zebra,0,32000"), "0,");
    EXPECT_EQ(Run("TALQDTSearchDate," + kP + ",1,19990101,"), "0,");
    EXPECT_EQ(TempFileCount(), before);

    auto keys = [this](const std::string& reply) {
        std::vector<std::string> f = Split(reply, ',');
        EXPECT_EQ(f.size(), 2u) << reply;
        return ParseSet(Scroll(1, f[1], 0, 1000, 0)).keys;
    };
    EXPECT_EQ(keys(Run("TALQSearchImgText," + kP + ",Brown fox,0,32000")),
              (std::vector<std::string>{Key(7), Key(8)}));
    EXPECT_EQ(keys(Run("TALQSearchImgText," + kP + ",brown FOX,1,32000")),
              (std::vector<std::string>{Key(7)}));
    EXPECT_EQ(keys(Run("TALQSearchResultsTempFile," + kP + ",memo,0,32000,0")),
              (std::vector<std::string>{Key(12), Key(21)}));
    EXPECT_EQ(Run("TALQSearchResultsTempFile," + kP + ",memo privileged,0,32000,1").substr(0, 2),
              "1,");
    // Dates of pages 1..10 run from 20000129 down to 20000120.
    EXPECT_EQ(keys(Run("TALQDTSearchDate," + kP + ",1,20000125,")),
              std::vector<std::string>{Key(5)});
    EXPECT_EQ(Run("TALQDTSearchDate," + kP + ",2,20000121,").substr(0, 2), "2,");
    EXPECT_EQ(Run("TALQDTSearchDate," + kP + ",3,20000128,").substr(0, 2), "2,");
    EXPECT_EQ(keys(Run("TALQDTSearchDate," + kP + ",4,20000122,20000123")),
              (std::vector<std::string>{Key(7), Key(8)}));
    EXPECT_EQ(Run("TALQDTSearchDate," + kP + ",5,,").substr(0, 3), "90,");
    EXPECT_EQ(Run("TALQDTSearchDate," + kP + ",1,2000,").rfind("ERROR", 0), 0u);
}

// The server's workers are engines of their own, each with its own
// connection: a connection's rows, built on one, page on another only while
// no change was made anywhere since.
TEST_F(QueryEngineTest, RowsKeptForAConnectionFollowChangesMadeThroughAnyEngine) {
    std::string error;
    std::unique_ptr<CommandEngine> worker = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(worker) << error;
    std::unique_ptr<CommandEngine> writer = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(writer) << error;
    ConnectionState other;
    ASSERT_EQ(writer->Execute(other, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").substr(0, 1),
              "1");
    const std::vector<std::string> before = ParseSet(Scroll(0, "Hot", 0, 1000, 0)).keys;
    std::string untagged;
    for (int n = 1; n <= 100 && untagged.empty(); ++n)
        if (std::find(before.begin(), before.end(), Key(n)) == before.end()) untagged = Key(n);
    ASSERT_FALSE(untagged.empty());
    auto scrollOn = [&](CommandEngine& engine) {
        std::string s(1, kSS);
        return ParseSet(engine.Execute(state_, "TALQQueryScroll," + kP + ",0" + s + s + s + "Hot" +
                                                   s + "0" + s + "1000" + s + "0"))
            .keys;
    };
    EXPECT_EQ(scrollOn(*worker), before);
    ASSERT_EQ(writer->Execute(other, "TALQTurnTagOn," + kP + "," + untagged + ",Hot"), "OK");
    for (CommandEngine* engine : {engine_.get(), worker.get()}) {
        const std::vector<std::string> after = scrollOn(*engine);
        EXPECT_EQ(after.size(), before.size() + 1);
        EXPECT_NE(std::find(after.begin(), after.end(), untagged), after.end());
    }
    // A writer outside the server's engines.
    docserver::SystemDb db;
    ASSERT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
    ASSERT_TRUE(db.Exec("DELETE FROM page_tags", error)) << error;
    EXPECT_TRUE(scrollOn(*worker).empty());
}

TEST_F(QueryEngineTest, ARestrictedUserQueriesAndSearchesOnlyInsideTheRange) {
    std::string error;
    docserver::SystemDb db;
    ASSERT_TRUE(db.Open(sys_ + "/system.db", false, error));
    ASSERT_TRUE(
        db.Exec("INSERT INTO users(user_id, password) VALUES ('LIM', 'pw');"
                "INSERT INTO user_projects VALUES ('LIM', 1, 1, 'K00005', 'K00007');",
                error))
        << error;
    ConnectionState limited;
    ASSERT_EQ(engine_->Execute(limited, "TALQRequiredLogin,LIM,pw,,DOM,1,8.6,1").substr(0, 1), "1");
    const std::string p = "LIM,pw,Demo Project";
    std::string s(1, kSS);
    Set tag = ParseSet(engine_->Execute(limited, "TALQQueryScroll," + p + ",0" + s + s + s + "Hot" +
                                                     s + "0" + s + "100" + s + "0"));
    EXPECT_EQ(tag.keys, (std::vector<std::string>{Key(5), Key(6), Key(7)}));
    EXPECT_EQ(engine_->Execute(limited, "TALQSearchImgText," + p + ",brown,0,32000").substr(0, 2),
              "1,");
    EXPECT_EQ(engine_->Execute(limited, "TALQDTSearchDate," + p + ",2,20001231,").substr(0, 2),
              "3,");
    // The list is the limited user's own: another user's list is not read.
    std::string name = engine_->Execute(limited, "TALQCreateTempFile," + p);
    ASSERT_EQ(engine_->Execute(limited, "TALQWriteTempFile," + p + "," + name + ",K00006" +
                                            std::string(1, kRS) + "K00050"),
              "OK");
    Set file = ParseSet(engine_->Execute(
        limited, "TALQQueryScroll," + p + ",1" + s + s + s + name + s + "0" + s + "100" + s + "0"));
    EXPECT_EQ(file.keys, (std::vector<std::string>{Key(6), "*K00050"}));
    // Saved at the box level, the box of K00006 reaches far past the range;
    // only the pages inside it join the collection.
    EXPECT_EQ(engine_->Execute(limited, "TALQConvertQueryToIssue," + p + "," + name + ",Mine,3"),
              "OK");
    Set saved = ParseSet(
        Run("TALQQueryScroll," + kP + ",0" + s + s + s + "Mine" + s + "0" + s + "100" + s + "0"));
    EXPECT_EQ(saved.keys, (std::vector<std::string>{Key(5), Key(6), Key(7)}));
}

}  // namespace
