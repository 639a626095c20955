// A page lock or batch job whose holder is gone keeps nobody out: a
// local-access process that died, a pid that came round again, a holder on
// another machine that went silent. A living holder still keeps others out,
// and only proof takes it for gone.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <utility>
#include <vector>

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

std::string SqlValue(const std::string& sys, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_stmt* s = nullptr;
    std::string value;
    if (sqlite3_open((sys + "/system.db").c_str(), &db) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0) != nullptr)
        value = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return value;
}

// A pid no process has: one past the highest the kernel hands out.
std::string PidOfNoProcess() {
    std::ifstream in("/proc/sys/kernel/pid_max");
    long max = 4194304;
    in >> max;
    return std::to_string(max + 1);
}

std::string UtcText(std::int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return text;
}

// This process's identity up to its pid: host, machine, namespaces, boot.
std::string ThisMachineAndBoot() {
    const std::string& self = docserver::ProcessIdentity();
    return self.substr(0, self.rfind(' ', self.rfind(' ') - 1));
}

TEST(HolderJudgement, ALivingHolderIsTakenForGoneOnlyOnProof) {
    using docserver::HolderGone;
    const std::int64_t now = std::time(nullptr);
    const std::int64_t bound = docserver::kSilentHolderSeconds;
    const std::string me = std::to_string(::getpid());
    const std::string& real = docserver::ProcessIdentity();
    const std::string start = real.substr(real.rfind(' ') + 1);
    const std::string none = PidOfNoProcess();
    const std::string here = "host mach pid:[1] time:[1] ";
    // Judged by a process of this machine that booted an hour ago.
    const docserver::JudgeSelf judge{here + "boot-a " + me + " " + start, now - 3600};
    auto gone = [&](const std::string& owner, std::int64_t seen) {
        return HolderGone({owner, seen, "", bound}, now, judge);
    };

    // Of this machine and boot: its pid tells, however still it kept.
    EXPECT_FALSE(gone(here + "boot-a " + me + " " + start, 1));
    EXPECT_TRUE(gone(here + "boot-a " + none + " 5", now));
    EXPECT_TRUE(gone(here + "boot-a " + me + " 1", now)) << "its pid runs another process";
    // A start time read in another time namespace, or in one not recorded,
    // reads differently: the holder is judged by its signs of life.
    EXPECT_FALSE(gone("host mach pid:[1] time:[2] boot-a " + me + " 1", now - 60));
    EXPECT_FALSE(gone("host mach pid:[1] boot-a " + me + " 1", now - 60));
    EXPECT_TRUE(gone("host mach pid:[1] time:[2] boot-a " + me + " 1", now - 2 * bound));

    // A machine cloned from this one's image that booted on its own.
    EXPECT_FALSE(gone(here + "boot-b " + none + " 5", now - 30));
    EXPECT_TRUE(gone(here + "boot-b " + none + " 5", now - 3700))
        << "silent since before this boot";

    // An unknown token proves nothing: a boot or pid namespace not read.
    EXPECT_FALSE(gone(here + "- " + none + " 5", now - 30));
    const std::string hidden = "host mach - time:[1] boot-a ";
    EXPECT_FALSE(HolderGone({hidden + none + " 5", now - 30, "", bound}, now,
                            {hidden + me + " " + start, now - 3600}));
    const docserver::HolderRecord patient{here + "boot-b " + none + " 5", now - 3700, "", 9999};
    EXPECT_TRUE(HolderGone(patient, now, judge));
    EXPECT_FALSE(HolderGone(patient, now, {here + "- " + me + " " + start, now - 3600}));

    // A holder that shows life once a minute at most keeps its lock while
    // it kept still for less than the bound.
    const std::string elsewhere = "elsewhere m2 pid:[9] time:[9] boot-z 4242 1";
    EXPECT_FALSE(gone(elsewhere, now - bound - 30));
    EXPECT_TRUE(gone(elsewhere, now - bound - docserver::kLifeShownEverySeconds - 5));

    // Rows from before the owner columns (no owner, no sign of life, no
    // bound), a holder on another machine: gone once silent past the bound
    // since it wrote the row, not never.
    EXPECT_FALSE(HolderGone({"", 0, UtcText(now - 60), 0}, now, judge));
    EXPECT_TRUE(HolderGone({"", 0, UtcText(now - 2 * bound), 0}, now, judge));
}

class GoneHolder : public ::testing::Test {
  protected:
    void SetUp() override { testsupport::MakeQuerySystem(sys_, 12, 0); }
    // Opens a batch job on printer Floor and writes its pages' part: the job's
    // name and the part's name, both relative to the system.
    std::pair<std::string, std::string> OpenJobWithPart(docserver::CommandEngine& engine,
                                                        docserver::ConnectionState& state) {
        const std::string job = engine.Execute(state, "TALQGetNextBatch,Floor");
        EXPECT_EQ(job.rfind("ERROR", 0), std::string::npos) << job;
        const std::string part = job.substr(0, job.size() - 3) + "P__";
        const std::string R(1, '\x18');
        EXPECT_EQ(
            engine.Execute(state, "TALQWriteFile" + R + part + R + "0" + R + "4" + R + "page"),
            "OK");
        return {job, part};
    }

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
    Sql(sys_, "UPDATE page_locks SET owner = '" + ThisMachineAndBoot() + " " +
                  std::to_string(third) + " 1' WHERE seq = 5");
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
                  std::to_string(now - docserver::kSilentHolderSeconds -
                                 docserver::kLifeShownEverySeconds - 5) +
                  " WHERE seq = 6");
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

// An open job's holder is judged as a lock's, at every opening of the system.
TEST_F(GoneHolder, AnOpenBatchJobIsJudgedByTheRuleOfALocksHolder) {
    Sql(sys_, "INSERT INTO batch_printers(name, directory) VALUES ('Floor', 'batch/floor')");
    // A system made before jobs named their holder.
    Sql(sys_, "DROP TABLE batch_jobs; CREATE TABLE batch_jobs (job_id INTEGER PRIMARY KEY, "
              "printer TEXT NOT NULL, file_name TEXT NOT NULL UNIQUE, user_id TEXT NOT NULL "
              "DEFAULT '', state TEXT NOT NULL DEFAULT 'open', created TEXT NOT NULL DEFAULT "
              "'', session TEXT NOT NULL DEFAULT '')");
    std::string error;
    auto engine = docserver::CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    docserver::ConnectionState state;
    state.session = docserver::SessionName("1");
    state.local = true;
    engine->Execute(state, kLogIn);
    const auto [job, pages] = OpenJobWithPart(*engine, state);
    ASSERT_FALSE(HasFailure());
    const std::string pageFile = sys_ + "/" + pages;
    auto stateAfterOpening = [&] {
        EXPECT_TRUE(docserver::CommandEngine::Open(sys_, error)) << error;
        return SqlValue(sys_, "SELECT state FROM batch_jobs");
    };

    // A local session shows that its process lives in its open job's row.
    Sql(sys_, "UPDATE batch_jobs SET seen = 1");
    state.lifeShown = 0;
    engine->Execute(state, "TALQGetSystemFlags");
    EXPECT_GE(std::stoll(SqlValue(sys_, "SELECT seen FROM batch_jobs")),
              static_cast<std::int64_t>(std::time(nullptr)) - 5);

    // A server of another pid namespace under this host name, showing
    // life: its pid is none of ours, yet it lives.
    const std::string none = PidOfNoProcess();
    const std::int64_t now = std::time(nullptr);
    const std::string self = ThisMachineAndBoot();
    std::vector<std::string> t;
    for (std::size_t at = 0, end = 0; end != std::string::npos; at = end + 1)
        t.push_back(self.substr(at, (end = self.find(' ', at)) - at));
    ASSERT_EQ(t.size(), 5u) << self;
    Sql(sys_, "UPDATE batch_jobs SET session = '" + t[0] + "/" + none + ":1@5', owner = '" +
                  t[0] + " " + t[1] + " pid:[1] " + t[3] + " " + t[4] + " " + none +
                  " 5', seen = " + std::to_string(now - 60));
    EXPECT_EQ(stateAfterOpening(), "open");
    EXPECT_EQ(::access(pageFile.c_str(), F_OK), 0);
    EXPECT_EQ(engine->Execute(state, "TALQCloseOutBatchFile," + job + ",0,1"), "OK");

    // A dead job whose pid now runs another process (this one).
    const std::string secondPages = sys_ + "/" + OpenJobWithPart(*engine, state).second;
    Sql(sys_, "DELETE FROM batch_jobs WHERE state = 'closed'");
    Sql(sys_, "UPDATE batch_jobs SET owner = '" + ThisMachineAndBoot() + " " +
                  std::to_string(::getpid()) + " 1'");
    EXPECT_EQ(stateAfterOpening(), "abandoned");
    EXPECT_NE(::access(secondPages.c_str(), F_OK), 0) << "its parts never reach a printer";

    // A job opened before jobs named their holder, gone silent.
    Sql(sys_, "UPDATE batch_jobs SET state = 'open', owner = '', seen = 0, silence = 0, "
              "created = '" + UtcText(now - 2 * docserver::kSilentHolderSeconds) + "'");
    EXPECT_EQ(stateAfterOpening(), "abandoned");
}

// Recovery that cannot store a job's end leaves it open, its parts with it:
// they go only once its end is stored.
TEST_F(GoneHolder, AJobWhoseAbandonmentWasNotStoredKeepsItsParts) {
    Sql(sys_, "INSERT INTO batch_printers(name, directory) VALUES ('Floor', 'batch/floor')");
    std::string error;
    auto engine = docserver::CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    docserver::ConnectionState state;
    engine->Execute(state, kLogIn);
    const auto [job, pages] = OpenJobWithPart(*engine, state);
    ASSERT_FALSE(HasFailure());
    engine.reset();
    Sql(sys_, "UPDATE batch_jobs SET owner = '', seen = 0, silence = 0, created = '" +
                  UtcText(std::time(nullptr) - 2 * docserver::kSilentHolderSeconds) + "'");
    // A constraint checked only at commit fails the recovery's commit.
    Sql(sys_,
        "CREATE TABLE anchor(id INTEGER PRIMARY KEY);"
        "CREATE TABLE trap(ref INTEGER REFERENCES anchor(id) DEFERRABLE INITIALLY DEFERRED);"
        "CREATE TRIGGER abandon_trap AFTER UPDATE OF state ON batch_jobs "
        "BEGIN INSERT INTO trap VALUES (1); END;");
    EXPECT_TRUE(docserver::CommandEngine::Open(sys_, error)) << error;
    EXPECT_EQ(SqlValue(sys_, "SELECT state FROM batch_jobs"), "open");
    EXPECT_EQ(::access((sys_ + "/" + pages).c_str(), F_OK), 0);

    Sql(sys_, "DROP TRIGGER abandon_trap");
    EXPECT_TRUE(docserver::CommandEngine::Open(sys_, error)) << error;
    EXPECT_EQ(SqlValue(sys_, "SELECT state FROM batch_jobs"), "abandoned");
    EXPECT_NE(::access((sys_ + "/" + pages).c_str(), F_OK), 0);
}

}  // namespace

// A child forked after its parent read who it is must record itself, not
// the parent: else its locks outlive it while the parent runs, and are
// taken from it, living, once the parent is gone.
TEST(HolderJudgement, AChildForkedAfterItsParentReadItsIdentityNamesItself) {
    const std::string parent = docserver::ProcessIdentity();
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    pid_t child = ::fork();
    if (child == 0) {
        const std::string& mine = docserver::ProcessIdentity();
        [[maybe_unused]] ssize_t n = ::write(pipe[1], mine.data(), mine.size());
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::string mine;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        mine.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    ::waitpid(child, nullptr, 0);
    ASSERT_NE(mine, parent);
    EXPECT_NE(mine.find(" " + std::to_string(child) + " "), std::string::npos) << mine;
}
