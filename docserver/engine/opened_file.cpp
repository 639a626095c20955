#include "opened_file.h"

#include <sqlite3.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>

#include "engine_text.h"

namespace docserver {
namespace {

std::mutex g_statMutex;
std::shared_ptr<const OpenedFile::PathStat> g_stat;  // under g_statMutex; null: stat(2)
// Whether g_stat may be set: every request looks the file up, and the
// workers would meet at the lock.
std::atomic<bool> g_statPlayed{false};

int LookUp(const std::string& path, struct stat& info) {
    std::shared_ptr<const OpenedFile::PathStat> stat;
    if (g_statPlayed.load(std::memory_order_acquire)) {
        std::lock_guard<std::mutex> lock(g_statMutex);
        stat = g_stat;
    }
    if (stat) return (*stat)(path, info);
    return ::stat(path.c_str(), &info) == 0 ? 0 : errno;
}

}  // namespace

void OpenedFile::SetPathStat(PathStat stat) {
    auto shared = stat ? std::make_shared<const PathStat>(std::move(stat)) : nullptr;
    std::lock_guard<std::mutex> lock(g_statMutex);
    g_stat = std::move(shared);
    if (g_stat) g_statPlayed = true;
}

OpenedFile::~OpenedFile() {
    sqlite3_close(held_);
}

bool OpenedFile::Open(const std::string& path, std::string& error) {
    sqlite3_close(held_);
    held_ = nullptr;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        error = "cannot open " + path + ": " + (db != nullptr ? sqlite3_errmsg(db) : "no memory");
        sqlite3_close(db);
        return false;
    }
    struct stat info {};
    if (const int code = LookUp(path, info); code != 0) {
        error = "cannot look up " + path + ": " + ErrnoReason(code);
        sqlite3_close(db);
        return false;
    }
    path_ = path;
    held_ = db;
    device_ = info.st_dev;
    inode_ = info.st_ino;
    return true;
}

OpenedFile::Found OpenedFile::Check(std::string* why) const {
    struct stat info {};
    const int code = LookUp(path_, info);
    if (code == ENOENT || code == ENOTDIR) return Found::kGone;
    if (code != 0) {
        // A network file system's lookup may fail for a moment: that says
        // nothing of which file is there.
        if (why != nullptr) *why = ErrnoReason(code);
        return Found::kUnchecked;
    }
    return info.st_dev == device_ && info.st_ino == inode_ ? Found::kSame : Found::kGone;
}

}  // namespace docserver
