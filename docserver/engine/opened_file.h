#pragma once
// system.db as a process opened it, held open for as long as it is used,
// and told apart from whatever its path names now. Held open, it keeps its
// inode in the kernel: a FUSE mount whose inode numbers are its daemon's
// own (sshfs; a passthrough mounted without use_ino) numbers a file anew
// each time the kernel drops it, which would read as another file.

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>

struct sqlite3;

namespace docserver {

class OpenedFile {
  public:
    enum class Found {
        kSame,       // the path names the file opened
        kGone,       // deleted, moved away, or another file is there
        kUnchecked,  // the path could not be looked up
    };

    OpenedFile() = default;
    ~OpenedFile();
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;

    // False, with why, when the file cannot be opened or looked up.
    bool Open(const std::string& path, std::string& error);
    bool Held() const { return held_ != nullptr; }
    // What the path names now; a failed lookup's reason in why.
    Found Check(std::string* why = nullptr) const;
    std::uint64_t Device() const { return device_; }

    // How paths are looked up: 0 and the file's status, or the errno value.
    // Tests play file systems that renumber files or fail lookups; an empty
    // function restores stat(2).
    using PathStat = std::function<int(const std::string& path, struct stat& info)>;
    static void SetPathStat(PathStat stat);

  private:
    std::string path_;
    // A read-only connection that never reads: it takes no lock. Closed
    // through SQLite, which keeps the descriptor while another connection of
    // the process holds a lock on the file; closing one directly would drop
    // those locks.
    sqlite3* held_ = nullptr;
    std::uint64_t device_ = 0, inode_ = 0;
};

}  // namespace docserver
