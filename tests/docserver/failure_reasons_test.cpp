// A request the server cannot carry out says why: the reply's own text comes
// first and SQLite's reason after it, in words no client splits, and the
// server tells it on its error output. A system.db that is damaged or
// missing is told as such, never as a folder to make a new system in.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "engine/command_engine.h"
#include "engine/system_db.h"
#include "foundation/mod_registry.h"
#include "raw_client.h"
#include "server/talq_client_api.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "support/small_disk.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;

const std::string kLogIn = "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1";
const std::string kFull = "database or disk is full";

std::string AddTag(int n) {
    return "TALQAddTag,ADMIN,SECRET,Demo Project,Tag" + std::to_string(n);
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(FailureReasons, AFullDiskIsToldAfterTheReplysOwnTextAndOnTheServersErrorOutput) {
    testsupport::SmallDisk disk("2m");
    if (!disk.Refusal().empty()) GTEST_SKIP() << "no small disk: " << disk.Refusal();
    const std::string sys = disk.Path() + "/sys";
    testsupport::MakeTestSystem(sys);
    {
        std::string error;
        auto engine = CommandEngine::Open(sys, error);
        ASSERT_TRUE(engine) << error;
        ConnectionState state;
        ASSERT_EQ(engine->Execute(state, kLogIn).substr(0, 1), "1");
        disk.Fill(0);
        std::string reply;
        int n = 0;
        while (n < 5000 && (reply = engine->Execute(state, AddTag(n))) == "1") ++n;
        EXPECT_EQ(reply, "ERROR: Update Failed: " + kFull);
        EXPECT_EQ(state.failure, "TALQAddTag: Update Failed: " + kFull);
    }
    ASSERT_EQ(::unlink((disk.Path() + "/filler").c_str()), 0);

    testsupport::ScopedTempDir out;
    const std::string errors = out.Path() + "/errors";
    auto server = testsupport::ServerTellingInto(sys, errors);
    ASSERT_NE(server->Port(), 0);
    testsupport::RawClient client(server->Port());
    ASSERT_TRUE(client.LogIn("ADMIN", "SECRET", "Demo Project"));
    disk.Fill(0);
    std::string reply;
    int n = 10000;
    while (n < 15000 && (reply = client.Send(AddTag(n))) == "1") ++n;
    EXPECT_EQ(reply, "ERROR: Update Failed: " + kFull);
    EXPECT_EQ(client.Send(AddTag(n + 1)), reply);
    server->Stop(SIGTERM);
    // Once per failure, with what failed.
    const std::string told = testsupport::ReadFile(errors);
    EXPECT_EQ(Count(told, "TALQAddTag: Update Failed: " + kFull + "\n"), 2u) << told;
}

TEST(FailureReasons, ADamagedSystemDbIsToldAsNoDatabaseAndAMissingOneAsMissing) {
    testsupport::ScopedUserStores stores;
    testsupport::ScopedTempDir dir;
    const std::string sys = dir.Path() + "/sys";
    ASSERT_EQ(::mkdir(sys.c_str(), 0755), 0);
    testsupport::WriteFile(sys + "/system.db", std::string(8192, 'x'));
    std::string error;
    EXPECT_FALSE(CommandEngine::Open(sys, error));
    EXPECT_EQ(error, std::string(docserver::kNotADatabase) + ": file is not a database");

    // The viewer shows the library's reason under its own words.
    modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER, "Software\\TALQTech\\VYNSYS\\Paths",
                              "Network", sys + "/");
    {
        TalqClientAPI api;
        EXPECT_FALSE(api.OpenTalqConnection(1, "", "", 0, 0, 0, 0));
        EXPECT_NE(api.LastError().find(docserver::kNotADatabase), std::string::npos)
            << api.LastError();
    }

    ASSERT_EQ(::unlink((sys + "/system.db").c_str()), 0);
    EXPECT_FALSE(CommandEngine::Open(sys, error));
    EXPECT_EQ(error, "system.db is missing: " + sys + "/system.db");
    TalqClientAPI api;
    EXPECT_FALSE(api.OpenTalqConnection(1, "", "", 0, 0, 0, 0));
    EXPECT_NE(api.LastError().find("system.db is missing: " + sys + "/system.db"),
              std::string::npos)
        << api.LastError();
}

// The concept search's poll is split at its commas: a reason holding commas
// reaches the viewer whole, after the reply's own text.
TEST(FailureReasons, AConceptSearchThatCannotOpenTheSystemTellsTheViewerWhyWhole) {
    testsupport::ScopedUserStores stores;
    testsupport::ScopedTempDir dir;
    testsupport::ScopedEnv kind("TALQ_FILE_SYSTEM", std::nullopt);
    const std::string sys = dir.Path() + "/sys";
    testsupport::MakeQuerySystem(sys, 20, 0);
    modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER, "Software\\TALQTech\\VYNSYS\\Paths",
                              "Network", sys + "/");
    TalqClientAPI api;
    ASSERT_TRUE(api.OpenTalqConnection(1, "", "", 0, 0, 0, 0)) << api.LastError();
    ASSERT_TRUE(api.TalqLogin("ADMIN", "SECRET", 0)) << api.LastError();
    ASSERT_TRUE(api.SelectProject("Demo Project")) << api.LastError();
    // The search's own connection is refused; the session's stays open.
    testsupport::ScopedEnv unknown("TALQ_FILE_SYSTEM", "nfs");
    ASSERT_TRUE(api.QuesterStartSearch("contract", 100, 0)) << api.LastError();
    for (int i = 0; i < 500 && api.QuesterCheckSearch(); ++i) {
    }
    const std::string& why = api.LastError();
    EXPECT_EQ(why.rfind("Unable to Open the System: TALQ_FILE_SYSTEM=nfs is not a value", 0), 0u)
        << why;
    EXPECT_NE(why.find("or unset it to let the program tell"), std::string::npos) << why;
    api.CloseTalqConnection();
}

}  // namespace
