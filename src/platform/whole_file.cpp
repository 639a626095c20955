#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/text_codec.h"

namespace platform {

bool WholeFile::Create(const std::string& wanted, std::string& reason, bool makeFolder) {
    const QFileInfo info(ToQString(wanted));
    folder_ = QFile::encodeName(info.absolutePath()).toStdString();
    wanted_ = QFile::encodeName(info.absoluteFilePath()).toStdString();
    std::error_code ec;
    if (makeFolder) std::filesystem::create_directories(folder_, ec);
    if (ec) {
        reason = "the folder " + FromQString(info.absolutePath()) +
                 " cannot be made: " + ec.message();
        return false;
    }
    const std::string stem = folder_ + "/." + QFile::encodeName(info.fileName()).toStdString();
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string candidate = stem + "." + std::to_string(::getpid()) + "-" +
                                      std::to_string(++serial) + ".part";
        fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temp_ = candidate;
            return true;
        }
        if (errno != EEXIST) {
            reason = std::strerror(errno);
            return false;
        }
    }
    reason = "no temporary file can be made beside it";
    return false;
}

bool WholeFile::Append(const unsigned char* data, unsigned int length) {
    return Append(std::string_view(reinterpret_cast<const char*>(data), length));
}

bool WholeFile::Append(std::string_view data) {
    if (!error_.empty()) return false;
    buffer_.append(data);
    return buffer_.size() < kHeld || Drain();
}

bool WholeFile::Drain() {
    if (!error_.empty()) return false;
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Refused(n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return true;
}

bool WholeFile::Commit(bool replace, std::string& written) {
    if (!Drain()) return false;
    // A file replaced keeps who may read it: a private list or print must not
    // come back readable by everyone.
    struct stat old {};
    if (replace && ::stat(wanted_.c_str(), &old) == 0 && ::fchmod(fd_, old.st_mode & 07777) != 0)
        return Refused(errno);
    if (::fsync(fd_) != 0) return Refused(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Refused(errno);
    if (replace) {
        if (std::rename(temp_.c_str(), wanted_.c_str()) != 0) return Refused(errno);
        written = wanted_;
    } else if (!LinkFree(written)) {
        return false;
    }
    temp_.clear();
    // The new name is on disk only once its folder is.
    const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void WholeFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool WholeFile::Refused(int error) {
    if (error_.empty()) error_ = std::strerror(error);
    return false;
}

bool WholeFile::LinkFree(std::string& written) {
    const std::size_t dot = wanted_.rfind('.');
    const bool hasSuffix = dot != std::string::npos && dot > folder_.size() + 1;
    const std::string base = hasSuffix ? wanted_.substr(0, dot) : wanted_;
    const std::string suffix = hasSuffix ? wanted_.substr(dot) : std::string();
    for (int n = 1; n < 10000; ++n) {
        const std::string candidate = n == 1 ? wanted_ : base + "-" + std::to_string(n) + suffix;
        if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) ==
            0) {
            written = candidate;
            return true;
        }
        if (errno == EEXIST) continue;
        if (errno != EINVAL && errno != ENOSYS) return Refused(errno);
        // A file system that cannot rename without replacing can link.
        if (::link(temp_.c_str(), candidate.c_str()) == 0) {
            ::unlink(temp_.c_str());
            written = candidate;
            return true;
        }
        if (errno != EEXIST) return Refused(errno);
    }
    error_ = "no free file name is left beside it";
    return false;
}

}  // namespace platform
