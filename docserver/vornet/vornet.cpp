// The local-access library: the command engine behind the C entry points
// the client loads at run time.

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/command_engine.h"
#include "engine/concept_job.h"
#include "engine/descriptor_shortage.h"
#include "engine/system_db.h"
#include "imaging/lazy_statics.h"
#include "system_locator.h"

#pragma GCC visibility push(default)
#include "vornet.h"
#pragma GCC visibility pop

namespace {

// Replies a handle keeps; past it the oldest goes.
constexpr std::size_t kKeptReplies = 256;

// What a copy of a reply no longer kept, or never handed out, leaves in the
// buffer: a host that does not look at the copy's result sees why.
constexpr const char* kReplyGone =
    "ERROR: Reply No Longer Kept: a handle keeps each thread's last reply until that thread's "
    "next request on it, at most 256, none once it closes";
constexpr const char* kReplyUnknown = "ERROR: Unknown Message Reference";

// Why a forked child cannot connect: another thread was at work inside
// the system when it forked, so SQLite in the child counts file locks that
// only the parent held, and would find the system locked for good.
constexpr const char* kForkedMidCall =
    "this process was forked while another thread was at work on the system (a call past "
    "5 seconds, or a concept search): SQLite here counts locks only the parent held and "
    "would find the system locked; fork while no call or concept search runs, or connect "
    "in the parent";

struct KeptReply {
    std::string text;
    std::uint64_t thread = 0;  // the one that asked for it
};

struct LocalConnection {
    std::unique_ptr<docserver::CommandEngine> engine;
    docserver::ConnectionState state;
    // Replies by message reference: the oldest first.
    std::map<std::int32_t, KeptReply> replies;
    std::string connectError;  // why the last INET_ConnectLocal failed
};

// What the entry points share. Never destroyed: a host may end with handles
// open, or exit while its other threads are still inside a call.
struct Library {
    // Calls run one at a time: the one in progress is its thread's (owner).
    // Waiters sleep on turn, never spin. The call in progress gives the
    // library back (owner 0) before it takes the gate to wake them.
    std::mutex gate;
    std::condition_variable turn;
    std::atomic<std::uint64_t> owner{0};  // 0: no call runs
    // The call in progress waits for another program's lock: once the
    // process exits it never goes on, so exit does not wait for it.
    std::atomic<bool> parked{false};
    // Set under gate (calls wait for its end); read by a waiting call too.
    std::atomic<bool> forking{false};
    std::atomic<bool> ending{false};  // the process exits: no call runs any more
    // In a forked child: another thread was at work on the system at the
    // fork, so nothing may open it here.
    bool forkedMidCall = false;
    std::map<std::int32_t, LocalConnection> connections;
    std::int32_t nextHandle = 1;
    // The handle of each reply kept.
    std::unordered_map<std::int32_t, std::int32_t> replyHandles;
    std::int32_t nextReference = 1;
    bool referencesWrapped = false;
    // One count of failed logins per system for the whole process: a new
    // handle must not be a fresh set of guesses.
    std::map<std::string, std::shared_ptr<docserver::LoginThrottle>> throttles;
    // In a forked child, the parent's engines, never closed nor used.
    std::vector<docserver::CommandEngine*> parents;
};

void BeforeFork();
void AfterForkInParent();
void AfterForkInChild();
bool PauseForLock(int milliseconds);

Library& Lib() {
    static Library* const library = [] {
        auto* made = new Library;
        pthread_atfork(BeforeFork, AfterForkInParent, AfterForkInChild);
        docserver::SetLockWaitPause(PauseForLock);
        return made;
    }();
    return *library;
}

// The calling thread, by a number never given to another: thread ids are
// reused once a thread ends.
std::uint64_t Me() {
    static std::atomic<std::uint64_t> next{1};
    // In the static TLS block: the block a library loaded later would get
    // otherwise is handed out lazily, which leak checkers read wrongly.
    thread_local std::uint64_t mine __attribute__((tls_model("initial-exec"))) = 0;
    if (mine == 0) mine = next++;
    return mine;
}

// A call holds the library for its whole length; none runs once the
// process exits, nor waits for the library then.
class Call {
  public:
    Call() {
        Library& library = Lib();
        if (library.ending) return;
        const std::uint64_t me = Me();
        // From a signal handler inside this thread's own call: it would
        // wait for itself. Asked before the gate, which the call may hold.
        if (library.owner == me) return;
        std::unique_lock<std::mutex> lock(library.gate);
        library.turn.wait(
            lock, [&] { return library.ending || (library.owner == 0 && !library.forking); });
        if (library.ending) return;
        // Owned before ending is read again (Refused): exit either sees
        // this call or the call sees exit.
        library.owner = me;
        mine_ = true;
    }
    ~Call() {
        if (!mine_) return;
        Library& library = Lib();
        // Given back before the gate is taken: an exit from a signal handler
        // on a thread that holds the gate sees the call end all the same.
        library.parked = false;
        library.owner = 0;
        // A waiter between its look and its sleep holds the gate.
        { const std::lock_guard<std::mutex> lock(library.gate); }
        library.turn.notify_all();
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    bool Refused() const { return !mine_ || Lib().ending.load(); }

  private:
    bool mine_ = false;
};

// Each step of a call's wait for another program's lock. A fork ends the
// wait (the call answers busy and lets its locks go), so that the child
// inherits no SQLite lock state without the locks; once the process exits
// the wait never goes on. Atomics only: the gate may be held by a thread a
// signal handler's exit interrupted.
bool PauseForLock(int milliseconds) {
    Library& library = Lib();
    const bool mine = library.owner == Me();
    if (mine && library.forking) return false;
    if (mine) library.parked = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    if (!mine) return true;
    // Unparked before ending is read: exit either waits for this call or
    // the call sees exit.
    library.parked = false;
    if (library.ending) {
        library.parked = true;
        for (;;) ::pause();
    }
    return !library.forking;
}

LocalConnection* Find(std::int32_t handle) {
    auto it = Lib().connections.find(handle);
    return it == Lib().connections.end() ? nullptr : &it->second;
}

void DropReplies(LocalConnection& c) {
    for (const auto& kept : c.replies) Lib().replyHandles.erase(kept.first);
    c.replies.clear();
}

// A fresh reference for the reply. The calling thread's previous reply on
// the handle goes; past the limit, the handle's oldest.
std::int32_t KeepReply(std::int32_t handle, LocalConnection& c, std::string reply) {
    Library& library = Lib();
    const std::uint64_t me = Me();
    for (auto it = c.replies.begin(); it != c.replies.end(); ++it) {
        if (it->second.thread != me) continue;
        library.replyHandles.erase(it->first);
        c.replies.erase(it);
        break;
    }
    std::int32_t reference = library.nextReference;
    while (reference <= 0 || library.replyHandles.count(reference) != 0)
        reference = reference <= 0 ? 1 : reference + 1;
    if (reference == INT32_MAX) library.referencesWrapped = true;
    library.nextReference = reference == INT32_MAX ? 1 : reference + 1;
    c.replies.emplace(reference, KeptReply{std::move(reply), me});
    library.replyHandles.emplace(reference, handle);
    while (c.replies.size() > kKeptReplies) {
        library.replyHandles.erase(c.replies.begin()->first);
        c.replies.erase(c.replies.begin());
    }
    return reference;
}

// How long exit, or a fork, waits for a call in progress that computes.
constexpr auto kCallWait = std::chrono::seconds(5);

// The engines are left open at exit: their commits are on disk, a write in
// progress is rolled back by the next opener, and closing one here would
// pull SQLite's files from under a thread still inside a call. Exit lets no
// call begin, then waits a while for the one in progress, so that it ends
// before the statics it uses go; not for a call of its own thread (a signal
// handler's exit), which cannot end, nor for one waiting on a lock, which
// never goes on. It may run in a signal handler that interrupted any of the
// library's code: atomics and sleeps only, no lock, no wake-up of waiters
// (a broadcast on the condition variable the handler interrupted hangs).
// Callers asleep on the gate are woken as the call in progress ends.
// An exit on a thread inside its own call comes from a signal handler that
// interrupted the call, which may hold the allocator's, Qt's or SQLite's
// locks: the handlers and destructors still to run would wait for them for
// good, so the process ends here with the status exit was given.
void EndOfProcess(int status, void*) {
    Library& library = Lib();
    library.ending = true;
    const std::uint64_t me = Me();
    if (library.owner == me) ::_exit(status);
    const auto until = std::chrono::steady_clock::now() + kCallWait;
    for (;;) {
        const std::uint64_t owner = library.owner;
        if (owner == 0 || owner == me || library.parked ||
            std::chrono::steady_clock::now() >= until)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The child gets no call half done, nor a connection half given back by a
// thread that ends: SQLite's and the engine's locks are free, and SQLite
// counts no file lock of the process's. A call waiting for
// another program's lock gives up its wait at once and ends.
void BeforeFork() {
    Library& library = Lib();
    std::unique_lock<std::mutex> lock(library.gate);
    library.forking = true;
    const std::uint64_t me = Me();
    library.turn.wait_for(lock, kCallWait,
                          [&] { return library.owner == 0 || library.owner == me; });
    lock.release();  // held until the fork is done
    docserver::ThreadEndLock().lock();
}

void AfterForkInParent() {
    Library& library = Lib();
    docserver::ThreadEndLock().unlock();
    library.forking = false;
    library.gate.unlock();
    library.turn.notify_all();
}

// The parent's connections are its own: SQLite's locks are not inherited,
// and closing one here would checkpoint or delete files under the parent.
// Their engines are let go unclosed (their threads are not in the child).
// A call still at work past the fork's wait, or a concept search, left
// SQLite counting locks the child does not hold: the child opens nothing.
void AfterForkInChild() {
    Library& library = Lib();
    docserver::ThreadEndLock().unlock();
    // The parent's other threads waited on it; they are not here.
    new (&library.turn) std::condition_variable;
    library.forking = false;
    const std::uint64_t owner = library.owner;
    if (owner != Me()) {
        if (owner != 0 || docserver::ConceptSearchesRunning() > 0) library.forkedMidCall = true;
        library.owner = 0;
        library.parked = false;
    }
    library.gate.unlock();
    for (auto& [handle, c] : library.connections) {
        if (c.engine) library.parents.push_back(c.engine.release());
        DropReplies(c);
    }
}

// Qt's image statics are made before the exit handler is registered, so they
// outlive it. They are made on the calling thread: Qt takes the first thread
// that makes one of its objects for its main thread, and a thread of the
// library's own would be taken so (and would keep a process whose main
// thread ended alive).
void MakeLazyStaticsOnce() {
    static std::once_flag once;
    std::call_once(once, [] { docserver::imaging::MakeLazyStatics(); });
}

// Registered once an engine has opened, after MakeLazyStaticsOnce: handlers
// run in the reverse order, so this runs before the statics that opening
// made are destroyed.
void WatchExit() {
    static std::once_flag once;
    std::call_once(once, [] { ::on_exit(EndOfProcess, nullptr); });
}

}  // namespace

std::int32_t INET_AllocateConnectionHndl() {
    Call call;
    if (call.Refused()) return 0;
    Library& library = Lib();
    std::int32_t handle = library.nextHandle++;
    if (library.nextHandle <= 0) library.nextHandle = 1;
    library.connections[handle];
    return handle;
}

std::int32_t INET_ConnectLocal(std::int32_t mode, std::int32_t handle) {
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(handle);
    if (c == nullptr) return -1;
    if (Lib().forkedMidCall) {
        c->connectError = kForkedMidCall;
        return -3;
    }
    MakeLazyStaticsOnce();
    std::string dir = vornet::LocateSystemDir(mode == 1 ? 1 : 2);
    if (dir.empty()) {
        const std::string shortage = docserver::DescriptorShortage();
        c->connectError = shortage.empty()
                              ? "no system directory is configured for this access mode"
                              : shortage + ": the setting that names the system directory "
                                           "cannot be read";
        return -2;
    }
    std::string error;
    c->engine = docserver::CommandEngine::Open(dir, error);
    if (!c->engine) {
        const std::string shortage = docserver::DescriptorShortage();
        if (!shortage.empty() && error.find(shortage) == std::string::npos)
            error = shortage + " (" + error + ")";
        c->connectError = "cannot open the system in " + dir + ": " + error;
        return -3;
    }
    WatchExit();
    c->connectError.clear();
    std::shared_ptr<docserver::LoginThrottle>& throttle = Lib().throttles[dir];
    if (throttle)
        c->engine->ShareLoginThrottle(throttle);
    else
        throttle = c->engine->SharedThrottle();
    c->state = docserver::ConnectionState{};
    c->state.session = docserver::SessionName("local:" + std::to_string(handle));
    c->state.address = "local";
    c->state.local = true;
    return 0;
}

std::int32_t INET_ConnectError(std::int32_t handle, char* buffer, std::int32_t length) {
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(handle);
    if (c == nullptr) return -1;
    if (buffer != nullptr && length > 0)
        std::memcpy(buffer, c->connectError.data(),
                    std::min(c->connectError.size(), static_cast<std::size_t>(length)));
    return static_cast<std::int32_t>(c->connectError.size());
}

std::int32_t INET_ProcessCommand(std::int32_t handle, const char* command,
                                 std::int32_t commandLength, std::int32_t* messageRef,
                                 std::int32_t* messageLength) {
    if (messageRef != nullptr) *messageRef = 0;
    if (messageLength != nullptr) *messageLength = 0;
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(handle);
    if (c == nullptr || !c->engine || command == nullptr || commandLength < 0) return -1;
    std::string reply =
        c->engine->Execute(c->state, std::string(command, static_cast<std::size_t>(commandLength)));
    if (c->state.ended) {
        // Its user's password changed: the connection ends as a socket
        // closed by the server, with no reply, and the client opens it again.
        // A login refused there cannot tell a user disabled or removed, so
        // those are told in the reply, which is then the last on the handle.
        const bool told = c->state.disabled || c->state.removed;
        // The viewer opens the handle again and pages its lists on.
        c->engine->EndConnection(c->state, !told);
        c->engine.reset();
        if (!told) return -1;
    }
    if (messageLength != nullptr) *messageLength = static_cast<std::int32_t>(reply.size());
    if (!reply.empty() && messageRef != nullptr)
        *messageRef = KeepReply(handle, *c, std::move(reply));
    return 0;
}

std::int32_t INET_CopyMsgData(std::int32_t messageRef, char* buffer, std::int32_t length,
                              std::int32_t) {
    Call call;
    if (call.Refused()) return -1;
    if (buffer == nullptr || length < 0) return -1;
    Library& library = Lib();
    const auto owner = library.replyHandles.find(messageRef);
    LocalConnection* c = owner == library.replyHandles.end() ? nullptr : Find(owner->second);
    const KeptReply* kept = nullptr;
    if (c != nullptr)
        if (const auto it = c->replies.find(messageRef); it != c->replies.end()) kept = &it->second;
    if (kept == nullptr) {
        const bool handedOut =
            messageRef > 0 && (library.referencesWrapped || messageRef < library.nextReference);
        const std::string why = handedOut ? kReplyGone : kReplyUnknown;
        std::memcpy(buffer, why.data(), std::min(static_cast<std::size_t>(length), why.size()));
        return -1;
    }
    const std::string& reply = kept->text;
    const std::size_t n = std::min(static_cast<std::size_t>(length), reply.size());
    std::memcpy(buffer, reply.data(), n);
    return static_cast<std::int32_t>(n);
}

std::int32_t INET_CloseConnection(std::int32_t handle) {
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(handle);
    if (c == nullptr) return -1;
    if (c->engine) c->engine->EndConnection(c->state);
    c->engine.reset();
    DropReplies(*c);
    return 0;
}

std::int32_t INET_FreeConnectionHndl(std::int32_t handle) {
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(handle);
    if (c == nullptr) return -1;
    if (c->engine) c->engine->EndConnection(c->state);
    DropReplies(*c);
    Lib().connections.erase(handle);
    return 0;
}

std::int32_t INET_ValidateConnection(std::int32_t handle) {
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(handle);
    return (c != nullptr && c->engine) ? 0 : -1;
}
