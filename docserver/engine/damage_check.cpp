#include "damage_check.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <map>
#include <mutex>

#include "system_db.h"

namespace docserver {
namespace {

// The checks read every page: on a large system on a slow disk that may
// take long, and a start is not held for them past this.
constexpr auto kCheckBudget = std::chrono::seconds(20);

int PastBudget(void* deadline) {
    return std::chrono::steady_clock::now() >
                   *static_cast<std::chrono::steady_clock::time_point*>(deadline)
               ? 1
               : 0;
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

bool LogLeftBeside(const std::string& dbPath) {
    struct stat info {};
    for (const char* side : {"-wal", "-journal"})
        if (::stat((dbPath + side).c_str(), &info) == 0 && info.st_size > 0) return true;
    return false;
}

std::string DamagedRefusal(const std::string& problem, bool logLeft) {
    std::string why = "system.db is damaged (" + problem +
                      "): restore it from a backup, with every program that has the system "
                      "open stopped";
    if (logLeft)
        why += "; a system.db-wal or system.db-journal left beside it was folded into it as it "
               "was opened, which damages a file restored over the one it belonged to: delete "
               "those files before putting the backup in place";
    return why;
}

std::string DamageAtOpen(SystemDb& db, const std::string& dbPath, bool logLeft) {
    bool first = false;
    std::string* found = CheckOf(dbPath, first);
    if (!first) return *found;
    // A connection of its own, read-only: the check's cache goes with it.
    if (db.Handle() == nullptr) return "";
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        db.VfsName()) != SQLITE_OK) {
        sqlite3_close(handle);
        return "";
    }
    auto deadline = std::chrono::steady_clock::now() + kCheckBudget;
    sqlite3_progress_handler(handle, 10000, PastBudget, &deadline);
    std::string problem;
    // The structure first, then, as time allows, whether every index holds
    // its table's rows (a tag missing from its page's index is not found).
    for (const char* check : {"PRAGMA quick_check(1)", "PRAGMA integrity_check(1)"}) {
        sqlite3_stmt* stmt = nullptr;
        int code = sqlite3_prepare_v2(handle, check, -1, &stmt, nullptr);
        if (code == SQLITE_OK) code = sqlite3_step(stmt);
        if (code == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            const std::string result = text != nullptr ? reinterpret_cast<const char*>(text) : "";
            if (result != "ok") problem = result;
        } else if ((code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB) {
            problem = sqlite3_errmsg(handle);
        }
        // Interrupted, busy or out of memory: not checked, which is no damage.
        sqlite3_finalize(stmt);
        if (!problem.empty() || code != SQLITE_ROW) break;
    }
    sqlite3_close(handle);
    if (!problem.empty()) *found = DamagedRefusal(problem, logLeft);
    return *found;
}

}  // namespace docserver
