#include "engine/folder_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

namespace docserver {
namespace {

std::string Failed(const char* step, const std::string& shown) {
    return std::string(step) + " " + shown + ": " + std::strerror(errno);
}

// Owner, mode and times of the copy as the original's. An owner this user
// may not give (not root) stays its own, as with cp -a.
std::string CopyAttributes(int fd, const std::string& to, const struct stat& info,
                           const std::string& shown) {
    const bool link = S_ISLNK(info.st_mode);
    const int owned = fd >= 0 ? ::fchown(fd, info.st_uid, info.st_gid)
                              : ::lchown(to.c_str(), info.st_uid, info.st_gid);
    if (owned != 0 && errno != EPERM && errno != EINVAL) return Failed("copying the owner of", shown);
    if (!link && (fd >= 0 ? ::fchmod(fd, info.st_mode & 07777)
                          : ::chmod(to.c_str(), info.st_mode & 07777)) != 0)
        return Failed("copying the rights of", shown);
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if ((fd >= 0 ? ::futimens(fd, times)
                 : ::utimensat(AT_FDCWD, to.c_str(), times, link ? AT_SYMLINK_NOFOLLOW : 0)) != 0)
        return Failed("copying the times of", shown);
    return "";
}

std::string CopyFile(const std::string& from, const std::string& to, const struct stat& info,
                     const std::string& shown, CopyTally& tally) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) return errno == ENOENT ? "" : Failed("reading", shown);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const std::string error = Failed("making", shown);
        ::close(in);
        return error;
    }
    thread_local std::vector<char> buffer(1 << 20);
    std::uint64_t copied = 0;
    std::string error;
    while (error.empty()) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = Failed("reading", shown);
        if (n <= 0) break;
        for (ssize_t done = 0; done < n && error.empty();) {
            const ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w == 0) errno = ENOSPC;  // never for a file, but no loop for good
            if (w == 0 || (w < 0 && errno != EINTR)) error = Failed("writing", shown);
            if (w > 0) done += w;
        }
        copied += static_cast<std::uint64_t>(n);
    }
    if (error.empty()) error = CopyAttributes(out, to, info, shown);
    // A network file system may tell a failed write only here.
    if (::close(out) != 0 && error.empty()) error = Failed("writing", shown);
    ::close(in);
    if (error.empty()) {
        ++tally.files;
        tally.bytes += copied;
    }
    return error;
}

// Hands each entry of the open folder but "." and ".." to visit, until one
// fails; closes the folder. The first failure, or the folder's own read's.
std::string EachEntry(DIR* dir, const std::string& shown,
                      const std::function<std::string(const std::string&)>& visit) {
    std::string error;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) error = Failed("reading", shown);
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        error = visit(name);
        if (!error.empty()) break;
    }
    ::closedir(dir);
    return error;
}

std::string CopyFolder(const std::string& from, const std::string& to, const struct stat& info,
                       const std::string& shown, CopyTally& tally) {
    DIR* dir = ::opendir(from.c_str());
    if (dir == nullptr) return errno == ENOENT ? "" : Failed("reading", shown);
    if (::mkdir(to.c_str(), 0700) != 0) {
        const std::string error = Failed("making", shown);
        ::closedir(dir);
        return error;
    }
    const std::string error = EachEntry(dir, shown, [&](const std::string& name) {
        return CopyEntry(from + "/" + name, to + "/" + name, shown + "/" + name, tally);
    });
    // After the content, whose copying changes the folder's time.
    return error.empty() ? CopyAttributes(-1, to, info, shown) : error;
}

}  // namespace

std::string CopyEntry(const std::string& from, const std::string& to, const std::string& shown,
                      CopyTally& tally) {
    struct stat info {};
    if (::lstat(from.c_str(), &info) != 0) return errno == ENOENT ? "" : Failed("reading", shown);
    if (S_ISREG(info.st_mode)) return CopyFile(from, to, info, shown, tally);
    if (S_ISDIR(info.st_mode)) return CopyFolder(from, to, info, shown, tally);
    if (!S_ISLNK(info.st_mode)) return "";  // no pipe or socket belongs to a system
    std::vector<char> target(static_cast<std::size_t>(info.st_size) + 2);
    const ssize_t n = ::readlink(from.c_str(), target.data(), target.size() - 1);
    if (n < 0) return errno == ENOENT ? "" : Failed("reading", shown);
    target[static_cast<std::size_t>(n)] = '\0';
    if (::symlink(target.data(), to.c_str()) != 0) return Failed("making", shown);
    return CopyAttributes(-1, to, info, shown);
}

std::string TallyTree(const std::string& path, CopyTally& tally) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return Failed("reading", path);
    if (S_ISREG(info.st_mode)) {
        ++tally.files;
        tally.bytes += static_cast<std::uint64_t>(info.st_size);
    }
    if (!S_ISDIR(info.st_mode)) return "";
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return Failed("reading", path);
    return EachEntry(dir, path, [&](const std::string& name) {
        return TallyTree(path + "/" + name, tally);
    });
}

std::string RemoveTree(const std::string& path) {
    std::error_code error;
    std::filesystem::remove_all(path, error);
    return error ? error.message() : "";
}

std::string PlaceUnderFreeName(const std::string& from, const std::string& base,
                               std::string& placed) {
    for (int n = 1; n <= 1000; ++n) {
        const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) {
            placed = name;
            return "";
        }
        if (errno == EEXIST || errno == ENOTEMPTY) continue;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return Failed("renaming to", name);
        // A file system that cannot refuse to rename over a name (a network
        // one): the name is taken by making an empty folder, which only
        // one can make, and the rename then replaces that folder.
        if (::mkdir(name.c_str(), 0700) != 0) {
            if (errno == EEXIST) continue;
            return Failed("making", name);
        }
        if (::rename(from.c_str(), name.c_str()) != 0) {
            const std::string error = Failed("renaming to", name);
            ::rmdir(name.c_str());
            return error;
        }
        placed = name;
        return "";
    }
    errno = EEXIST;
    return Failed("finding a free name for", base);
}

std::string DatedName(std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    char name[32] = {};
    std::strftime(name, sizeof name, "%Y-%m-%d-%H%M%S", &local);
    return name;
}

std::string SyncFileSystem(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Failed("opening", path);
    const bool synced = ::syncfs(fd) == 0;
    const std::string error = synced ? "" : Failed("writing to disk", path);
    ::close(fd);
    return error;
}

std::string SyncFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Failed("opening", path);
    // Some file systems cannot sync a folder; the rename is theirs to keep.
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    const std::string error = synced ? "" : Failed("writing to disk", path);
    ::close(fd);
    return error;
}

}  // namespace docserver
