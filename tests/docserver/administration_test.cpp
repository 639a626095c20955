// What an administrator writes into system.db by hand, or does to its file,
// is checked or told: a key range is bounded by keys of the project, a user
// removed takes its rights along, and a damaged file is neither opened nor
// served once SQLite finds it so.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/command_engine.h"
#include "engine/damage_check.h"
#include "engine/system_db.h"
#include "engine/system_init.h"
#include "raw_client.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Breaks the named index of the file at dbPath (below).
void Damage(const std::string& dbPath, const std::string& name);

class Administration : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/sys";
        testsupport::MakeQuerySystem(sys_, 40, 0);
    }

    // SQL as the sqlite3 shell runs it: foreign keys off, no engine between.
    std::string Shell(const std::string& sql) {
        sqlite3* db = nullptr;
        sqlite3_open((sys_ + "/system.db").c_str(), &db);
        char* message = nullptr;
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
        std::string error = message != nullptr ? message : "";
        sqlite3_free(message);
        sqlite3_close(db);
        return error;
    }
    std::int64_t Count(const std::string& sql) {
        sqlite3* db = nullptr;
        sqlite3_open((sys_ + "/system.db").c_str(), &db);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
        const std::int64_t n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
        sqlite3_finalize(s);
        sqlite3_close(db);
        return n;
    }
    std::unique_ptr<CommandEngine> Open(std::string& error) {
        return CommandEngine::Open(sys_, error, true);
    }

    // The system opened sound, then damaged under the open engine (which
    // reads the file afresh at its next connection), and ADMIN logged in.
    std::unique_ptr<CommandEngine> DamagedWhileServing(ConnectionState& state) {
        std::string error;
        auto engine = Open(error);
        if (!engine) {
            ADD_FAILURE() << error;
            return nullptr;
        }
        engine->Db().ReleaseThreadConnection();
        Damage(sys_ + "/system.db", "sqlite_autoindex_pages_2");
        const std::string login =
            engine->Execute(state, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
        if (login.substr(0, 1) != "1") {
            ADD_FAILURE() << login;
            return nullptr;
        }
        return engine;
    }

    // ANN's range, written by sql past the triggers, refused by the server
    // at each command with the reason.
    void ExpectRangeRefusedByServer(const std::string& sql, const std::string& refused,
                                    std::initializer_list<const char*> commands) {
        ASSERT_EQ(Shell(sql), "");
        std::string error;
        auto engine = Open(error);
        ASSERT_TRUE(engine) << error;
        ConnectionState state;
        ASSERT_EQ(engine->Execute(state, "TALQRequiredLogin,ANN,pw,,DOM,1,8.6,1").substr(0, 1),
                  "1");
        for (const char* command : commands)
            EXPECT_TRUE(Holds(engine->Execute(state, command), refused)) << command;
    }

    testsupport::ScopedTempDir dir_;
    std::string sys_;
};

TEST_F(Administration, AKeyRangeBoundThatIsNoKeyOfTheProjectIsRefusedNeverWidened) {
    ASSERT_EQ(Shell("INSERT INTO users(user_id, password) VALUES ('ANN', 'pw')"), "");
    // K00010 typed a zero short compares above every key of the project.
    for (const char* sql : {"INSERT INTO user_projects VALUES ('ANN', 1, 16, 'K00001', 'K0010')",
                            "INSERT INTO user_projects VALUES ('ANN', 1, 16, 'K0001', '')"}) {
        EXPECT_TRUE(Holds(Shell(sql), "must each be '' or the key of a page")) << sql;
    }
    ASSERT_EQ(Shell("INSERT INTO user_projects VALUES ('ANN', 1, 16, 'K00001', 'K00010')"), "");
    EXPECT_TRUE(Holds(Shell("UPDATE user_projects SET last_key = 'K0010' WHERE user_id = 'ANN'"),
                      "must each be '' or the key of a page"));

    // A row written before the guard existed is refused by the server.
    ExpectRangeRefusedByServer(
        "DROP TRIGGER user_projects_range_changed;"
        "UPDATE user_projects SET last_key = 'K0010' WHERE user_id = 'ANN'",
        "ERROR: Invalid Key Range: K0010 is no key of the project",
        {"TALQGetProjectInfo,ANN,pw,Demo Project", "TALQFindKey,ANN,pw,Demo Project,K00030",
         "TALQNextKey,ANN,pw,Demo Project,K00010,0"});
}

// Swapped bounds reach no page: the reviewer would get an empty project
// with no reason.
TEST_F(Administration, AKeyRangeWithItsBoundsSwappedIsRefusedSayingSo) {
    ASSERT_EQ(Shell("INSERT INTO users(user_id, password) VALUES ('ANN', 'pw')"), "");
    const std::string swapped = "first_key comes after last_key";
    EXPECT_TRUE(Holds(Shell("INSERT INTO user_projects VALUES ('ANN', 1, 16, 'K00010', 'K00001')"),
                      swapped));
    ASSERT_EQ(Shell("INSERT INTO user_projects VALUES ('ANN', 1, 16, 'K00001', 'K00010')"), "");
    EXPECT_TRUE(Holds(Shell("UPDATE user_projects SET first_key = 'K00011' WHERE user_id = 'ANN'"),
                      swapped));

    // A row written before the guard existed is refused by the server.
    ExpectRangeRefusedByServer(
        "DROP TRIGGER user_projects_range_ordered_changed;"
        "UPDATE user_projects SET first_key = 'K00011' WHERE user_id = 'ANN'",
        "ERROR: Invalid Key Range: the first key K00011 comes after the last key K00010",
        {"TALQGetProjectInfo,ANN,pw,Demo Project", "TALQFindKey,ANN,pw,Demo Project,K00005"});
}

TEST_F(Administration, AUserRemovedWithForeignKeysOffLeavesNoRightsForTheNextOfThatId) {
    ASSERT_EQ(Shell("INSERT INTO users(user_id, password) VALUES ('ANN', 'pw');"
                    "INSERT INTO user_projects VALUES ('ANN', 1, 255, '', '');"
                    "DELETE FROM users WHERE user_id = 'ANN';"
                    "INSERT INTO users(user_id, password) VALUES ('ann', 'other')"),
              "");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM user_projects WHERE user_id = 'ANN'"), 0);

    // Rights a removal left before the guard existed go when the system is opened.
    ASSERT_EQ(Shell("DROP TRIGGER users_removed_whole;"
                    "INSERT INTO user_projects VALUES ('ANN', 1, 255, '', '');"
                    "DELETE FROM users WHERE user_id = 'ANN';"),
              "");
    ASSERT_EQ(Count("SELECT COUNT(*) FROM user_projects WHERE user_id = 'ANN'"), 1);
    std::string error;
    auto engine = Open(error);
    ASSERT_TRUE(engine) << error;
    EXPECT_EQ(Count("SELECT COUNT(*) FROM user_projects WHERE user_id = 'ANN'"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM sqlite_master WHERE name = 'users_removed_whole'"), 1);
    ASSERT_EQ(Shell("INSERT INTO users(user_id, password) VALUES ('ANN', 'pw')"), "");
    ConnectionState state;
    EXPECT_EQ(engine->Execute(state, "TALQGetTalqPrjList,ANN,pw,,DOM"), ",");
}

// Every row the removal of a user takes along is found by an index, also
// in a system made before the indexes: a table read whole per user held
// the write lock, and every save, for seconds.
TEST_F(Administration, RemovingAUserFindsItsRowsByIndex) {
    ASSERT_EQ(Shell("DROP INDEX user_palettes_by_user; DROP INDEX user_palette_tags_by_user;"
                    "DROP INDEX page_locks_by_user"),
              "");
    std::string error;
    ASSERT_TRUE(Open(error)) << error;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((sys_ + "/system.db").c_str(), &db), SQLITE_OK);
    std::string trigger;
    {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE name = 'users_removed_whole'",
                           -1, &s, nullptr);
        if (sqlite3_step(s) == SQLITE_ROW)
            trigger = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
    }
    int deletes = 0;
    for (std::size_t at = trigger.find("DELETE FROM"); at != std::string::npos;
         at = trigger.find("DELETE FROM", at + 1)) {
        std::string statement = trigger.substr(at, trigger.find(';', at) - at);
        statement.replace(statement.find("OLD.user_id"), 11, "'ANN'");
        sqlite3_stmt* plan = nullptr;
        ASSERT_EQ(
            sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + statement).c_str(), -1, &plan, nullptr),
            SQLITE_OK)
            << statement;
        while (sqlite3_step(plan) == SQLITE_ROW) {
            const std::string detail = reinterpret_cast<const char*>(sqlite3_column_text(plan, 3));
            EXPECT_FALSE(Holds(detail, "SCAN")) << statement << ": " << detail;
        }
        sqlite3_finalize(plan);
        ++deletes;
    }
    sqlite3_close(db);
    EXPECT_GE(deletes, 5);
}

TEST_F(Administration, AProjectWrittenByHandIntoASystemMadeByInitOpens) {
    sys_ = dir_.Path() + "/made";
    std::string error;
    ASSERT_TRUE(docserver::InitSystem(sys_, "ADMIN", "ADMIN", error)) << error;
    auto page = [](int seq, int level) {
        const std::string key = "CAS000000" + std::to_string(seq);
        return "SELECT project_id, " + std::to_string(seq) + ", '" + key + "', " +
               std::to_string(level) + ", 'images/" + key +
               ".tif' FROM projects WHERE name = 'CASES'";
    };
    ASSERT_EQ(
        Shell("INSERT INTO projects(name, description) VALUES ('CASES', 'Case files');"
              "INSERT INTO boundary_levels(project_id, position, level, description)"
              " SELECT project_id, 1, 1, 'Document' FROM projects WHERE name = 'CASES'"
              " UNION ALL SELECT project_id, 2, 2, 'Folder' FROM projects WHERE name = 'CASES';"
              "INSERT INTO pages(project_id, seq, image_key, bndry_level, image_file) " +
              page(1, 2) + " UNION ALL " + page(2, 0) + " UNION ALL " + page(3, 1) +
              ";"
              "INSERT INTO user_projects(user_id, project_id, security)"
              " SELECT 'ADMIN', project_id, 255 FROM projects WHERE name = 'CASES';"),
        "");
    auto engine = Open(error);
    ASSERT_TRUE(engine) << error;
    ConnectionState state;
    ASSERT_EQ(engine->Execute(state, "TALQRequiredLogin,ADMIN,ADMIN,,DOM,1,8.6,1").substr(0, 1),
              "1");
    EXPECT_EQ(engine->Execute(state, "TALQGetProjectInfo,ADMIN,ADMIN,CASES").rfind("2", 0), 0u);
    EXPECT_EQ(engine->Execute(state, "TALQFindKey,ADMIN,ADMIN,CASES,CAS0000003"), "4,CAS0000003");
    EXPECT_EQ(engine->Execute(state, "TALQNextKey,ADMIN,ADMIN,CASES,CAS0000001,1"), "CAS0000003");
}

// Fills the root page of the named table or index with bytes no b-tree has.
void Damage(const std::string& dbPath, const std::string& name) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dbPath.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT rootpage, (SELECT page_size FROM pragma_page_size) "
                       "FROM sqlite_master WHERE name = ?",
                       -1, &s, nullptr);
    sqlite3_bind_text(s, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW) << name;
    const std::int64_t root = sqlite3_column_int64(s, 0), size = sqlite3_column_int64(s, 1);
    sqlite3_finalize(s);
    // Everything in the file first, so that what is overwritten stays so.
    sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const int fd = ::open(dbPath.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const std::string junk(static_cast<std::size_t>(size), '\xff');
    ASSERT_EQ(::pwrite(fd, junk.data(), junk.size(), (root - 1) * size),
              static_cast<ssize_t>(junk.size()));
    ::close(fd);
}

// The default file layer, but while failing is above 0 each read of a page
// of a database fails and counts it down, as a disk or a FUSE layer may for
// a moment: with no bytes, or with an I/O error. Files opened read-only (the
// whole-file check's) take slowMs a read, as a large system's file would.
namespace flaky {
sqlite3_vfs layer;
sqlite3_vfs* base = nullptr;
sqlite3_io_methods databaseMethods, readOnlyMethods;
int (*baseRead)(sqlite3_file*, void*, int, sqlite3_int64) = nullptr;
std::atomic<int> failing{0};
std::atomic<bool> empty{true};
std::atomic<int> slowMs{0};

int Read(sqlite3_file* file, void* into, int size, sqlite3_int64 offset) {
    int left = failing.load();
    while (offset > 0 && size >= 512 && offset % size == 0 && left > 0)
        if (failing.compare_exchange_weak(left, left - 1)) {
            if (!empty) return SQLITE_IOERR_READ;
            std::memset(into, 0, static_cast<std::size_t>(size));
            return SQLITE_IOERR_SHORT_READ;
        }
    return baseRead(file, into, size, offset);
}

int SlowRead(sqlite3_file* file, void* into, int size, sqlite3_int64 offset) {
    std::this_thread::sleep_for(std::chrono::milliseconds(slowMs.load()));
    return Read(file, into, size, offset);
}

int Open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out) {
    const int code = base->xOpen(base, name, file, flags, out);
    if (code == SQLITE_OK && (flags & SQLITE_OPEN_MAIN_DB) != 0 && file->pMethods != nullptr) {
        static std::once_flag copied;
        std::call_once(copied, [&] {
            databaseMethods = *file->pMethods;
            baseRead = databaseMethods.xRead;
            databaseMethods.xRead = Read;
            readOnlyMethods = databaseMethods;
            readOnlyMethods.xRead = SlowRead;
        });
        file->pMethods = (flags & SQLITE_OPEN_READONLY) != 0 ? &readOnlyMethods : &databaseMethods;
    }
    return code;
}

// The default layer while it lives.
struct Installed {
    Installed() {
        static const bool registered = [] {
            base = sqlite3_vfs_find(nullptr);
            layer = *base;
            layer.zName = "talq-test-flaky";
            layer.pNext = nullptr;
            layer.xOpen = Open;
            return sqlite3_vfs_register(&layer, 1) == SQLITE_OK;
        }();
        EXPECT_TRUE(registered);
        sqlite3_vfs_register(&layer, 1);
    }
    ~Installed() {
        failing = 0;
        slowMs = 0;
        sqlite3_vfs_register(base, 1);
    }
};
}  // namespace flaky

TEST_F(Administration, ABurstOfFailedReadsIsNoDamageAndIsToldAsTheDisks) {
    flaky::Installed layer;
    std::string error;
    auto engine = Open(error);
    ASSERT_TRUE(engine) << error;
    ConnectionState state;
    ASSERT_EQ(engine->Execute(state, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").substr(0, 1),
              "1");
    const std::string find = "TALQFindKey,ADMIN,SECRET,Demo Project,K00007";
    const std::string found = engine->Execute(state, find);
    ASSERT_EQ(found.rfind("ERROR", 0), std::string::npos) << found;
    for (const bool empty : {true, false}) {
        // Its next connection reads the file, not its cache.
        engine->Db().ReleaseThreadConnection();
        flaky::empty = empty;
        flaky::failing = 100000;
        const std::string failed = engine->Execute(state, find);
        EXPECT_EQ(failed, std::string("ERROR: Database Error ") + docserver::kDiskReadFailed)
            << (empty ? "empty reads" : "I/O errors");
        // A check meanwhile reads through the same failing disk: it finds nothing.
        const docserver::FileCheck check = engine->Db().CheckWhole(docserver::kRequestCheck);
        EXPECT_EQ(check.result, docserver::FileCheck::Result::kUnchecked) << check.finding;
        EXPECT_TRUE(Holds(check.finding, "disk I/O error")) << check.finding;
        flaky::failing = 0;
        EXPECT_FALSE(engine->Db().Damaged());
        EXPECT_EQ(engine->Execute(state, find), found) << "not served once the disk healed";
    }
    EXPECT_EQ(
        engine->Execute(state, "TALQAddTag,ADMIN,SECRET,Demo Project,Fresh").rfind("ERROR", 0),
        std::string::npos);
    engine.reset();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tags WHERE name = 'Fresh'"), 1);
}

TEST_F(Administration, AStartsCheckBesideAWriterHoldsNoSaveAndSaysWhenCut) {
    // The rollback journal, as on a shared folder: there a reader holds off
    // every save.
    ASSERT_EQ(Shell("PRAGMA journal_mode = DELETE; CREATE TABLE beat(n)"), "");
    flaky::Installed layer;
    flaky::slowMs = 100;  // the check cannot end within the start's bound
    std::atomic<bool> started{false}, done{false};
    std::atomic<int> saves{0}, refused{0};
    std::thread writer([&] {
        sqlite3* db = nullptr;
        sqlite3_open((sys_ + "/system.db").c_str(), &db);
        // Far longer than a check may hold a save.
        sqlite3_busy_timeout(db, 4000);
        while (!done) {
            const int code =
                sqlite3_exec(db, "INSERT INTO beat VALUES (1)", nullptr, nullptr, nullptr);
            ++(code == SQLITE_OK ? saves : refused);
            started = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        sqlite3_close(db);
    });
    while (!started) std::this_thread::yield();
    std::string error;
    auto engine = Open(error);
    done = true;
    writer.join();
    ASSERT_TRUE(engine) << error;
    EXPECT_EQ(refused, 0) << "a save waited seconds on the start, of " << saves;
    EXPECT_TRUE(Holds(engine->StartNote(),
                      "system.db was not checked whole at the start (the "
                      "check ran past its 1.5 s)"))
        << engine->StartNote();
}

TEST_F(Administration, TheWholeFileCheckTakesNoLockASaveWaitsOn) {
    // The rollback journal, as on a shared folder: there a reader holds off
    // every save. A save under way holds the file alone.
    ASSERT_EQ(Shell("PRAGMA journal_mode = DELETE"), "");
    sqlite3* saving = nullptr;
    ASSERT_EQ(sqlite3_open((sys_ + "/system.db").c_str(), &saving), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(saving, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const docserver::FileCheck check =
        docserver::CheckWholeFile(sys_ + "/system.db", nullptr, docserver::kRequestCheck);
    sqlite3_exec(saving, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(saving);
    EXPECT_EQ(check.result, docserver::FileCheck::Result::kSound) << check.finding;
}

TEST_F(Administration, ADamagedSystemDbIsRefusedAtOpenWithWhatToDo) {
    Damage(sys_ + "/system.db", "pages_by_level");
    // A log left beside it, as a restore over a crashed system leaves one.
    std::ofstream(sys_ + "/system.db-wal") << std::string(4096, 'x');
    std::string error;
    EXPECT_FALSE(Open(error));
    EXPECT_TRUE(Holds(error, "system.db is damaged (")) << error;
    EXPECT_EQ(error.find_first_of("\n*"), std::string::npos) << "not one line: " << error;
    EXPECT_TRUE(Holds(error, "restore it from a backup")) << error;
    EXPECT_TRUE(Holds(error, "system.db-wal")) << error;
    std::string again;
    EXPECT_FALSE(Open(again));
    EXPECT_EQ(again, error) << "a later open of the same process is refused alike";

    const std::string errors = dir_.Path() + "/errors";
    auto server = testsupport::ServerTellingInto(sys_, errors);
    ASSERT_TRUE(server);
    EXPECT_EQ(server->Port(), 0) << "served a damaged system";
    EXPECT_TRUE(Holds(testsupport::ReadFile(errors), "system.db is damaged (")) << "at its start";
}

TEST_F(Administration, AnIndexMissingRowsOfItsTableIsDamageFoundAtOpen) {
    // As a file copied over a running system may leave it: sound b-trees,
    // an index that no longer holds every row.
    ASSERT_EQ(
        Shell("PRAGMA writable_schema = ON;"
              "UPDATE sqlite_master SET sql = 'CREATE INDEX pages_by_level ON pages(project_id,"
              " bndry_level, seq) WHERE seq < 10' WHERE name = 'pages_by_level';"),
        "");
    std::string error;
    EXPECT_FALSE(Open(error));
    EXPECT_TRUE(Holds(error, "system.db is damaged (")) << error;
}

TEST_F(Administration, DamageFoundWhileServingStopsEverySaveAndSaysSo) {
    ConnectionState state;
    auto engine = DamagedWhileServing(state);
    ASSERT_TRUE(engine);
    const std::string found =
        engine->Execute(state, "TALQFindKey,ADMIN,SECRET,Demo Project,K00007");
    EXPECT_EQ(found.rfind("ERROR", 0), 0u) << found;
    const std::string save = engine->Execute(state, "TALQAddTag,ADMIN,SECRET,Demo Project,Fresh");
    EXPECT_TRUE(Holds(save, docserver::kSystemDamaged)) << save;
    engine.reset();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM tags WHERE name = 'Fresh'"), 0);
}

TEST_F(Administration, AProcessThatFoundItsFileDamagedWritesNothingMoreIntoIt) {
    ConnectionState state;
    auto engine = DamagedWhileServing(state);
    ASSERT_TRUE(engine);
    // Stored in the log, not yet in the file.
    ASSERT_EQ(
        engine->Execute(state, "TALQAddTag,ADMIN,SECRET,Demo Project,Logged").rfind("ERROR", 0),
        std::string::npos);
    ASSERT_TRUE(Holds(engine->Execute(state, "TALQFindKey,ADMIN,SECRET,Demo Project,K00007"),
                      docserver::kSystemDamaged));
    const std::string before = testsupport::ReadFile(sys_ + "/system.db");
    // A server's beat and a connection's end write nothing.
    engine->ShowProcessLives();
    engine->EndConnection(state);
    // Moved away, as a restore moves it: the move found after a refusal
    // folds no log into it, and neither does the stop.
    ASSERT_EQ(::rename((sys_ + "/system.db").c_str(), (sys_ + "/damaged.db").c_str()), 0);
    EXPECT_EQ(engine->Execute(state, "TALQGetVersion").rfind("ERROR", 0), 0u);
    engine.reset();
    EXPECT_TRUE(testsupport::ReadFile(sys_ + "/damaged.db") == before)
        << "its log was folded into the file found damaged";
}

TEST_F(Administration, AProcessThatFoundASharedFoldersFileDamagedNeverTakesItOutOfWal) {
    testsupport::ScopedEnv network("TALQ_FILE_SYSTEM", "network");
    ConnectionState state;
    auto engine = DamagedWhileServing(state);
    ASSERT_TRUE(engine);
    ASSERT_TRUE(Holds(engine->Execute(state, "TALQFindKey,ADMIN,SECRET,Demo Project,K00007"),
                      docserver::kSystemDamaged));
    // Another program turns it into WAL and quits.
    ASSERT_EQ(Shell("PRAGMA journal_mode = WAL"), "");
    const std::string before = testsupport::ReadFile(sys_ + "/system.db");
    // A worker with no connection yet: its connection would take it out.
    std::thread([&] {
        ConnectionState other;
        EXPECT_TRUE(Holds(engine->Execute(other, "TALQGetVersion"), docserver::kSystemDamaged));
    }).join();
    engine.reset();
    EXPECT_TRUE(testsupport::ReadFile(sys_ + "/system.db") == before)
        << "switched the file found damaged out of WAL";
}

TEST_F(Administration, ARestoreBesideAnotherFilesLogIsRefusedNamingTheLogAndLeftAsRestored) {
    // A crashed system's log, of a file other than the one restored.
    const std::string crashed = dir_.Path() + "/crashed";
    testsupport::MakeQuerySystem(crashed, 400, 0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((crashed + "/system.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "PRAGMA wal_autocheckpoint = 0; UPDATE pages SET ocr_text = "
                           "ocr_text || ' more'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const std::string log = testsupport::ReadFile(crashed + "/system.db-wal");
    ASSERT_GT(log.size(), 32u);
    std::ofstream(sys_ + "/system.db-wal", std::ios::binary) << log;
    sqlite3_close(db);
    const std::string restored = testsupport::ReadFile(sys_ + "/system.db");
    std::string error;
    EXPECT_FALSE(Open(error));
    EXPECT_TRUE(Holds(error, "delete system.db-wal")) << error;
    EXPECT_TRUE(testsupport::ReadFile(sys_ + "/system.db") == restored)
        << "the log was folded into the restored file";
    // Once the log is gone the same process serves the file restored.
    ::unlink((sys_ + "/system.db-wal").c_str());
    ::unlink((sys_ + "/system.db-shm").c_str());
    EXPECT_TRUE(Open(error)) << error;
}

TEST_F(Administration, AFailedLoginIsLoggedAsRefusedAndARefusalWithItsReason) {
    const std::string errors = dir_.Path() + "/errors";
    auto server = testsupport::ServerTellingInto(sys_, errors, {"--log"});
    ASSERT_TRUE(server && server->Port() > 0);
    {
        testsupport::RawClient client(server->Port());
        EXPECT_FALSE(client.LogIn("ADMIN", "wrong"));
        ASSERT_TRUE(client.LogIn("ADMIN", "SECRET"));
        EXPECT_EQ(client.Send("TALQGetProjectInfo,ADMIN,SECRET,Nowhere").rfind("ERROR", 0), 0u);
    }
    server->Stop(SIGTERM);
    const std::string log = testsupport::ReadFile(errors);
    EXPECT_TRUE(Holds(log,
                      "TALQRequiredLogin,ADMIN -> 1 bytes (login refused: unknown user, "
                      "wrong password or user disabled)"))
        << log;
    EXPECT_TRUE(Holds(log, "(ERROR: Invalid Project Nowhere)")) << log;
}

}  // namespace
