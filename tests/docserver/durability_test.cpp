// Nothing acknowledged is lost and nothing half done is kept: a write that
// does not fit on the disk is refused and taken back, and the page locks
// and batch jobs of a server killed mid-session do not outlive it.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "engine/command_engine.h"
#include "engine/opened_file.h"
#include "engine/system_db.h"
#include "raw_client.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;
using testsupport::RawClient;

constexpr char kRS = 24;
const std::string kAdmin = "ADMIN,SECRET,Demo Project";

class Durability : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/sys";
        testsupport::MakeQuerySystem(sys_, 20, 0);
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
        ASSERT_TRUE(
            db.Exec("INSERT INTO batch_printers(name, directory) VALUES ('Floor', "
                    "'batch/floor');"
                    "INSERT INTO users(user_id, password) VALUES ('OTHER', 'pw');"
                    "INSERT INTO user_projects VALUES ('OTHER', 1, 255, '', '');",
                    error))
            << error;
    }
    std::string Query(const std::string& sql) {
        docserver::SystemDb db;
        std::string error;
        EXPECT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
        docserver::Statement s(db, sql.c_str());
        return s.Step() ? s.Text(0) : "";
    }
    static std::string WriteCommand(const std::string& file, const std::string& bytes) {
        return "TALQWriteFile" + std::string(1, kRS) + file + kRS + "0" + kRS +
               std::to_string(bytes.size()) + kRS + bytes;
    }

    testsupport::ScopedTempDir dir_;
    std::string sys_;
};

off_t FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

TEST_F(Durability, AFullDiskIsAnErrorAndLeavesNothingHalfWritten) {
    // A child process whose files may not grow past a limit plays the full
    // disk; it reports by its exit status which checks failed.
    const off_t limit = FileSize(sys_ + "/system.db") + 256 * 1024;
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit small{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        ::setrlimit(RLIMIT_FSIZE, &small);
        std::string error;
        auto engine = CommandEngine::Open(sys_, error);
        if (!engine) ::_exit(64);
        ConnectionState state;
        engine->Execute(state, "TALQRequiredLogin,ADMIN,SECRET,,D,1,8.6,1");
        std::string job = engine->Execute(state, "TALQGetNextBatch,Floor");
        std::string pages = job.substr(0, job.size() - 3) + "P__";
        int failed = 0;
        // Fills the file to just under the limit, then a piece that fits only
        // in the stream's buffer.
        if (engine->Execute(state, WriteCommand(pages, std::string(limit - 100, 'a'))) != "OK")
            failed |= 1;
        if (engine->Execute(state, WriteCommand(pages, std::string(1000, 'b'))).rfind("ERROR", 0))
            failed |= 2;
        if (FileSize(sys_ + "/" + pages) != limit - 100) failed |= 4;
        std::string image = "\x89PNG" + std::string(limit + 1000, 'c');
        std::string store = "TALQStoreImageFile," + kAdmin + ",K00003,2,0,0," +
                            std::to_string(image.size()) + "," + image;
        if (engine->Execute(state, store).rfind("ERROR", 0) != 0) failed |= 8;
        ::_exit(failed);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const int failed = WEXITSTATUS(status);
    EXPECT_EQ(failed & 1, 0) << "a piece that fits is stored";
    EXPECT_EQ(failed & 2, 0) << "a piece that does not fit is an error";
    EXPECT_EQ(failed & 4, 0) << "and leaves the file as it was";
    EXPECT_EQ(failed & 8, 0) << "an image that does not fit is an error";
    EXPECT_NE(failed, 64);
    EXPECT_EQ(Query("SELECT image_file FROM pages WHERE seq = 3"), "");
}

TEST_F(Durability, LocksAndJobsOfAKilledServerAreReleasedWhenTheNextStarts) {
    std::string job;
    {
        testsupport::ServerProcess first(sys_);
        ASSERT_GT(first.Port(), 0) << first.Output();
        RawClient admin(first.Port());
        ASSERT_TRUE(admin.LogIn("ADMIN", "SECRET", "Demo Project"));
        for (const char* key : {"K00004", "K00005"})
            ASSERT_EQ(admin.Send("TALQSetPageLock," + kAdmin + "," + key), "OK");
        job = admin.Send("TALQGetNextBatch,Floor");
        ASSERT_EQ(admin.Send(WriteCommand(job.substr(0, job.size() - 3) + "P__", "half a job")),
                  "OK");
        first.Stop(SIGKILL);
    }
    const std::string pages = sys_ + "/" + job.substr(0, job.size() - 3) + "P__";
    ASSERT_GT(FileSize(pages), 0);

    testsupport::ServerProcess second(sys_);
    ASSERT_GT(second.Port(), 0) << second.Output();
    RawClient other(second.Port());
    ASSERT_TRUE(other.LogIn("OTHER", "pw", "Demo Project"));
    EXPECT_EQ(other.Send("TALQSetPageLock,OTHER,pw,Demo Project,K00004"), "OK");
    EXPECT_EQ(Query("SELECT state FROM batch_jobs"), "abandoned");
    EXPECT_EQ(FileSize(pages), -1) << "the cut-off job never reaches the printer";
    RawClient admin(second.Port());
    ASSERT_TRUE(admin.LogIn("ADMIN", "SECRET", "Demo Project"));
    EXPECT_EQ(
        admin.Send(WriteCommand(job.substr(0, job.size() - 3) + "P__", "more")).rfind("ERROR", 0),
        0u);
    // A live server's locks stay.
    EXPECT_EQ(other.Send("TALQSetPageLock,OTHER,pw,Demo Project,K00006"), "OK");
    testsupport::ServerProcess third(sys_);
    ASSERT_GT(third.Port(), 0) << third.Output();
    RawClient late(third.Port());
    ASSERT_TRUE(late.LogIn("ADMIN", "SECRET", "Demo Project"));
    EXPECT_EQ(late.Send("TALQSetPageLock," + kAdmin + ",K00006").rfind("ERROR: Page Locked", 0),
              0u);
}

// Another program on the file: opens it, runs the SQL and holds it open
// until killed; -1 when the SQL failed.
pid_t HoldOpen(const std::string& db, const std::string& sql) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        sqlite3* handle = nullptr;
        const bool done = sqlite3_open(db.c_str(), &handle) == SQLITE_OK &&
                          sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        [[maybe_unused]] ssize_t n = ::write(ready[1], done ? "H" : "F", 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char byte = 'F';
    const bool done = pid > 0 && ::read(ready[0], &byte, 1) == 1 && byte == 'H';
    ::close(ready[0]);
    if (pid > 0 && !done) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    return done ? pid : -1;
}

// The integrity check's verdict and the tags, as the next opener finds them.
std::string IntegrityAndTags(const std::string& db) {
    sqlite3* handle = nullptr;
    std::string found;
    if (sqlite3_open(db.c_str(), &handle) == SQLITE_OK) {
        for (const char* sql : {"PRAGMA integrity_check",
                                "SELECT group_concat(name, ' ') FROM (SELECT name FROM tags "
                                "ORDER BY name)"}) {
            sqlite3_stmt* stmt = nullptr;
            if (sqlite3_prepare_v2(handle, sql, -1, &stmt, nullptr) == SQLITE_OK &&
                sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0) != nullptr)
                found += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            else
                found += sqlite3_errmsg(handle);
            found += ";";
            sqlite3_finalize(stmt);
        }
    }
    sqlite3_close(handle);
    return found;
}

TEST_F(Durability, NoSaveIsAcknowledgedIntoASystemDbReplacedOrDeletedAndItsLogReachesNoOtherFile) {
    const std::string moved = std::string("ERROR: Database Error ") + docserver::kSystemMoved;
    const std::string db = sys_ + "/system.db";
    const std::string logIn = "TALQRequiredLogin,ADMIN,SECRET,,D,1,8.6,1";
    const auto addTag = [](const std::string& name) { return "TALQAddTag," + kAdmin + "," + name; };
    // A system made apart, to be put in its place.
    const auto another = [&](const std::string& name) {
        const std::string dir = dir_.Path() + "/" + name;
        testsupport::MakeTestSystem(dir);
        return dir + "/system.db";
    };
    const std::string fresh = IntegrityAndTags(another("probe"));

    // Replaced: the log of the old file stays out of the new one, whoever
    // opens it while the engine lives, and the engine's close leaves that
    // program's log alone.
    pid_t other = -1;
    {
        std::string error;
        auto engine = CommandEngine::Open(sys_, error);
        ASSERT_TRUE(engine) << error;
        ConnectionState state;
        ASSERT_EQ(engine->Execute(state, logIn).substr(0, 1), "1");
        for (const char* name : {"Old1", "Old2", "Old3"})
            ASSERT_EQ(engine->Execute(state, addTag(name)), "1");
        ASSERT_EQ(::rename(another("replacement").c_str(), db.c_str()), 0);
        EXPECT_EQ(engine->Execute(state, addTag("After")), moved);
        EXPECT_EQ(engine->Execute(state, "TALQGetTagPoolList," + kAdmin), moved);
        other =
            HoldOpen(db, "INSERT INTO tags (project_id, tag_id, name) VALUES (1, 99, 'Theirs')");
        EXPECT_GT(other, 0) << "the file in its place could not be written";
    }
    if (other > 0) {
        ::kill(other, SIGKILL);
        ::waitpid(other, nullptr, 0);
    }
    EXPECT_EQ(IntegrityAndTags(db), "ok;Theirs;");

    // Deleted: nothing acknowledged, and no log left to a system put back.
    ASSERT_EQ(::unlink(db.c_str()), 0);
    ASSERT_EQ(::rename(another("second").c_str(), db.c_str()), 0);
    {
        std::string error;
        auto engine = CommandEngine::Open(sys_, error);
        ASSERT_TRUE(engine) << error;
        ConnectionState state;
        ASSERT_EQ(engine->Execute(state, logIn).substr(0, 1), "1");
        ASSERT_EQ(engine->Execute(state, addTag("Gone")), "1");
        ASSERT_EQ(::unlink(db.c_str()), 0);
        EXPECT_EQ(engine->Execute(state, addTag("After")), moved);
    }
    ASSERT_EQ(::rename(another("restored").c_str(), db.c_str()), 0);
    EXPECT_EQ(IntegrityAndTags(db), fresh);
}

// Plays the file system's lookups of paths while it lives.
struct ScopedPathStat {
    explicit ScopedPathStat(docserver::OpenedFile::PathStat stat) {
        docserver::OpenedFile::SetPathStat(std::move(stat));
    }
    ~ScopedPathStat() { docserver::OpenedFile::SetPathStat(nullptr); }
};

int RealStat(const std::string& path, struct stat& info) {
    return ::stat(path.c_str(), &info) == 0 ? 0 : errno;
}

// Whether a descriptor of this process has the file open.
bool HeldOpen(const struct stat& file) {
    DIR* fds = ::opendir("/proc/self/fd");
    bool held = false;
    while (const dirent* entry = fds != nullptr ? ::readdir(fds) : nullptr) {
        struct stat info {};
        held = held || (::fstat(std::atoi(entry->d_name), &info) == 0 &&
                        info.st_dev == file.st_dev && info.st_ino == file.st_ino);
    }
    if (fds != nullptr) ::closedir(fds);
    return held;
}

const std::string kLogIn = "TALQRequiredLogin,ADMIN,SECRET,,D,1,8.6,1";
const std::string kMoved = std::string("ERROR: Database Error ") + docserver::kSystemMoved;

std::string AddTag(const std::string& name) {
    return "TALQAddTag," + kAdmin + "," + name;
}

TEST_F(Durability, ASystemDbRenumberedWhileNoDescriptorHoldsItIsServedAsTheFileOpened) {
    // A FUSE mount that numbers inodes itself gives a file the kernel has
    // let go a new number at each lookup.
    std::atomic<std::uint64_t> renumbered{0};
    ScopedPathStat fuse([&](const std::string& path, struct stat& info) {
        const int error = RealStat(path, info);
        if (error == 0 && !HeldOpen(info)) info.st_ino += 1000003 * ++renumbered;
        return error;
    });
    std::string error;
    auto engine = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    // As talq-server does: its workers open their own connections later.
    engine->Db().ReleaseThreadConnection();
    ConnectionState state;
    std::string login, saved, replaced;
    std::thread([&] {
        login = engine->Execute(state, kLogIn);
        saved = engine->Execute(state, AddTag("Renumbered"));
    }).join();
    EXPECT_EQ(login.substr(0, 1), "1") << login;
    EXPECT_EQ(saved, "1");

    // Another file renamed over it is still another file.
    testsupport::MakeTestSystem(dir_.Path() + "/other");
    ASSERT_EQ(::rename((dir_.Path() + "/other/system.db").c_str(), (sys_ + "/system.db").c_str()),
              0);
    std::thread([&] { replaced = engine->Execute(state, AddTag("Replaced")); }).join();
    EXPECT_EQ(replaced, kMoved);
}

TEST_F(Durability, ALookupOfSystemDbThatFailsIsToldAsSuchNotAsAMoveAndServedOnceItPasses) {
    std::atomic<int> failWith{0};
    ScopedPathStat flaky([&](const std::string& path, struct stat& info) {
        return failWith != 0 && path.ends_with("/system.db") ? failWith.load()
                                                             : RealStat(path, info);
    });
    std::string error;
    auto engine = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    ConnectionState state;
    ASSERT_EQ(engine->Execute(state, kLogIn).substr(0, 1), "1");
    // The last on a thread that has no connection yet.
    for (const auto& [tag, code] : {std::pair{"Hiccup", EIO}, {"Denied", EACCES}, {"Fresh", EIO}}) {
        failWith = code;
        std::string reply;
        const auto save = [&, tag = tag] { reply = engine->Execute(state, AddTag(tag)); };
        std::string(tag) == "Fresh" ? std::thread(save).join() : save();
        failWith = 0;
        EXPECT_EQ(reply, "ERROR: Database Error cannot check system.db: " +
                             std::generic_category().message(code));
        EXPECT_EQ(Query("SELECT COUNT(*) FROM tags WHERE name = '" + std::string(tag) + "'"), "0");
        EXPECT_EQ(engine->Execute(state, AddTag(std::string(tag) + "Over")), "1") << tag;
    }
}

TEST_F(Durability, ASaveStoredBeforeSystemDbWasRenamedAwayIsAnsweredAsStoredAndStoredOnce) {
    const std::string db = sys_ + "/system.db", away = sys_ + "/away.db";
    std::atomic<off_t> logBefore{-1};
    // Renamed away once the save's commit is in the log, before its reply.
    ScopedPathStat mover([&](const std::string& path, struct stat& info) {
        if (path == db && logBefore >= 0 && FileSize(db + "-wal") > logBefore.load()) {
            logBefore = -1;
            ::rename(db.c_str(), away.c_str());
        }
        return RealStat(path, info);
    });
    std::string error;
    auto engine = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    ConnectionState state;
    ASSERT_EQ(engine->Execute(state, kLogIn).substr(0, 1), "1");
    logBefore = FileSize(db + "-wal");
    EXPECT_EQ(engine->Execute(state, AddTag("Stored")), "1");
    ASSERT_EQ(logBefore, -1) << "never renamed";
    EXPECT_NE(state.failure.find(docserver::kSystemMoved), std::string::npos)
        << "the error output is told: " << state.failure;
    EXPECT_EQ(engine->Execute(state, AddTag("WhileAway")), kMoved);
    ASSERT_EQ(::rename(away.c_str(), db.c_str()), 0);
    EXPECT_EQ(engine->Execute(state, AddTag("Back")), "1");
    EXPECT_EQ(Query("SELECT group_concat(name, ' ') FROM (SELECT name FROM tags WHERE name IN "
                    "('Stored', 'WhileAway', 'Back') ORDER BY name)"),
              "Back Stored");
}

TEST_F(Durability, TheServerSaysOnceOnItsErrorOutputThatSystemDbWasReplaced) {
    const std::string errors = dir_.Path() + "/errors";
    const std::unique_ptr<testsupport::ServerProcess> server =
        testsupport::ServerTellingInto(sys_, errors);
    ASSERT_TRUE(server);
    ASSERT_GT(server->Port(), 0);
    RawClient admin(server->Port());
    ASSERT_TRUE(admin.LogIn("ADMIN", "SECRET", "Demo Project"));
    testsupport::MakeTestSystem(dir_.Path() + "/replacement");
    ASSERT_EQ(
        ::rename((dir_.Path() + "/replacement/system.db").c_str(), (sys_ + "/system.db").c_str()),
        0);
    for (const char* name : {"One", "Two"})
        EXPECT_EQ(admin.Send("TALQAddTag," + kAdmin + "," + name),
                  std::string("ERROR: Database Error ") + docserver::kSystemMoved);
    server->Stop(SIGTERM);
    const std::string told = testsupport::ReadFile(errors);
    const std::size_t first = told.find(docserver::kSystemMoved);
    EXPECT_NE(first, std::string::npos) << told;
    EXPECT_EQ(told.find(docserver::kSystemMoved, first + 1), std::string::npos) << told;
}

// A thread's connection, given back as the thread ends, was the engine's
// last: its close deleted the log, and the one the next thread opened was
// no longer the log the engine knew as its own, which it then left to the
// file put in system.db's place.
// The opener's connection goes before the saves: with the thread that
// opened the engine, or closed at once, as the server closes its main
// thread's. The log the saves then make is the engine's own all the same.
TEST_F(Durability, AnOpenersConnectionGoneBeforeSystemDbIsReplacedLeavesNoLogToTheFileInItsPlace) {
    for (const bool released : {false, true}) {
        SCOPED_TRACE(released ? "closed by the opener" : "its thread ended");
        const std::string sys = dir_.Path() + (released ? "/released" : "/ended");
        testsupport::MakeQuerySystem(sys, 20, 0);
        const std::string db = sys + "/system.db";
        const std::string replacement = sys + "-replacement";
        testsupport::MakeTestSystem(replacement);
        std::unique_ptr<CommandEngine> engine;
        std::thread([&] {
            std::string error;
            engine = CommandEngine::Open(sys, error);
            EXPECT_TRUE(engine) << error;
            if (engine && released) engine->Db().ReleaseThreadConnection();
        }).join();
        ASSERT_TRUE(engine);
        // Files made meanwhile take the numbers a deleted log frees.
        for (int i = 0; i < 4; ++i)
            testsupport::WriteFile(sys + "-made" + std::to_string(i), "x");
        pid_t other = -1;
        std::thread([&] {
            ConnectionState state;
            ASSERT_EQ(
                engine->Execute(state, "TALQRequiredLogin,ADMIN,SECRET,,D,1,8.6,1").substr(0, 1),
                "1");
            ASSERT_EQ(engine->Execute(state, "TALQAddTag," + kAdmin + ",Old"), "1");
            ASSERT_EQ(::rename((replacement + "/system.db").c_str(), db.c_str()), 0);
            EXPECT_NE(engine->Execute(state, "TALQAddTag," + kAdmin + ",After"), "1");
            other =
                HoldOpen(db, "INSERT INTO tags (project_id, tag_id, name) VALUES (1, 99, 'Theirs')");
        }).join();
        ASSERT_GT(other, 0) << "the file in its place could not be written";
        ::kill(other, SIGKILL);
        ::waitpid(other, nullptr, 0);
        EXPECT_EQ(IntegrityAndTags(db), "ok;Theirs;");
    }
}

}  // namespace
