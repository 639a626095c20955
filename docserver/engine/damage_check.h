#pragma once
// Whether system.db is damaged, asked of the whole file on connections of
// the check's own. SQLite answering one read as malformed is no proof: a
// read that failed once on a network or FUSE file system answers so too.
// Damage is found only by a check that read every page without a read
// error, under the lock where another program may save: a pass without the
// lock may prove the file sound, never damaged. A check is cut at its
// deadline by interrupting SQLite (read_watch.h) and then finds nothing.

#include <chrono>
#include <string>

namespace docserver {

class SystemDb;

struct FileCheck {
    enum class Result { kSound, kDamaged, kUnchecked };
    Result result = Result::kUnchecked;
    // What is wrong, in one line; for kUnchecked why it was not checked.
    std::string finding;
    std::chrono::milliseconds took{0};
};

// Reads every page of the file at path through the file layer vfs
// (nullptr: SQLite's own), for at most budget.
FileCheck CheckWholeFile(const std::string& path, const char* vfs,
                         std::chrono::milliseconds budget);

// How long a start checks: it serves within a second or two whatever the
// system's size; a larger file is checked as requests read it.
inline constexpr std::chrono::milliseconds kStartCheck{1500};
// How long a request checks, and waits for another's check: together a
// third of the viewer's 15 s time-out at most.
inline constexpr std::chrono::milliseconds kRequestCheck{2500};
// How long the check under the lock may hold another program's save.
inline constexpr std::chrono::milliseconds kLockedCheck{500};
// A check that found damage this fast is done again after kConfirmAfter,
// and damage is said only where both found it.
inline constexpr std::chrono::milliseconds kCheapCheck{500};
inline constexpr std::chrono::milliseconds kConfirmAfter{2000};

// Whether a log or hot journal that no other program has open lies beside
// system.db before SQLite opens it: SQLite reads it with the file, a
// restored file included.
bool LogLeftBeside(const std::string& dbPath);

// "" when the file's structure is sound, or when the check could not
// finish; else why it is refused, with what to do. note says a check cut
// short. Each path is checked once per process. With a log left beside,
// damage is not latched: the log may be another file's, and the open is
// refused without folding it in.
std::string DamageAtOpen(SystemDb& db, const std::string& dbPath, bool logLeft, std::string& note);

// The refusal for a file a check found damaged.
std::string DamagedRefusal(const std::string& problem, bool logLeft);

// What a request that read the file as malformed is answered when the
// check did not find it damaged: no damage, or not known to be.
std::string MalformedRead(const FileCheck& check);

// What a request is answered whose reads the disk failed.
inline constexpr const char* kDiskReadFailed =
    "a read of system.db failed on the disk (disk I/O error): try again; if it keeps failing, "
    "check the disk or the shared folder's connection";

// SQLite's report in one line: its lines joined, its "*** in database
// main ***" heading dropped.
std::string OneLine(const std::string& report);

}  // namespace docserver
