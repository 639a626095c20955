#include "system_db.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "file_system_kind.h"
#include "schema_sql.h"
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

bool IsBusy(int code) {
    code &= 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

constexpr const char* kHeldInWal =
    "system.db is open in WAL mode by another program, which a shared folder cannot carry: "
    "close every program that has this system open (talq-server, viewers, on every "
    "machine), then open it again from the shared folder";

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

// WAL keeps its index in a memory-mapped file that processes on different
// machines cannot share, so a system on a shared folder runs in the rollback
// journal. Switching needs the database alone; exclusive locking lets SQLite
// recover and checkpoint the log in private memory meanwhile. A process
// that has it open in WAL holds a lock that refuses the switch, and then
// nothing is written.
bool LeaveWal(const std::string& path, std::string& error) {
    if (!HeaderSaysWal(path)) return true;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        error = db != nullptr ? sqlite3_errmsg(db) : "cannot open " + path;
        sqlite3_close(db);
        return false;
    }
    // Long enough for another opener of the shared folder to finish the same switch.
    sqlite3_busy_timeout(db, 2000);
    std::string mode;
    if (sqlite3_exec(db, "PRAGMA locking_mode = EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK)
        mode = JournalMode(db, "PRAGMA journal_mode = DELETE");
    const int code = sqlite3_extended_errcode(db);
    const std::string why = sqlite3_errmsg(db);
    sqlite3_close(db);
    if (mode == "delete" || !HeaderSaysWal(path)) return true;
    error = IsBusy(code) || mode == "wal" ? kHeldInWal
                                          : "cannot take system.db out of WAL mode: " + why;
    return false;
}

}  // namespace

SystemDb::SystemDb() : id_(g_nextDbId++) {}

SystemDb::~SystemDb() {
    ThreadConnections().erase(id_);
    std::lock_guard<std::mutex> lock(mutex_);
    for (sqlite3* db : connections_) sqlite3_close_v2(db);
}

sqlite3* SystemDb::Connect(std::string& error) const {
    if (shared_ && !LeaveWal(path_, error)) return nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (create_) flags |= SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path_.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        error = db != nullptr ? sqlite3_errmsg(db) : "cannot open " + path_;
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
    if (mode.empty()) mode = HeaderSaysWal(path_) ? "wal" : "delete";
    if (shared_ && mode == "wal") {
        // Turned back by an older program that does not know shared folders.
        error = kHeldInWal;
        sqlite3_close(db);
        return nullptr;
    }
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
    path_ = path;
    create_ = create;
    const std::size_t slash = path.find_last_of('/');
    shared_ = OnSharedFileSystem(slash == std::string::npos ? "." : path.substr(0, slash + 1));
    sqlite3* db = Connect(error);
    if (db == nullptr) return false;
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
    if (auto it = mine.find(id_); it != mine.end()) return it->second;
    if (path_.empty()) return nullptr;
    std::string error;
    sqlite3* db = Connect(error);
    if (db == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.push_back(db);
    mine[id_] = db;
    return db;
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
    char* message = nullptr;
    int code = sqlite3_exec(Handle(), StoredFromWire(sql).c_str(), nullptr, nullptr, &message);
    if (code != SQLITE_OK) {
        error = message != nullptr ? message : "database error";
        sqlite3_free(message);
        if (IsBusy(code)) throw DatabaseBusy();
        return false;
    }
    return true;
}

Statement::Statement(const SystemDb& db, const char* sql) {
    sqlite3* handle = db.Handle();
    if (handle == nullptr) {
        error_ = "cannot open the database";
        return;
    }
    int code = sqlite3_prepare_v2(handle, sql, -1, &stmt_, nullptr);
    if (code != SQLITE_OK) {
        stmt_ = nullptr;
        error_ = sqlite3_errmsg(handle);
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
        error_ = sqlite3_errmsg(sqlite3_db_handle(stmt_));
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

const char* SchemaSql() {
    return kSchemaSql;
}

}  // namespace docserver
