// A user refused a project (rights removed, a key range that reaches nothing)
// still gives back the page locks taken there and keeps nobody out with
// them, over TCP and through the local-access library; and the refusal reads
// the same in every command.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "engine/command_engine.h"
#include "foundation/mod_registry.h"
#include "raw_client.h"
#include "server/local_access.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

using testsupport::PageKey;

const std::string kBob = "BOB,pw,Demo Project";
const std::string kAdmin = "ADMIN,SECRET,Demo Project";
const std::string kRefused = "ERROR: Invalid Project Demo Project";

void Sql(const std::string& sys, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((sys + "/system.db").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

std::string Lock(const std::string& who, int page) {
    return "TALQSetPageLock," + who + "," + PageKey(page);
}
std::string Release(const std::string& who, int page) {
    return "TALQRemovePageLock," + who + "," + PageKey(page);
}

class RefusedProject : public ::testing::Test {
  protected:
    // BOB reaches pages 1 to 10 of 20.
    void SetUp() override {
        testsupport::MakeQuerySystem(sys_, 20, 0);
        Sql(sys_, "INSERT INTO users(user_id, password) VALUES ('BOB', 'pw')");
        GiveBobRights();
    }
    void GiveBobRights() {
        Sql(sys_, "INSERT OR REPLACE INTO user_projects VALUES ('BOB', 1, 255, '" + PageKey(1) +
                      "', '" + PageKey(10) + "')");
    }

    testsupport::ScopedUserStores stores_;
    testsupport::ScopedTempDir dir_;
    const std::string sys_ = dir_.Path() + "/system";
};

// BOB held page 7 when his project was taken from him: his release is
// answered, and whoever asks next gets the page, whether BOB released it,
// made another request, or kept still.
TEST_F(RefusedProject, ALockIsReleasedAfterTheRightsOrTheRangeWentAndKeepsNobodyOut) {
    modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER, "Software\\TALQTech\\VYNSYS\\Paths",
                              "Local", sys_ + "/");
    LocalAccessLibrary library;
    ASSERT_TRUE(library.Load());
    testsupport::ServerProcess server(sys_);
    testsupport::RawClient admin(server.Port());
    ASSERT_TRUE(admin.LogIn("ADMIN", "SECRET", "Demo Project")) << server.Output();

    using Send = std::function<std::string(const std::string&)>;
    // BOB logged in on a fresh connection of the server or the library.
    const std::function<Send(bool)> bobVia = [&](bool tcp) -> Send {
        if (tcp) {
            auto client = std::make_shared<testsupport::RawClient>(server.Port());
            EXPECT_TRUE(client->LogIn("BOB", "pw", "Demo Project"));
            return [client](const std::string& command) { return client->Send(command); };
        }
        const std::int32_t handle = library.AllocateConnectionHndl();
        EXPECT_EQ(library.ConnectLocal(2, handle), 0);
        Send send = [&library, handle](const std::string& command) {
            std::int32_t ref = 0, length = 0;
            library.ProcessCommand(handle, command.c_str(),
                                   static_cast<std::int32_t>(command.size()), &ref, &length);
            std::string reply(static_cast<std::size_t>(std::max(length, 0)), '\0');
            if (length > 0) library.CopyMsgData(ref, reply.data(), length, 0);
            return reply;
        };
        EXPECT_EQ(send("TALQRequiredLogin,BOB,pw,,DOM,1,8.6,1").substr(0, 1), "1");
        EXPECT_EQ(send("TALQGetProjectInfo," + kBob).rfind("ERROR", 0), std::string::npos);
        return send;
    };
    const std::string byBob = "ERROR: Page Locked by BOB";
    const std::string rangeGone = "DELETE FROM pages WHERE seq = 10";
    const std::string rangeBack = "INSERT INTO pages(project_id, seq, image_key) VALUES (1, 10, '" +
                                  PageKey(10) + "')";
    for (const bool tcp : {true, false}) {
        SCOPED_TRACE(tcp ? "over TCP" : "through the library");
        for (const std::string& refusal : {std::string("DELETE FROM user_projects WHERE user_id "
                                                       "= 'BOB'"),
                                           rangeGone}) {
            SCOPED_TRACE(refusal);
            // BOB gives his lock back himself.
            Send bob = bobVia(tcp);
            ASSERT_EQ(bob(Lock(kBob, 7)), "OK");
            EXPECT_EQ(admin.Send(Lock(kAdmin, 7)), byBob);
            Sql(sys_, refusal);
            EXPECT_EQ(bob(Release(kBob, 7)), "OK");
            EXPECT_EQ(admin.Send(Lock(kAdmin, 7)), "OK");
            EXPECT_EQ(admin.Send(Release(kAdmin, 7)), "OK");
            if (refusal == rangeGone) Sql(sys_, rangeBack);
            GiveBobRights();

            // BOB's next request is refused, and he keeps no lock.
            bob = bobVia(tcp);
            ASSERT_EQ(bob(Lock(kBob, 7)), "OK");
            Sql(sys_, refusal);
            EXPECT_NE(bob("TALQFindKey," + kBob + "," + PageKey(3)).rfind("ERROR: Invalid", 0),
                      std::string::npos);
            EXPECT_EQ(admin.Send(Lock(kAdmin, 7)), "OK");
            EXPECT_EQ(admin.Send(Release(kAdmin, 7)), "OK");
            if (refusal == rangeGone) Sql(sys_, rangeBack);
            GiveBobRights();

            // BOB keeps still: whoever asks finds him refused the project.
            bob = bobVia(tcp);
            ASSERT_EQ(bob(Lock(kBob, 7)), "OK");
            Sql(sys_, refusal);
            EXPECT_EQ(admin.Send(Lock(kAdmin, 7)), "OK");
            EXPECT_EQ(admin.Send(Release(kAdmin, 7)), "OK");
            if (refusal == rangeGone) Sql(sys_, rangeBack);
            GiveBobRights();
        }
    }
}

// Rights removed while a concept search runs: its start and its poll say
// what every command naming the project says, never "Project Not Selected".
TEST_F(RefusedProject, AConceptSearchRefusedItsProjectSaysSoAsEveryCommandDoes) {
    std::string error;
    auto engine = docserver::CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    docserver::ConnectionState bob;
    ASSERT_EQ(engine->Execute(bob, "TALQRequiredLogin,BOB,pw,,DOM,1,8.6,1").substr(0, 1), "1");
    ASSERT_EQ(engine->Execute(bob, "TALQGetProjectInfo," + kBob).rfind("ERROR", 0),
              std::string::npos);
    const std::string start = std::string("IDEX_StartSearch\x18") + "brown\x18" + "10\x18" + "0";
    ASSERT_EQ(engine->Execute(bob, start), "OK");
    Sql(sys_, "DELETE FROM user_projects WHERE user_id = 'BOB'");
    EXPECT_EQ(engine->Execute(bob, "IDEX_QuerySearch"), "-1,Invalid Project Demo Project,0");
    EXPECT_EQ(engine->Execute(bob, start), kRefused);
    EXPECT_EQ(engine->Execute(bob, "TALQGetPageOcr,,,," + PageKey(7)), kRefused);
    EXPECT_EQ(engine->Execute(bob, "TALQFindKey," + kBob + "," + PageKey(7)), kRefused);
}

// A range an earlier release stored before the triggers refused it, and one
// whose last page was deleted since, refuse their users the project: the
// server names them as it starts, with what to set.
TEST_F(RefusedProject, ARangeThatReachesNothingIsNamedAtStart) {
    Sql(sys_, "DROP TRIGGER user_projects_range_ordered_changed;"
              "UPDATE user_projects SET first_key = '" + PageKey(9) + "', last_key = '" +
                  PageKey(2) + "' WHERE user_id = 'BOB';"
              "INSERT INTO users(user_id, password) VALUES ('CAROL', 'pw');"
              "INSERT INTO user_projects VALUES ('CAROL', 1, 255, '', '" + PageKey(20) + "');"
              "DELETE FROM pages WHERE seq = 20");
    const std::string errors = dir_.Path() + "/errors";
    ASSERT_GT(testsupport::ServerTellingInto(sys_, errors)->Port(), 0);
    std::stringstream told;
    told << std::ifstream(errors).rdbuf();
    const std::string what = "; the user is refused the project until first_key and last_key "
                             "of that row of user_projects are set to keys of its pages (or to "
                             "'' for no bound), the first not after the last\n";
    EXPECT_NE(told.str().find("talq-server: the key range of user BOB in project Demo Project: "
                              "its first key " + PageKey(9) + " comes after its last key " +
                              PageKey(2) + what),
              std::string::npos)
        << told.str();
    EXPECT_NE(told.str().find("talq-server: the key range of user CAROL in project Demo "
                              "Project: its last key " + PageKey(20) +
                              " is no key of the project" + what),
              std::string::npos)
        << told.str();
}

}  // namespace
