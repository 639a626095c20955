#pragma once
// Whether system.db is damaged, asked of the whole file on connections of
// the check's own. SQLite answering one read as malformed is no proof: a
// read that failed once on a network or FUSE file system answers so too.
// The check never holds off another program's save: in WAL mode readers
// hold off no writer; in the rollback journal it reads without a lock and
// keeps its finding only where no save came meanwhile.

#include <chrono>
#include <string>

namespace docserver {

class SystemDb;

struct FileCheck {
    enum class Result { kSound, kDamaged, kUnchecked };
    Result result = Result::kUnchecked;
    // What is wrong, in one line; for kUnchecked why it was not checked.
    std::string finding;
};

// Reads every page of the file at path through the file layer vfs
// (nullptr: SQLite's own), for at most budget.
FileCheck CheckWholeFile(const std::string& path, const char* vfs,
                         std::chrono::milliseconds budget);

// How long a check may take: on a large system on a slow disk the whole
// file takes seconds, and neither a start nor a request waits past this.
inline constexpr std::chrono::milliseconds kCheckBudget{20000};

// Whether a log or hot journal lies beside system.db before SQLite opens
// it: SQLite folds it in at the first read, into a restored file as well.
bool LogLeftBeside(const std::string& dbPath);

// "" when the file's structure is sound, or when the check could not
// finish (a check cut short finds nothing); else why it is refused, with
// what to do. Each path is checked once per process.
std::string DamageAtOpen(SystemDb& db, const std::string& dbPath, bool logLeft);

// The refusal for a file a check found damaged.
std::string DamagedRefusal(const std::string& problem, bool logLeft);

// What a request that read the file as malformed is answered when the
// check did not find it damaged: no damage, or not known to be.
std::string MalformedRead(const FileCheck& check);

// SQLite's report in one line: its lines joined, its "*** in database
// main ***" heading dropped.
std::string OneLine(const std::string& report);

}  // namespace docserver
