#include "engine/command_engine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "engine/redaction_burn.h"
#include "engine/system_init.h"
#include "support/scoped_env.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testsupport::MakeTestSystem(dir_.Path() + "/sys");
        std::string error;
        engine_ = CommandEngine::Open(dir_.Path() + "/sys/", error);
        ASSERT_TRUE(engine_) << error;
    }
    std::string Run(const std::string& command) { return engine_->Execute(state_, command); }

    testsupport::ScopedTempDir dir_;
    std::unique_ptr<CommandEngine> engine_;
    ConnectionState state_;
};

TEST_F(EngineTest, AnswersFlagsInBothFormsAndAVersionTheClientAccepts) {
    EXPECT_EQ(Run("TALQGetSystemFlags"), "1025");
    EXPECT_EQ(Run("TALQGetSystemFlags,DOMAIN"), "1025");
    EXPECT_EQ(Run("TALQGetExtSystemFlags"), "136");
    EXPECT_EQ(Run("TALQGetExtSystemFlags,DOMAIN"), "136");
    std::string version = Run("TALQGetVersion");
    EXPECT_EQ(version.rfind("8.6.", 0), 0u) << version;
}

TEST_F(EngineTest, LoginStatusesAndTheConnectionsUser) {
    EXPECT_EQ(Run("TALQRequiredLogin,ADMIN,wrong,,DOM,1,8.6,1"), "0");
    EXPECT_EQ(state_.user, "");
    EXPECT_EQ(Run("TALQRequiredLogin,nobody,SECRET,,DOM,1,8.6,1"), "0");
    EXPECT_EQ(Run("TALQRequiredLogin"), "2");
    EXPECT_EQ(Run("TALQRequiredLogin,admin,SECRET,,DOM,1,8.6,1"),
              "1\x1e-1\x1e"
              "ADMIN");
    EXPECT_EQ(state_.user, "ADMIN");
}

TEST_F(EngineTest, ASystemMadeBeforeThePrintLogLogsPrintedRanges) {
    std::string error;
    engine_.reset();
    {
        docserver::SystemDb db;
        ASSERT_TRUE(db.Open(dir_.Path() + "/sys/system.db", false, error)) << error;
        ASSERT_TRUE(db.Exec("DROP TABLE print_log", error)) << error;
    }
    engine_ = CommandEngine::Open(dir_.Path() + "/sys/", error);
    ASSERT_TRUE(engine_) << error;
    ASSERT_EQ(Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").substr(0, 1), "1");
    Run("TALQGetProjectInfo,ADMIN,SECRET,Demo Project");
    ASSERT_EQ(state_.projectName, "Demo Project");
    EXPECT_EQ(Run("TALQUpdtPrintLog,3,0"), "OK");
}

TEST_F(EngineTest, ProjectRecordInWireOrder) {
    EXPECT_EQ(Run("TALQGetProjectInfo,ADMIN,SECRET,Demo Project"),
              testsupport::ExpectedDemoRecord());
    EXPECT_EQ(state_.projectName, "Demo Project");
    EXPECT_EQ(Run("TALQGetProjectInfo,ADMIN,SECRET,demo project"),
              testsupport::ExpectedDemoRecord())
        << "names compare without case";
    EXPECT_EQ(Run("TALQCloseProject"), "OK");
    EXPECT_EQ(state_.projectName, "");
}

TEST_F(EngineTest, ProjectRecordRefusedWithoutRightsOrLogin) {
    EXPECT_EQ(Run("TALQGetProjectInfo,ADMIN,bad,Demo Project").rfind("ERROR", 0), 0u);
    EXPECT_EQ(Run("TALQGetProjectInfo,ADMIN,SECRET,Other").rfind("ERROR", 0), 0u);
    EXPECT_EQ(Run("TALQGetProjectInfo,ADMIN,SECRET,").rfind("ERROR", 0), 0u);
    EXPECT_EQ(state_.projectName, "");
}

TEST_F(EngineTest, UnknownOrMalformedCommandsGetAnErrorNeverAnEmptyReply) {
    EXPECT_EQ(Run("TALQNoSuchVerb,a,b").rfind("ERROR", 0), 0u);
    EXPECT_EQ(Run("").rfind("ERROR", 0), 0u);
    EXPECT_EQ(Run(std::string("\0TALQGetVersion", 15)).rfind("ERROR", 0), 0u);
    EXPECT_EQ(Run(std::string("TALQGetSystemFlags\0garbage", 26)), "1025")
        << "the command ends at its NUL";
    EXPECT_EQ(Run(",,,,").rfind("ERROR", 0), 0u);
}

TEST_F(EngineTest, ConnectionsKeepTheirOwnState) {
    ConnectionState other;
    Run("TALQGetProjectInfo,ADMIN,SECRET,Demo Project");
    EXPECT_EQ(other.projectName, "");
    engine_->Execute(other, "TALQCloseProject");
    EXPECT_EQ(state_.projectName, "Demo Project");
}

// A read that fails part way is answered as an error: never as the rows read
// so far (a page's annotations cut short would be saved back as the whole),
// and never as a password changed (which ends the session).
TEST_F(EngineTest, ARowReadFailingPartWayIsAnErrorNotAShortListOrAnEndedSession) {
    std::string error;
    docserver::SystemDb& db = engine_->Db();
    ASSERT_TRUE(
        db.Exec("INSERT INTO pages(project_id, seq, image_key) VALUES (1, 1, 'K1');"
                "INSERT INTO annotations VALUES (1, 1, 1, 'sticky'), (1, 1, 8, 'mark'),"
                " (1, 1, 16, 'text')",
                error))
        << error;
    ASSERT_EQ(Run("TALQGetProjectInfo,ADMIN,SECRET,Demo Project").rfind("ERROR", 0),
              std::string::npos);
    const std::string get = "TALQGetAnnotations,ADMIN,SECRET,Demo Project,K1";
    ASSERT_EQ(Run(get).substr(0, 6), "sticky");
    // Views of this connection stand in for the tables; a row of kind 8, and
    // every users row, fails as it is read.
    ASSERT_TRUE(
        db.Exec("CREATE TEMP VIEW annotations AS SELECT project_id, seq, kind, CASE "
                "WHEN kind = 8 THEN abs(kind * 0 - 9223372036854775807 - 1) "
                "ELSE list_text END AS list_text FROM main.annotations ORDER BY kind",
                error))
        << error;
    EXPECT_EQ(Run(get).rfind("ERROR: Database Error", 0), 0u) << Run(get);

    ASSERT_TRUE(
        db.Exec("CREATE TEMP VIEW users AS SELECT user_id, password, "
                "abs(length(password) * 0 - 9223372036854775807 - 1) AS disabled "
                "FROM main.users",
                error))
        << error;
    const std::string list = "TALQGetTalqPrjList,ADMIN,SECRET,,1";
    EXPECT_EQ(Run(list).rfind("ERROR: Database Error", 0), 0u);
    EXPECT_FALSE(state_.ended) << "a failed read ended the session";
    ASSERT_TRUE(db.Exec("DROP VIEW temp.users; DROP VIEW temp.annotations", error)) << error;
    EXPECT_EQ(Run(list), "Demo Project");
    EXPECT_EQ(Run(get).substr(0, 6), "sticky");
}

// A single read that fails is an error too: never the flags' defaults (which
// would tell the viewer whether pages lock) nor a project the user lacks.
TEST_F(EngineTest, AFailedReadOfTheFlagsOrTheRightsIsAnErrorNotADefaultOrNoProject) {
    std::string error;
    docserver::SystemDb& db = engine_->Db();
    ASSERT_EQ(Run("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").substr(0, 1), "1");
    const std::string tags = "TALQGetImageTags,ADMIN,SECRET,Demo Project,K1";
    ASSERT_EQ(Run(tags), "ERROR: Invalid Image Key");
    // Views of this connection stand in for the tables; the flags' row and
    // every project's restriction fail as they are read.
    ASSERT_TRUE(db.Exec("CREATE TEMP VIEW system_settings AS SELECT name, CASE WHEN name = "
                        "'SystemFlags' THEN abs(length(name) * 0 - 9223372036854775807 - 1) "
                        "ELSE value END AS value FROM main.system_settings;"
                        "CREATE TEMP VIEW projects AS SELECT project_id, name, "
                        "abs(project_id * 0 - 9223372036854775807 - 1) AS restriction "
                        "FROM main.projects",
                        error))
        << error;
    EXPECT_EQ(Run("TALQGetSystemFlags").rfind("ERROR: Database Error", 0), 0u)
        << Run("TALQGetSystemFlags");
    EXPECT_EQ(Run("TALQGetExtSystemFlags"), "136") << "the other settings still read";
    EXPECT_EQ(Run(tags).rfind("ERROR: Database Error", 0), 0u) << Run(tags);
    ASSERT_TRUE(db.Exec("DROP VIEW temp.system_settings; DROP VIEW temp.projects", error))
        << error;
    EXPECT_EQ(Run("TALQGetSystemFlags"), "1025");
    EXPECT_EQ(Run(tags), "ERROR: Invalid Image Key");

    // Nor is a failed look for notes changed since the index was brought up
    // to date taken for none: the search would miss them.
    const std::string search =
        "TALQSearchResultsTempFile,ADMIN,SECRET,Demo Project,sticky,0,32000,0";
    ASSERT_TRUE(db.Exec("CREATE TEMP VIEW note_index_changes AS SELECT "
                        "abs(length('x') * 0 - 9223372036854775807 - 1) AS row_id",
                        error))
        << error;
    EXPECT_EQ(Run(search), "ERROR: Unable to Search Notes: integer overflow");
    ASSERT_TRUE(db.Exec("DROP VIEW temp.note_index_changes", error)) << error;
    EXPECT_NE(Run(search).rfind("ERROR", 0), 0u) << Run(search);
}

TEST(EngineOpen, RefusesDirectoriesThatHoldNoSystem) {
    testsupport::ScopedTempDir dir;
    std::string error;
    EXPECT_FALSE(CommandEngine::Open(dir.Path(), error));
    EXPECT_FALSE(CommandEngine::Open(dir.Path() + "/missing", error));
    testsupport::WriteFile(dir.Path() + "/system.db", "not a database at all, just some text....");
    EXPECT_FALSE(CommandEngine::Open(dir.Path(), error));
}

TEST(EngineInit, CreatesFoldersAndRefusesAnExistingSystem) {
    testsupport::ScopedTempDir dir;
    std::string error;
    std::string sys = dir.Path() + "/new";
    ASSERT_TRUE(docserver::InitSystem(sys, "ONE", "pw", error)) << error;
    for (const char* sub : {"images", "originals", "tmp", "batch"})
        EXPECT_EQ(::access((sys + "/" + sub).c_str(), F_OK), 0) << sub;
    EXPECT_FALSE(docserver::InitSystem(sys, "TWO", "pw", error));
    auto engine = CommandEngine::Open(sys, error);
    ASSERT_TRUE(engine);
    ConnectionState state;
    EXPECT_EQ(engine->Execute(state, "TALQRequiredLogin,ONE,pw,,D,1,8.6,1").substr(0, 1), "1");
    EXPECT_EQ(engine->Execute(state, "TALQRequiredLogin,TWO,pw,,D,1,8.6,1"), "0");
}

// ------------------------------------------------------- password changes

class PasswordChange : public EngineTest {
  protected:
    void SetExtFlags(int flags) {
        std::string error;
        ASSERT_TRUE(engine_->Db().Exec("UPDATE system_settings SET value = '" +
                                           std::to_string(flags) +
                                           "' WHERE name = 'ExtSystemFlags';",
                                       error))
            << error;
    }
    bool LogsIn(const std::string& password) {
        return Run("TALQRequiredLogin,ADMIN," + password + ",,DOM,1,8.6,1").rfind("1", 0) == 0;
    }
};

TEST_F(PasswordChange, TheNewPasswordReplacesTheOld) {
    EXPECT_EQ(Run("TALQChangePassword,admin,SECRET,new pw"), "OK");
    EXPECT_FALSE(LogsIn("SECRET"));
    EXPECT_TRUE(LogsIn("new pw"));
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,new pw,"), "OK") << "removing it is allowed";
    EXPECT_TRUE(LogsIn(""));
}

TEST_F(PasswordChange, RefusedWithoutTheOldPasswordOrWhenThePolicyForbidsIt) {
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,wrong,new"), "ERROR: Invalid Login");
    EXPECT_EQ(Run("TALQChangePassword,NOBODY,SECRET,new"), "ERROR: Invalid Login");
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,SECRET"), "ERROR: Invalid Parameters");
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,SECRET,a,b"), "ERROR: Invalid Parameters");
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,SECRET,a\tb"), "ERROR: Invalid Password");
    SetExtFlags(0x08);
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,SECRET,new"), "ERROR: Password Changes Not Enabled");
    EXPECT_TRUE(LogsIn("SECRET"));
}

TEST_F(PasswordChange, StrongPasswordsNeedSixCharactersALetterAndADigit) {
    SetExtFlags(0x80 | 0x100);
    for (const char* weak : {"abcdef", "123456", "ab12", "  ab12  ", ""}) {
        EXPECT_EQ(Run(std::string("TALQChangePassword,ADMIN,SECRET,") + weak),
                  "ERROR: Password Not Strong Enough")
            << weak;
    }
    EXPECT_TRUE(LogsIn("SECRET"));
    EXPECT_EQ(Run("TALQChangePassword,ADMIN,SECRET,abc123"), "OK");
    EXPECT_TRUE(LogsIn("abc123"));
}

TEST_F(EngineTest, KeysMissingFromTheProjectAreOrderedAsTheClientComparesThem) {
    docserver::SystemDb db;
    std::string error;
    ASSERT_TRUE(db.Open(dir_.Path() + "/sys/system.db", false, error));
    // In the client's folding "1" < "B" < "_"; the database's own folding
    // would put "_" before "b".
    ASSERT_TRUE(
        db.Exec("INSERT INTO pages(project_id, seq, image_key, bndry_level) VALUES "
                "(1, 1, 'A1', 3), (1, 2, 'AB', 0), (1, 3, 'A_', 1)",
                error))
        << error;
    ASSERT_EQ(Run("TALQRequiredLogin,ADMIN,SECRET,,D,1,8.6,1").substr(0, 1), "1");
    EXPECT_EQ(Run("TALQFindKey,ADMIN,SECRET,Demo Project,ac"), "5,A_");
    EXPECT_EQ(Run("TALQFindKey,ADMIN,SECRET,Demo Project,ab"), "4,AB");
    EXPECT_EQ(Run("TALQNextKey,ADMIN,SECRET,Demo Project,AC,0"), "A_");
    EXPECT_EQ(Run("TALQPrevKey,ADMIN,SECRET,Demo Project,AC,0"), "AB");
    EXPECT_EQ(Run("TALQNextKey,ADMIN,SECRET,Demo Project,A1,1"), "A_");
    EXPECT_EQ(Run("TALQNextKey,ADMIN,SECRET,Demo Project,A~,0"), "NONE");
}

// The box the server burns is the box the viewer draws from the same text:
// numbers by their leading value, taken to the nearest integer.
TEST(RedactionBoxes, ReadNumbersAsTheViewerDoes) {
    const struct {
        const char* left;
        const char* top;
        const char* right;
        const char* bottom;
        QRect box;
    } cases[] = {
        {"4E2", "6E2", "1.4E3", "9E2", QRect(QPoint(400, 600), QPoint(1400, 900))},
        {"399.6", "10", "500", "20.5", QRect(QPoint(400, 10), QPoint(500, 20))},
        {" 7x", "", "-2.5", "3.5", QRect(QPoint(-2, 0), QPoint(7, 4))},
    };
    for (const auto& c : cases) {
        const std::string f(1, docserver::kFieldSep);
        const std::string list = std::string(c.left) + f + c.top + f + c.right + f + c.bottom + f;
        const std::vector<QRect> boxes = docserver::RedactionBoxes(list);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], c.box) << c.left << " " << c.top << " " << c.right << " " << c.bottom;
    }
}

}  // namespace
