#include "damage_check.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "engine_text.h"
#include "read_watch.h"
#include "system_db.h"

namespace docserver {
namespace {

using Clock = std::chrono::steady_clock;

int PastDeadline(void* deadline) {
    return Clock::now() > *static_cast<Clock::time_point*>(deadline) ? 1 : 0;
}

bool IsDamage(int code) {
    return (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB;
}

// Why a check could not read: an I/O error is told as one, with the system's word.
std::string Unread(sqlite3* db, int code) {
    std::string why = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    if (const int error = db != nullptr ? sqlite3_system_errno(db) : 0;
        (code & 0xff) == SQLITE_IOERR && error != 0)
        why += " (" + ErrnoReason(error) + ")";
    return why;
}

std::string Seconds(std::chrono::milliseconds span) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(span.count()) / 1000);
    return text;
}

// Runs the checks until the deadline, where SQLite is interrupted (between
// the walk's page reads, and by the progress handler between statements'
// steps). A check cut short, or one that met a read the disk failed, finds
// nothing: SQLite reports a page it could not read, or the pages a cut walk
// did not reach, as damage.
FileCheck RunChecks(sqlite3* db, Clock::time_point deadline, const std::string& cut) {
    // Every page through the file layer's read, which counts and cuts.
    sqlite3_exec(db, "PRAGMA mmap_size = 0", nullptr, nullptr, nullptr);
    const std::uint64_t failures = ReadFailures();
    const ReadDeadline bound(db, deadline);
    sqlite3_progress_handler(db, 1000, PastDeadline, &deadline);
    FileCheck check{FileCheck::Result::kSound, ""};
    // The structure first, then whether every index holds its table's rows
    // (a tag missing from its page's index is not found).
    for (const char* pragma : {"PRAGMA quick_check(1)", "PRAGMA integrity_check(1)"}) {
        sqlite3_stmt* stmt = nullptr;
        int code = sqlite3_prepare_v2(db, pragma, -1, &stmt, nullptr);
        if (code == SQLITE_OK) code = sqlite3_step(stmt);
        if (code == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            const std::string result = text != nullptr ? reinterpret_cast<const char*>(text) : "";
            if (result != "ok") check = {FileCheck::Result::kDamaged, OneLine(result)};
        } else if (IsDamage(code)) {
            check = {FileCheck::Result::kDamaged, OneLine(sqlite3_errmsg(db))};
        } else {
            check = {FileCheck::Result::kUnchecked, Unread(db, code)};
        }
        sqlite3_finalize(stmt);
        if (ReadFailures() != failures)
            check = {FileCheck::Result::kUnchecked,
                     "a read failed on the disk during the check (disk I/O error)"};
        else if (Clock::now() > deadline)
            check = {FileCheck::Result::kUnchecked, cut};
        if (check.result != FileCheck::Result::kSound) break;
    }
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    return check;
}

// Opens the file with no lock taken and no journal or log looked at.
std::string ImmutableUri(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = path.rfind('/', 0) == 0 ? "file://" : "file:";
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) != 0 || std::strchr("/._-~", c) != nullptr) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[u >> 4];
            uri += kHex[u & 15];
        }
    }
    return uri + "?immutable=1";
}

// In the rollback journal a reader holds off every save until it ends: the
// file is read without a lock first. That pass may find the file sound; a
// finding of damage may be a save's pages read half written, or pages a
// save spilled and then rolled back, so only a pass under the lock, held no
// longer than a save's usual wait, may confirm it.
FileCheck CheckUnlocked(const std::string& path, const char* vfs, sqlite3* locked,
                        Clock::time_point deadline, const std::string& cut) {
    const std::string uri = ImmutableUri(path);
    sqlite3* unlocked = nullptr;
    FileCheck check;
    if (sqlite3_open_v2(uri.c_str(), &unlocked,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                        vfs) == SQLITE_OK)
        check = RunChecks(unlocked, deadline, cut);
    else
        check.finding = Unread(unlocked, sqlite3_errcode(unlocked));
    sqlite3_close(unlocked);
    if (check.result != FileCheck::Result::kDamaged) return check;
    return RunChecks(locked, std::min(deadline, Clock::now() + kLockedCheck),
                     "the check under the lock ran past " + Seconds(kLockedCheck) +
                         ", which other programs' saves would wait on");
}

}  // namespace

FileCheck CheckWholeFile(const std::string& path, const char* vfs,
                         std::chrono::milliseconds budget) {
    const Clock::time_point start = Clock::now(), deadline = start + budget;
    const std::string cut = "the check ran past its " + Seconds(budget);
    if (const char* watched = ReadWatchedVfs(vfs); watched != nullptr) vfs = watched;
    sqlite3* locked = nullptr;
    FileCheck check;
    if (sqlite3_open_v2(path.c_str(), &locked, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, vfs) !=
        SQLITE_OK) {
        check = {FileCheck::Result::kUnchecked, Unread(locked, SQLITE_CANTOPEN)};
    } else {
        // A save under way is waited for no longer than the lock is held.
        sqlite3_busy_timeout(locked, static_cast<int>(kLockedCheck.count()));
        // With a log beside it the file is read through the log, in one
        // read transaction, which holds off no writer.
        struct stat log {};
        const bool wal = ::stat((path + "-wal").c_str(), &log) == 0 ||
                         PragmaText(locked, "PRAGMA journal_mode") == "wal";
        check = wal ? RunChecks(locked, deadline, cut)
                    : CheckUnlocked(path, vfs, locked, deadline, cut);
    }
    sqlite3_close(locked);
    check.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return check;
}

bool LogLeftBeside(const std::string& dbPath) {
    // A log another program has open is in use, not left: every WAL
    // connection holds a lock on the index, a save under way one on the file.
    struct stat info {};
    for (const char* side : {"-wal", "-journal"})
        if (::stat((dbPath + side).c_str(), &info) == 0 && info.st_size > 0)
            return !LockedByAnotherProcess(dbPath + "-shm") && !LockedByAnotherProcess(dbPath);
    return false;
}

std::string OneLine(const std::string& report) {
    std::string line;
    for (const std::string& part : Split(report, '\n')) {
        std::string text = part;
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0)
            text.pop_back();
        if (text.empty() || text.rfind("*** in database ", 0) == 0) continue;
        line += (line.empty() ? "" : "; ") + text;
    }
    return line;
}

std::string MalformedRead(const FileCheck& check) {
    const std::string read = "a read of system.db came back malformed";
    if (check.result == FileCheck::Result::kSound)
        return read +
               " but the whole file checks sound (the read failed and nothing is damaged): "
               "try again";
    return read + " and the file could not be checked (" + WireReason(check.finding) +
           "): try again";
}

std::string DamagedRefusal(const std::string& problem, bool logLeft) {
    const std::string damaged = "system.db is damaged (" + OneLine(problem) + ")";
    if (logLeft)
        return damaged +
               " as read with the system.db-wal or system.db-journal left beside it, and "
               "nothing of that log was written into it: if a backup was put in place, the log "
               "is the old file's, so with every program that has the system open stopped, "
               "delete system.db-wal, system.db-shm and system.db-journal and start again; "
               "otherwise restore it from a backup the same way";
    return damaged +
           ": restore it from a backup, with every program that has the system open stopped";
}

namespace {

// What the check at open found for each path, kept for the process's life:
// a file refused once stays refused for a later open, as the programs are to
// be stopped before it is restored. Never destroyed: engines may open after
// the exit handlers ran.
struct CheckedPaths {
    std::mutex mutex;
    std::map<std::string, std::string> refusals;
};

CheckedPaths& Checked() {
    static auto* const checked = new CheckedPaths;
    return *checked;
}

}  // namespace

std::string DamageAtOpen(SystemDb& db, const std::string& dbPath, bool logLeft, std::string& note) {
    CheckedPaths& checked = Checked();
    {
        std::lock_guard<std::mutex> lock(checked.mutex);
        if (const auto it = checked.refusals.find(dbPath); it != checked.refusals.end())
            return it->second;
    }
    const FileCheck check = db.CheckWhole(kStartCheck, !logLeft);
    if (check.result == FileCheck::Result::kUnchecked)
        note = "system.db was not checked whole at the start (" + check.finding +
               "): damage is found as requests read it";
    const std::string refusal =
        check.result == FileCheck::Result::kDamaged ? DamagedRefusal(check.finding, logLeft) : "";
    // A log beside it may be another file's: that refusal stands until the
    // log goes, not for the process's life.
    if (!logLeft || refusal.empty()) {
        std::lock_guard<std::mutex> lock(checked.mutex);
        checked.refusals.emplace(dbPath, refusal);
    }
    return refusal;
}

}  // namespace docserver
