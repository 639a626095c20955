#include "server/local_access.h"

#include <algorithm>

namespace {

template <typename T>
bool Resolve(const platform::DynamicLibrary& library, const char* name, T& out) {
    out = reinterpret_cast<T>(library.Symbol(name));
    return out != nullptr;
}

}  // namespace

bool LocalAccessLibrary::Load(const std::string& fileName) {
    if (loaded_) return true;
    if (!library_.Load(fileName)) return false;
    loaded_ = Resolve(library_, "INET_AllocateConnectionHndl", AllocateConnectionHndl) &&
              Resolve(library_, "INET_ConnectLocal", ConnectLocal) &&
              Resolve(library_, "INET_ProcessCommand", ProcessCommand) &&
              Resolve(library_, "INET_CopyMsgData", CopyMsgData) &&
              Resolve(library_, "INET_CloseConnection", CloseConnection) &&
              Resolve(library_, "INET_FreeConnectionHndl", FreeConnectionHndl) &&
              Resolve(library_, "INET_ValidateConnection", ValidateConnection);
    if (!loaded_) {
        library_.Unload();
        return false;
    }
    Resolve(library_, "INET_ConnectError", ConnectError);
    return true;
}

std::string LocalAccessLibrary::ConnectFailure(std::int32_t handle) const {
    if (ConnectError == nullptr) return "";
    const std::int32_t length = ConnectError(handle, nullptr, 0);
    if (length <= 0) return "";
    std::string reason(static_cast<std::size_t>(length), '\0');
    const std::int32_t copied = ConnectError(handle, reason.data(), length);
    reason.resize(static_cast<std::size_t>(std::clamp(copied, 0, length)));
    return reason;
}
