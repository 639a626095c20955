#include "platform/locked_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/user_dirs.h"

namespace platform {
namespace {

std::string DirOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool ReplaceAtomically(const std::string& path, const std::string& content) {
    std::string tmp = path + ".XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0) return false;
    struct stat st{};
    mode_t mode = stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0600;
    fchmod(fd, mode);
    bool ok = WriteAll(fd, content) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) ok = rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) unlink(tmp.c_str());
    return ok;
}

class FileLock {
public:
    explicit FileLock(const std::string& path) {
        fd_ = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            while (flock(fd_, LOCK_EX) != 0) {
                if (errno != EINTR) {
                    close(fd_);
                    fd_ = -1;
                    break;
                }
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) close(fd_);  // closing releases the lock
    }
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return out;
}

bool UpdateFileLocked(
    const std::string& path,
    const std::function<std::optional<std::string>(std::optional<std::string>)>& update) {
    if (!MakeDirs(DirOf(path), 0700)) return false;
    FileLock lock(path);
    if (!lock.Held()) return false;
    std::optional<std::string> current = ReadWholeFile(path);
    struct stat st{};
    if (!current && stat(path.c_str(), &st) == 0) return false;  // there but unreadable: keep it
    std::optional<std::string> next = update(current);
    if (!next) return true;
    return ReplaceAtomically(path, *next);
}

void KeepCorruptCopy(const std::string& path) {
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string target = path + ".corrupt-" + stamp;
    if (link(path.c_str(), target.c_str()) != 0) {
        // A copy of the same second already exists or links are not
        // supported: fall back to copying the bytes.
        if (auto bytes = ReadWholeFile(path)) {
            ReplaceAtomically(target + "-" + std::to_string(getpid()), *bytes);
        }
    }
}

}  // namespace platform
