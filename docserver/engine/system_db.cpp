#include "system_db.h"

#include <sqlite3.h>

#include "schema_sql.h"

namespace docserver {

SystemDb::~SystemDb() {
    if (db_ != nullptr) sqlite3_close(db_);
}

bool SystemDb::Open(const std::string& path, bool create, std::string& error) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
    if (create) flags |= SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        error = db_ != nullptr ? sqlite3_errmsg(db_) : "cannot open " + path;
        if (db_ != nullptr) sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    // Several processes (servers, local clients) may share one system.
    sqlite3_busy_timeout(db_, 5000);
    // A write-ahead log syncs at checkpoints, not at every commit: a page
    // lock taken and released per page shown would otherwise wait on the disk.
    return Exec("PRAGMA journal_mode = WAL", error) && Exec("PRAGMA synchronous = NORMAL", error) &&
           Exec("PRAGMA foreign_keys = ON", error);
}

bool SystemDb::Exec(const std::string& sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        error = message != nullptr ? message : "database error";
        sqlite3_free(message);
        return false;
    }
    return true;
}

Statement::Statement(const SystemDb& db, const char* sql) {
    if (sqlite3_prepare_v2(db.Handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
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
    if (stmt_ != nullptr)
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
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
    if (r != SQLITE_DONE) failed_ = true;
    return false;
}

bool Statement::Run() {
    while (Step()) {
    }
    return stmt_ != nullptr && !failed_;
}

std::string Statement::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    if (text == nullptr) return "";
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::int64_t Statement::Int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

const char* SchemaSql() {
    return kSchemaSql;
}

}  // namespace docserver
