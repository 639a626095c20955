#pragma once
// The system directory's SQLite database.

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace docserver {

class SystemDb {
  public:
    SystemDb() = default;
    ~SystemDb();
    SystemDb(const SystemDb&) = delete;
    SystemDb& operator=(const SystemDb&) = delete;

    // Opens an existing database (create = false) or creates it.
    bool Open(const std::string& path, bool create, std::string& error);
    bool Exec(const std::string& sql, std::string& error);
    sqlite3* Handle() const { return db_; }

  private:
    sqlite3* db_ = nullptr;
};

// One prepared statement; binds count from 1, columns from 0.
class Statement {
  public:
    Statement(const SystemDb& db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return stmt_ != nullptr; }
    // Ready to bind and run again.
    Statement& Reset();
    Statement& Bind(int index, const std::string& text);
    Statement& Bind(int index, std::int64_t value);
    // True while a row is ready.
    bool Step();
    // Runs to the end; true when it finished without error.
    bool Run();
    std::string Text(int column) const;
    std::int64_t Int(int column) const;

  private:
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
};

// The schema of a new system directory.
const char* SchemaSql();

}  // namespace docserver
