// The local-access library: the command engine behind the C entry points
// the client loads at run time.

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/command_engine.h"
#include "engine/descriptor_shortage.h"
#include "imaging/lazy_statics.h"
#include "system_locator.h"

#pragma GCC visibility push(default)
#include "vornet.h"
#pragma GCC visibility pop

namespace {

// Replies a handle keeps uncopied; past it the oldest goes.
constexpr std::size_t kKeptReplies = 256;

struct LocalConnection {
    std::unique_ptr<docserver::CommandEngine> engine;
    docserver::ConnectionState state;
    // Replies not copied yet, by message reference: the oldest first.
    std::map<std::int32_t, std::string> replies;
    std::string connectError;  // why the last INET_ConnectLocal failed
};

// What the entry points share. Never destroyed: a host may end with handles
// open, or exit while its other threads are still inside a call.
struct Library {
    std::timed_mutex mutex;
    std::map<std::int32_t, LocalConnection> connections;
    std::int32_t nextHandle = 1;
    // The handle of each reply not copied yet.
    std::unordered_map<std::int32_t, std::int32_t> replyHandles;
    std::int32_t nextReference = 1;
    // One count of failed logins per system for the whole process: a new
    // handle must not be a fresh set of guesses.
    std::map<std::string, std::shared_ptr<docserver::LoginThrottle>> throttles;
    std::atomic<bool> ending{false};  // the process exits: no call runs any more
    std::atomic<bool> forking{false};  // a fork waits for the call in progress
    bool heldForFork = false;
    // In a forked child, the parent's engines, never closed nor used.
    std::vector<docserver::CommandEngine*> parents;
};

void BeforeFork();
void AfterForkInParent();
void AfterForkInChild();

Library& Lib() {
    static Library* const library = [] {
        auto* made = new Library;
        pthread_atfork(BeforeFork, AfterForkInParent, AfterForkInChild);
        return made;
    }();
    return *library;
}

// A call holds the library for its whole length; none runs once the
// process exits, nor waits for the library then.
class Call {
  public:
    Call() : lock_(Lib().mutex, std::defer_lock) {
        // The lock lets no waiter in first: a fork waiting for it goes ahead.
        while (Lib().forking.load()) std::this_thread::yield();
        if (!Lib().ending) lock_.lock();
    }
    bool Refused() const { return !lock_.owns_lock() || Lib().ending.load(); }

  private:
    std::unique_lock<std::timed_mutex> lock_;
};

LocalConnection* Find(std::int32_t handle) {
    auto it = Lib().connections.find(handle);
    return it == Lib().connections.end() ? nullptr : &it->second;
}

void DropReplies(LocalConnection& c) {
    for (const auto& kept : c.replies) Lib().replyHandles.erase(kept.first);
    c.replies.clear();
}

// A fresh reference for the reply; the handle's oldest goes past the limit.
std::int32_t KeepReply(std::int32_t handle, LocalConnection& c, std::string reply) {
    Library& library = Lib();
    std::int32_t reference = library.nextReference;
    while (reference <= 0 || library.replyHandles.count(reference) != 0)
        reference = reference <= 0 ? 1 : reference + 1;
    library.nextReference = reference == INT32_MAX ? 1 : reference + 1;
    c.replies.emplace(reference, std::move(reply));
    library.replyHandles.emplace(reference, handle);
    while (c.replies.size() > kKeptReplies) {
        library.replyHandles.erase(c.replies.begin()->first);
        c.replies.erase(c.replies.begin());
    }
    return reference;
}

// How long exit, or a fork, waits for a call in progress to end.
constexpr auto kCallWait = std::chrono::seconds(5);

// The engines are left open at exit: their commits are on disk, a write in
// progress is rolled back by the next opener, and closing one here would
// pull SQLite's files from under a thread still inside a call. Exit lets no
// call begin, then waits a while for the one in progress, so that it ends
// before the statics it uses go; threads that keep calling cannot hold it up.
void EndOfProcess() {
    Library& library = Lib();
    library.ending = true;
    if (library.mutex.try_lock_for(kCallWait)) library.mutex.unlock();
}

// The child gets no call half done: SQLite's and the engine's locks are free.
void BeforeFork() {
    Library& library = Lib();
    library.forking = true;
    library.heldForFork = library.mutex.try_lock_for(kCallWait);
}

void AfterForkInParent() {
    Library& library = Lib();
    if (library.heldForFork) library.mutex.unlock();
    library.forking = false;
}

// The parent's connections are its own: SQLite's locks are not inherited,
// and closing one here would checkpoint or delete files under the parent.
// Their engines are let go unclosed (their threads are not in the child).
void AfterForkInChild() {
    Library& library = Lib();
    library.forking = false;
    if (library.heldForFork) {
        library.mutex.unlock();
    } else {
        // Held by a thread the child does not have.
        new (&library.mutex) std::timed_mutex;
    }
    for (auto& [handle, c] : library.connections) {
        if (c.engine) library.parents.push_back(c.engine.release());
        DropReplies(c);
    }
}

// Waits on nothing for the rest of the process, with every signal blocked so
// that none of the host's handlers runs on it.
[[noreturn]] void Last() {
    for (;;) ::pause();
}

// Qt's image statics are made before the exit handler is registered, so they
// outlive it. Without a Qt application they are made on a thread of the
// library's own that lasts: a host's thread that ends would take Qt's main
// thread with it.
void MakeLazyStaticsOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (QCoreApplication::instance() != nullptr) {
            docserver::imaging::MakeLazyStatics();
            return;
        }
        sigset_t all, before;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &before);
        auto made = std::make_shared<std::promise<void>>();
        std::future<void> done = made->get_future();
        bool started = true;
        try {
            std::thread([made] {
                docserver::imaging::MakeLazyStatics();
                made->set_value();
                Last();
            }).detach();
        } catch (const std::system_error&) {
            started = false;
        }
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        if (started)
            done.wait();
        else
            docserver::imaging::MakeLazyStatics();
    });
}

// Registered once an engine has opened, after MakeLazyStaticsOnce: handlers
// run in the reverse order, so this runs before the statics that opening
// made are destroyed.
void WatchExit() {
    static std::once_flag once;
    std::call_once(once, [] { std::atexit(EndOfProcess); });
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
        c->engine->EndConnection(c->state);
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
    if (owner == library.replyHandles.end()) return -1;
    LocalConnection* c = Find(owner->second);
    library.replyHandles.erase(owner);
    if (c == nullptr) return -1;
    const auto kept = c->replies.find(messageRef);
    if (kept == c->replies.end()) return -1;
    const std::size_t n = std::min(static_cast<std::size_t>(length), kept->second.size());
    std::memcpy(buffer, kept->second.data(), n);
    c->replies.erase(kept);
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
