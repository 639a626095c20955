#include "system_db.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <unordered_map>

#include "file_system_kind.h"
#include "schema_sql.h"
#include "shared_folder_vfs.h"
#include "stored_text.h"

namespace docserver {
namespace {

std::atomic<std::uint64_t> g_nextDbId{1};

// The calling thread's connection per database (by id: an id is never reused).
std::unordered_map<std::uint64_t, sqlite3*>& ThreadConnections() {
    thread_local std::unordered_map<std::uint64_t, sqlite3*> connections;
    return connections;
}

// Waits for another connection's lock in short steps: the server's own
// workers hold locks for a millisecond or two, and the built-in wait
// sleeps up to 100 ms at a time.
thread_local int t_lockWaitLimit = -1;  // milliseconds; -1: the database's own

int WaitForLock(void* timeout, int count) {
    int limit = static_cast<const std::atomic<int>*>(timeout)->load();
    if (t_lockWaitLimit >= 0) limit = std::min(limit, t_lockWaitLimit);
    const int waited = count < 100 ? count : 100 + (count - 100) * 10;
    if (waited >= limit) return 0;
    sqlite3_sleep(count < 100 ? 1 : 10);
    return 1;
}

bool OutOfDescriptors(sqlite3* db) {
    const int error = db != nullptr ? sqlite3_system_errno(db) : 0;
    return error == EMFILE || error == ENFILE;
}

// SQLite says only that it could not open a file; running out of
// descriptors is told as such, since it passes once others are closed.
std::string OpenFailure(sqlite3* db) {
    const int error = db != nullptr ? sqlite3_system_errno(db) : 0;
    if (error == EMFILE) return kTooManyOpenFiles;
    if (error == ENFILE) return std::string(kTooManyOpenFiles) + " on this machine";
    return db != nullptr ? sqlite3_errmsg(db) : "database error";
}

bool IsBusy(int code) {
    code &= 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

// The database header's read and write versions are 2 in WAL mode. Read
// without a lock (only a connection holding the database alone changes
// them), through SQLite's file layer: closing a descriptor of the file
// directly would drop every lock this process's connections hold on it.
bool HeaderSaysWal(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_file* file = nullptr;
    unsigned char header[20] = {};
    const bool read =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) ==
            SQLITE_OK &&
        sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK &&
        file != nullptr && file->pMethods != nullptr &&
        file->pMethods->xRead(file, header, sizeof header, 0) == SQLITE_OK;
    sqlite3_close(db);
    return read && (header[18] == 2 || header[19] == 2);
}

// The connection's journal mode, read from the database; "" when it could
// not be read.
std::string JournalMode(sqlite3* db, const char* pragma = "PRAGMA journal_mode") {
    sqlite3_stmt* stmt = nullptr;
    std::string mode;
    if (sqlite3_prepare_v2(db, pragma, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        if (const unsigned char* text = sqlite3_column_text(stmt, 0); text != nullptr)
            mode = reinterpret_cast<const char*>(text);
    }
    sqlite3_finalize(stmt);
    return mode;
}

std::int64_t PageCount(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    std::int64_t count = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA page_count", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        count = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return count;
}

// Whether a program has the system open in WAL with its index in shared
// memory: each such connection holds a read lock on a byte of system.db-shm
// for as long as it is open. Asked of a descriptor of that file, which this
// process never locks through a shared folder's connections.
bool OpenInWalElsewhere(const std::string& path) {
    const int fd = ::open((path + "-shm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 128;  // the index's "dead man switch"
    range.l_len = 1;
    const bool held = ::fcntl(fd, F_GETLK, &range) == 0 && range.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

// How long an opener waits for another to finish taking the system out of
// WAL: checkpointing a large log left by a crash takes seconds.
constexpr auto kSwitchWait = std::chrono::seconds(60);

// WAL keeps its index in a memory-mapped file that processes on different
// machines cannot share, so a system on a shared folder runs in the rollback
// journal. Switching needs the database alone; exclusive locking lets SQLite
// recover and checkpoint the log in private memory meanwhile. A program that
// has it open in WAL refuses the switch, and then nothing is written;
// another opener switching it holds it alone for as long as its checkpoint
// takes, and is waited for.
bool LeaveWal(const std::string& path, std::string& error) {
    const auto deadline = std::chrono::steady_clock::now() + kSwitchWait;
    while (HeaderSaysWal(path)) {
        if (OpenInWalElsewhere(path)) {
            error = kHeldInWal;
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            error = "system.db is being taken out of WAL mode by another program: open it again "
                    "in a minute";
            return false;
        }
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                            SharedFolderVfs()) != SQLITE_OK) {
            error = db != nullptr ? sqlite3_errmsg(db) : "cannot open " + path;
            sqlite3_close(db);
            return false;
        }
        // Past a writer of ours; another switch is waited for round the loop.
        sqlite3_busy_timeout(db, 1000);
        std::string mode;
        if (sqlite3_exec(db, "PRAGMA locking_mode = EXCLUSIVE", nullptr, nullptr, nullptr) ==
            SQLITE_OK)
            mode = JournalMode(db, "PRAGMA journal_mode = DELETE");
        const int code = sqlite3_extended_errcode(db);
        const std::string why = sqlite3_errmsg(db);
        sqlite3_close(db);
        if (mode == "delete") return true;
        if (!IsBusy(code) && mode != "wal" && HeaderSaysWal(path)) {
            error = "cannot take system.db out of WAL mode: " + why;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

}  // namespace

SystemDb::SystemDb() : id_(g_nextDbId++) {}

SystemDb::~SystemDb() {
    ThreadConnections().erase(id_);
    std::lock_guard<std::mutex> lock(mutex_);
    for (sqlite3* db : connections_) sqlite3_close_v2(db);
}

sqlite3* SystemDb::Connect(std::string& error) const {
    if (shared_ && SharedFolderVfs() == nullptr) {
        error = "cannot open system.db on a shared folder: SQLite's file layer is missing";
        return nullptr;
    }
    if (shared_ && !LeaveWal(path_, error)) return nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (create_) flags |= SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    // Whoever turns the system back into WAL later, a connection on a shared
    // folder then fails rather than follow it.
    if (sqlite3_open_v2(path_.c_str(), &db, flags, shared_ ? SharedFolderVfs() : nullptr) !=
        SQLITE_OK) {
        error = db != nullptr ? OpenFailure(db) : "cannot open " + path_;
        if (db != nullptr) sqlite3_close(db);
        return nullptr;
    }
    // Several processes (servers, local clients) and the server's workers
    // share one system: a lock is waited for, then reported as busy.
    sqlite3_busy_handler(db, WaitForLock, const_cast<std::atomic<int>*>(&busyMs_));
    if (sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        sqlite3_close(db);
        return nullptr;
    }
    // The journal mode is the system's own, kept in its header: an opener
    // never turns it back to WAL. Past a writer that held the lock too long,
    // the header tells it.
    std::string mode = JournalMode(db);
    if (mode.empty() && OutOfDescriptors(db)) {
        // Its log or journal could not be opened: a connection kept so would
        // take the wrong mode for the system's.
        error = OpenFailure(db);
        sqlite3_close(db);
        return nullptr;
    }
    if (mode.empty()) mode = HeaderSaysWal(path_) ? "wal" : "delete";
    if (shared_ && mode == "wal") {
        // Turned back by an older program that does not know shared folders.
        error = kHeldInWal;
        sqlite3_close(db);
        return nullptr;
    }
    // A commit that empties the journal instead of removing it makes and
    // removes no file, each a round trip to a network file system's server;
    // under FULL the emptied journal is synced, so a commit is as safe.
    if (mode != "wal") JournalMode(db, "PRAGMA journal_mode = TRUNCATE");
    SetSynchronous(db, mode == "wal");
    return db;
}

void SystemDb::SetSynchronous(sqlite3* db, bool wal) {
    // Under WAL a commit is durable at the log's sync; the rollback journal
    // needs every sync to survive a power cut.
    sqlite3_exec(db, wal ? "PRAGMA synchronous = NORMAL" : "PRAGMA synchronous = FULL", nullptr,
                 nullptr, nullptr);
}

bool SystemDb::Open(const std::string& path, bool create, std::string& error) {
    if (std::string refusal = FileSystemSettingRefusal(); !refusal.empty()) {
        error = refusal;
        std::lock_guard<std::mutex> lock(mutex_);
        connectError_ = std::move(refusal);
        return false;
    }
    path_ = path;
    create_ = create;
    const std::size_t slash = path.find_last_of('/');
    shared_ = OnSharedFileSystem(slash == std::string::npos ? "." : path.substr(0, slash + 1));
    sqlite3* db = Connect(error);
    if (db == nullptr) {
        std::lock_guard<std::mutex> lock(mutex_);
        connectError_ = error;
        return false;
    }
    // A new system on a local disk runs in WAL, where readers never wait for
    // a writer; on a shared folder it stays in the rollback journal.
    if (create && !shared_ && PageCount(db) == 0) {
        if (JournalMode(db, "PRAGMA journal_mode = WAL") != "wal") {
            error = std::string("cannot put the new system.db in WAL mode: ") + sqlite3_errmsg(db);
            sqlite3_close(db);
            return false;
        }
        SetSynchronous(db, true);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.push_back(db);
    ThreadConnections()[id_] = db;
    return true;
}

sqlite3* SystemDb::Handle() const {
    auto& mine = ThreadConnections();
    const auto it = mine.find(id_);
    if (heldInWal_.load() && (it == mine.end() || sqlite3_get_autocommit(it->second) != 0))
        TryLeavingWal();
    if (it != mine.end()) return it->second;
    if (path_.empty()) {
        std::lock_guard<std::mutex> lock(mutex_);
        connectError_ = "no database opened";
        return nullptr;
    }
    std::string error;
    sqlite3* db = Connect(error);
    std::lock_guard<std::mutex> lock(mutex_);
    if (db == nullptr) {
        connectError_ = error;
        return nullptr;
    }
    connections_.push_back(db);
    mine[id_] = db;
    return db;
}

std::string SystemDb::ConnectError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connectError_.empty() ? "cannot open the database" : connectError_;
}

void SystemDb::ReleaseThreadConnection() {
    auto& mine = ThreadConnections();
    const auto it = mine.find(id_);
    if (it == mine.end()) return;
    sqlite3* db = it->second;
    mine.erase(it);
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase(connections_, db);
    sqlite3_close_v2(db);
}

std::string SystemDb::Reason(sqlite3* db, int code) const {
    if ((code & 0xff) == SQLITE_CANTOPEN && !OutOfDescriptors(db) && shared_ &&
        HeaderSaysWal(path_)) {
        heldInWal_ = true;
        return kHeldInWal;
    }
    if ((code & 0xff) == SQLITE_CANTOPEN) return OpenFailure(db);
    return db != nullptr ? sqlite3_errmsg(db) : "database error";
}

void SystemDb::TryLeavingWal() const {
    // Once a second for the whole process: every request meanwhile is
    // refused with the reason at once.
    const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    std::int64_t next = nextWalTry_.load();
    if (now < next || !nextWalTry_.compare_exchange_strong(next, now + 1000)) return;
    std::string error;
    if (LeaveWal(path_, error)) heldInWal_ = false;
}

LockWaitLimit::LockWaitLimit(int milliseconds) : saved_(t_lockWaitLimit) {
    t_lockWaitLimit = milliseconds;
}

LockWaitLimit::~LockWaitLimit() {
    t_lockWaitLimit = saved_;
}

void SystemDb::SetBusyTimeout(int milliseconds) {
    busyMs_ = milliseconds;  // the connections' busy handlers read it
}

bool SystemDb::Exec(const std::string& sql, std::string& error) {
    sqlite3* handle = Handle();
    if (handle == nullptr) {
        error = ConnectError();
        return false;
    }
    char* message = nullptr;
    int code = sqlite3_exec(handle, StoredFromWire(sql).c_str(), nullptr, nullptr, &message);
    if (code != SQLITE_OK) {
        error = (code & 0xff) == SQLITE_CANTOPEN ? Reason(handle, code)
                : message != nullptr             ? message
                                                 : "database error";
        sqlite3_free(message);
        if (IsBusy(code)) throw DatabaseBusy();
        return false;
    }
    return true;
}

Statement::Statement(const SystemDb& db, const char* sql) : db_(db) {
    sqlite3* handle = db.Handle();
    if (handle == nullptr) {
        error_ = db.ConnectError();
        return;
    }
    int code = sqlite3_prepare_v2(handle, sql, -1, &stmt_, nullptr);
    if (code != SQLITE_OK) {
        stmt_ = nullptr;
        error_ = db.Reason(handle, code);
        // Preparing reads the schema, which a locked database can refuse.
        if (IsBusy(code)) throw DatabaseBusy();
    }
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::Reset() {
    if (stmt_ != nullptr) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    failed_ = false;
    return *this;
}

Statement& Statement::Bind(int index, const std::string& text) {
    if (stmt_ != nullptr) {
        std::string stored = StoredFromWire(text);
        sqlite3_bind_text(stmt_, index, stored.data(), static_cast<int>(stored.size()),
                          SQLITE_TRANSIENT);
    }
    return *this;
}

Statement& Statement::Bind(int index, std::int64_t value) {
    if (stmt_ != nullptr) sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

bool Statement::Step() {
    if (stmt_ == nullptr || failed_) return false;
    int r = sqlite3_step(stmt_);
    if (r == SQLITE_ROW) return true;
    if (r != SQLITE_DONE) {
        failed_ = true;
        error_ = db_.Reason(sqlite3_db_handle(stmt_), r);
        if (IsBusy(r)) {
            sqlite3_reset(stmt_);
            throw DatabaseBusy();
        }
    }
    return false;
}

bool Statement::Row() {
    if (Step()) return true;
    if (stmt_ == nullptr || failed_) Throw();
    return false;
}

void Statement::Throw() const {
    throw DatabaseError(error_.empty() ? "database error" : error_);
}

bool Statement::Run() {
    while (Step()) {
    }
    return stmt_ != nullptr && !failed_;
}

std::string Statement::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    if (text == nullptr) return "";
    return WireFromStored(
        std::string_view(reinterpret_cast<const char*>(text),
                         static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))));
}

std::int64_t Statement::Int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

bool HoldsNoSystem(const Statement& failed) {
    return failed.Error().rfind("no such table", 0) == 0;
}

bool NotADatabase(const Statement& failed) {
    return failed.Error() == sqlite3_errstr(SQLITE_NOTADB);
}

const char* SchemaSql() {
    return kSchemaSql;
}

}  // namespace docserver
