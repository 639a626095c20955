#include "engine/system_holders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <utility>

namespace docserver {
namespace {

namespace fs = std::filesystem;
using FileId = std::pair<dev_t, ino_t>;

std::string ProgramName(const std::string& pid) {
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return (name.empty() ? "a program" : name) + " (pid " + pid + ")";
}

bool HoldsOneOf(const std::string& pid, const std::vector<FileId>& files) {
    const std::string fds = "/proc/" + pid + "/fd";
    DIR* dir = ::opendir(fds.c_str());
    if (dir == nullptr) return false;  // not ours to look into, or gone
    bool holds = false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string fd = fds + "/" + entry->d_name;
        char target[PATH_MAX] = {};
        const ssize_t n = ::readlink(fd.c_str(), target, sizeof target - 1);
        // Only a file of such a name is looked at: a look at another on a
        // network file system that no longer answers would wait for good.
        const std::string name = n > 0 ? fs::path(std::string(target, n)).filename().string() : "";
        if (!name.starts_with("system.db")) continue;
        struct stat info {};
        if (::stat(fd.c_str(), &info) != 0) continue;
        holds = holds || std::ranges::find(files, FileId{info.st_dev, info.st_ino}) != files.end();
    }
    ::closedir(dir);
    return holds;
}

// The pid of a program holding a lock in the byte range, 0 when none does.
pid_t LockHolder(const std::string& path, off_t start, off_t length) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = start;
    probe.l_len = length;
    const bool asked = ::fcntl(fd, F_GETLK, &probe) == 0;
    ::close(fd);
    return asked && probe.l_type != F_UNLCK ? std::max<pid_t>(probe.l_pid, 1) : 0;
}

}  // namespace

std::vector<std::string> ProgramsHoldingSystem(const std::string& dir) {
    const std::string db = dir + "/system.db";
    std::vector<FileId> files;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        struct stat info {};
        if (::stat((db + suffix).c_str(), &info) == 0) files.emplace_back(info.st_dev, info.st_ino);
    }
    std::vector<std::string> programs;
    const std::string self = std::to_string(::getpid());
    if (DIR* proc = ::opendir("/proc")) {
        while (const dirent* entry = ::readdir(proc)) {
            const std::string pid = entry->d_name;
            if (!std::ranges::all_of(pid, ::isdigit) || pid == self) continue;
            if (HoldsOneOf(pid, files)) programs.push_back(ProgramName(pid));
        }
        ::closedir(proc);
    }
    // SQLite's lock bytes: a database file's past its first gigabyte, the
    // WAL index's from byte 120 on.
    for (const auto& [path, start, length] :
         {std::tuple{db, off_t{0x40000000}, off_t{512}}, std::tuple{db + "-shm", off_t{120}, off_t{16}}}) {
        const pid_t holder = LockHolder(path, start, length);
        const std::string named = " (pid " + std::to_string(holder) + ")";
        const bool listed = std::ranges::any_of(
            programs, [&](const std::string& p) { return p.find(named) != std::string::npos; });
        if (holder != 0 && !listed)
            programs.push_back("a program holding a lock on " + path + named +
                               ", perhaps as another user or on another machine");
    }
    return programs;
}

}  // namespace docserver
