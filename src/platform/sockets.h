#pragma once
// TCP sockets on POSIX with the error numbers of the original platform's
// socket library, which the socket layer above tests and turns into text.
// Sends never raise SIGPIPE; every wait is a bounded poll.

#include <cstdint>
#include <string>

namespace platform {

using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;

// Error numbers of the original socket library.
enum SocketError : int {
    kSockOk = 0,
    kSockInterrupted = 10004,
    kSockAccess = 10013,
    kSockFault = 10014,
    kSockInvalid = 10022,
    kSockTooManyFiles = 10024,
    kSockWouldBlock = 10035,
    kSockInProgress = 10036,
    kSockAlready = 10037,
    kSockNotSocket = 10038,
    kSockDestAddrRequired = 10039,
    kSockMsgSize = 10040,
    kSockProtoType = 10041,
    kSockNoProtoOpt = 10042,
    kSockProtoNoSupport = 10043,
    kSockSocketNoSupport = 10044,
    kSockOpNotSupported = 10045,
    kSockPfNoSupport = 10046,
    kSockAfNoSupport = 10047,
    kSockAddrInUse = 10048,
    kSockAddrNotAvail = 10049,
    kSockNetDown = 10050,
    kSockNetUnreach = 10051,
    kSockNetReset = 10052,
    kSockConnAborted = 10053,
    kSockConnReset = 10054,
    kSockNoBufs = 10055,
    kSockIsConn = 10056,
    kSockNotConn = 10057,
    kSockShutdown = 10058,
    kSockTimedOut = 10060,
    kSockConnRefused = 10061,
    kSockHostDown = 10064,
    kSockHostUnreach = 10065,
    kSockSysCallFailure = 10107,
    kSockHostNotFound = 11001,
    kSockTryAgain = 11002,
    kSockNoRecovery = 11003,
    kSockNoData = 11004,
};

// The error of the last failed call of this layer on this thread.
int LastSocketError();
void SetLastSocketError(int code);
// The socket library's number for a POSIX errno.
int SocketErrorFromErrno(int err);

SocketHandle OpenSocket(int family, int type, int protocol);
// 0 or -1 (with LastSocketError set).
int CloseSocket(SocketHandle s);
// address: IPv4 in network byte order; port in host order.
int ConnectSocketTo(SocketHandle s, std::uint32_t address, int port);
int BindSocketTo(SocketHandle s, std::uint32_t address, int port);
// Bytes moved, or -1. A full send buffer is -1 with kSockWouldBlock.
int SendBytes(SocketHandle s, const char* data, int length);
// Bytes received, 0 when the peer closed, or -1.
int ReceiveBytes(SocketHandle s, char* buffer, int capacity);
// Waits at most timeoutMs (0 = just look). 1 ready (or failed: the next call
// reports it), 0 not ready, -1 when the poll itself failed.
int PollReadable(SocketHandle s, int timeoutMs);
int PollWritable(SocketHandle s, int timeoutMs);

int SetReuseAddressOption(SocketHandle s, bool on);
int SetLingerOption(SocketHandle s, bool lingerOn);
int SetNonBlockingMode(SocketHandle s, bool on);
// The socket's address family, type and protocol; false when unknown.
bool SocketProtocolInfo(SocketHandle s, int& family, int& type, int& protocol);

// Dotted text to an address in network order; false when not dotted.
bool ParseDottedAddress(const std::string& text, std::uint32_t& address);
// First IPv4 address of a name; false when it does not resolve.
bool LookupHostAddress(const std::string& name, std::uint32_t& address);
// Every IPv4 address of a name, in the resolver's order.
bool LookupHostAddresses(const std::string& name, std::uint32_t* addresses, int capacity,
                         int& count);
std::string HostName();
std::string DottedText(std::uint32_t address);
bool IsLoopbackAddress(std::uint32_t address);

}  // namespace platform
