#pragma once
// A small file system for one test (64 KB unless told), to see writers meet
// a full disk. Mounting needs root: where it is refused, Refusal() tells why.

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "support/scoped_env.h"

namespace testsupport {

class SmallDisk : public ScopedTempDir {
  public:
    explicit SmallDisk(const std::string& size = "64k") {
        if (::mount("tmpfs", Path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                    ("size=" + size).c_str()) != 0)
            refusal_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (refusal_.empty()) ::umount2(Path().c_str(), MNT_DETACH);
    }
    const std::string& Refusal() const { return refusal_; }

    // Takes the space left but `spare` bytes (whole 4 KB pages).
    void Fill(off_t spare) {
        const int fd = ::open((Path() + "/filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const std::string block(4096, 'x');
        off_t added = 0;
        for (ssize_t n; (n = ::write(fd, block.data(), block.size())) > 0;) added += n;
        const int cut = ::ftruncate(fd, ::lseek(fd, 0, SEEK_END) - std::min(spare, added));
        static_cast<void>(cut);
        ::close(fd);
    }

  private:
    std::string refusal_;
};

}  // namespace testsupport
