#include "server/local_access.h"

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
    if (!loaded_) library_.Unload();
    return loaded_;
}
