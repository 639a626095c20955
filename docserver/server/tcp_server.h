#pragma once
// The document server over TCP: one connection state per socket, frames in
// both directions, all sockets served by one poll loop.

#include <cstdio>
#include <memory>
#include <string>

#include "engine/command_engine.h"

namespace docserver {

class TcpServer {
  public:
    explicit TcpServer(CommandEngine& engine) : engine_(engine) {}
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Port 0 lets the system choose; Port() tells which.
    bool Listen(const std::string& address, int port, std::string& error);
    int Port() const { return port_; }
    // One line per request when set.
    void SetLog(std::FILE* log) { log_ = log; }
    // Serves until stopFd becomes readable.
    void Run(int stopFd);

  private:
    CommandEngine& engine_;
    int listenFd_ = -1;
    int port_ = 0;
    std::FILE* log_ = nullptr;
};

}  // namespace docserver
