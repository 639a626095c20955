#pragma once
// A write of several statements as one: all of it or, after a failure or a
// crash, none of it. Takes the write lock at once, so two writers never
// deadlock upgrading their locks. Inside another transaction it adds nothing.
// A database that stays locked throws DatabaseBusy, from the start as from
// the commit, so the command reports it as busy; one that cannot be begun for
// another reason (no connection, a system turned back into WAL on a shared
// folder) throws DatabaseError with the reason, so the reply says it.

#include <sqlite3.h>

#include "system_db.h"

namespace docserver {

class Transaction {
  public:
    explicit Transaction(SystemDb& db) : db_(db) {
        sqlite3* handle = db_.Handle();
        if (handle == nullptr) throw DatabaseError(db_.ConnectError());
        if (sqlite3_get_autocommit(handle) == 0) return;  // already inside one
        // A page spilled before the commit is refused would be in the file.
        if (db_.Damaged()) throw DatabaseError(kSystemDamaged);
        std::string error;
        if (!db_.Exec("BEGIN IMMEDIATE", error)) throw DatabaseError(error);
        begun_ = true;
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

    // True when every statement is now stored. Nothing is stored in a
    // system.db that is no longer the file opened, or not known to be.
    bool Commit() {
        if (!begun_) return true;
        if (std::string why = db_.Displaced(); !why.empty()) {
            error_ = std::move(why);
            return false;
        }
        if (db_.Damaged()) {
            error_ = kSystemDamaged;
            return false;
        }
        // A commit that fails or throws leaves the rollback to the destructor.
        if (!db_.Exec("COMMIT", error_)) return false;
        begun_ = false;
        return true;
    }
    // A commit that failed, and why.
    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }

  private:
    SystemDb& db_;
    bool begun_ = false;
    std::string error_;
};

// Why the first of a command's steps that failed (statements, a commit)
// failed; "" when none did.
template <class... Steps>
std::string WhyFailed(const Steps&... steps) {
    std::string why;
    ((why.empty() && steps.Failed() ? void(why = steps.Error()) : void()), ...);
    return why;
}

}  // namespace docserver
