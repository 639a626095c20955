#pragma once
// A page image store on record (image_stores): claimed before it writes, so
// two stores of one file never meet; its own new file and its copy of the
// old one under names of its own; undone, when cut off, only while the file
// at the page's path is still the one it placed.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "system_db.h"

namespace docserver {

// The files of one store: its new file until it takes the page's path, and
// the old file kept until the commit. Both named after the store's token,
// so no other store ever writes or removes them.
struct StoreFiles {
    std::string part;
    std::string aside;
};
StoreFiles FilesOfStore(const std::string& full, const std::string& token);

// What tells one file from another at a path: inode, size and modification
// time; "" when no regular file is there.
std::string FileIdentity(const std::string& path);

// A store that has not placed its file this long after its claim gives up,
// so a claim of another machine older than kClaimSeconds is surely dead.
// Both are counted on the clock of the machine that counts: a claim's own
// start time, written by another machine's clock, may be off by any amount.
inline constexpr std::int64_t kStoreSeconds = 90;
inline constexpr std::int64_t kClaimSeconds = 120;

// Where a store stands; a test stops it there as a kill would.
enum class StoreStep { Claimed, Written, Kept, Placed, Committed };
// The file system calls a test replaces: link(2), to stand for a file
// system without hard links, a call at each step, and the steady clock in
// seconds that times claims. Null: none, or the real one.
struct StoreSeams {
    int (*link)(const char* from, const char* to) = nullptr;
    void (*reached)(StoreStep step) = nullptr;
    std::int64_t (*steadySeconds)() = nullptr;
};
void SetStoreSeams(const StoreSeams& seams);

// Inside the caller's write transaction: the records that hold nothing any
// more are settled, those of relative ("" for all) and this process's own
// leftovers. A committed store's copies go; a store cut off is undone (its
// old file back where the path still holds the file it placed or none).
// The full paths undone are added to undone. True when a live store of
// relative holds it.
bool SettleStores(SystemDb& db, const std::string& systemDir, const std::string& relative,
                  std::vector<std::string>& undone);

// One store of the file at full (relative to the system directory) from its
// claim to its end. Destroyed before Finished, it undoes what it did and
// drops its record; a record it could not drop is its process's leftover,
// which the process's next store settles.
class StoreClaim {
  public:
    StoreClaim(SystemDb& db, std::string systemDir, std::string relative, std::string full);
    ~StoreClaim();
    StoreClaim(const StoreClaim&) = delete;
    StoreClaim& operator=(const StoreClaim&) = delete;

    // Commits the record before anything is written; false, with why,
    // while another store of the file is under way. Paths undone on the way
    // are added to undone.
    bool Claim(std::string& why, std::vector<std::string>& undone);
    const StoreFiles& Files() const { return files_; }
    // Commits the identity of the written part, which becomes the page's.
    bool Written(std::string& why);
    // Inside the transaction that names the file: the record marked as
    // committed with it; false when this store holds it no more.
    bool MarkCommitted(std::string& why);
    // The file at full kept under Files().aside: a link, or, where the
    // file system has none, the file itself, which the record names already.
    bool KeepOld(std::string& why);
    // Before its file takes the path: false, with why, once the store took
    // longer than kStoreSeconds, when others may judge its claim dead.
    bool InTime(std::string& why) const;
    // Call once Files().part took the path.
    void Placed();
    // After the commit: the old copy and the record go.
    void Finished();
    // Before a failed store tells why: its files undone, its record dropped.
    void Abandon();
    // How long its next step may still wait for a lock: all its steps
    // together wait no longer than one statement would.
    int WaitLeftMs() const;

  private:
    SystemDb& db_;
    std::string systemDir_, relative_, full_, token_;
    StoreFiles files_;
    std::string placed_;
    std::chrono::steady_clock::time_point deadline_;
    std::int64_t claimedAt_ = 0;
    bool claimed_ = false, finished_ = false, placedHere_ = false;
};

// Calls the test's step, if any.
void StoreReached(StoreStep step);

// How many records this process's stores could not drop (a reader held
// the database): a leftover keeps other processes' stores of its page out
// until settled. Settled is given the count seen before the settling.
unsigned StoreRecordsLeft();
void StoreRecordsSettled(unsigned seen);

}  // namespace docserver
