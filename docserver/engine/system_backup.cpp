#include "engine/system_backup.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/folder_copy.h"
#include "engine/system_holders.h"

namespace docserver {
namespace {

namespace fs = std::filesystem;

// The folders of a system a backup keeps; cache/ is made again when missing.
constexpr const char* kKeptFolders[] = {"images", "originals", "batch", "tmp"};

// A save in progress is waited for this long, as the shell was told to.
constexpr int kBusyWaitMs = 10000;

BackupOutcome Refused(const char* option, const std::string& value, const std::string& allowed) {
    return {BackupOutcome::Kind::kRefused, option, value, allowed};
}

BackupOutcome Failed(const std::string& text) {
    return {BackupOutcome::Kind::kFailed, "", "", text};
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Whether `path` is `folder` or lies inside it (both made absolute).
bool Inside(const fs::path& path, const fs::path& folder) {
    const std::string p = path.string(), f = folder.string();
    return p == f || (p.starts_with(f) && (f.ends_with('/') || p[f.size()] == '/'));
}

fs::path Absolute(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path).lexically_normal();
    fs::path resolved = fs::weakly_canonical(absolute, error);
    if (error) resolved = absolute;
    // "sys/", not yet there, is the folder sys.
    return resolved.has_filename() ? resolved : resolved.parent_path();
}

std::string SqliteWhy(sqlite3* db) {
    return db != nullptr ? sqlite3_errmsg(db) : std::strerror(ENOMEM);
}

// The first row's value of a statement, or "" with `error` set.
std::string FirstValue(sqlite3* db, const char* sql, std::string& error) {
    sqlite3_stmt* statement = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        error = SqliteWhy(db);
        return "";
    }
    const int step = sqlite3_step(statement);
    if (step == SQLITE_ROW && sqlite3_column_text(statement, 0) != nullptr)
        value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    else if (step != SQLITE_ROW && step != SQLITE_DONE)
        error = SqliteWhy(db);
    sqlite3_finalize(statement);
    return value;
}

// system.db as one read sees it, its log's saves included, while other
// programs go on saving.
std::string CopyDatabase(const std::string& from, const std::string& to) {
    sqlite3* db = nullptr;
    std::string error;
    if (sqlite3_open_v2(from.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        error = SqliteWhy(db);
    } else {
        sqlite3_busy_timeout(db, kBusyWaitMs);
        sqlite3_stmt* vacuum = nullptr;
        if (sqlite3_prepare_v2(db, "VACUUM INTO ?", -1, &vacuum, nullptr) != SQLITE_OK ||
            sqlite3_bind_text(vacuum, 1, to.c_str(), -1, SQLITE_TRANSIENT) != SQLITE_OK ||
            sqlite3_step(vacuum) != SQLITE_DONE)
            error = SqliteWhy(db);
        sqlite3_finalize(vacuum);
    }
    sqlite3_close(db);
    return error.empty() ? "" : "copying system.db: " + error;
}

// The copy read whole by SQLite's own check; a backup's copy is also set to
// WAL, so that a system restored on a local disk runs in it again (one on a
// shared folder is switched as any is when first opened there).
std::string CheckDatabase(const std::string& path, bool toWal) {
    sqlite3* db = nullptr;
    std::string error;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        error = SqliteWhy(db);
    } else {
        const std::string found = FirstValue(db, "PRAGMA integrity_check", error);
        if (error.empty() && found != "ok") error = "it is damaged (" + found + ")";
        if (error.empty() && toWal) {
            const std::string mode = FirstValue(db, "PRAGMA journal_mode = WAL", error);
            if (error.empty() && mode != "wal")
                error = "its journal mode could not be set to WAL (it stayed " + mode + ")";
        }
    }
    if (sqlite3_close(db) != SQLITE_OK && error.empty()) error = SqliteWhy(db);
    // The last connection's close folds the log into the file; one left
    // means that failed, and the file alone is not the copy.
    if (error.empty() && ::access((path + "-wal").c_str(), F_OK) == 0)
        error = "its log system.db-wal could not be folded into it";
    return error.empty() ? "" : "checking the copy of system.db: " + error;
}

// What the copying wrote against what the copy holds, read back.
std::string CheckCount(const std::string& folder, const std::vector<std::string>& names,
                       const CopyTally& written) {
    CopyTally found;
    for (const std::string& name : names) {
        if (const std::string error = TallyTree(folder + "/" + name, found); !error.empty())
            return "counting the copied files: " + error;
    }
    if (found == written) return "";
    return "counting the copied files: " + std::to_string(written.files) + " files of " +
           std::to_string(written.bytes) + " bytes were written, the copy holds " +
           std::to_string(found.files) + " of " + std::to_string(found.bytes);
}

// The copy takes the owner (where this user may give it) and rights of
// the original: a backup made as root is restored for the server's user.
std::string CopyOwnerAndRights(const std::string& original, const std::string& copy) {
    struct stat info {};
    if (::stat(original.c_str(), &info) != 0 || ::chmod(copy.c_str(), info.st_mode & 07777) != 0)
        return std::string("copying the rights of ") + original + ": " + std::strerror(errno);
    if (::chown(copy.c_str(), info.st_uid, info.st_gid) != 0 && errno != EPERM)
        return std::string("copying the owner of ") + original + ": " + std::strerror(errno);
    return "";
}

// Everything of the copy goes to the disk before its folder takes its name.
std::string Finish(const std::string& original, const std::string& copy) {
    const std::string error = CopyOwnerAndRights(original, copy);
    return error.empty() ? SyncFileSystem(copy) : error;
}

// The folder the work was made in goes; the outcome says so.
BackupOutcome Discard(const std::string& temporary, std::string text) {
    if (const std::string why = RemoveTree(temporary); !why.empty())
        text += "; its unfinished copy is left in " + temporary + ": delete it (" + why + ")";
    return Failed(text);
}

std::string MakeTemporary(const std::string& pattern, std::string& made) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr)
        return "making " + pattern + ": " + std::strerror(errno);
    made = name.data();
    return "";
}

std::string JoinedPrograms(const std::vector<std::string>& programs) {
    std::string text;
    for (const std::string& program : programs) text += (text.empty() ? "" : ", ") + program;
    return text;
}

std::string Holders(const std::string& systemDir) {
    const std::vector<std::string> programs = ProgramsHoldingSystem(systemDir);
    if (programs.empty()) return "";
    return "restore refused: " + JoinedPrograms(programs) +
           (programs.size() > 1 ? " have " : " has ") + systemDir +
           " open: stop it, and every program that has this system open on other machines, "
           "then restore again; nothing was changed";
}

}  // namespace

BackupOutcome BackUpSystem(const std::string& systemDir, const std::string& given,
                           std::time_t now) {
    std::string root = given;
    while (root.size() > 1 && root.ends_with('/')) root.pop_back();
    if (!IsFile(systemDir + "/system.db"))
        return Refused("--backup", systemDir, "give a system's folder, one holding system.db");
    const fs::path system = Absolute(systemDir);
    if (Inside(Absolute(root), system)) {
        return Refused("--to", root,
                       "give a folder outside the system's: a backup inside it would be in "
                       "the next backup and lost with the system");
    }
    std::error_code made;
    fs::create_directories(root, made);
    if (made) return Failed("backup failed making " + root + ": " + made.message());
    std::string temporary;
    const std::string dated = DatedName(now);
    if (const std::string error = MakeTemporary(root + "/.unfinished-" + dated + "-XXXXXX",
                                                temporary);
        !error.empty())
        return Failed("backup failed " + error);
    const std::string nothing = "nothing was kept in " + root;
    std::string error = CopyDatabase(system.string() + "/system.db", temporary + "/system.db");
    if (error.empty()) error = CheckDatabase(temporary + "/system.db", true);
    if (error.empty())
        error = CopyOwnerAndRights(system / "system.db", temporary + "/system.db");
    CopyTally tally;
    std::vector<std::string> copied;
    for (const char* name : kKeptFolders) {
        struct stat info {};
        if (!error.empty() || (::lstat((system / name).c_str(), &info) != 0 && errno == ENOENT))
            continue;
        error = CopyEntry(system / name, temporary + "/" + name, name, tally);
        copied.push_back(name);
    }
    if (error.empty()) error = CheckCount(temporary, copied, tally);
    if (error.empty()) error = Finish(system, temporary);
    std::string placed;
    if (error.empty()) error = PlaceUnderFreeName(temporary, root + "/" + dated, placed);
    if (!error.empty()) return Discard(temporary, "backup failed " + error + "; " + nothing);
    if (error = SyncFolder(root); !error.empty())
        return Discard(placed, "backup failed " + error + "; " + nothing);
    return {BackupOutcome::Kind::kDone, "", "",
            "backup " + placed + " made: system.db checked sound, " +
                std::to_string(tally.files) + " files of " + std::to_string(tally.bytes) +
                " bytes copied"};
}

BackupOutcome RestoreSystem(const std::string& backup, const std::string& systemDir,
                            std::time_t now) {
    if (!IsFile(backup + "/system.db"))
        return Refused("--restore", backup,
                       "give a backup's folder, one holding system.db (made by --backup)");
    const fs::path source = Absolute(backup), target = Absolute(systemDir);
    struct stat info {};
    const bool replacing = ::lstat(target.c_str(), &info) == 0;
    if (replacing && !IsFile(target / "system.db")) {
        return Refused("--to", systemDir,
                       "give the folder of the system to replace (holding system.db), or a "
                       "name not taken yet; move what is there aside first");
    }
    if (Inside(target, source) || Inside(source, target))
        return Refused("--to", systemDir, "give a folder neither inside the backup nor holding it");
    if (replacing) {
        if (const std::string held = Holders(target); !held.empty())
            return Failed(held);
    }
    std::string temporary;
    const std::string pattern =
        (target.parent_path() / ("." + target.filename().string() + ".restoring-XXXXXX")).string();
    if (const std::string error = MakeTemporary(pattern, temporary); !error.empty())
        return Failed("restore failed " + error + "; nothing was changed");
    const std::string unchanged = systemDir + " is as it was";
    // Everything of the backup but what belongs to a program that had it
    // open (the shared memory of its log) and what is made again.
    CopyTally tally;
    std::vector<std::string> copied;
    std::string error;
    std::error_code listed;
    for (fs::directory_iterator entry(source, listed), end; !listed && error.empty() && entry != end;
         entry.increment(listed)) {
        const std::string name = entry->path().filename();
        if (name == "system.db-shm" || name == "cache") continue;
        error = CopyEntry(entry->path(), temporary + "/" + name, name, tally);
        copied.push_back(name);
    }
    if (error.empty() && listed) error = "reading " + backup + ": " + listed.message();
    // Counted before the check, whose open folds a log copied with it in.
    if (error.empty()) error = CheckCount(temporary, copied, tally);
    if (error.empty()) error = CheckDatabase(temporary + "/system.db", false);
    if (error.empty()) error = Finish(source, temporary);
    if (!error.empty()) return Discard(temporary, "restore failed " + error + "; " + unchanged);
    // Asked again: a program may have started while the copy was made.
    if (const std::string held = replacing ? Holders(target) : ""; !held.empty())
        return Discard(temporary, held);
    std::string aside;
    if (replacing)
        error = PlaceUnderFreeName(target, target.string() + ".old-" + DatedName(now), aside);
    if (!error.empty()) return Discard(temporary, "restore failed " + error + "; " + unchanged);
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        error = "restore failed putting the copy in place: " + std::string(std::strerror(errno));
        const bool back = aside.empty() || ::rename(aside.c_str(), target.c_str()) == 0;
        return Discard(temporary, error + "; " +
                                      (back ? unchanged
                                            : "the system it replaced is in " + aside +
                                                  ": move it back to " + target.string()));
    }
    if (error = SyncFolder(target.parent_path()); !error.empty())
        return Failed("restore failed " + error + " after it was put in place");
    return {BackupOutcome::Kind::kDone, "", "",
            "restored " + backup + " into " + systemDir +
                (aside.empty() ? std::string(" (nothing was there before)")
                               : "; the system it replaced is now " + aside +
                                     " (delete it once it is no longer needed)")};
}

}  // namespace docserver
