// The local-access library: the command engine behind the C entry points
// the client loads at run time.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/command_engine.h"
#include "system_locator.h"

namespace {

struct LocalConnection {
    std::unique_ptr<docserver::CommandEngine> engine;
    docserver::ConnectionState state;
    // The last reply of each thread that asked on the handle, until that
    // thread asks again: the message reference is the handle, so a copy must
    // find the reply to its own thread's request.
    std::map<std::thread::id, std::string> replies;
    std::string connectError;  // why the last INET_ConnectLocal failed
};

// What the entry points share. Never destroyed: a host may end with handles
// open, or exit while its other threads are still inside a call.
struct Library {
    std::timed_mutex mutex;
    std::map<std::int32_t, LocalConnection> connections;
    std::int32_t nextHandle = 1;
    // One count of failed logins per system for the whole process: a new
    // handle must not be a fresh set of guesses.
    std::map<std::string, std::shared_ptr<docserver::LoginThrottle>> throttles;
    std::atomic<bool> ending{false};  // the process exits: no call runs any more
};

Library& Lib() {
    static Library* const library = new Library;
    return *library;
}

// A call holds the library for its whole length; none runs once the
// process exits.
class Call {
  public:
    Call() : lock_(Lib().mutex) {}
    bool Refused() const { return Lib().ending.load(); }

  private:
    std::lock_guard<std::timed_mutex> lock_;
};

LocalConnection* Find(std::int32_t handle) {
    auto it = Lib().connections.find(handle);
    return it == Lib().connections.end() ? nullptr : &it->second;
}

// How long exit waits for a call in progress to end.
constexpr auto kExitWait = std::chrono::seconds(5);

// The engines are left open at exit: their commits are on disk, a write in
// progress is rolled back by the next opener, and closing one here would
// pull SQLite's files from under a thread still inside a call. Exit waits a
// while for a call in progress, so that it ends before the statics it uses
// go, and lets none begin afterwards.
void EndOfProcess() {
    Library& library = Lib();
    const bool held = library.mutex.try_lock_for(kExitWait);
    library.ending = true;
    if (held) library.mutex.unlock();
}

// Registered once an engine has opened: handlers run in the reverse order,
// so this runs before the statics that opening made are destroyed.
void WatchExit() {
    static std::once_flag once;
    std::call_once(once, [] { std::atexit(EndOfProcess); });
}

// "" while the process can open a file; else why it cannot, for a failure
// that would otherwise be told as a missing file.
std::string DescriptorShortage() {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return "";
    }
    if (errno == EMFILE) return "too many open files";
    if (errno == ENFILE) return "too many open files in the system";
    return "";
}

}  // namespace

#define VORNET_EXPORT extern "C" __attribute__((visibility("default")))

VORNET_EXPORT std::int32_t INET_AllocateConnectionHndl() {
    Call call;
    if (call.Refused()) return 0;
    Library& library = Lib();
    std::int32_t handle = library.nextHandle++;
    if (library.nextHandle <= 0) library.nextHandle = 1;
    library.connections[handle];
    return handle;
}

VORNET_EXPORT std::int32_t INET_ConnectLocal(std::int32_t mode, std::int32_t handle) {
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(handle);
    if (c == nullptr) return -1;
    std::string dir = vornet::LocateSystemDir(mode == 1 ? 1 : 2);
    if (dir.empty()) {
        const std::string shortage = DescriptorShortage();
        c->connectError = shortage.empty()
                              ? "no system directory is configured for this access mode"
                              : shortage + ": the setting that names the system directory "
                                           "cannot be read";
        return -2;
    }
    std::string error;
    c->engine = docserver::CommandEngine::Open(dir, error);
    if (!c->engine) {
        const std::string shortage = DescriptorShortage();
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

// Why the handle's last INET_ConnectLocal failed: copies at most length
// bytes and answers the reason's whole length, -1 for an unknown handle.
VORNET_EXPORT std::int32_t INET_ConnectError(std::int32_t handle, char* buffer,
                                             std::int32_t length) {
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(handle);
    if (c == nullptr) return -1;
    if (buffer != nullptr && length > 0)
        std::memcpy(buffer, c->connectError.data(),
                    std::min(c->connectError.size(), static_cast<std::size_t>(length)));
    return static_cast<std::int32_t>(c->connectError.size());
}

VORNET_EXPORT std::int32_t INET_ProcessCommand(std::int32_t handle, const char* command,
                                               std::int32_t commandLength, std::int32_t* messageRef,
                                               std::int32_t* messageLength) {
    if (messageRef != nullptr) *messageRef = 0;
    if (messageLength != nullptr) *messageLength = 0;
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(handle);
    if (c == nullptr || !c->engine || command == nullptr || commandLength < 0) return -1;
    std::string& reply = c->replies[std::this_thread::get_id()];
    reply =
        c->engine->Execute(c->state, std::string(command, static_cast<std::size_t>(commandLength)));
    if (c->state.ended) {
        // Its user's password changed: the connection ends as a socket
        // closed by the server, with no reply, and the client opens it again.
        // A login refused there cannot tell a user disabled, so that one is
        // told in the reply, which is then the last on the handle.
        const bool disabled = c->state.disabled;
        c->engine->EndConnection(c->state);
        c->engine.reset();
        if (!disabled) {
            c->replies.erase(std::this_thread::get_id());
            return -1;
        }
    }
    if (messageRef != nullptr) *messageRef = handle;
    if (messageLength != nullptr) *messageLength = static_cast<std::int32_t>(reply.size());
    return 0;
}

// Copies the reply to the calling thread's last request on the handle.
VORNET_EXPORT std::int32_t INET_CopyMsgData(std::int32_t messageRef, char* buffer,
                                            std::int32_t length, std::int32_t) {
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(messageRef);
    if (c == nullptr || buffer == nullptr || length < 0) return -1;
    const auto mine = c->replies.find(std::this_thread::get_id());
    if (mine == c->replies.end()) return -1;
    std::size_t n = std::min(static_cast<std::size_t>(length), mine->second.size());
    std::memcpy(buffer, mine->second.data(), n);
    return static_cast<std::int32_t>(n);
}

VORNET_EXPORT std::int32_t INET_CloseConnection(std::int32_t handle) {
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(handle);
    if (c == nullptr) return -1;
    if (c->engine) c->engine->EndConnection(c->state);
    c->engine.reset();
    c->replies.clear();
    return 0;
}

VORNET_EXPORT std::int32_t INET_FreeConnectionHndl(std::int32_t handle) {
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(handle);
    if (c == nullptr) return -1;
    if (c->engine) c->engine->EndConnection(c->state);
    Lib().connections.erase(handle);
    return 0;
}

VORNET_EXPORT std::int32_t INET_ValidateConnection(std::int32_t handle) {
    Call call;
    if (call.Refused()) return -1;
    LocalConnection* c = Find(handle);
    return (c != nullptr && c->engine) ? 0 : -1;
}
