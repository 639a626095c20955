#pragma once
// A file system of 64 KB for one test, mounted on a fresh folder, that a
// test fills to see how writers meet a full disk. Mounting needs root: where
// the system refuses it, Mounted() is false and Refusal() tells why.

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "support/scoped_env.h"

namespace testsupport {

class SmallDisk {
  public:
    SmallDisk() {
        if (::mount("tmpfs", dir_.Path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0)
            refusal_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (Mounted()) ::umount2(dir_.Path().c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return refusal_.empty(); }
    const std::string& Refusal() const { return refusal_; }
    const std::string& Path() const { return dir_.Path(); }

    // Takes all the space that is left but `spare` bytes (whole 4 KB pages).
    void Fill(std::size_t spare) {
        const std::string filler = Path() + "/filler-" + std::to_string(++fills_);
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) return;
        const std::string block(4096, 'x');
        off_t size = 0;
        for (ssize_t n; (n = ::write(fd, block.data(), block.size())) > 0;) size += n;
        const int cut = ::ftruncate(fd, size > static_cast<off_t>(spare) ? size - spare : 0);
        static_cast<void>(cut);
        ::close(fd);
    }

  private:
    ScopedTempDir dir_;
    std::string refusal_;
    int fills_ = 0;
};

}  // namespace testsupport
