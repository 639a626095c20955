#include "system_db.h"

#include <fcntl.h>
#include <pthread.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <unordered_map>
#include <utility>

#include "file_system_kind.h"
#include "read_watch.h"
#include "schema_sql.h"
#include "shared_folder_vfs.h"
#include "stored_text.h"

namespace docserver {
namespace {

std::atomic<std::uint64_t> g_nextDbId{1};

using ThreadMap = std::unordered_map<std::uint64_t, sqlite3*>;

// The databases open in the process, by id, for a thread that ends to give
// its connections back. Never destroyed: threads end while the process exits.
struct OpenDatabases {
    std::mutex mutex;
    std::unordered_map<std::uint64_t, SystemDb*> byId;
};

OpenDatabases& Databases() {
    static OpenDatabases* const databases = new OpenDatabases;
    return *databases;
}

bool Sleep(int milliseconds) {
    sqlite3_sleep(milliseconds);
    return true;
}

std::atomic<LockWaitPause> g_lockWaitPause{Sleep};

void ReturnThreadConnections(void* connections) {
    const std::unique_ptr<ThreadMap> mine(static_cast<ThreadMap*>(connections));
    OpenDatabases& databases = Databases();
    const std::lock_guard<std::mutex> lock(databases.mutex);
    for (const auto& [id, db] : *mine)
        if (const auto it = databases.byId.find(id); it != databases.byId.end())
            it->second->ReturnConnection(db);
}

// A key rather than a thread_local object: a thread's connections go back
// when it ends, and the main thread's are never destroyed under a host's
// exit handlers, which may still close a database.
pthread_key_t ThreadKey() {
    static const pthread_key_t key = [] {
        pthread_key_t made{};
        if (pthread_key_create(&made, ReturnThreadConnections) != 0) std::abort();
        return made;
    }();
    return key;
}

// The calling thread's connection per database (by id: an id is never reused).
ThreadMap& ThreadConnections() {
    auto* mine = static_cast<ThreadMap*>(pthread_getspecific(ThreadKey()));
    if (mine == nullptr) {
        mine = new ThreadMap;
        pthread_setspecific(ThreadKey(), mine);
    }
    return *mine;
}

thread_local int t_lockWaitLimit = -1;  // milliseconds; -1: the database's own
// When the calling thread's wait for the lock in hand began (steady clock, ms).
thread_local std::int64_t t_lockWaitBegan = 0;

// Each thread uses its connections alone, so a request's commits are the
// change in its thread's count.
thread_local std::uint64_t t_commits = 0;

// Non-zero while the thread's connections met an answer of damage not yet
// settled: the number the next check of the file then begun was to have.
thread_local std::uint64_t t_damageSuspected = 0;

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
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
    return PragmaText(db, pragma);
}

std::int64_t PageCount(sqlite3* db) {
    return PragmaNumber(db, "PRAGMA page_count");
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

// How long the process waits for another program's hold before it answers
// why: another opener's switch (checkpointing a large log left by a crash)
// takes seconds, and the viewer's window waits with it.
constexpr std::int64_t kHoldWaitMs = 5000;

}  // namespace

namespace detail {

// Another program's hold on a shared folder's system as the process knows
// it, shared by its engines (the server's workers): one wait per hold, not
// one per statement or per thread.
struct HoldState {
    std::mutex switching;                   // one attempt at a time
    std::atomic<std::int64_t> waitEnds{0};  // steady clock, milliseconds
    std::atomic<bool> found{false};         // the last wait ended with it held
    std::atomic<bool> turned{false};        // a connection found it turned into WAL
    std::atomic<bool> damaged{false};       // a check of the whole file found it so
    std::timed_mutex checking;              // one check of the whole file at a time
    std::atomic<std::uint64_t> checksBegun{0};
    FileCheck lastCheck;  // under checking
};

}  // namespace detail

namespace {

std::shared_ptr<detail::HoldState> HoldStateOf(const std::string& path) {
    static std::mutex mutex;
    // Never destroyed: engines may close after the exit handlers ran.
    static auto* states = new std::unordered_map<std::string, std::shared_ptr<detail::HoldState>>;
    std::lock_guard<std::mutex> lock(mutex);
    auto& state = (*states)[path];
    if (!state) state = std::make_shared<detail::HoldState>();
    return state;
}

// When the calling thread stops waiting: at once where the process already
// found the system held; else with the wait in progress, or a new one.
std::int64_t HoldDeadline(detail::HoldState& hold) {
    const std::int64_t now = NowMs();
    if (hold.found) return now;
    std::int64_t ends = hold.waitEnds.load();
    if (now < ends) return ends;
    const std::int64_t mine = now + kHoldWaitMs;
    return hold.waitEnds.compare_exchange_strong(ends, mine) ? mine : hold.waitEnds.load();
}

// WAL keeps its index in a memory-mapped file that processes on different
// machines cannot share, so a system on a shared folder runs in the rollback
// journal. Switching needs the database alone; exclusive locking lets SQLite
// recover and checkpoint the log in private memory meanwhile. A program that
// has it open in WAL refuses the switch, and then nothing is written;
// another opener switching it holds it alone for as long as its checkpoint
// takes, and is waited for, within the process's wait: a holder in
// exclusive locking mode looks the same.
bool LeaveWal(const std::string& path, detail::HoldState& hold, std::string& error) {
    if (!HeaderSaysWal(path)) {
        hold.found = false;
        hold.turned = false;
        return true;
    }
    const std::int64_t deadline = HoldDeadline(hold);
    std::lock_guard<std::mutex> one(hold.switching);
    while (HeaderSaysWal(path)) {
        // Connections already open try again at their next statement.
        hold.turned = true;
        if (OpenInWalElsewhere(path)) {
            hold.found = true;
            error = kHeldInWal;
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
        sqlite3_busy_timeout(
            db, static_cast<int>(std::clamp<std::int64_t>(deadline - NowMs(), 0, 1000)));
        std::string mode;
        if (sqlite3_exec(db, "PRAGMA locking_mode = EXCLUSIVE", nullptr, nullptr, nullptr) ==
            SQLITE_OK)
            mode = JournalMode(db, "PRAGMA journal_mode = DELETE");
        const int code = sqlite3_extended_errcode(db);
        const std::string why = sqlite3_errmsg(db);
        sqlite3_close(db);
        if (mode == "delete") break;
        if (!IsBusy(code) && mode != "wal" && HeaderSaysWal(path)) {
            error = "cannot take system.db out of WAL mode: " + why;
            return false;
        }
        if (NowMs() >= deadline) {
            hold.found = true;
            error = kHeldOrSwitching;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    hold.found = false;
    hold.turned = false;
    return true;
}

// The file's device and inode; false when it is not there.
bool FileIdentity(const std::string& path, std::uint64_t& device, std::uint64_t& inode) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    device = info.st_dev;
    inode = info.st_ino;
    return true;
}

}  // namespace

bool LockedByAnotherProcess(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    std::ifstream locks("/proc/locks");
    if (!locks) return true;
    char file[64];
    std::snprintf(file, sizeof file, "%02x:%02x:%llu", major(info.st_dev), minor(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    const std::string me = std::to_string(::getpid());
    for (std::string line; std::getline(locks, line);) {
        // "1: POSIX  ADVISORY  READ 1234 08:01:5678 128 128", "1: -> POSIX ..." when waiting.
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, id;
        fields >> number >> kind;
        if (kind == "->") fields >> kind;
        fields >> mode >> access >> pid >> id;
        if (id == file && pid != me) return true;
    }
    return false;
}

void SetLockWaitPause(LockWaitPause pause) {
    g_lockWaitPause = pause != nullptr ? pause : Sleep;
}

std::mutex& ThreadEndLock() {
    return Databases().mutex;
}

SystemDb::SystemDb() : id_(g_nextDbId++), pid_(::getpid()) {
    const std::lock_guard<std::mutex> lock(Databases().mutex);
    Databases().byId[id_] = this;
}

SystemDb::~SystemDb() {
    {
        // No thread that ends from now on closes one of ours.
        const std::lock_guard<std::mutex> lock(Databases().mutex);
        Databases().byId.erase(id_);
    }
    ThreadConnections().erase(id_);
    std::lock_guard<std::mutex> lock(mutex_);
    // The last connection's close checkpoints the log into the file it has
    // open and deletes the log and its index by name: not where that is
    // no longer right (MayFoldLogAtClose).
    if (!connections_.empty() && !MayFoldLogAtClose())
        for (sqlite3* db : connections_)
            sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    for (sqlite3* db : connections_) sqlite3_close_v2(db);
}

sqlite3* SystemDb::Connect(std::string& error) const {
    if (shared_ && SharedFolderVfs() == nullptr) {
        error = "cannot open system.db on a shared folder: SQLite's file layer is missing";
        return nullptr;
    }
    if (std::string why = DisplacedWhy(); !why.empty()) {
        error = std::move(why);
        return nullptr;
    }
    if (shared_ && Damaged()) {
        // Leaving WAL would fold the log into it.
        error = kSystemDamaged;
        return nullptr;
    }
    if (shared_ && !LeaveWal(path_, *hold_, error)) return nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (create_) flags |= SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    // Whoever turns the system back into WAL later, a connection on a shared
    // folder then fails rather than follow it.
    // Through the layer that counts the reads the disk failed: one is told
    // as the disk's, not taken for damage.
    const char* vfs = shared_ ? SharedFolderVfs() : nullptr;
    if (const char* watched = ReadWatchedVfs(vfs); watched != nullptr) vfs = watched;
    if (sqlite3_open_v2(path_.c_str(), &db, flags, vfs) != SQLITE_OK) {
        error = db != nullptr ? OpenFailure(db) : "cannot open " + path_;
        if (db != nullptr) sqlite3_close(db);
        return nullptr;
    }
    // Several processes (servers, local clients) and the server's workers
    // share one system: a lock is waited for, then reported as busy.
    sqlite3_busy_handler(db, WaitForLock, const_cast<SystemDb*>(this));
    sqlite3_commit_hook(db, OnCommit, const_cast<SystemDb*>(this));
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
    hold_ = HoldStateOf(path);
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
    // What later connections must open, held so that its inode number
    // stays while no connection has it open; and the log that is this file's.
    if (!opened_.Open(path, error)) {
        sqlite3_close(db);
        std::lock_guard<std::mutex> lock(mutex_);
        connectError_ = error;
        return false;
    }
    // Only a local disk's system runs in WAL (asked of the file, not the
    // database: a lock held elsewhere would be waited for again).
    std::uint64_t logDevice = 0, logInode = 0;
    if (!shared_) FileIdentity(path + "-wal", logDevice, logInode);
    logInode_ = logInode;
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.push_back(db);
    ThreadConnections()[id_] = db;
    return true;
}

sqlite3* SystemDb::Handle() const {
    auto& mine = ThreadConnections();
    const auto it = mine.find(id_);
    if (it != mine.end()) {
        // Not inside a transaction: its statements run on the journal it began in.
        if (hold_->turned && sqlite3_get_autocommit(it->second) != 0) TryLeavingWal();
        return it->second;
    }
    if (path_.empty()) {
        std::lock_guard<std::mutex> lock(mutex_);
        connectError_ = "no database opened";
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (spare_ != nullptr) {
            sqlite3* db = std::exchange(spare_, nullptr);
            mine[id_] = db;
            return db;
        }
    }
    std::string error;
    sqlite3* db = Connect(error);
    std::lock_guard<std::mutex> lock(mutex_);
    if (db == nullptr) {
        connectError_ = error;
        return nullptr;
    }
    // The last of ours closed deleted the log; the one this connection made
    // is this file's now (Connect found it the file opened).
    if (connections_.empty() && logInode_ != 0) {
        std::uint64_t device = 0, inode = 0;
        if (FileIdentity(path_ + "-wal", device, inode)) logInode_ = inode;
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
    if (Damaged() || (connections_.size() == 1 && !MayFoldLogAtClose()))
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    std::erase(connections_, db);
    sqlite3_close_v2(db);
}

void SystemDb::ReturnConnection(sqlite3* db) {
    // A forked child never closes its parent's connections: the parent's
    // locks and log are not its own.
    if (::getpid() != pid_) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(connections_.begin(), connections_.end(), db) == connections_.end()) return;
    // One is kept for the next thread: the last one's close would delete
    // the log, and the one the next opens would not be the file this
    // process knows as its own (LogOursAlone).
    if (spare_ == nullptr && sqlite3_get_autocommit(db) != 0) {
        spare_ = db;
        return;
    }
    // Closed while the last, as at the end (see ~SystemDb).
    if (Damaged() || (connections_.size() == 1 && !MayFoldLogAtClose()))
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    std::erase(connections_, db);
    sqlite3_close_v2(db);
}

void SystemDb::NoteDamage(int code) const {
    if (((code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB) &&
        t_damageSuspected == 0)
        t_damageSuspected = hold_->checksBegun + 1;
}

bool SystemDb::DamageSuspected() {
    return t_damageSuspected != 0;
}

FileCheck SystemDb::SettleSuspectedDamage(bool latch) const {
    const std::uint64_t since = std::exchange(t_damageSuspected, 0);
    DropCachedPages();
    // A request waits for another's check no longer than for its own.
    std::unique_lock<std::timed_mutex> lock(hold_->checking, std::defer_lock);
    if (!lock.try_lock_for(kRequestCheck))
        return {FileCheck::Result::kUnchecked, "another check of the whole file is under way"};
    if (hold_->damaged || (since != 0 && hold_->checksBegun >= since)) return hold_->lastCheck;
    return CheckWholeHeld(kRequestCheck, latch);
}

void SystemDb::ForgetFailedRead() const {
    t_damageSuspected = 0;
    DropCachedPages();
}

void SystemDb::DropCachedPages() const {
    // A page a failed read left in the connection's cache would be answered
    // from there again, the file being unchanged.
    const auto& mine = ThreadConnections();
    if (const auto it = mine.find(id_); it != mine.end() && sqlite3_get_autocommit(it->second) != 0)
        sqlite3_db_release_memory(it->second);
}

FileCheck SystemDb::CheckWhole(std::chrono::milliseconds budget, bool latch) const {
    std::lock_guard<std::timed_mutex> lock(hold_->checking);
    return CheckWholeHeld(budget, latch);
}

FileCheck SystemDb::CheckWholeHeld(std::chrono::milliseconds budget, bool latch) const {
    ++hold_->checksBegun;
    FileCheck check = CheckWholeFile(path_, VfsName(), budget);
    // Where that is cheap, damage is found twice, a few seconds apart: a
    // file system that answered wrong for a moment answers right again.
    if (check.result == FileCheck::Result::kDamaged && check.took <= kCheapCheck) {
        std::this_thread::sleep_for(kConfirmAfter);
        FileCheck again = CheckWholeFile(path_, VfsName(), std::min(budget, 2 * kCheapCheck));
        again.took += check.took + kConfirmAfter;
        check = std::move(again);
    }
    hold_->lastCheck = check;
    if (check.result == FileCheck::Result::kDamaged && latch) hold_->damaged = true;
    return check;
}

void SystemDb::KeepLogOut() {
    keepLogOut_ = true;
}

int SystemDb::OnCommit(void* self) {
    // A commit into a file found damaged becomes a rollback, whoever runs it.
    if (static_cast<const SystemDb*>(self)->Damaged()) return 1;
    ++t_commits;
    return 0;
}

const char* SystemDb::VfsName() const {
    return shared_ ? SharedFolderVfs() : nullptr;
}

bool SystemDb::Damaged() const {
    return hold_ && hold_->damaged;
}

std::string SystemDb::Reason(sqlite3* db, int code) const {
    NoteDamage(code);
    if (shared_ && (code & 0xff) == SQLITE_CANTOPEN && !OutOfDescriptors(db) &&
        HeaderSaysWal(path_)) {
        hold_->turned = true;
        return kHeldInWal;
    }
    if ((code & 0xff) == SQLITE_CANTOPEN) return OpenFailure(db);
    if (db != nullptr && sqlite3_extended_errcode(db) == SQLITE_CONSTRAINT_COMMITHOOK && Damaged())
        return kSystemDamaged;
    // SQLite refuses to write a file whose path it could not look up, as
    // if it had moved: told as what it is.
    if (db != nullptr && sqlite3_extended_errcode(db) == SQLITE_READONLY_DBMOVED)
        if (std::string why = DisplacedWhy(); !why.empty()) return why;
    if (db == nullptr) return "database error";
    // A read or write the file system failed is told as such, with its word.
    if (const int error = sqlite3_system_errno(db); (code & 0xff) == SQLITE_IOERR && error != 0)
        return std::string(sqlite3_errmsg(db)) + " (" + std::strerror(error) + ")";
    return sqlite3_errmsg(db);
}

bool SystemDb::LeftWal(sqlite3* db) const {
    if (!shared_ || sqlite3_get_autocommit(db) == 0 || !MayLeaveWal() || !HeaderSaysWal(path_))
        return false;
    std::string error;
    return LeaveWal(path_, *hold_, error);
}

void SystemDb::TryLeavingWal() const {
    // Once the process found it held, a try waits for nothing, so every
    // request is answered at once and the first after the holder quits is
    // served.
    std::string error;
    if (MayLeaveWal()) LeaveWal(path_, *hold_, error);
}

bool SystemDb::MayLeaveWal() const {
    // The switch folds the log into the file by path: never into a file
    // found damaged, nor into another file put in place of the one opened.
    return !Damaged() && DisplacedWhy().empty();
}

int SystemDb::WaitForLock(void* self, int count) {
    // Waits in short steps: the server's own workers hold locks for a
    // millisecond or two, and the built-in wait sleeps up to 100 ms at a
    // time. A hold the process has found is not waited on again. The wait
    // is measured on the clock, not counted in steps: a step sleeps longer
    // than asked on a loaded machine, and a pause may wait for a fork.
    const auto* db = static_cast<const SystemDb*>(self);
    if (db->shared_ && db->hold_->found) return 0;
    int limit = db->busyMs_.load();
    if (t_lockWaitLimit >= 0) limit = std::min(limit, t_lockWaitLimit);
    const std::int64_t now = NowMs();
    // SQLite counts from 0 at each statement step that meets a lock.
    if (count == 0) t_lockWaitBegan = now;
    const std::int64_t waited = now - t_lockWaitBegan;
    if (waited >= limit) return 0;
    const int step = waited < 100 ? 1 : 10;
    return g_lockWaitPause.load()(static_cast<int>(std::min<std::int64_t>(step, limit - waited)))
               ? 1
               : 0;
}

void SystemDb::ThrowBusy() const {
    // Our connections keep a shared folder's system in the rollback journal:
    // its header in WAL is another program's doing.
    if (shared_ && HeaderSaysWal(path_)) {
        hold_->found = true;
        hold_->turned = true;
        throw SystemHeld(kHeldOrSwitching);
    }
    throw DatabaseBusy();
}

std::string SystemDb::Displaced() const {
    std::string why = DisplacedWhy();
    // Back in its place, it is the file opened again.
    if (why != kSystemMoved) {
        if (why.empty()) movedFound_ = false;
        return why;
    }
    const auto& mine = ThreadConnections();
    if (const auto it = mine.find(id_); it != mine.end() && !movedFound_.exchange(true))
        MovedFound(it->second);
    return why;
}

std::string SystemDb::DisplacedWhy() const {
    // Not SQLite's own check of a move: it takes a lookup that failed for
    // a move.
    if (!opened_.Held()) return "";
    std::string reason;
    switch (opened_.Check(&reason)) {
        case OpenedFile::Found::kSame:
            return "";
        case OpenedFile::Found::kUnchecked:
            return kCannotCheckSystem + reason;
        case OpenedFile::Found::kGone:
            break;
    }
    return kSystemMoved;
}

std::uint64_t SystemDb::Commits() {
    return t_commits;
}

void SystemDb::MovedFound(sqlite3* db) const {
    // The log under the name now goes with another file: whoever opens that
    // would apply ours to it. Folded into the file it belongs to and emptied
    // while it is ours alone, it holds nothing to apply.
    if (logInode_ != 0 && !Damaged() && LogOursAlone())
        sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
}

bool SystemDb::LogStillOurs() const {
    if (logInode_ == 0) return true;
    std::uint64_t device = 0, inode = 0;
    return FileIdentity(path_ + "-wal", device, inode) && device == opened_.Device() &&
           inode == logInode_;
}

bool SystemDb::MayFoldLogAtClose() const {
    if (Damaged() || keepLogOut_) return false;
    if (!opened_.Held()) return true;
    // Where system.db is another file now, or its path cannot be looked up,
    // the name may be another file's log, in use; ours alone, it goes,
    // folded into the file that went. Where the log was removed or
    // replaced behind us, the file was most likely put back in place: ours
    // folded in would undo it.
    if (opened_.Check() != OpenedFile::Found::kSame) return LogOursAlone();
    return LogStillOurs();
}

bool SystemDb::LogOursAlone() const {
    if (logInode_ == 0) return true;  // the rollback journal: SQLite refuses to write
    std::uint64_t device = 0, inode = 0;
    const bool log = FileIdentity(path_ + "-wal", device, inode);
    // Every program with the log open holds a lock on its index.
    return (!log || (device == opened_.Device() && inode == logInode_)) &&
           !LockedByAnotherProcess(path_ + "-shm");
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
    // Nothing more is written into a file found damaged; what is begun is
    // given up.
    if (Damaged() && sql != "ROLLBACK") {
        error = kSystemDamaged;
        return false;
    }
    sqlite3* handle = Handle();
    if (handle == nullptr) {
        error = ConnectError();
        return false;
    }
    char* message = nullptr;
    int code = sqlite3_exec(handle, StoredFromWire(sql).c_str(), nullptr, nullptr, &message);
    if (code != SQLITE_OK) {
        NoteDamage(code);
        error = (code & 0xff) == SQLITE_CANTOPEN || (code & 0xff) == SQLITE_CONSTRAINT
                    ? Reason(handle, code)
                : message != nullptr ? message
                                     : "database error";
        sqlite3_free(message);
        if (IsBusy(code)) ThrowBusy();
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
        if (IsBusy(code)) db.ThrowBusy();
    } else if (db.Damaged() && sqlite3_stmt_readonly(stmt_) == 0) {
        // Nor by a statement of its own: a page it spilled would be in the file.
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        error_ = kSystemDamaged;
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
    if ((r & 0xff) == SQLITE_CANTOPEN && db_.LeftWal(sqlite3_db_handle(stmt_))) {
        // Turned into WAL by a program that has quit: taken out, and read again.
        sqlite3_reset(stmt_);
        r = sqlite3_step(stmt_);
    }
    if (r == SQLITE_ROW) return true;
    if (r != SQLITE_DONE) {
        failed_ = true;
        error_ = db_.Reason(sqlite3_db_handle(stmt_), r);
        if (IsBusy(r)) {
            sqlite3_reset(stmt_);
            db_.ThrowBusy();
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

std::string PragmaText(sqlite3* db, const char* pragma) {
    sqlite3_stmt* stmt = nullptr;
    std::string text;
    if (sqlite3_prepare_v2(db, pragma, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        if (const unsigned char* value = sqlite3_column_text(stmt, 0); value != nullptr)
            text = reinterpret_cast<const char*>(value);
    }
    sqlite3_finalize(stmt);
    return text;
}

std::int64_t PragmaNumber(sqlite3* db, const char* pragma) {
    sqlite3_stmt* stmt = nullptr;
    std::int64_t number = -1;
    if (sqlite3_prepare_v2(db, pragma, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        number = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return number;
}

const char* SchemaSql() {
    return kSchemaSql;
}

}  // namespace docserver
