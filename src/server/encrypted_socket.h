#pragma once
// The TCP client socket of the remote access mode: a non-blocking IPv4
// stream, bound to a chosen local address and a reserved local port,
// sending one scrambled frame at a time and reassembling the reply frame
// from as many receives as it takes. Shows its own failures.

#include <cstdint>
#include <random>
#include <string>

#include "platform/sockets.h"
#include "server/request_frame.h"

class EncryptedSocket {
  public:
    EncryptedSocket() = default;
    ~EncryptedSocket();
    EncryptedSocket(const EncryptedSocket&) = delete;
    EncryptedSocket& operator=(const EncryptedSocket&) = delete;

    platform::SocketHandle Socket = -1;
    std::int32_t LocalPortBase = 0;
    std::int32_t LocalPort = 0;
    std::int32_t LocalAddressIndex = 0;
    std::int32_t RemotePort = 0;
    std::string RemoteHost;
    std::string LocalIP;
    std::int32_t State = -1;  // -1 closed, 0 open, 7 connected or connecting
    std::string Data;
    std::int32_t DataLen = 0;
    std::int32_t Partial = 0;  // 1 while a reply is arriving; 0 starts the next afresh

    std::int32_t SocketOpen(std::int32_t type, std::int32_t protocol);
    std::int32_t ReopenSocket(std::int32_t type, std::int32_t protocol);
    std::int32_t SocketClose();
    std::int32_t AttemptConnection();
    // Bytes sent, or -1. A send is tried again only while the stream has
    // taken none of the frame; PartlySent tells the caller otherwise.
    std::int32_t SendData(const std::string& text);
    bool PartlySent() const { return partlySent_; }
    std::string Error(std::int32_t code) const;
    // 0 nothing to read, 2 part of a reply buffered, 1 a reply is in Data,
    // -1 failure: DataLen -1 for bad data or a reply cut off, DataLen 0 when
    // the connection went away before any byte of the reply.
    std::int32_t QueryData();
    // Why the last send or QueryData failed, in words.
    std::string Failure;

    void SOCK_EString(std::string& frame, std::int32_t length);
    void SOCK_DString(std::string& frame, std::int32_t length);
    static void SOCK_PutLong(std::string& frame, std::int32_t pos, std::int32_t value);
    static std::int32_t SOCK_GetLong(const std::string& frame, std::int32_t pos);

  private:
    friend class EncryptedSocketTestPeer;
    std::string GetLocalIPAddress();
    void ReserveLocalPort();
    void ReleaseLocalPort();
    std::int32_t EndReply(std::int32_t result);

    std::mt19937 random_;
    bool seeded_ = false;
    bool partlySent_ = false;
    RequestFrame::FrameReader reader_;
};

// The address to bind: LocalIP, or any address when LocalIP is empty or a
// loopback address while the server is elsewhere (a loopback source cannot
// reach it).
std::string BindAddressFor(const std::string& localIP, const std::string& remoteHost);

// Registry place of the local ports reserved by this user's clients.
inline constexpr const char* kPortListKey = "Software\\TALQTech\\Settings";
inline constexpr const char* kPortListValue = "PortList";
