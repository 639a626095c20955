// A system on a shared folder stays whole: it runs in the rollback journal
// for every process that opens it, since WAL's index is a memory map that
// processes on different machines cannot share. A system held open in WAL
// elsewhere is refused, untouched, with what to do.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/command_engine.h"
#include "engine/system_db.h"
#include "engine/system_init.h"
#include "foundation/mod_registry.h"
#include "platform/dynamic_library.h"
#include "raw_client.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;

const std::string kLogIn = "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1";
const std::string kWhatToDo = "close every program that has this system open";

using testsupport::ReadFile;

// The header's read and write versions: 2 in WAL mode, 1 in the rollback journal.
int JournalVersion(const std::string& sys) {
    const std::string header = ReadFile(sys + "/system.db").substr(0, 20);
    return header.size() == 20 && header[18] == header[19] ? header[18] : -1;
}

int Synchronous(CommandEngine& engine) {
    sqlite3_stmt* stmt = nullptr;
    int value = -1;
    if (sqlite3_prepare_v2(engine.Db().Handle(), "PRAGMA synchronous", -1, &stmt, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

void Kill(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// Whether a process holds a lock on the database: asked from another
// process, which sees this one's byte-range locks.
bool LockedByThisProcess(const std::string& sys) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open((sys + "/system.db").c_str(), O_RDWR);
        struct flock range {};
        range.l_type = F_WRLCK;
        range.l_whence = SEEK_SET;
        range.l_start = 0x40000000;  // SQLite's lock bytes
        range.l_len = 512;
        ::_exit(fd >= 0 && ::fcntl(fd, F_GETLK, &range) == 0 && range.l_type != F_UNLCK ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Another process that runs the SQL on the system and tells when it has;
// then it lives until killed, or, given a time, waits that long, runs the
// second SQL and ends. -1 when the SQL failed.
pid_t OtherProgram(const std::string& sys, const char* sql, int thenMs = -1,
                   const char* thenSql = "") {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        sqlite3* db = nullptr;
        const bool done = sqlite3_open((sys + "/system.db").c_str(), &db) == SQLITE_OK &&
                          sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        [[maybe_unused]] ssize_t n = ::write(ready[1], done ? "H" : "F", 1);
        if (thenMs < 0)
            for (;;) ::pause();
        ::usleep(static_cast<useconds_t>(thenMs) * 1000);
        ::_exit(sqlite3_exec(db, thenSql, nullptr, nullptr, nullptr) == SQLITE_OK ? 0 : 1);
    }
    ::close(ready[1]);
    char byte = 'F';
    const bool done = pid > 0 && ::read(ready[0], &byte, 1) == 1 && byte == 'H';
    ::close(ready[0]);
    if (pid > 0 && !done) Kill(pid);
    return done ? pid : -1;
}

// Another program with the system open in WAL (an earlier version, which
// turns it back into WAL at every connection).
pid_t HoldInWal(const std::string& sys) {
    return OtherProgram(sys, "PRAGMA journal_mode = WAL; SELECT * FROM users");
}

// A shell command's output and exit status; the command must end by itself.
std::string Shell(const std::string& command, int& status) {
    std::string output;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[512];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int raw = pipe != nullptr ? ::pclose(pipe) : -1;
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

// A FUSE mount of a folder, as another machine reaches a shared folder:
// bindfs shares byte-range locks with the folder but not memory maps.
class FuseMount {
  public:
    FuseMount(const std::string& folder, const std::string& at) : at_("'" + at + "'") {
        const std::string mount =
            "timeout 20 bindfs --multithreaded --enable-lock-forwarding "
            "-o direct_io '" +
            folder + "' " + at_;
        int status = 0;
        why_ = Shell(
            "[ -e /dev/fuse ] || { echo no /dev/fuse; exit 1; }; command -v bindfs "
            ">/dev/null || { echo no bindfs; exit 1; }; mkdir -p " +
                at_ + " && " + mount + " 2>&1",
            status);
        if (status == 0)
            why_.clear();
        else if (why_.empty())
            why_ = "bindfs could not mount";
    }
    ~FuseMount() {
        int status = 0;
        if (why_.empty())
            Shell("timeout 20 fusermount -u -z " + at_ + " 2>&1 || timeout 20 umount -l " + at_,
                  status);
    }
    FuseMount(const FuseMount&) = delete;
    FuseMount& operator=(const FuseMount&) = delete;

    // Why there is no mount; "" when there is.
    const std::string& Missing() const { return why_; }

  private:
    std::string at_, why_;
};

class SharedFolder : public ::testing::Test {
  protected:
    // Made on a local disk, as most systems are before they are shared.
    void SetUp() override { testsupport::MakeTestSystem(sys_); }

    testsupport::ScopedUserStores stores_;
    testsupport::ScopedTempDir dir_;
    const std::string sys_ = dir_.Path() + "/system";
    testsupport::ScopedEnv kind_{"TALQ_FILE_SYSTEM", std::nullopt};
};

TEST_F(SharedFolder, ASystemOpenedFromASharedFolderLeavesWalForGoodAndANewOneNeverEntersIt) {
    ASSERT_EQ(JournalVersion(sys_), 2);
    std::string error;
    {
        auto local = CommandEngine::Open(sys_, error);
        ASSERT_TRUE(local) << error;
        EXPECT_EQ(Synchronous(*local), 1) << "NORMAL suffices under WAL";
    }
    {
        testsupport::ScopedEnv network("TALQ_FILE_SYSTEM", "network");
        const std::string fresh = dir_.Path() + "/fresh";
        ASSERT_TRUE(docserver::InitSystem(fresh, "ADMIN", "SECRET", error)) << error;
        EXPECT_EQ(JournalVersion(fresh), 1) << "a new system on a shared folder began in WAL";

        auto shared = CommandEngine::Open(sys_, error);
        ASSERT_TRUE(shared) << error;
        EXPECT_EQ(JournalVersion(sys_), 1);
        EXPECT_FALSE(Exists(sys_ + "/system.db-wal"));
        EXPECT_EQ(Synchronous(*shared), 2) << "the rollback journal needs FULL";
        docserver::ConnectionState state;
        EXPECT_EQ(shared->Execute(state, kLogIn).substr(0, 1), "1");

        // An opener looking at the header keeps this process's locks (a
        // descriptor of the file closed would drop them all).
        docserver::Statement reading(shared->Db(), "SELECT * FROM users");
        ASSERT_TRUE(reading.Step());
        ASSERT_TRUE(LockedByThisProcess(sys_));
        docserver::SystemDb second;
        ASSERT_TRUE(second.Open(sys_ + "/system.db", false, error)) << error;
        EXPECT_TRUE(LockedByThisProcess(sys_)) << "a read's lock was dropped";
    }
    // The machine that holds the folder opens it as a local disk: it keeps
    // the system's journal, side by side with the shared folder's openers.
    auto local = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(local) << error;
    EXPECT_EQ(JournalVersion(sys_), 1) << "a local opener turned the system back to WAL";
    EXPECT_EQ(Synchronous(*local), 2);
    docserver::ConnectionState state;
    EXPECT_EQ(local->Execute(state, kLogIn).substr(0, 1), "1");
}

TEST_F(SharedFolder, TheFileSystemSettingIsReadInAnyCaseAndAValueItDoesNotKnowIsRefused) {
    std::string error;
    {
        // Ignored, it would leave a shared folder in WAL.
        testsupport::ScopedEnv unknown("TALQ_FILE_SYSTEM", "nfs");
        EXPECT_FALSE(CommandEngine::Open(sys_, error));
        EXPECT_EQ(error.rfind("TALQ_FILE_SYSTEM=nfs is not a value the program knows: set it to "
                              "\"network\"",
                              0),
                  0u)
            << error;
        EXPECT_FALSE(docserver::InitSystem(dir_.Path() + "/fresh", "ADMIN", "SECRET", error));
        EXPECT_NE(error.find("TALQ_FILE_SYSTEM=nfs"), std::string::npos) << error;
        EXPECT_EQ(JournalVersion(sys_), 2) << "a refused opener changed the system";
    }
    testsupport::ScopedEnv network("TALQ_FILE_SYSTEM", "Network");
    auto engine = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    EXPECT_EQ(JournalVersion(sys_), 1) << "\"Network\" was not taken for a shared folder";
}

TEST_F(SharedFolder, AWalSystemHeldOpenElsewhereIsRefusedWithWhatToDoAndLeftUntouched) {
    modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER, "Software\\TALQTech\\VYNSYS\\Paths",
                              "Network", sys_ + "/");
    const pid_t holder = HoldInWal(sys_);
    ASSERT_GT(holder, 0);
    const std::string db = ReadFile(sys_ + "/system.db"), wal = ReadFile(sys_ + "/system.db-wal");
    {
        testsupport::ScopedEnv network("TALQ_FILE_SYSTEM", "network");
        std::string error;
        EXPECT_FALSE(CommandEngine::Open(sys_, error));
        EXPECT_NE(error.find(kWhatToDo), std::string::npos) << error;

        // The viewer shows the library's reason under its own words.
        TalqClientAPI api;
        EXPECT_FALSE(api.OpenTalqConnection(1, "", "", 0, 0, 0, 0));
        EXPECT_EQ(api.LastError().rfind("Invalid TALQ System Directory\n", 0), 0u);
        EXPECT_NE(api.LastError().find(kWhatToDo), std::string::npos) << api.LastError();

        int status = 0;
        // A server that came up anyway is ended by the time-out.
        const std::string server =
            Shell("timeout 30 '" + platform::ProgramDir() + "/talq-server' --system '" + sys_ +
                      "' --port 0 2>&1 >/dev/null",
                  status);
        EXPECT_EQ(status, 1);
        EXPECT_NE(server.find(kWhatToDo), std::string::npos) << server;

        // Not taken for a folder without a system, which an administrator
        // would make anew over the old.
        const std::string config = Shell("timeout 30 '" + platform::ProgramDir() +
                                             "/talq-demo-config' '" + sys_ + "' 2>&1 >/dev/null",
                                         status);
        EXPECT_EQ(status, 2);
        EXPECT_NE(config.find(kWhatToDo), std::string::npos) << config;
        EXPECT_EQ(config.find("holds no system"), std::string::npos) << config;
    }
    EXPECT_EQ(ReadFile(sys_ + "/system.db"), db) << "a refused opener wrote the database";
    EXPECT_EQ(ReadFile(sys_ + "/system.db-wal"), wal) << "a refused opener wrote the log";
    EXPECT_FALSE(Exists(sys_ + "/system.db-journal"));
    Kill(holder);

    // Once every program has closed it, the shared folder's opener switches it.
    testsupport::ScopedEnv network("TALQ_FILE_SYSTEM", "network");
    std::string error;
    auto engine = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    EXPECT_EQ(JournalVersion(sys_), 1);
}

TEST_F(SharedFolder, ASystemTurnedBackIntoWalBesideARunningEngineIsRefusedUntouchedUntilItIsFree) {
    testsupport::ScopedEnv network("TALQ_FILE_SYSTEM", "network");
    std::string error;
    auto engine = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    docserver::ConnectionState state;
    ASSERT_EQ(engine->Execute(state, kLogIn).substr(0, 1), "1");
    ASSERT_EQ(JournalVersion(sys_), 1);

    const pid_t holder = HoldInWal(sys_);
    ASSERT_GT(holder, 0);
    ASSERT_EQ(JournalVersion(sys_), 2);
    const std::string db = ReadFile(sys_ + "/system.db"), wal = ReadFile(sys_ + "/system.db-wal");
    const std::string addTag = "TALQAddTag,ADMIN,SECRET,Demo Project,Fresh";
    const std::string refused = engine->Execute(state, addTag);
    EXPECT_NE(refused.find(kWhatToDo), std::string::npos) << refused;
    // A worker that has no connection yet.
    std::string fresh;
    std::thread([&] {
        docserver::ConnectionState other;
        fresh = engine->Execute(other, kLogIn);
    }).join();
    EXPECT_NE(fresh.find(kWhatToDo), std::string::npos) << fresh;
    EXPECT_TRUE(ReadFile(sys_ + "/system.db") == db) << "a refused request wrote the database";
    EXPECT_TRUE(ReadFile(sys_ + "/system.db-wal") == wal) << "a refused request wrote the log";
    Kill(holder);

    // The same engine takes it out of WAL again and serves.
    std::string reply;
    for (int i = 0; i < 100 && (reply = engine->Execute(state, addTag)).rfind("ERROR", 0) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(reply.rfind("ERROR", 0), std::string::npos) << reply;
    EXPECT_EQ(JournalVersion(sys_), 1);
}

TEST_F(SharedFolder, TheServerSaysOnItsErrorOutputWhyItRefusesASystemTurnedBackIntoWal) {
    testsupport::ScopedEnv network("TALQ_FILE_SYSTEM", "network");
    const std::string errors = dir_.Path() + "/errors";
    const std::unique_ptr<testsupport::ServerProcess> server =
        testsupport::ServerTellingInto(sys_, errors);
    ASSERT_TRUE(server);
    ASSERT_NE(server->Port(), 0);
    testsupport::RawClient client(server->Port());
    ASSERT_TRUE(client.LogIn("ADMIN", "SECRET", "Demo Project"));
    const pid_t holder = HoldInWal(sys_);
    ASSERT_GT(holder, 0);
    const std::string reply = client.Send("TALQAddTag,ADMIN,SECRET,Demo Project,Fresh");
    Kill(holder);
    server->Stop(SIGTERM);
    EXPECT_NE(reply.find(kWhatToDo), std::string::npos) << reply;
    EXPECT_NE(ReadFile(errors).find(kWhatToDo), std::string::npos) << ReadFile(errors);
}

TEST_F(SharedFolder, AnOpenerWaitsForAnotherToFinishTakingTheSystemOutOfWal) {
    // The other opener holds it alone for longer than a lock is waited for,
    // as it checkpoints a large log, then switches it.
    const pid_t switcher =
        OtherProgram(sys_, "PRAGMA locking_mode = EXCLUSIVE; SELECT * FROM users", 3500,
                     "PRAGMA journal_mode = DELETE");
    ASSERT_GT(switcher, 0);
    testsupport::ScopedEnv network("TALQ_FILE_SYSTEM", "network");
    std::string error;
    auto engine = CommandEngine::Open(sys_, error);
    int status = 0;
    ASSERT_EQ(::waitpid(switcher, &status, 0), switcher);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(engine) << error;
    EXPECT_EQ(JournalVersion(sys_), 1);
}

TEST_F(SharedFolder, AFuseMountIsTakenForASharedFolderWithoutBeingTold) {
    const std::string mounted = dir_.Path() + "/mnt";
    FuseMount mount(sys_, mounted);
    if (!mount.Missing().empty())
        GTEST_SKIP() << "needs a FUSE mount by bindfs: " << mount.Missing();
    // The machine that holds the folder has the system open in WAL.
    const pid_t holder = HoldInWal(sys_);
    ASSERT_GT(holder, 0);
    std::string error;
    EXPECT_FALSE(CommandEngine::Open(mounted, error));
    EXPECT_NE(error.find(kWhatToDo), std::string::npos) << error;
    {
        // Nothing makes a shared folder pass for a local disk.
        testsupport::ScopedEnv local("TALQ_FILE_SYSTEM", "local");
        EXPECT_FALSE(CommandEngine::Open(mounted, error));
        EXPECT_NE(error.find("TALQ_FILE_SYSTEM=local is not a value"), std::string::npos) << error;
    }
    Kill(holder);

    auto engine = CommandEngine::Open(mounted, error);
    ASSERT_TRUE(engine) << error;
    EXPECT_EQ(JournalVersion(sys_), 1);
    docserver::ConnectionState state;
    EXPECT_EQ(engine->Execute(state, kLogIn).substr(0, 1), "1");
}

// A holder keeping the system in WAL without shared memory (exclusive
// locking, as a sqlite3 shell may): nothing marks it, and it looks like
// another opener taking the system out of WAL.
pid_t HoldInWalAlone(const std::string& sys) {
    return OtherProgram(sys,
                        "PRAGMA locking_mode = EXCLUSIVE; PRAGMA journal_mode = WAL; "
                        "SELECT * FROM users");
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(SharedFolder, AHolderInWalWithoutSharedMemoryIsWaitedOnOnceThenToldAndServedOnceItQuits) {
    testsupport::ScopedEnv network("TALQ_FILE_SYSTEM", "network");
    std::string error;
    auto engine = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    docserver::ConnectionState state;
    ASSERT_EQ(engine->Execute(state, kLogIn).substr(0, 1), "1");
    const pid_t holder = HoldInWalAlone(sys_);
    ASSERT_GT(holder, 0);

    // The default wait, once: seconds, not minutes.
    auto start = std::chrono::steady_clock::now();
    std::string reply = engine->Execute(state, "TALQAddTag,ADMIN,SECRET,Demo Project,Held");
    EXPECT_LT(SecondsSince(start), 20.0);
    EXPECT_EQ(reply, std::string("ERROR: Database Error ") + docserver::kHeldOrSwitching);

    // Then neither a statement, nor a worker, nor another engine of the
    // process waits for it again.
    start = std::chrono::steady_clock::now();
    std::vector<std::string> replies(6);
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < replies.size(); ++i)
        workers.emplace_back([&, i] {
            docserver::ConnectionState fresh;
            replies[i] = engine->Execute(fresh, kLogIn);
        });
    for (auto& worker : workers) worker.join();
    EXPECT_FALSE(CommandEngine::Open(sys_, error));
    EXPECT_EQ(error, docserver::kHeldOrSwitching);
    EXPECT_LT(SecondsSince(start), 2.5) << "each waited again";
    for (const std::string& each : replies)
        EXPECT_NE(each.find(docserver::kHeldOrSwitching), std::string::npos) << each;

    Kill(holder);
    EXPECT_EQ(engine->Execute(state, "TALQAddTag,ADMIN,SECRET,Demo Project,Freed"), "1");
    docserver::ConnectionState fresh;
    std::thread([&] { reply = engine->Execute(fresh, kLogIn); }).join();
    EXPECT_EQ(reply.substr(0, 1), "1") << reply;
    EXPECT_EQ(JournalVersion(sys_), 1);
}

TEST_F(SharedFolder, TheServerTellsAHolderInWalWithoutSharedMemoryOnceAndServesOnceItQuits) {
    testsupport::ScopedEnv network("TALQ_FILE_SYSTEM", "network");
    const std::string errors = dir_.Path() + "/errors";
    const std::unique_ptr<testsupport::ServerProcess> server =
        testsupport::ServerTellingInto(sys_, errors, std::vector<std::string>{"--workers", "4"});
    ASSERT_TRUE(server);
    ASSERT_NE(server->Port(), 0);
    // Replies waited for longer than the server's wait.
    const int fd = testsupport::ConnectLoopback(server->Port());
    ASSERT_GE(fd, 0);
    std::mt19937 random(7);
    const auto send = [&](const std::string& command) {
        return testsupport::Exchange(fd, RequestFrame::BuildRequest(command, random), true, 20000);
    };
    ASSERT_EQ(send(kLogIn).substr(0, 1), "1");
    const pid_t holder = HoldInWalAlone(sys_);
    ASSERT_GT(holder, 0);
    for (const char* tag : {"One", "Two", "Three"}) {
        const std::string reply = send(std::string("TALQAddTag,ADMIN,SECRET,Demo Project,") + tag);
        EXPECT_NE(reply.find(docserver::kHeldOrSwitching), std::string::npos) << reply;
    }
    Kill(holder);
    EXPECT_EQ(send("TALQAddTag,ADMIN,SECRET,Demo Project,Freed"), "1");
    ::close(fd);
    server->Stop(SIGTERM);
    const std::string told = ReadFile(errors);
    const std::size_t first = told.find(docserver::kHeldOrSwitching);
    EXPECT_NE(first, std::string::npos) << told;
    EXPECT_EQ(told.find(docserver::kHeldOrSwitching, first + 1), std::string::npos)
        << "told per request: " << told;
}

}  // namespace
