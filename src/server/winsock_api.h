#pragma once
// The thin layer between EncryptedSocket and the platform's sockets:
// creating, binding and connecting, sending a whole text, receiving one
// piece, readiness polls, socket options, name resolution and the English
// texts of the socket error numbers. Nothing here shows a message.

#include <cstdint>
#include <string>

#include "platform/sockets.h"

// Protocol information of one socket; the layer reads the address family.
// This platform reports family, type and protocol; the rest follows from a
// stream or datagram socket.
class CProtocol {
  public:
    bool GetBySocketHandle(platform::SocketHandle socket);

    std::string ProtocolName;
    std::int32_t MessageSize = 0;
    std::int32_t SecurityScheme = 0;
    std::int32_t NetworkByteOrder = 0;
    std::int32_t ProtocolMaxOffset = 0;
    std::int32_t Protocol = 0;
    std::int32_t SocketType = 0;
    std::int32_t MinSockAddr = 0;
    std::int32_t MaxSockAddr = 0;
    std::int32_t AddressFamily = 0;
    std::int32_t Version = 0;
    std::int32_t CatalogEntryId = 0;
    std::string ProviderId;
    bool MatchesProtocolZero = false;
    bool RecommendedProtoEntry = false;
    bool MultipleProtoEntries = false;
    bool PartialMessage = false;
    bool IFSHandles = false;
    bool UniRecv = false;
    bool UniSend = false;
    bool QoSSupport = false;
    bool MultipointDataPlane = false;
    bool MultipointControlPlane = false;
    bool SupportMultipoint = false;
    bool SupportBroadcast = false;
    bool DisconnectData = false;
    bool ConnectData = false;
    bool ExpeditedData = false;
    bool GracefulClose = false;
    bool PseudoStream = false;
    bool MessageOriented = false;
    bool GuaranteedOrder = false;
    bool GuaranteedDelivery = false;
    bool Connectionless = false;
};

namespace modWinsockAPI {

inline constexpr int kReceivePiece = 8192;

bool WinsockStarted();
// Starts the layer once; true when this call started it.
bool InitWinsock();
int StartWinsock(std::int32_t version);

platform::SocketHandle CreateSocketHandle(int family, int type, int protocol);
// 0 when connected or connecting, -1 on any failure.
int ConnectToHost(platform::SocketHandle socket, const std::string& host, int port);
int BindToLocal(platform::SocketHandle socket, const std::string& address, int port);

// Sends the whole text. A full send buffer is waited out, continuing from
// where the send stopped, until no byte moved for ten changes of the clock's
// second. Returns the text's length, or -1; sent tells how many bytes the
// stream took, so a caller never sends the same frame twice on one stream.
int SendStringData(platform::SocketHandle socket, const std::string& text, int* sent = nullptr);
// Bytes received (at most 8192), 0 when the peer closed, -1 on failure or
// when nothing is readable.
int ReceiveStringData(platform::SocketHandle socket, std::string& text);
// Up to six polls a clock second apart, without yielding to the event loop.
bool WaitForWritable(platform::SocketHandle socket);
bool IsDataWaiting(platform::SocketHandle socket);

int SetReuseAddress(platform::SocketHandle socket);
int SetDontLinger(platform::SocketHandle socket);
int SetNonBlocking(platform::SocketHandle socket);

// IPv4 address in network order, or -1 (all ones) when unresolved.
std::int64_t ResolveHostAddress(const std::string& host);
// The port's 16 bits in network order; throws std::overflow_error outside 0..65535.
std::int16_t PortToInteger(std::int32_t port);
std::string GetWinsockErrorText(std::int32_t code);

// The last failure's error number.
int LastError();

}  // namespace modWinsockAPI
