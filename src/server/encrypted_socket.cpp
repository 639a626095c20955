#include "server/encrypted_socket.h"

#include <sys/socket.h>

#include <cstdio>

#include "foundation/fields.h"
#include "foundation/mod_registry.h"
#include "foundation/wait.h"
#include "platform/event_pump.h"
#include "platform/prompts.h"
#include "server/winsock_api.h"

namespace {

constexpr const char* kInitMessage = "Error initiailizing the Winsock DLL.";

std::string PortText(int port) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d", port);
    return text;
}

bool ConnectionGone(int code) {
    return code == platform::kSockConnRefused || code == platform::kSockConnReset ||
           code == platform::kSockConnAborted || code == platform::kSockNotConn ||
           code == platform::kSockShutdown || code == platform::kSockNetReset;
}

}  // namespace

std::string BindAddressFor(const std::string& localIP, const std::string& remoteHost) {
    if (localIP.empty()) return "0.0.0.0";
    std::int64_t local = modWinsockAPI::ResolveHostAddress(localIP);
    std::int64_t remote = modWinsockAPI::ResolveHostAddress(remoteHost);
    if (local != -1 && platform::IsLoopbackAddress(static_cast<std::uint32_t>(local)) &&
        (remote == -1 || !platform::IsLoopbackAddress(static_cast<std::uint32_t>(remote))))
        return "0.0.0.0";
    return localIP;
}

EncryptedSocket::~EncryptedSocket() {
    if (Socket > 0) platform::CloseSocket(Socket);
    if (LocalPort > 0) ReleaseLocalPort();
}

std::int32_t EncryptedSocket::SocketOpen(std::int32_t type, std::int32_t protocol) {
    if (!modWinsockAPI::WinsockStarted()) {
        platform::MsgBox(kInitMessage);
        State = -1;
        return -1;
    }
    if (Socket > 0) {
        platform::MsgBox("Please Close the Connection before re-opening it.");
        return -1;
    }
    int sockType = type == 1 ? SOCK_STREAM : type;
    platform::SocketHandle s = modWinsockAPI::CreateSocketHandle(AF_INET, sockType, protocol);
    if (s < 0) {
        Socket = -1;
        return -1;
    }
    Socket = s;
    State = 0;
    return 0;
}

std::int32_t EncryptedSocket::ReopenSocket(std::int32_t type, std::int32_t protocol) {
    if (!modWinsockAPI::WinsockStarted()) {
        platform::MsgBox(kInitMessage);
        State = -1;
        return -1;
    }
    SocketClose();
    if (SocketOpen(type, protocol) == 0) {
        State = 0;
        if (Socket >= 1) return 0;
    }
    return -1;
}

std::int32_t EncryptedSocket::SocketClose() {
    if (LocalPort > 0) ReleaseLocalPort();
    if (!modWinsockAPI::WinsockStarted()) {
        platform::MsgBox(kInitMessage);
        State = -1;
        return -1;
    }
    if (Socket > 0) {
        if (platform::CloseSocket(Socket) != 0) {
            platform::MsgBox("There was an Error Closing the Socket. \n\r" +
                             Error(modWinsockAPI::LastError()));
        }
        // No wait here: the close is immediate on this platform, and the
        // owner may close from inside a reply wait.
    }
    Socket = -1;
    State = -1;
    Partial = 0;
    reader_.Reset();
    platform::DoEvents();
    platform::DoEvents();
    return 0;
}

std::int32_t EncryptedSocket::AttemptConnection() {
    if (State != 0) {
        platform::MsgBox("Error with the Socket State!! (should be 0) : " + std::to_string(State));
        return -1;
    }
    if (Socket < 1 || !modWinsockAPI::WinsockStarted()) {
        platform::MsgBox("The Socket is unitialized!");
        return -1;
    }
    if (LocalIP.empty()) LocalIP = GetLocalIPAddress();
    int lingerResult = modWinsockAPI::SetDontLinger(Socket);
    platform::DoEvents();
    modWinsockAPI::SetNonBlocking(Socket);
    platform::DoEvents();
    modWinsockAPI::SetReuseAddress(Socket);
    platform::DoEvents();
    ReserveLocalPort();

    std::string bindAddress = BindAddressFor(LocalIP, RemoteHost);
    int bound = modWinsockAPI::BindToLocal(Socket, bindAddress, LocalPort);
    if (bound != 0) {
        if (modWinsockAPI::LastError() == platform::kSockAddrInUse &&
            modWinsockAPI::SetReuseAddress(Socket) == 0)
            bound = modWinsockAPI::BindToLocal(Socket, bindAddress, LocalPort);
        if (bound != 0) {
            platform::MsgBox("Unable to Bind WinSock to IP Address " + LocalIP + "  " +
                             std::to_string(LocalPort) + " Err # " +
                             Error(modWinsockAPI::LastError()));
            ReleaseLocalPort();
            return -1;
        }
    }
    if (lingerResult != 0) platform::MsgBox(Error(modWinsockAPI::LastError()));

    for (int attempt = 1; attempt <= 3; ++attempt) {
        int result = modWinsockAPI::ConnectToHost(Socket, RemoteHost, RemotePort);
        if (result >= 0) {
            State = 7;
            return result;
        }
        int code = modWinsockAPI::LastError();
        if (code == platform::kSockAddrInUse) {
            modWinsockAPI::SetReuseAddress(Socket);
            mVBUtil::WaitSeconds(1);
        }
        if (code == platform::kSockIsConn) {
            State = 7;
            platform::MsgBox("The Socket is already connected.");
            return 0;
        }
        if (code == platform::kSockWouldBlock || code == platform::kSockAlready) {
            State = 7;
            return 0;
        }
    }
    platform::MsgBox("Unable to connect to server.", platform::vbCritical, "Warning");
    ReleaseLocalPort();
    return -1;
}

std::int32_t EncryptedSocket::SendData(const std::string& text) {
    partlySent_ = false;
    if (!modWinsockAPI::WinsockStarted() || Socket < 1) return -1;
    for (int attempt = 0; attempt < 6; ++attempt) {
        if (attempt > 0) mVBUtil::WaitSeconds(1);
        int sent = 0;
        int result = modWinsockAPI::SendStringData(Socket, text, &sent);
        if (result >= 0) return result;
        // The stream holds the start of this frame: sending it again from its
        // first byte would corrupt the stream.
        if (sent > 0) {
            partlySent_ = true;
            break;
        }
        // A connection refused, reset or closed does not come back by
        // sending again: only a full send buffer is worth the waits.
        if (ConnectionGone(modWinsockAPI::LastError())) break;
    }
    Failure = "The request could not be sent: " + Error(modWinsockAPI::LastError());
    return -1;
}

std::string EncryptedSocket::Error(std::int32_t code) const {
    return modWinsockAPI::GetWinsockErrorText(code);
}

// Bytes past a reply's frame, or past bad data, are not part of the next.
std::int32_t EncryptedSocket::EndReply(std::int32_t result) {
    Partial = 0;
    reader_.Reset();
    return result;
}

std::int32_t EncryptedSocket::QueryData() {
    if (!modWinsockAPI::WinsockStarted() || Socket <= 0) return -1;
    if (!modWinsockAPI::IsDataWaiting(Socket)) return 0;
    std::string piece;
    int n = modWinsockAPI::ReceiveStringData(Socket, piece);
    if (n <= 0) {
        // The peer closed or the connection failed: a reply cut off is bad
        // data; before any byte of it the socket is simply gone.
        const bool cut = Partial == 1 && reader_.Buffered() > 0;
        DataLen = cut ? -1 : 0;
        Data.clear();
        const std::string why =
            n == 0 ? "the server closed the connection." : Error(modWinsockAPI::LastError());
        Failure = (cut ? "The server's reply was cut off: " : "No reply from the server: ") + why;
        return EndReply(-1);
    }
    if (Partial != 1) {
        reader_.Reset();
        Partial = 1;
    }
    reader_.Feed(piece.data(), piece.size());
    std::string payload;
    switch (reader_.Next(payload)) {
        case RequestFrame::FrameReader::Status::kNeedMore:
            return 2;
        case RequestFrame::FrameReader::Status::kFrame:
            Data = std::move(payload);
            DataLen = static_cast<std::int32_t>(Data.size());
            return EndReply(1);
        case RequestFrame::FrameReader::Status::kBad:
            break;
    }
    Data.clear();
    DataLen = -1;
    Failure = "The server's reply could not be read.";
    return EndReply(-1);
}

void EncryptedSocket::SOCK_EString(std::string& frame, std::int32_t length) {
    if (!seeded_) {
        random_ = RequestFrame::SeededRandom();
        seeded_ = true;
    }
    RequestFrame::Scramble(frame, length, random_);
}

void EncryptedSocket::SOCK_DString(std::string& frame, std::int32_t length) {
    RequestFrame::Unscramble(frame, length);
}

void EncryptedSocket::SOCK_PutLong(std::string& frame, std::int32_t pos, std::int32_t value) {
    RequestFrame::PutLong(frame, pos, value);
}

std::int32_t EncryptedSocket::SOCK_GetLong(const std::string& frame, std::int32_t pos) {
    return RequestFrame::GetLong(frame, pos);
}

std::string EncryptedSocket::GetLocalIPAddress() {
    std::string name = platform::HostName();
    std::uint32_t addresses[16];
    int count = 0;
    if (name.empty() || !platform::LookupHostAddresses(name, addresses, 16, count)) {
        platform::MsgBox("Can't resolve the local host address", platform::vbExclamation);
        return "";
    }
    int n = (LocalAddressIndex >= 1 && LocalAddressIndex <= 9) ? LocalAddressIndex : 1;
    if (count == 0) return "";
    if (n > count) n = count;
    return platform::DottedText(addresses[n - 1]);
}

void EncryptedSocket::ReserveLocalPort() {
    if (LocalPortBase == 0) {
        LocalPort = 0;
        return;
    }
    std::string list =
        modRegistry::RegGetString(modRegistry::HKEY_CURRENT_USER, kPortListKey, kPortListValue);
    int taken = LocalPortBase;
    if (list.empty()) {
        list = PortText(taken);
    } else {
        taken = LocalPortBase + 10;
        for (int port = LocalPortBase; port < LocalPortBase + 10; ++port) {
            if (list.find(PortText(port)) == std::string::npos) {
                taken = port;
                break;
            }
        }
        list += "|" + PortText(taken);
    }
    modRegistry::RegSetVolatileString(modRegistry::HKEY_CURRENT_USER, kPortListKey, kPortListValue,
                                      list);
    LocalPort = taken;
}

void EncryptedSocket::ReleaseLocalPort() {
    if (LocalPort < 1) return;
    std::string list =
        modRegistry::RegGetString(modRegistry::HKEY_CURRENT_USER, kPortListKey, kPortListValue);
    if (!list.empty()) {
        std::string mine = PortText(LocalPort);
        int count = mVBUtil::CountFields("|", list);
        std::string rest;
        bool removed = false;
        bool first = true;
        for (int i = 1; i <= count; ++i) {
            std::string item = mVBUtil::GetField("|", list, i);
            if (!removed && item == mine) {
                removed = true;
                continue;
            }
            if (!first) rest += "|";
            rest += item;
            first = false;
        }
        if (removed)
            modRegistry::RegSetVolatileString(modRegistry::HKEY_CURRENT_USER, kPortListKey,
                                              kPortListValue, rest);
    }
    LocalPort = 0;
}
