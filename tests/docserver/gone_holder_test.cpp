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

const std::string kLogIn = "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1";
const std::string kOpen = "TALQGetProjectInfo,ADMIN,SECRET,Demo Project";
std::string Lock(int page) {
    return "TALQSetPageLock,ADMIN,SECRET,Demo Project," + testsupport::PageKey(page);
}

// A process of its own that locks the page through the library and lives
// until killed; -1 when it did not get the lock.
pid_t LocalHolder(LocalAccessLibrary& library, int page) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        std::int32_t handle = library.AllocateConnectionHndl();
        std::string reply = library.ConnectLocal(2, handle) == 0 ? "" : "ERROR";
        for (const std::string& command : {kLogIn, kOpen, Lock(page)}) {
            std::int32_t ref = 0, length = 0;
            library.ProcessCommand(handle, command.c_str(),
                                   static_cast<std::int32_t>(command.size()), &ref, &length);
            reply.assign(static_cast<std::size_t>(std::max(length, 0)), '\0');
            if (length > 0) library.CopyMsgData(ref, reply.data(), length, 0);
        }
        [[maybe_unused]] ssize_t n = ::write(ready[1], reply == "OK" ? "L" : "F", 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char byte = 'F';
    if (pid > 0 && (::read(ready[0], &byte, 1) != 1 || byte != 'L')) pid = -1;
    ::close(ready[0]);
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

class GoneHolder : public ::testing::Test {
  protected:
    void SetUp() override { testsupport::MakeQuerySystem(sys_, 12, 0); }
    testsupport::ScopedUserStores stores_;
    testsupport::ScopedTempDir dir_;
    const std::string sys_ = dir_.Path() + "/system";
};

TEST_F(GoneHolder, ALockWhoseHolderIsGoneKeepsNobodyOutWhileALivingOneStillDoes) {
    modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER, "Software\\TALQTech\\VYNSYS\\Paths",
                              "Local", sys_ + "/");
    LocalAccessLibrary library;
    ASSERT_TRUE(library.Load());
    testsupport::ServerProcess server(sys_);
    testsupport::RawClient tcp(server.Port());
    ASSERT_TRUE(tcp.LogIn("ADMIN", "SECRET", "Demo Project")) << server.Output();
    const std::string turn4 = "TALQPutPageInfo,ADMIN,SECRET,Demo Project," +
                              testsupport::PageKey(4) + ",,1";
    const std::string locked = "ERROR: Page Locked by ADMIN";

    pid_t first = LocalHolder(library, 3), second = LocalHolder(library, 4);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    // Living holders keep even the same login out, from the lock and a turn.
    EXPECT_EQ(tcp.Send(Lock(3)), locked);
    EXPECT_EQ(tcp.Send(turn4), locked);
    // Killed, they gave nothing back, yet the first session asking finds them gone.
    Kill(first);
    Kill(second);
    EXPECT_EQ(tcp.Send(turn4), "OK");
    EXPECT_EQ(tcp.Send(Lock(3)), "OK");

    // A row naming a running pid that its holder had before.
    pid_t third = LocalHolder(library, 5);
    ASSERT_GT(third, 0);
    const std::string& self = docserver::ProcessIdentity();
    const std::string machine = self.substr(0, self.rfind(' ', self.rfind(' ') - 1));
    Sql(sys_, "UPDATE page_locks SET owner = '" + machine + " " + std::to_string(third) +
                  " 1' WHERE seq = 5");
    EXPECT_EQ(tcp.Send(Lock(5)), "OK");
    Kill(third);

    // A holder on another machine: kept while it shows signs of life, gone
    // once it kept still past the bound.
    pid_t fourth = LocalHolder(library, 6);
    ASSERT_GT(fourth, 0);
    const std::int64_t now = std::time(nullptr);
    Sql(sys_, "UPDATE page_locks SET owner = 'elsewhere - - - 4242 1', seen = " +
                  std::to_string(now - 60) + " WHERE seq = 6");
    EXPECT_EQ(tcp.Send(Lock(6)), locked);
    Sql(sys_, "UPDATE page_locks SET seen = " +
                  std::to_string(now - docserver::kSilentHolderSeconds - 5) + " WHERE seq = 6");
    EXPECT_EQ(tcp.Send(Lock(6)), "OK");
    Kill(fourth);
}

// A silent holder on another machine whose lock was taken learns it at its
// next request: its session ends, so its client opens it again and takes its
// locks anew, as after a connection closed for idling. One whose locks are
// all there goes on, and its rows show it lives.
TEST_F(GoneHolder, ASilentLocalHolderWhoseLockWasTakenEndsAtItsNextRequest) {
    std::string error;
    auto engine = docserver::CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    docserver::ConnectionState kept, quiet, other;
    for (auto* s : {&kept, &quiet, &other}) {
        s->session = docserver::SessionName(std::to_string(s == &kept ? 1 : s == &quiet ? 2 : 3));
        s->local = s != &other;
        engine->Execute(*s, kLogIn);
        engine->Execute(*s, kOpen);
    }
    ASSERT_EQ(engine->Execute(kept, Lock(3)), "OK");
    ASSERT_EQ(engine->Execute(kept, Lock(4)), "OK");
    ASSERT_EQ(engine->Execute(quiet, Lock(5)), "OK");
    Sql(sys_, "UPDATE page_locks SET seen = 1 WHERE seq IN (3, 4)");
    Sql(sys_, "UPDATE page_locks SET owner = 'elsewhere - - - 4242 1', seen = 1 WHERE seq = 5");
    EXPECT_EQ(engine->Execute(other, Lock(5)), "OK");

    // A minute later both make a request.
    kept.lifeShown = quiet.lifeShown = 0;
    const std::string find = "TALQFindKey,ADMIN,SECRET,Demo Project," + testsupport::PageKey(1);
    engine->Execute(quiet, find);
    EXPECT_TRUE(quiet.ended);
    EXPECT_EQ(engine->Execute(kept, find).rfind("ERROR", 0), std::string::npos);
    EXPECT_FALSE(kept.ended);
    docserver::Statement seen(engine->Db(), "SELECT MIN(seen) FROM page_locks WHERE seq IN (3, 4)");
    ASSERT_TRUE(seen.Step());
    EXPECT_GE(seen.Int(0), static_cast<std::int64_t>(std::time(nullptr)) - 5);
}

}  // namespace
