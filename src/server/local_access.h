#pragma once
// The local-access library, loaded at run time by its file name. It executes
// the command texts against a system directory for the two local modes. What
// a host may do across threads, at exit and across fork is written in the
// library's own header (docserver/vornet/vornet.h); a reply is copied, again
// if need be, by the message reference its request handed out.

#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"

extern "C" {
// The library's entry points.
using INET_AllocateConnectionHndl_t = std::int32_t (*)();
using INET_ConnectLocal_t = std::int32_t (*)(std::int32_t mode, std::int32_t handle);
// The command's length is passed too: later commands carry bytes.
using INET_ProcessCommand_t = std::int32_t (*)(std::int32_t handle, const char* command,
                                               std::int32_t commandLength, std::int32_t* messageRef,
                                               std::int32_t* messageLength);
using INET_CopyMsgData_t = std::int32_t (*)(std::int32_t messageRef, char* buffer,
                                            std::int32_t length, std::int32_t flags);
using INET_CloseConnection_t = std::int32_t (*)(std::int32_t handle);
using INET_FreeConnectionHndl_t = std::int32_t (*)(std::int32_t handle);
using INET_ValidateConnection_t = std::int32_t (*)(std::int32_t handle);
// Why the last INET_ConnectLocal of the handle failed (copies at most
// length bytes, answers the whole length).
using INET_ConnectError_t = std::int32_t (*)(std::int32_t handle, char* buffer,
                                             std::int32_t length);
}

inline constexpr const char* kLocalAccessLibraryName = "libvornet.so";

class LocalAccessLibrary {
  public:
    // False when the library or one of its entry points is missing.
    bool Load(const std::string& fileName = kLocalAccessLibraryName);
    bool IsLoaded() const { return loaded_; }

    INET_AllocateConnectionHndl_t AllocateConnectionHndl = nullptr;
    INET_ConnectLocal_t ConnectLocal = nullptr;
    INET_ProcessCommand_t ProcessCommand = nullptr;
    INET_CopyMsgData_t CopyMsgData = nullptr;
    INET_CloseConnection_t CloseConnection = nullptr;
    INET_FreeConnectionHndl_t FreeConnectionHndl = nullptr;
    INET_ValidateConnection_t ValidateConnection = nullptr;
    // Not every library tells why: nullptr then.
    INET_ConnectError_t ConnectError = nullptr;

    // Why the handle's last connect failed; "" when the library does not say.
    std::string ConnectFailure(std::int32_t handle) const;

  private:
    platform::DynamicLibrary library_;
    bool loaded_ = false;
};
