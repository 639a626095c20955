#include "damage_check.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>

#include "engine_text.h"
#include "system_db.h"

namespace docserver {
namespace {

using Clock = std::chrono::steady_clock;

// Lockless passes tried before one under a lock.
constexpr int kUnlockedPasses = 3;
// A check under a lock holds a save no longer than a save waits anyway.
constexpr auto kLockedCheck = std::chrono::milliseconds(1000);
// How long a read of the change count waits for a save under way.
constexpr int kSaveWaitMs = 2000;

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

FileCheck RunChecks(sqlite3* db, Clock::time_point deadline) {
    sqlite3_progress_handler(db, 10000, PastDeadline, &deadline);
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
            check = {FileCheck::Result::kUnchecked,
                     code == SQLITE_INTERRUPT ? "the check ran past its time" : Unread(db, code)};
        }
        sqlite3_finalize(stmt);
        if (check.result != FileCheck::Result::kSound) break;
    }
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    return check;
}

// Moves whenever another connection committed; -1 when it cannot be read.
std::int64_t DataVersion(sqlite3* db) {
    return PragmaNumber(db, "PRAGMA data_version");
}

// Opens the file with no lock taken and no journal looked at.
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
// file is read without a lock, and a pass counts only where the change
// count, read under a brief lock at both ends, did not move (a save writes
// the count with its first page). A sound pass counts anyhow.
FileCheck CheckUnlocked(const std::string& path, const char* vfs, sqlite3* locked,
                        Clock::time_point deadline) {
    const std::string uri = ImmutableUri(path);
    for (int pass = 0; pass < kUnlockedPasses && Clock::now() < deadline; ++pass) {
        const std::int64_t before = DataVersion(locked);
        sqlite3* unlocked = nullptr;
        FileCheck check;
        if (sqlite3_open_v2(uri.c_str(), &unlocked,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                            vfs) == SQLITE_OK)
            check = RunChecks(unlocked, deadline);
        else
            check.finding = Unread(unlocked, sqlite3_errcode(unlocked));
        sqlite3_close(unlocked);
        const std::int64_t after = DataVersion(locked);
        if (check.result == FileCheck::Result::kSound || (before >= 0 && before == after))
            return check;
    }
    // Saves kept coming: a small system is checked at once.
    return RunChecks(locked, std::min(deadline, Clock::now() + kLockedCheck));
}

// What the check found for each path, kept for the process's life: a file
// refused once stays refused for a later open, as the programs are to be
// stopped before it is restored.
std::string* CheckOf(const std::string& path, bool& first) {
    static std::mutex mutex;
    // Never destroyed: engines may open after the exit handlers ran.
    static auto* results = new std::map<std::string, std::string>;
    std::lock_guard<std::mutex> lock(mutex);
    first = results->find(path) == results->end();
    return &(*results)[path];
}

}  // namespace

FileCheck CheckWholeFile(const std::string& path, const char* vfs,
                         std::chrono::milliseconds budget) {
    const Clock::time_point deadline = Clock::now() + budget;
    sqlite3* locked = nullptr;
    if (sqlite3_open_v2(path.c_str(), &locked, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, vfs) !=
        SQLITE_OK) {
        FileCheck check{FileCheck::Result::kUnchecked, Unread(locked, SQLITE_CANTOPEN)};
        sqlite3_close(locked);
        return check;
    }
    sqlite3_busy_timeout(locked, kSaveWaitMs);
    // In WAL mode no reader holds off a writer.
    const FileCheck check = PragmaText(locked, "PRAGMA journal_mode") == "wal"
                                ? RunChecks(locked, deadline)
                                : CheckUnlocked(path, vfs, locked, deadline);
    sqlite3_close(locked);
    return check;
}

bool LogLeftBeside(const std::string& dbPath) {
    struct stat info {};
    for (const char* side : {"-wal", "-journal"})
        if (::stat((dbPath + side).c_str(), &info) == 0 && info.st_size > 0) return true;
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
    std::string why = "system.db is damaged (" + OneLine(problem) +
                      "): restore it from a backup, with every program that has the system "
                      "open stopped";
    if (logLeft)
        why +=
            "; a system.db-wal or system.db-journal left beside it was folded into it as it "
            "was opened, which damages a file restored over the one it belonged to: delete "
            "those files before putting the backup in place";
    return why;
}

std::string DamageAtOpen(SystemDb& db, const std::string& dbPath, bool logLeft) {
    bool first = false;
    std::string* found = CheckOf(dbPath, first);
    if (!first) return *found;
    const FileCheck check = db.CheckWhole();
    if (check.result == FileCheck::Result::kDamaged)
        *found = DamagedRefusal(check.finding, logLeft);
    return *found;
}

}  // namespace docserver
