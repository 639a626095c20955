// A user refused a project (rights removed, a key range that reaches
// nothing) keeps no page lock there, and is told so as every command tells it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/command_engine.h"
#include "support/scoped_env.h"
#include "test_system.h"

namespace {

using docserver::ConnectionState;

const std::string kBob = "BOB,pw,Demo Project";
// BOB reaches pages 1 to 10 of 20.
const std::string kRights =
    "INSERT OR IGNORE INTO pages(project_id, seq, image_key) VALUES (1, 10, 'K00010');"
    "INSERT OR REPLACE INTO user_projects VALUES ('BOB', 1, 255, 'K00001', 'K00010')";

class RefusedProject : public ::testing::Test {
  protected:
    void SetUp() override {
        testsupport::MakeQuerySystem(sys_, 20, 0);
        std::string error;
        engine_ = docserver::CommandEngine::Open(sys_, error);
        ASSERT_TRUE(engine_) << error;
        Sql("INSERT INTO users(user_id, password) VALUES ('BOB', 'pw'), ('ANN', 'pw');"
            "INSERT INTO user_projects VALUES ('ANN', 1, 255, '', '');" +
            kRights);
    }
    void Sql(const std::string& sql) {
        std::string error;
        ASSERT_TRUE(engine_->Db().Exec(sql, error)) << error;
    }
    // A connection of the user (password pw) with the project chosen; the
    // library's when local.
    ConnectionState LogIn(const std::string& user, bool local = false) {
        ConnectionState state;
        state.local = local;
        state.session = docserver::SessionName(std::to_string(++sessions_));
        Run(state, "TALQRequiredLogin," + user + ",pw,,DOM,1,8.6,1");
        EXPECT_NE(Run(state, "TALQGetProjectInfo," + user + ",pw,Demo Project")[0], 'E');
        return state;
    }
    std::string Run(ConnectionState& s, const std::string& c) { return engine_->Execute(s, c); }

    testsupport::ScopedTempDir dir_;
    const std::string sys_ = dir_.Path() + "/system";
    std::unique_ptr<docserver::CommandEngine> engine_;
    int sessions_ = 0;
};

// BOB held page 7 when his project was taken from him: whether he then
// releases it, makes another request or keeps still, he holds nothing there.
TEST_F(RefusedProject, ALockIsReleasedAfterTheRightsOrTheRangeWentAndKeepsNobodyOut) {
    ConnectionState ann = LogIn("ANN");
    const std::string lock = ",Demo Project,K00007";
    enum Then { kReleases, kAsksMore, kKeepsStill };
    for (const bool local : {false, true}) {
        for (const char* refusal : {"DELETE FROM user_projects WHERE user_id = 'BOB'",
                                    "DELETE FROM pages WHERE seq = 10"}) {
            for (const Then then : {kReleases, kAsksMore, kKeepsStill}) {
                SCOPED_TRACE(std::string(refusal) + (local ? " local " : " TCP ") +
                             std::to_string(then));
                ConnectionState bob = LogIn("BOB", local);
                ASSERT_EQ(Run(bob, "TALQSetPageLock,BOB,pw" + lock), "OK");
                EXPECT_EQ(Run(ann, "TALQSetPageLock,ANN,pw" + lock), "ERROR: Page Locked by BOB");
                Sql(refusal);
                if (then == kReleases) {
                    EXPECT_EQ(Run(bob, "TALQRemovePageLock,BOB,pw" + lock), "OK");
                }
                if (then == kAsksMore) {
                    EXPECT_EQ(Run(bob, "TALQFindKey," + kBob + ",K00003").rfind("ERROR: Inv", 0),
                              0u);
                    docserver::Statement held(engine_->Db(), "SELECT COUNT(*) FROM page_locks");
                    EXPECT_TRUE(held.Row() && held.Int(0) == 0);
                }
                EXPECT_EQ(Run(ann, "TALQSetPageLock,ANN,pw" + lock), "OK");
                EXPECT_EQ(Run(ann, "TALQRemovePageLock,ANN,pw" + lock), "OK");
                engine_->EndConnection(bob);
                Sql(kRights);
            }
        }
    }
}

// Rights removed while a concept search runs: its start and its poll say
// what every command naming the project says, never "Project Not Selected".
TEST_F(RefusedProject, AConceptSearchRefusedItsProjectSaysSoAsEveryCommandDoes) {
    ConnectionState bob = LogIn("BOB");
    const std::string start = std::string("IDEX_StartSearch\x18") + "brown\x18" + "10\x18" + "0";
    ASSERT_EQ(Run(bob, start), "OK");
    Sql("DELETE FROM user_projects WHERE user_id = 'BOB'");
    EXPECT_EQ(Run(bob, "IDEX_QuerySearch"), "-1,Invalid Project Demo Project,0");
    for (const std::string& command :
         {start, std::string("TALQGetPageOcr,,,,K00007"), "TALQFindKey," + kBob + ",K00007"})
        EXPECT_EQ(Run(bob, command), "ERROR: Invalid Project Demo Project") << command;
}

}  // namespace
