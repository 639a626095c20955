// The local-access library: the command engine behind the C entry points
// the client loads at run time.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "engine/command_engine.h"
#include "system_locator.h"

namespace {

struct LocalConnection {
    std::unique_ptr<docserver::CommandEngine> engine;
    docserver::ConnectionState state;
    std::string message;  // the last reply, until copied or replaced
    std::string connectError;  // why the last INET_ConnectLocal failed
};

std::mutex g_mutex;
std::map<std::int32_t, LocalConnection> g_connections;
std::int32_t g_nextHandle = 1;
// One count of failed logins per system for the whole process: a new
// handle must not be a fresh set of guesses.
std::map<std::string, std::shared_ptr<docserver::LoginThrottle>> g_throttles;

LocalConnection* Find(std::int32_t handle) {
    auto it = g_connections.find(handle);
    return it == g_connections.end() ? nullptr : &it->second;
}

}  // namespace

#define VORNET_EXPORT extern "C" __attribute__((visibility("default")))

VORNET_EXPORT std::int32_t INET_AllocateConnectionHndl() {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::int32_t handle = g_nextHandle++;
    if (g_nextHandle <= 0) g_nextHandle = 1;
    g_connections[handle];
    return handle;
}

VORNET_EXPORT std::int32_t INET_ConnectLocal(std::int32_t mode, std::int32_t handle) {
    std::lock_guard<std::mutex> lock(g_mutex);
    LocalConnection* c = Find(handle);
    if (c == nullptr) return -1;
    std::string dir = vornet::LocateSystemDir(mode == 1 ? 1 : 2);
    if (dir.empty()) {
        c->connectError = "no system directory is configured for this access mode";
        return -2;
    }
    std::string error;
    c->engine = docserver::CommandEngine::Open(dir, error);
    if (!c->engine) {
        c->connectError = "cannot open the system in " + dir + ": " + error;
        return -3;
    }
    c->connectError.clear();
    std::shared_ptr<docserver::LoginThrottle>& throttle = g_throttles[dir];
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
    std::lock_guard<std::mutex> lock(g_mutex);
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
    std::lock_guard<std::mutex> lock(g_mutex);
    if (messageRef != nullptr) *messageRef = 0;
    if (messageLength != nullptr) *messageLength = 0;
    LocalConnection* c = Find(handle);
    if (c == nullptr || !c->engine || command == nullptr || commandLength < 0) return -1;
    c->message =
        c->engine->Execute(c->state, std::string(command, static_cast<std::size_t>(commandLength)));
    if (c->state.ended) {
        // Its user's password changed: the connection ends as a socket
        // closed by the server, with no reply, and the client opens it again.
        c->engine->EndConnection(c->state);
        c->engine.reset();
        c->message.clear();
        return -1;
    }
    if (messageRef != nullptr) *messageRef = handle;
    if (messageLength != nullptr) *messageLength = static_cast<std::int32_t>(c->message.size());
    return 0;
}

VORNET_EXPORT std::int32_t INET_CopyMsgData(std::int32_t messageRef, char* buffer,
                                            std::int32_t length, std::int32_t) {
    std::lock_guard<std::mutex> lock(g_mutex);
    LocalConnection* c = Find(messageRef);
    if (c == nullptr || buffer == nullptr || length < 0) return -1;
    std::size_t n = std::min(static_cast<std::size_t>(length), c->message.size());
    std::memcpy(buffer, c->message.data(), n);
    return static_cast<std::int32_t>(n);
}

VORNET_EXPORT std::int32_t INET_CloseConnection(std::int32_t handle) {
    std::lock_guard<std::mutex> lock(g_mutex);
    LocalConnection* c = Find(handle);
    if (c == nullptr) return -1;
    if (c->engine) c->engine->EndConnection(c->state);
    c->engine.reset();
    c->message.clear();
    return 0;
}

VORNET_EXPORT std::int32_t INET_FreeConnectionHndl(std::int32_t handle) {
    std::lock_guard<std::mutex> lock(g_mutex);
    LocalConnection* c = Find(handle);
    if (c == nullptr) return -1;
    if (c->engine) c->engine->EndConnection(c->state);
    g_connections.erase(handle);
    return 0;
}

VORNET_EXPORT std::int32_t INET_ValidateConnection(std::int32_t handle) {
    std::lock_guard<std::mutex> lock(g_mutex);
    LocalConnection* c = Find(handle);
    return (c != nullptr && c->engine) ? 0 : -1;
}
