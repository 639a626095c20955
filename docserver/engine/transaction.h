#pragma once
// A write of several statements as one: all of it or, after a failure or a
// crash, none of it. Takes the write lock at once, so two writers never
// deadlock upgrading their locks. Inside another transaction it adds nothing.

#include <sqlite3.h>

#include "system_db.h"

namespace docserver {

class Transaction {
  public:
    explicit Transaction(SystemDb& db) : db_(db) {
        if (sqlite3_get_autocommit(db_.Handle()) == 0) return;  // already inside one
        std::string error;
        begun_ = db_.Exec("BEGIN IMMEDIATE", error);
        failed_ = !begun_;
    }
    ~Transaction() {
        if (begun_) Finish("ROLLBACK");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // False when the transaction could not start (the database is busy).
    bool Ok() const { return !failed_; }
    // True when every statement is now stored.
    bool Commit() {
        if (failed_) return false;
        if (!begun_) return true;
        return Finish("COMMIT");
    }

  private:
    bool Finish(const char* sql) {
        begun_ = false;
        std::string error;
        if (db_.Exec(sql, error)) return true;
        // A commit that failed leaves nothing half done behind.
        if (sqlite3_get_autocommit(db_.Handle()) == 0) db_.Exec("ROLLBACK", error);
        return false;
    }
    SystemDb& db_;
    bool begun_ = false;
    bool failed_ = false;
};

}  // namespace docserver
