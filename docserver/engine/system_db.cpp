#include "system_db.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <unordered_map>

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

}  // namespace

SystemDb::SystemDb() : id_(g_nextDbId++) {}

SystemDb::~SystemDb() {
    ThreadConnections().erase(id_);
    std::lock_guard<std::mutex> lock(mutex_);
    for (sqlite3* db : connections_) sqlite3_close_v2(db);
}

sqlite3* SystemDb::Connect(std::string& error) const {
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
    // Readers never wait for a writer; a commit is durable at the WAL's sync.
    sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    if (sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

bool SystemDb::Open(const std::string& path, bool create, std::string& error) {
    path_ = path;
    create_ = create;
    sqlite3* db = Connect(error);
    if (db == nullptr) return false;
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
