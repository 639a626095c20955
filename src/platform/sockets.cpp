#include "platform/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

thread_local int g_lastError = 0;

int Fail() {
    g_lastError = SocketErrorFromErrno(errno);
    return -1;
}

sockaddr_in MakeAddress(std::uint32_t address, int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = address;
    return a;
}

int Poll(SocketHandle s, short events, int timeoutMs) {
    if (s < 0) {
        g_lastError = kSockNotSocket;
        return -1;
    }
    pollfd p{s, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return Fail();
    return r > 0 ? 1 : 0;
}

}  // namespace

int LastSocketError() {
    return g_lastError;
}
void SetLastSocketError(int code) {
    g_lastError = code;
}

int SocketErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return kSockOk;
        case EINTR:
            return kSockInterrupted;
        case EACCES:
        case EPERM:
            return kSockAccess;
        case EFAULT:
            return kSockFault;
        case EINVAL:
            return kSockInvalid;
        case EMFILE:
        case ENFILE:
            return kSockTooManyFiles;
#if EAGAIN != EWOULDBLOCK
        case EAGAIN:
#endif
        case EWOULDBLOCK:
        case EINPROGRESS:
            return kSockWouldBlock;  // a non-blocking connect under way
        case EALREADY:
            return kSockAlready;
        case ENOTSOCK:
        case EBADF:
            return kSockNotSocket;
        case EDESTADDRREQ:
            return kSockDestAddrRequired;
        case EMSGSIZE:
            return kSockMsgSize;
        case EPROTOTYPE:
            return kSockProtoType;
        case ENOPROTOOPT:
            return kSockNoProtoOpt;
        case EPROTONOSUPPORT:
            return kSockProtoNoSupport;
        case ESOCKTNOSUPPORT:
            return kSockSocketNoSupport;
        case EOPNOTSUPP:
            return kSockOpNotSupported;
        case EPFNOSUPPORT:
            return kSockPfNoSupport;
        case EAFNOSUPPORT:
            return kSockAfNoSupport;
        case EADDRINUSE:
            return kSockAddrInUse;
        case EADDRNOTAVAIL:
            return kSockAddrNotAvail;
        case ENETDOWN:
            return kSockNetDown;
        case ENETUNREACH:
            return kSockNetUnreach;
        case ENETRESET:
            return kSockNetReset;
        case ECONNABORTED:
            return kSockConnAborted;
        case ECONNRESET:
        case EPIPE:
            return kSockConnReset;
        case ENOBUFS:
        case ENOMEM:
            return kSockNoBufs;
        case EISCONN:
            return kSockIsConn;
        case ENOTCONN:
            return kSockNotConn;
        case ESHUTDOWN:
            return kSockShutdown;
        case ETIMEDOUT:
            return kSockTimedOut;
        case ECONNREFUSED:
            return kSockConnRefused;
        case EHOSTDOWN:
            return kSockHostDown;
        case EHOSTUNREACH:
            return kSockHostUnreach;
        default:
            return kSockSysCallFailure;
    }
}

SocketHandle OpenSocket(int family, int type, int protocol) {
    int s = ::socket(family, type | SOCK_CLOEXEC, protocol);
    if (s < 0) return Fail();
    return s;
}

int CloseSocket(SocketHandle s) {
    if (::close(s) != 0) return Fail();
    return 0;
}

int ConnectSocketTo(SocketHandle s, std::uint32_t address, int port) {
    sockaddr_in a = MakeAddress(address, port);
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return Fail();
    return 0;
}

int BindSocketTo(SocketHandle s, std::uint32_t address, int port) {
    sockaddr_in a = MakeAddress(address, port);
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return Fail();
    return 0;
}

int SendBytes(SocketHandle s, const char* data, int length) {
    ssize_t n;
    do {
        n = ::send(s, data, static_cast<size_t>(length), MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return Fail();
    return static_cast<int>(n);
}

int ReceiveBytes(SocketHandle s, char* buffer, int capacity) {
    ssize_t n;
    do {
        n = ::recv(s, buffer, static_cast<size_t>(capacity), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return Fail();
    return static_cast<int>(n);
}

int PollReadable(SocketHandle s, int timeoutMs) {
    return Poll(s, POLLIN, timeoutMs);
}
int PollWritable(SocketHandle s, int timeoutMs) {
    return Poll(s, POLLOUT, timeoutMs);
}

int SetReuseAddressOption(SocketHandle s, bool on) {
    int v = on ? 1 : 0;
    if (::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &v, sizeof v) != 0) return Fail();
    return 0;
}

int SetLingerOption(SocketHandle s, bool lingerOn) {
    linger l{};
    l.l_onoff = lingerOn ? 1 : 0;
    l.l_linger = 0;
    if (::setsockopt(s, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0) return Fail();
    return 0;
}

int SetNonBlockingMode(SocketHandle s, bool on) {
    int flags = ::fcntl(s, F_GETFL, 0);
    if (flags < 0) return Fail();
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (::fcntl(s, F_SETFL, flags) != 0) return Fail();
    return 0;
}

bool SocketProtocolInfo(SocketHandle s, int& family, int& type, int& protocol) {
    socklen_t len = sizeof(int);
    if (::getsockopt(s, SOL_SOCKET, SO_DOMAIN, &family, &len) != 0) return Fail(), false;
    len = sizeof(int);
    if (::getsockopt(s, SOL_SOCKET, SO_TYPE, &type, &len) != 0) return Fail(), false;
    len = sizeof(int);
    if (::getsockopt(s, SOL_SOCKET, SO_PROTOCOL, &protocol, &len) != 0) return Fail(), false;
    return true;
}

bool ParseDottedAddress(const std::string& text, std::uint32_t& address) {
    in_addr a{};
    if (::inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    address = a.s_addr;
    return true;
}

bool LookupHostAddresses(const std::string& name, std::uint32_t* addresses, int capacity,
                         int& count) {
    count = 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int r = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (r != 0) {
        g_lastError = (r == EAI_AGAIN) ? kSockTryAgain : kSockHostNotFound;
        return false;
    }
    for (addrinfo* p = list; p != nullptr && count < capacity; p = p->ai_next) {
        std::uint32_t a = reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
        bool seen = false;
        for (int i = 0; i < count; ++i) seen = seen || addresses[i] == a;
        if (!seen) addresses[count++] = a;
    }
    ::freeaddrinfo(list);
    if (count == 0) g_lastError = kSockNoData;
    return count > 0;
}

bool LookupHostAddress(const std::string& name, std::uint32_t& address) {
    int count = 0;
    return LookupHostAddresses(name, &address, 1, count);
}

std::string HostName() {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return "";
    return std::string(buffer, ::strnlen(buffer, sizeof buffer));
}

std::string DottedText(std::uint32_t address) {
    in_addr a{};
    a.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

bool IsLoopbackAddress(std::uint32_t address) {
    return (ntohl(address) >> 24) == 127;
}

}  // namespace platform
