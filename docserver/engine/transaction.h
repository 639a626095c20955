#pragma once
// A write of several statements as one: all of it or, after a failure or a
// crash, none of it. Takes the write lock at once, so two writers never
// deadlock upgrading their locks. Inside another transaction it adds nothing.
// A database that stays locked throws DatabaseBusy, from the start as from
// the commit, so the command reports it as busy.

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
        if (!begun_) return;
        std::string error;
        try {
            db_.Exec("ROLLBACK", error);
        } catch (const DatabaseBusy&) {
            // A rollback never waits for a lock; nothing is left to undo.
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // False when the transaction could not start.
    bool Ok() const { return !failed_; }
    // True when every statement is now stored.
    bool Commit() {
        if (failed_) return false;
        if (!begun_) return true;
        std::string error;
        // A commit that fails or throws leaves the rollback to the destructor.
        if (!db_.Exec("COMMIT", error)) return false;
        begun_ = false;
        return true;
    }

  private:
    SystemDb& db_;
    bool begun_ = false;
    bool failed_ = false;
};

}  // namespace docserver
