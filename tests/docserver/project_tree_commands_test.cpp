// The stand-in server's answers to the project tree: unit lists after and
// before a unit, entry texts that keep the reply's separators out, and the
// rights that changing boundaries, dates and descriptions needs.
#include <gtest/gtest.h>

#include "engine/command_engine.h"
#include "engine/system_db.h"
#include "support/scoped_env.h"
#include "test_system.h"

namespace {

using testsupport::PageKey;

// Pages K00001..K00200: a document every 5 pages, a folder every 20, a box
// every 50 (levels 1, 2, 3).
class ProjectTreeCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/sys";
        testsupport::MakeQuerySystem(sys_, 200, 0);
        std::string error;
        docserver::SystemDb db;
        ASSERT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
        ASSERT_TRUE(
            db.Exec("INSERT INTO users(user_id, password) VALUES ('U01','p'),('U02','p'),"
                    "('U40','p'),('U80','p');"
                    "INSERT INTO user_projects(user_id, project_id, security) VALUES "
                    "('U01',1,1),('U02',1,2),('U40',1,64),('U80',1,128);",
                    error))
            << error;
        engine_ = docserver::CommandEngine::Open(sys_, error);
        ASSERT_TRUE(engine_) << error;
        ASSERT_EQ(Admin("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").substr(0, 1), "1");
    }
    std::string Run(docserver::ConnectionState& state, const std::string& command) {
        return engine_->Execute(state, command);
    }
    std::string Admin(const std::string& command) { return Run(admin_, command); }

    testsupport::ScopedTempDir dir_;
    std::string sys_;
    std::unique_ptr<docserver::CommandEngine> engine_;
    docserver::ConnectionState admin_;
    const std::string kP = "ADMIN,SECRET,Demo Project";
};

TEST_F(ProjectTreeCommands, NextAndPrevScrollStayInsideTheCoarserUnitAndMarkWhatIsLeft) {
    struct Case {
        const char* verb;
        int page;
        int level;
        int count;
        const char* reply;
    } cases[] = {
        // Pages of the document K00006..K00010.
        {"TALQGetNextScroll", 6, 0, 2, "BOTH,K00007,K00008"},
        {"TALQGetNextScroll", 8, 0, 200, "MOREBEFORE,K00009,K00010"},
        {"TALQGetPrevScroll", 8, 0, 200, "MOREAFTER,K00006,K00007"},
        {"TALQGetPrevScroll", 10, 0, 1, "BOTH,K00009"},
        // Documents of the folder K00001..K00020: nothing past either end.
        {"TALQGetNextScroll", 16, 1, 200, "MOREBEFORE"},
        {"TALQGetPrevScroll", 1, 1, 200, "MOREAFTER"},
        {"TALQGetNextScroll", 3, 1, 200, "MOREBEFORE,K00006,K00011,K00016"},
        // Boxes, the first level: the whole project.
        {"TALQGetPrevScroll", 160, 3, 2, "BOTH,K00051,K00101"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Admin(std::string(c.verb) + "," + kP + "," + PageKey(c.page) + "," +
                        std::to_string(c.level) + "," + std::to_string(c.count)),
                  c.reply)
            << c.verb << " " << c.page;
    }
}

TEST_F(ProjectTreeCommands, EntryTextsHoldNoCommaTabOrLineBreak) {
    ASSERT_EQ(Admin("TALQPutFolderDescription," + kP + "," + PageKey(21) + ",2,a,b\tc\rd\ne"),
              "OK");
    EXPECT_EQ(Admin("TALQGetNextScroll," + kP + "," + PageKey(1) + ",2,1,1"),
              "BOTH,K00021\ta;b c d e");
    EXPECT_EQ(Admin("TALQGetScroll," + kP + "," + PageKey(21) + ",2,1,1"),
              "BOTH,K00021\ta;b c d e");
}

TEST_F(ProjectTreeCommands, BoundaryDateAndDescriptionChangesNeedABoundaryRight) {
    const std::string key = PageKey(12);
    struct Who {
        const char* user;
        bool allowed;
    } users[] = {{"U01", true}, {"U02", true}, {"U40", true}, {"U80", false}};
    for (const Who& who : users) {
        docserver::ConnectionState state;
        const std::string p = std::string(who.user) + ",p,Demo Project";
        ASSERT_EQ(Run(state, "TALQRequiredLogin," + p.substr(0, p.rfind(',')) + ",,DOM,1,8.6,1")
                      .substr(0, 1),
                  "1");
        for (const std::string& command :
             {"TALQPutPageInfo," + p + "," + key + ",2",
              "TALQDTPutDate," + p + "," + key + ",19990101",
              "TALQPutFolderDescription," + p + "," + key + ",1,Described"}) {
            const std::string reply = Run(state, command);
            if (who.allowed) {
                EXPECT_EQ(reply, "OK") << who.user << " " << command;
            } else {
                EXPECT_EQ(reply, "ERROR: Insufficient Security Level") << command;
            }
        }
    }
    // Turning a page is not a boundary edit.
    docserver::ConnectionState viewer;
    ASSERT_EQ(Run(viewer, "TALQRequiredLogin,U80,p,,DOM,1,8.6,1").substr(0, 1), "1");
    EXPECT_EQ(Run(viewer, "TALQPutPageInfo,U80,p,Demo Project," + key + ",,1"), "OK");
}

}  // namespace
