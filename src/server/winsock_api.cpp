#include "server/winsock_api.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <chrono>
#include <stdexcept>

#include "platform/clock.h"

namespace modWinsockAPI {
namespace {

bool g_started = false;

// Waits, without yielding, until the clock's second changes; returns early
// when the socket becomes writable. The real-time bound keeps a stopped test
// clock from holding the program.
bool WaitSecondChange(platform::SocketHandle socket, const std::string& from) {
    auto start = std::chrono::steady_clock::now();
    while (platform::CurrentClock().TimeText() == from) {
        if (platform::PollWritable(socket, 20) != 0) return true;
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(1100)) break;
    }
    return false;
}

}  // namespace

bool WinsockStarted() {
    return g_started;
}

int StartWinsock(std::int32_t version) {
    return version == 514 ? 0 : platform::kSockInvalid;
}

bool InitWinsock() {
    g_started = StartWinsock(514) == 0;
    return g_started;
}

int LastError() {
    return platform::LastSocketError();
}

platform::SocketHandle CreateSocketHandle(int family, int type, int protocol) {
    return platform::OpenSocket(family, type, protocol);
}

int ConnectToHost(platform::SocketHandle socket, const std::string& host, int port) {
    if (socket <= 0 || host.empty() || port < 1 || port > 65535) return -1;
    CProtocol info;
    if (!info.GetBySocketHandle(socket) || info.AddressFamily != AF_INET) return -1;
    std::int64_t address = ResolveHostAddress(host);
    if (address == -1) return -1;
    return platform::ConnectSocketTo(socket, static_cast<std::uint32_t>(address), port);
}

int BindToLocal(platform::SocketHandle socket, const std::string& address, int port) {
    if (socket <= 0 || address.empty() || port < 0 || port > 65535) return -1;
    CProtocol info;
    if (!info.GetBySocketHandle(socket) || info.AddressFamily != AF_INET) return -1;
    std::int64_t resolved = ResolveHostAddress(address);
    if (resolved == -1) return -1;
    return platform::BindSocketTo(socket, static_cast<std::uint32_t>(resolved), port);
}

int SendStringData(platform::SocketHandle socket, const std::string& text, int* sent) {
    if (sent != nullptr) *sent = 0;
    if (text.empty()) return -1;
    // A stream that takes nothing for so long is as good as gone.
    if (!WaitForWritable(socket)) {
        platform::SetLastSocketError(platform::kSockTimedOut);
        return -1;
    }
    std::size_t offset = 0;
    int stalls = 0;
    std::string lastSeen = platform::CurrentClock().TimeText();
    while (offset < text.size()) {
        int chunk = static_cast<int>(std::min<std::size_t>(text.size() - offset, 1 << 20));
        int n = platform::SendBytes(socket, text.data() + offset, chunk);
        if (n < 0 && platform::LastSocketError() != platform::kSockWouldBlock) return -1;
        if (n > 0) {
            offset += static_cast<std::size_t>(n);
            if (sent != nullptr) *sent = static_cast<int>(offset);
            stalls = 0;
            continue;
        }
        // A full buffer: wait for room, counting seconds without progress.
        platform::PollWritable(socket, 50);
        std::string now = platform::CurrentClock().TimeText();
        if (now != lastSeen) {
            lastSeen = now;
            if (++stalls > 10) {
                platform::SetLastSocketError(platform::kSockTimedOut);
                return -1;
            }
        }
    }
    return static_cast<int>(text.size());
}

int ReceiveStringData(platform::SocketHandle socket, std::string& text) {
    if (!IsDataWaiting(socket)) return -1;
    char buffer[kReceivePiece];
    int n = platform::ReceiveBytes(socket, buffer, kReceivePiece);
    if (n > 0) text.assign(buffer, static_cast<std::size_t>(n));
    return n;
}

bool WaitForWritable(platform::SocketHandle socket) {
    for (int poll = 0; poll < 6; ++poll) {
        if (platform::PollWritable(socket, 0) != 0) return true;
        if (poll < 5 && WaitSecondChange(socket, platform::CurrentClock().TimeText())) return true;
    }
    return false;
}

bool IsDataWaiting(platform::SocketHandle socket) {
    return platform::PollReadable(socket, 0) != 0;
}

int SetReuseAddress(platform::SocketHandle socket) {
    return platform::SetReuseAddressOption(socket, true);
}
int SetDontLinger(platform::SocketHandle socket) {
    return platform::SetLingerOption(socket, false);
}
int SetNonBlocking(platform::SocketHandle socket) {
    return platform::SetNonBlockingMode(socket, true);
}

std::int64_t ResolveHostAddress(const std::string& host) {
    std::uint32_t address = 0;
    if (platform::ParseDottedAddress(host, address)) return address;
    if (platform::LookupHostAddress(host, address)) return address;
    return -1;
}

std::int16_t PortToInteger(std::int32_t port) {
    if (port < 0 || port > 65535) throw std::overflow_error("Overflow");
    return static_cast<std::int16_t>(htons(static_cast<std::uint16_t>(port)));
}

std::string GetWinsockErrorText(std::int32_t code) {
    switch (code) {
        case 10004:
            return "Interrupted function call.";
        case 10013:
            return "Permission denied.";
        case 10014:
            return "Bad address.";
        case 10022:
            return "Invalid argument.";
        case 10024:
            return "Too many open files.";
        case 10035:
            return "Resource temporarily unavailable.";
        case 10036:
            return "Operation now in progress.";
        case 10037:
            return "Operation already in progress.";
        case 10038:
            return "Socket operation on nonsocket.";
        case 10039:
            return "Destination address required.";
        case 10040:
            return "Message too long.";
        case 10041:
            return "Protocol wrong type for socket.";
        case 10042:
            return "Bad protocol option.";
        case 10043:
            return "Protocol not supported.";
        case 10044:
            return "Socket type not supported.";
        case 10045:
            return "Operation not supported.";
        case 10046:
            return "Protocol family not supported.";
        case 10047:
            return "Address family not supported by protocol family.";
        case 10048:
            return "Address already in use.";
        case 10049:
            return "Cannot assign requested address.";
        case 10050:
            return "Network is down.";
        case 10051:
            return "Network is unreachable.";
        case 10052:
            return "Network dropped connection on reset.";
        case 10053:
            return "Software caused connection abort.";
        case 10054:
            return "Connection reset by peer.";
        case 10055:
            return "No buffer space available.";
        case 10056:
            return "Socket is already connected.";
        case 10057:
            return "Socket is not connected.";
        case 10058:
            return "Cannot send after socket shutdown.";
        case 10060:
            return "Connection timed out.";
        case 10061:
            return "Connection refused.";
        case 10064:
            return "Host is down.";
        case 10065:
            return "No route to host.";
        case 10067:
            return "Too many processes.";
        case 10091:
            return "Network subsystem is unavailable.";
        case 10092:
            return "Winsock.dll version out of range.";
        case 10093:
            return "Successful WSAStartup not yet performed.";
        case 10101:
            return "Graceful shutdown in progress.";
        case 10107:
            return "System call failure.";
        case 10109:
            return "Class type not found.";
        case 11001:
            return "Host not found.";
        case 11002:
            return "Nonauthoritative host not found.";
        case 11003:
            return "This is a nonrecoverable error.";
        case 11004:
            return "Valid name, no data record of requested type.";
        default:
            return "Unknown error.";
    }
}

}  // namespace modWinsockAPI

bool CProtocol::GetBySocketHandle(platform::SocketHandle socket) {
    int family = 0, type = 0, protocol = 0;
    if (!platform::SocketProtocolInfo(socket, family, type, protocol)) return false;
    AddressFamily = family;
    SocketType = type;
    Protocol = protocol;
    bool stream = type == SOCK_STREAM;
    ProtocolName = stream ? "TCP/IP" : "UDP/IP";
    MessageSize = stream ? 0 : 65467;
    NetworkByteOrder = 0;  // big-endian addresses
    MinSockAddr = 16;
    MaxSockAddr = 16;
    Version = 2;
    MatchesProtocolZero = true;
    RecommendedProtoEntry = true;
    IFSHandles = true;
    GracefulClose = stream;
    ExpeditedData = stream;
    SupportBroadcast = !stream;
    SupportMultipoint = !stream;
    MessageOriented = !stream;
    PartialMessage = !stream;
    GuaranteedOrder = stream;
    GuaranteedDelivery = stream;
    Connectionless = !stream;
    return true;
}
