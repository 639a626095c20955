#pragma once
// A file layer over SQLite's that counts the reads the disk failed, per
// thread. SQLite takes a short read of a page for a page of zeros and then
// answers "database disk image is malformed": a disk or FUSE layer that
// fails for a moment would pass for damage. Counted, a read that failed is
// told as the disk's. The layer also ends a whole-file check at its
// deadline: SQLite's integrity walk calls no progress handler between its
// pages, but it reads them, and it stops once interrupted.

#include <chrono>
#include <cstdint>

struct sqlite3;

namespace docserver {

// The name to open with in place of base (nullptr: SQLite's default, looked
// up at each open); registered at first use. nullptr when it cannot be.
const char* ReadWatchedVfs(const char* base);

// Reads the calling thread's connections had failed so far: an error from
// the disk, or fewer bytes than the file holds there.
std::uint64_t ReadFailures();

// While one lives, a read on this thread past the deadline interrupts db.
class ReadDeadline {
  public:
    ReadDeadline(sqlite3* db, std::chrono::steady_clock::time_point deadline);
    ~ReadDeadline();
    ReadDeadline(const ReadDeadline&) = delete;
    ReadDeadline& operator=(const ReadDeadline&) = delete;
};

}  // namespace docserver
