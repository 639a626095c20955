#pragma once
// The system directory's SQLite database. Every thread that uses a SystemDb
// gets a connection of its own (opened on first use, given up when the
// thread ends), so the server's workers read and write side by side. A
// system made on a local disk runs in WAL mode; one on a shared folder
// (network or FUSE file system) in the rollback journal, for every process
// that opens it. Texts are Windows-1252 in the engine and UTF-8 in the
// database: Bind and Text convert.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "damage_check.h"
#include "opened_file.h"

struct sqlite3;
struct sqlite3_stmt;

namespace docserver {

// The database stayed locked by another connection past the busy time-out.
class DatabaseBusy : public std::runtime_error {
  public:
    DatabaseBusy() : std::runtime_error("database busy") {}

  protected:
    explicit DatabaseBusy(const std::string& what) : std::runtime_error(what) {}
};

// Busy because another program holds a shared folder's system in WAL, or is
// taking it out: what() says so and what to do.
class SystemHeld : public DatabaseBusy {
  public:
    explicit SystemHeld(const std::string& why) : DatabaseBusy(why) {}
};

// A read that failed for another reason than a lock: what it found so far is
// not the whole answer.
class DatabaseError : public std::runtime_error {
  public:
    explicit DatabaseError(const std::string& what) : std::runtime_error(what) {}
};

// Why a shared folder's system cannot be used while another program has it
// in WAL, and what to do.
inline constexpr const char* kHeldInWal =
    "system.db is open in WAL mode by another program, which a shared folder cannot carry: "
    "close every program that has this system open (talq-server, viewers, on every "
    "machine), then open it again from the shared folder";

// The same where the holder keeps no shared memory (exclusive locking): it
// cannot be told from another opener taking the system out of WAL.
inline constexpr const char* kHeldOrSwitching =
    "system.db is held in WAL mode by another program, or another is taking it out of WAL "
    "mode: try again in a minute; if it stays so, close every program that has this system "
    "open (talq-server, viewers, on every machine), then open it again from the shared folder";

// Why nothing more is read or stored once system.db is not the file that was
// opened, and what to do.
inline constexpr const char* kSystemMoved =
    "system.db is no longer the file this program opened (it was deleted, replaced or moved "
    "meanwhile): nothing more is stored; stop every program that has this system open "
    "(talq-server, viewers) and start them again on the system's folder";

// What a request is refused with while system.db's path cannot be looked
// up (the reason follows): which file is there is not known.
inline constexpr const char* kCannotCheckSystem = "cannot check system.db: ";

// Why nothing more is stored once a check of the whole file found system.db
// damaged, and what to do.
inline constexpr const char* kSystemDamaged =
    "system.db is damaged (SQLite found it malformed): nothing more is stored; stop every "
    "program that has this system open (talq-server, viewers) and restore system.db from a "
    "backup";

namespace detail {
struct HoldState;
}

class SystemDb {
  public:
    SystemDb();
    ~SystemDb();
    SystemDb(const SystemDb&) = delete;
    SystemDb& operator=(const SystemDb&) = delete;

    // Opens an existing database (create = false) or creates it; the calling
    // thread's connection is opened at once so errors show here. On a shared
    // folder a database found in WAL mode is switched to the rollback
    // journal, or refused, untouched, while another program has it open in
    // WAL.
    bool Open(const std::string& path, bool create, std::string& error);
    // The SQL's literals are Windows-1252 like every text of the engine.
    // Throws DatabaseBusy when the database stays locked.
    bool Exec(const std::string& sql, std::string& error);
    // The calling thread's connection; nullptr when it cannot be opened
    // (ConnectError says why). On a shared folder found turned back into
    // WAL, each call tries again, at most once a second, to take it out.
    sqlite3* Handle() const;
    // Why the last connection could not be opened.
    std::string ConnectError() const;
    // The calling thread's connection closes; its next use opens another. A
    // thread that has done its part holds no descriptors for it.
    void ReleaseThreadConnection();
    // A connection of a thread that ended (they give theirs by themselves):
    // one is kept for the next thread that needs one, the others close.
    void ReturnConnection(sqlite3* db);
    // Why a call on one of its connections failed with the code: SQLite's
    // message, or, on a shared folder turned back into WAL, kHeldInWal.
    std::string Reason(sqlite3* db, int code) const;
    // How long a statement waits for another connection's lock.
    void SetBusyTimeout(int milliseconds);
    // Why nothing may be read or acknowledged now: system.db is no longer
    // the file opened (kSystemMoved: deleted, replaced or moved away), or
    // its path could not be looked up (kCannotCheckSystem and the reason);
    // "" while it is the file opened.
    std::string Displaced() const;
    // Commits made so far by the calling thread's connections: a request
    // that made one has stored something, whatever is found after it.
    static std::uint64_t Commits();
    // The file layer its connections use (nullptr: SQLite's own).
    const char* VfsName() const;
    // Whether a check of the whole file found it damaged in this process:
    // what it still reads may be wrong, so nothing more is written into it:
    // no statement that writes is prepared, no transaction begun, no log
    // folded in (at a close, a move, a switch out of WAL).
    bool Damaged() const;
    // Whether the calling thread's connections met an answer of damage
    // (SQLITE_CORRUPT, SQLITE_NOTADB) that no check has settled yet: one
    // read that failed on a network or FUSE file system answers so too.
    static bool DamageSuspected();
    // Settles it: the calling thread's connection forgets what it read, and
    // the whole file is checked (one check at a time per file, waited for
    // no longer than a check takes; one begun since the answer serves for
    // it). Damage found is latched unless latch is false.
    FileCheck SettleSuspectedDamage(bool latch = true) const;
    // A read the disk failed answered the thread's request: nothing is
    // suspected of the file, and the connection forgets what it read.
    void ForgetFailedRead() const;
    // Checks the whole file now, for at most budget, latching damage found
    // unless latch is false.
    FileCheck CheckWhole(std::chrono::milliseconds budget, bool latch = true) const;
    // Its connections close without folding the log into the file: an open
    // refused may have found the log another file's.
    void KeepLogOut();
    // Throws what a lock held past the time-out means: SystemHeld on a
    // shared folder turned into WAL, else DatabaseBusy.
    [[noreturn]] void ThrowBusy() const;
    // On a shared folder found turned into WAL outside a transaction: true
    // once it is taken out again (within the process's wait).
    bool LeftWal(sqlite3* db) const;

  private:
    sqlite3* Connect(std::string& error) const;
    static void SetSynchronous(sqlite3* db, bool wal);
    static int WaitForLock(void* self, int count);
    void TryLeavingWal() const;
    std::string DisplacedWhy() const;
    void MovedFound(sqlite3* db) const;
    void NoteDamage(int code) const;
    static int OnCommit(void* self);
    FileCheck CheckWholeHeld(std::chrono::milliseconds budget, bool latch) const;
    void DropCachedPages() const;
    // Whether a shared folder's system may be switched out of WAL by path.
    bool MayLeaveWal() const;
    bool LogOursAlone() const;
    bool LogStillOurs() const;
    // Whether the last close may fold the log into the file it has open:
    // not into a file found damaged, nor one replaced behind the log.
    bool MayFoldLogAtClose() const;

    std::string path_;
    bool create_ = false;
    bool shared_ = false;  // on a file system other machines reach
    std::atomic<int> busyMs_{5000};
    std::uint64_t id_;
    pid_t pid_;  // the process that opened it
    mutable std::mutex mutex_;
    mutable std::vector<sqlite3*> connections_;
    mutable sqlite3* spare_ = nullptr;  // one of connections_, of a thread that ended
    mutable std::string connectError_;  // under mutex_
    std::shared_ptr<detail::HoldState> hold_;  // the process's, for this path
    OpenedFile opened_;  // what later connections must open
    // Its log in WAL mode (0: none), st_ino.
    // The log this process knows as the file's own (0: the rollback journal).
    mutable std::atomic<std::uint64_t> logInode_{0};
    mutable std::atomic<bool> movedFound_{false};
    std::atomic<bool> keepLogOut_{false};
};

// While one lives, the calling thread's statements wait at most this long
// for a lock: for writes nobody should wait on longer than the server's own
// writes take.
class LockWaitLimit {
  public:
    explicit LockWaitLimit(int milliseconds);
    ~LockWaitLimit();
    LockWaitLimit(const LockWaitLimit&) = delete;
    LockWaitLimit& operator=(const LockWaitLimit&) = delete;

  private:
    int saved_;
};

// One prepared statement; binds count from 1, columns from 0. A statement
// that finds the database locked past the time-out throws DatabaseBusy.
// One that gave a row holds its read open until it is reset, run to its end
// or destroyed; a write of the same connection meanwhile, outside a write
// transaction (transaction.h), cannot wait for the write lock and fails at
// once as busy, so a read ends before its connection writes.
class Statement {
  public:
    Statement(const SystemDb& db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return stmt_ != nullptr; }
    // Ready to bind and run again.
    Statement& Reset();
    // Windows-1252 text, stored as UTF-8.
    Statement& Bind(int index, const std::string& text);
    Statement& Bind(int index, std::int64_t value);
    // True while a row is ready; false at the end and after a failure.
    bool Step();
    // The same for replies built from the rows: a statement that could not
    // be prepared or a step that fails throws DatabaseError, so a list read
    // only in part is never taken for the whole.
    bool Row();
    // Not prepared, or a step failed since the last reset.
    bool Failed() const { return stmt_ == nullptr || failed_; }
    // Why it failed.
    const std::string& Error() const { return error_; }
    // Runs to the end; true when it finished without error.
    bool Run();
    // The column's UTF-8 text in Windows-1252.
    std::string Text(int column) const;
    std::int64_t Int(int column) const;

  private:
    [[noreturn]] void Throw() const;

    const SystemDb& db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
    std::string error_;  // why it could not be prepared or stepped
};

// How a thread pauses at each step of its wait for another connection's
// lock: it holds none of the engine's locks then (SQLite's file locks it
// may). A host (the local-access library) may set its own before any
// database opens; by default it sleeps. False gives the wait up: the
// statement answers busy.
using LockWaitPause = bool (*)(int milliseconds);
void SetLockWaitPause(LockWaitPause pause);

// Held while a thread that ends gives its connections back: a process that
// forks takes it first, so that the child inherits none half given back.
std::mutex& ThreadEndLock();

// What a process out of descriptors is told instead of SQLite's "unable to
// open database file".
inline constexpr const char* kTooManyOpenFiles = "too many open files";

// Whether a statement of a system's tables failed because the database holds
// none, rather than because it could not be read.
bool HoldsNoSystem(const Statement& failed);
// Whether it failed because the file is no database: damaged, or another
// kind of file, which a new system must never be made over.
bool NotADatabase(const Statement& failed);
inline constexpr const char* kNotADatabase =
    "system.db is not a database (damaged, or another kind of file)";

// Whether another process holds a lock on the file, as the kernel lists
// them: a descriptor of it opened and closed here would drop this process's
// own locks on it. True when the list cannot be read.
bool LockedByAnotherProcess(const std::string& path);

// The schema of a new system directory.
// The first value a pragma answers: "" or -1 when it cannot be read.
std::string PragmaText(sqlite3* db, const char* pragma);
std::int64_t PragmaNumber(sqlite3* db, const char* pragma);

const char* SchemaSql();

}  // namespace docserver
