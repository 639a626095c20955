// A page lock whose holder is gone keeps nobody out: a local-access process
// that died, a pid that came round again, a holder on another machine that
// went silent. A living holder still keeps others out.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>

#include "engine/command_engine.h"
#include "engine/lock_holders.h"
#include "engine/system_db.h"
#include "foundation/mod_registry.h"
#include "raw_client.h"
#include "server/local_access.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

const std::string kProject = "ADMIN,SECRET,Demo Project,";

// A process of its own that locks the key through the library and lives on
// until killed; -1 when it did not get the lock.
pid_t LocalHolder(LocalAccessLibrary& library, const std::string& key) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        std::int32_t handle = library.AllocateConnectionHndl();
        bool ok = library.ConnectLocal(2, handle) == 0;
        std::string last;
        for (const std::string& command :
             {std::string("TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1"),
              "TALQGetProjectInfo," + kProject.substr(0, kProject.size() - 1),
              "TALQSetPageLock," + kProject + key}) {
            std::int32_t ref = 0, length = 0;
            library.ProcessCommand(handle, command.c_str(),
                                   static_cast<std::int32_t>(command.size()), &ref, &length);
            last.assign(static_cast<std::size_t>(std::max(length, 0)), '\0');
            if (length > 0) library.CopyMsgData(ref, last.data(), length, 0);
        }
        char byte = ok && last == "OK" ? 'L' : 'F';
        [[maybe_unused]] ssize_t n = ::write(ready[1], &byte, 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char byte = 'F';
    bool locked = pid > 0 && ::read(ready[0], &byte, 1) == 1 && byte == 'L';
    ::close(ready[0]);
    if (!locked && pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

void Kill(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

void Sql(const std::string& sys, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((sys + "/system.db").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

TEST(GoneHolder, ALockWhoseHolderIsGoneKeepsNobodyOutWhileALivingOneStillDoes) {
    testsupport::ScopedUserStores stores;
    testsupport::ScopedTempDir dir;
    const std::string sys = dir.Path() + "/system";
    testsupport::MakeQuerySystem(sys, 12, 0);
    modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER, "Software\\TALQTech\\VYNSYS\\Paths",
                              "Local", sys + "/");
    LocalAccessLibrary library;
    ASSERT_TRUE(library.Load());
    testsupport::ServerProcess server(sys);
    ASSERT_GT(server.Port(), 0) << server.Output();
    testsupport::RawClient tcp(server.Port());
    ASSERT_TRUE(tcp.LogIn("ADMIN", "SECRET", "Demo Project"));
    const std::string k3 = testsupport::PageKey(3), k4 = testsupport::PageKey(4);
    const std::string k5 = testsupport::PageKey(5);

    pid_t first = LocalHolder(library, k3);
    pid_t second = LocalHolder(library, k4);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    // Living holders keep the same login out, over lock and turn alike.
    EXPECT_EQ(tcp.Send("TALQSetPageLock," + kProject + k3), "ERROR: Page Locked by ADMIN");
    EXPECT_EQ(tcp.Send("TALQPutPageInfo," + kProject + k4 + ",,1"),
              "ERROR: Page Locked by ADMIN");

    // Killed: nothing was given back, yet the first session asking finds them gone.
    Kill(first);
    Kill(second);
    EXPECT_EQ(tcp.Send("TALQPutPageInfo," + kProject + k4 + ",,1"), "OK");
    EXPECT_EQ(tcp.Send("TALQSetPageLock," + kProject + k3), "OK");
    EXPECT_EQ(tcp.Send("TALQRemovePageLock," + kProject + k3), "OK");

    // A lock row naming a running pid that another process had before.
    pid_t third = LocalHolder(library, k5);
    ASSERT_GT(third, 0);
    const std::string& self = docserver::ProcessIdentity();
    const std::string machine = self.substr(0, self.rfind(' ', self.rfind(' ') - 1));
    Sql(sys, "UPDATE page_locks SET owner = '" + machine + " " + std::to_string(third) +
                 " 1' WHERE seq = 5");
    EXPECT_EQ(tcp.Send("TALQSetPageLock," + kProject + k5), "OK");
    EXPECT_EQ(tcp.Send("TALQRemovePageLock," + kProject + k5), "OK");
    Kill(third);

    // A holder on another machine: kept while it shows signs of life, gone
    // once it kept still past the bound.
    pid_t fourth = LocalHolder(library, k5);
    ASSERT_GT(fourth, 0);
    const auto now = static_cast<long long>(std::time(nullptr));
    Sql(sys, "UPDATE page_locks SET owner = 'elsewhere - - - 4242 1', seen = " +
                 std::to_string(now - 60) + " WHERE seq = 5");
    EXPECT_EQ(tcp.Send("TALQSetPageLock," + kProject + k5), "ERROR: Page Locked by ADMIN");
    Sql(sys, "UPDATE page_locks SET seen = " +
                 std::to_string(now - docserver::kSilentHolderSeconds - 5) + " WHERE seq = 5");
    EXPECT_EQ(tcp.Send("TALQSetPageLock," + kProject + k5), "OK");
    Kill(fourth);
}

// A silent holder on another machine whose lock was taken learns it at its
// next request: its session ends, so that its client opens it again and
// takes its locks anew, as after a connection closed for idling. One whose
// locks are all there goes on, and its rows show it lives.
TEST(GoneHolder, ASilentLocalHolderWhoseLockWasTakenEndsAtItsNextRequest) {
    testsupport::ScopedTempDir dir;
    const std::string sys = dir.Path() + "/system";
    testsupport::MakeQuerySystem(sys, 12, 0);
    std::string error;
    auto engine = docserver::CommandEngine::Open(sys, error);
    ASSERT_TRUE(engine) << error;
    auto open = [&](const std::string& name, bool local) {
        docserver::ConnectionState s;
        s.session = docserver::SessionName(name);
        s.local = local;
        s.address = "local";
        EXPECT_EQ(engine->Execute(s, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").substr(0, 1),
                  "1");
        EXPECT_EQ(engine->Execute(s, "TALQGetProjectInfo,ADMIN,SECRET,Demo Project").rfind(
                      "ERROR", 0),
                  std::string::npos);
        return s;
    };
    auto lock = [&](docserver::ConnectionState& s, int page) {
        return engine->Execute(s, "TALQSetPageLock," + kProject + testsupport::PageKey(page));
    };
    docserver::ConnectionState kept = open("local:1", true);
    docserver::ConnectionState quiet = open("local:2", true);
    docserver::ConnectionState other = open("9", false);
    ASSERT_EQ(lock(kept, 3), "OK");
    ASSERT_EQ(lock(kept, 4), "OK");
    ASSERT_EQ(lock(quiet, 5), "OK");
    Sql(sys, "UPDATE page_locks SET seen = 1 WHERE seq IN (3, 4)");
    Sql(sys, "UPDATE page_locks SET owner = 'elsewhere - - - 4242 1', seen = 1 WHERE seq = 5");
    EXPECT_EQ(lock(other, 5), "OK");

    // A minute later both make a request.
    kept.lifeShown = quiet.lifeShown = 0;
    const std::string find = "TALQFindKey," + kProject + testsupport::PageKey(1);
    EXPECT_EQ(engine->Execute(quiet, find).rfind("ERROR", 0), 0u);
    EXPECT_TRUE(quiet.ended);
    EXPECT_EQ(engine->Execute(kept, find).rfind("ERROR", 0), std::string::npos);
    EXPECT_FALSE(kept.ended);
    docserver::Statement seen(engine->Db(), "SELECT MIN(seen) FROM page_locks WHERE seq IN (3, 4)");
    ASSERT_TRUE(seen.Step());
    EXPECT_GE(seen.Int(0), static_cast<std::int64_t>(std::time(nullptr)) - 5);
    EXPECT_EQ(lock(kept, 5), "ERROR: Page Locked by ADMIN");
}

}  // namespace
