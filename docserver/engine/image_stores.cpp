#include "image_stores.h"

#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <random>
#include <set>

#include "engine_text.h"
#include "lock_holders.h"
#include "path_confine.h"
#include "transaction.h"

namespace docserver {
namespace {

constexpr const char* kUnderWay = "another store of the page is under way";
// A statement's own wait for a lock (system_db.cpp).
constexpr auto kStoreWait = std::chrono::milliseconds(5000);

std::atomic<int (*)(const char*, const char*)> linkSeam{nullptr};
std::atomic<void (*)(StoreStep)> stepSeam{nullptr};
std::atomic<std::int64_t (*)()> clockSeam{nullptr};

std::int64_t SteadySeconds() {
    if (auto clock = clockSeam.load()) return clock();
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
std::atomic<unsigned> recordsLeft{0};

// The record of the store with the token goes; counted as left when it
// cannot.
void DropRecord(SystemDb& db, const std::string& relative, const std::string& token, int waitMs) {
    try {
        LockWaitLimit wait(waitMs);
        Statement drop(db, "DELETE FROM image_stores WHERE path = ? AND token = ?");
        if (drop.Bind(1, relative).Bind(2, token).Run()) return;
    } catch (const std::exception&) {
    }
    ++recordsLeft;
}

// The tokens of the stores this process is making: a record of this
// process whose token is not among them is a leftover. Never destroyed: a
// thread may still end a store while the process exits.
std::mutex& LiveMutex() {
    static std::mutex& mutex = *new std::mutex;
    return mutex;
}
std::set<std::string>& LiveTokens() {
    static std::set<std::string>& tokens = *new std::set<std::string>;
    return tokens;
}
bool LiveHere(const std::string& token) {
    std::lock_guard<std::mutex> lock(LiveMutex());
    return LiveTokens().count(token) != 0;
}

// The pid, for whoever looks at the files, and 64 random bits.
std::string NewToken() {
    std::random_device random;
    char text[40];
    std::snprintf(text, sizeof text, "%ld.%08x%08x", static_cast<long>(::getpid()),
                  static_cast<unsigned>(random()), static_cast<unsigned>(random()));
    return text;
}

// A token names files beside the page's: nothing but digits, letters a to
// f and dots from a record is trusted to.
bool ValidToken(const std::string& token) {
    if (token.empty() || token.size() > 32 || token[0] == '.') return false;
    for (char c : token)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == '.')) return false;
    return true;
}

// A store cut off before its commit undone. Its copy of the old file goes
// back where the path holds the file it placed (known to its own process;
// to others, by the identity recorded), or nothing (moved aside where links
// are missing, never placed); where the path holds another file, a later
// store's, the copy is stale. Undone twice, it finds nothing more to do.
void UndoStore(const std::string& full, const StoreFiles& files, const std::string& placed,
               bool placedHere = false) {
    const std::string now = FileIdentity(full);
    const bool ours = placedHere || (!placed.empty() && now == placed);
    if (!FileIdentity(files.aside).empty()) {
        if (now.empty() || ours) {
            ::rename(files.aside.c_str(), full.c_str());
        } else {
            ::unlink(files.aside.c_str());
        }
    } else if (ours) {
        ::unlink(full.c_str());
    }
    ::unlink(files.part.c_str());
}

struct StoreRow {
    std::string path, token, placed, owner, started;
    bool committed = false;
};

// When this process first saw each claim of another, on its own steady
// clock: a claim is timed from there as well as from the start it records,
// so one dated ahead by its machine's clock is held no longer than one
// dated now. Never destroyed, as LiveTokens.
std::map<std::string, std::int64_t>& FirstSeen() {
    static std::map<std::string, std::int64_t>& seen = *new std::map<std::string, std::int64_t>;
    return seen;
}

std::int64_t SeenFor(const StoreRow& row) {
    const std::int64_t now = SteadySeconds();
    std::lock_guard<std::mutex> lock(LiveMutex());
    auto& seen = FirstSeen();
    // Claims dropped by other processes are forgotten once surely over.
    if (seen.size() > 256)
        std::erase_if(seen,
                      [now](const auto& entry) { return now - entry.second > 2 * kClaimSeconds; });
    const auto at = seen.emplace(row.path + '\n' + row.token, now).first;
    return now - at->second;
}

bool Lives(const StoreRow& row, std::int64_t now) {
    if (row.committed) return false;
    if (row.owner == ProcessIdentity()) return LiveHere(row.token);
    // Of this machine its pid tells; of another, a store gives up within
    // kStoreSeconds, so past kClaimSeconds by either count it is gone.
    if (HolderGone({row.owner, 0, row.started, kClaimSeconds}, now)) return false;
    return SeenFor(row) <= kClaimSeconds;
}

}  // namespace

StoreFiles FilesOfStore(const std::string& full, const std::string& token) {
    return {full + "." + token + ".part", full + "." + token + ".old"};
}

std::string FileIdentity(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return "";
    char text[96];
    // No device: a machine of its own numbers the shared folder's.
    std::snprintf(text, sizeof text, "%llu:%lld:%lld.%09ld",
                  static_cast<unsigned long long>(info.st_ino),
                  static_cast<long long>(info.st_size), static_cast<long long>(info.st_mtim.tv_sec),
                  info.st_mtim.tv_nsec);
    return text;
}

void SetStoreSeams(const StoreSeams& seams) {
    linkSeam = seams.link;
    stepSeam = seams.reached;
    clockSeam = seams.steadySeconds;
}

void StoreReached(StoreStep step) {
    if (auto reached = stepSeam.load()) reached(step);
}

bool SettleStores(SystemDb& db, const std::string& systemDir, const std::string& relative,
                  std::vector<std::string>& undone) {
    std::vector<StoreRow> rows;
    {
        Statement s(db, relative.empty() ? "SELECT path, token, placed, committed, owner, started "
                                           "FROM image_stores"
                                         : "SELECT path, token, placed, committed, owner, started "
                                           "FROM image_stores WHERE path = ? OR owner = ?");
        if (!relative.empty()) s.Bind(1, relative).Bind(2, ProcessIdentity());
        while (s.Row())
            rows.push_back({s.Text(0), s.Text(1), s.Text(2), s.Text(4), s.Text(5), s.Int(3) != 0});
    }
    const std::int64_t now = std::time(nullptr);
    bool blocked = false;
    Statement drop(db, "DELETE FROM image_stores WHERE path = ?");
    for (const StoreRow& row : rows) {
        if (Lives(row, now)) {
            blocked = blocked || row.path == relative;
            continue;
        }
        // Only files a store could have written are touched.
        std::string full;
        if (ConfinePath(systemDir, row.path, full) && LeadsWhereNamed(systemDir, full)) {
            if (ValidToken(row.token)) {
                const StoreFiles files = FilesOfStore(full, row.token);
                if (row.committed) {
                    ::unlink(files.aside.c_str());
                    ::unlink(files.part.c_str());
                } else {
                    UndoStore(full, files, row.placed);
                    undone.push_back(full);
                }
            } else if (row.token.empty() && FileIdentity(full).empty() &&
                       LeadsWhereNamed(systemDir, full + ".old")) {
                // Recorded by a server that kept the old file as ".old" and
                // knew no placed file: put back only where nothing took the
                // path since.
                ::rename((full + ".old").c_str(), full.c_str());
                undone.push_back(full);
            }
        }
        // A row left by a failed delete fails the claim's own insert.
        drop.Reset().Bind(1, row.path).Run();
    }
    return blocked;
}

StoreClaim::StoreClaim(SystemDb& db, std::string systemDir, std::string relative, std::string full)
    : db_(db),
      systemDir_(std::move(systemDir)),
      relative_(std::move(relative)),
      full_(std::move(full)),
      token_(NewToken()),
      files_(FilesOfStore(full_, token_)),
      deadline_(std::chrono::steady_clock::now() + kStoreWait) {
    std::lock_guard<std::mutex> lock(LiveMutex());
    LiveTokens().insert(token_);
}

StoreClaim::~StoreClaim() {
    Abandon();
    std::lock_guard<std::mutex> lock(LiveMutex());
    LiveTokens().erase(token_);
}

int StoreClaim::WaitLeftMs() const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline_ - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool StoreClaim::Claim(std::string& why, std::vector<std::string>& undone) {
    LockWaitLimit wait(WaitLeftMs());
    Transaction transaction(db_);
    if (SettleStores(db_, systemDir_, relative_, undone)) {
        // What was settled on the way stays settled.
        transaction.Commit();
        why = kUnderWay;
        return false;
    }
    // kept is 1 in every row: a server that knew only "<path>.old" puts
    // that back, if there, and never removes the path of a store it undoes.
    Statement add(db_,
                  "INSERT INTO image_stores (path, kept, owner, started, token) "
                  "VALUES (?, 1, ?, ?, ?)");
    if (!add.Bind(1, relative_)
             .Bind(2, ProcessIdentity())
             .Bind(3, NowText())
             .Bind(4, token_)
             .Run()) {
        why = WhyFailed(add);
        return false;
    }
    if (!transaction.Commit()) {
        why = transaction.Error();
        return false;
    }
    claimed_ = true;
    claimedAt_ = SteadySeconds();
    StoreReached(StoreStep::Claimed);
    return true;
}

bool StoreClaim::Written(std::string& why) {
    const std::string identity = FileIdentity(files_.part);
    if (identity.empty()) {
        why = ErrnoReason(ENOENT);
        return false;
    }
    LockWaitLimit wait(WaitLeftMs());
    Transaction transaction(db_);
    Statement set(db_, "UPDATE image_stores SET placed = ? WHERE path = ? AND token = ?");
    if (!set.Bind(1, identity).Bind(2, relative_).Bind(3, token_).Run()) {
        why = WhyFailed(set);
        return false;
    }
    if (sqlite3_changes(db_.Handle()) != 1) {
        why = kUnderWay;
        return false;
    }
    if (!transaction.Commit()) {
        why = transaction.Error();
        return false;
    }
    placed_ = identity;
    StoreReached(StoreStep::Written);
    return true;
}

bool StoreClaim::MarkCommitted(std::string& why) {
    Statement mark(db_,
                   "UPDATE image_stores SET committed = 1 "
                   "WHERE path = ? AND token = ? AND committed = 0");
    if (!mark.Bind(1, relative_).Bind(2, token_).Run()) {
        why = WhyFailed(mark);
        return false;
    }
    if (sqlite3_changes(db_.Handle()) != 1) {
        why = kUnderWay;
        return false;
    }
    return true;
}

bool StoreClaim::KeepOld(std::string& why) {
    auto link = linkSeam.load();
    if (link == nullptr) link = ::link;
    if (link(full_.c_str(), files_.aside.c_str()) == 0 || errno == ENOENT) return true;
    if (::rename(full_.c_str(), files_.aside.c_str()) == 0 || errno == ENOENT) return true;
    why = ErrnoReason(errno);
    return false;
}

bool StoreClaim::InTime(std::string& why) const {
    if (SteadySeconds() - claimedAt_ <= kStoreSeconds) return true;
    why = "the store took too long";
    return false;
}

void StoreClaim::Placed() {
    placedHere_ = true;
    StoreReached(StoreStep::Placed);
}

void StoreClaim::Finished() {
    finished_ = true;
    ::unlink(files_.aside.c_str());
    DropRecord(db_, relative_, token_, WaitLeftMs());
}

void StoreClaim::Abandon() {
    if (!claimed_ || finished_) return;
    finished_ = true;
    UndoStore(full_, files_, placed_, placedHere_);
    DropRecord(db_, relative_, token_, WaitLeftMs());
}

unsigned StoreRecordsLeft() {
    return recordsLeft.load();
}

void StoreRecordsSettled(unsigned seen) {
    recordsLeft.compare_exchange_strong(seen, 0);
}

}  // namespace docserver
