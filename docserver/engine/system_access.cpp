#include "system_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace docserver {
namespace {

std::string Because(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

// Opened as SQLite opens them, so that a read-only mount, an ACL or an
// immutable file answers as it would to the server.
int OpenError(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

}  // namespace

SystemAccess CheckSystemAccess(const std::string& dir) {
    using Kind = SystemAccess::Kind;
    struct stat info {};
    if (::stat(dir.c_str(), &info) != 0) {
        if (errno == ENOENT) return {Kind::kNoSystem, ""};
        return {Kind::kRefused, Because("cannot reach", dir, errno)};
    }
    if (!S_ISDIR(info.st_mode)) return {Kind::kNotFolder, NotAFolderReason(dir)};
    const std::string db = dir + "/system.db";
    if (::stat(db.c_str(), &info) != 0) {
        if (errno == ENOENT) return {Kind::kNoSystem, ""};
        return {Kind::kRefused, Because("cannot reach", db, errno)};
    }
    if (!S_ISREG(info.st_mode)) return {Kind::kRefused, db + " is not a file"};
    if (const int error = OpenError(db); error != 0)
        return {Kind::kRefused, Because(error == EROFS || error == EACCES || error == EPERM
                                            ? "cannot write"
                                            : "cannot open",
                                        db, error)};
    // SQLite makes its journal or log beside the database at the first write.
    if (::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return {Kind::kRefused, Because("cannot make files in", dir, errno)};
    for (const char* side : {"-wal", "-shm", "-journal"}) {
        const std::string file = db + side;
        if (::access(file.c_str(), F_OK) != 0) continue;
        if (const int error = OpenError(file); error != 0)
            return {Kind::kRefused, Because("cannot write", file, error)};
    }
    return {};
}

std::string NotAFolderReason(const std::string& path) {
    std::string name = path;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    const std::size_t slash = name.rfind('/');
    if (name.substr(slash == std::string::npos ? 0 : slash + 1) != "system.db")
        return "is a file, not a folder: give the folder of a system";
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : name.substr(0, slash);
    if (char* real = ::realpath(folder.c_str(), nullptr)) {
        folder = real;
        std::free(real);
    }
    return "is a file, not a folder: give the folder that holds it, " + folder;
}

std::string InitPlaceRefusal(const std::string& dir) {
    struct stat info {};
    if (::stat(dir.c_str(), &info) != 0) {
        if (errno == ENOENT) return "";
        return Because("cannot reach", dir, errno);
    }
    if (!S_ISDIR(info.st_mode)) return dir + " is not a folder";
    if (::stat((dir + "/system.db").c_str(), &info) != 0 && errno != ENOENT)
        return "cannot tell whether " + dir + " holds a system: " +
               Because("cannot reach", dir + "/system.db", errno);
    return "";
}

}  // namespace docserver
