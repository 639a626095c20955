#pragma once
// The document server over TCP: one thread polls every socket and collects
// frames; a pool of workers runs the commands, each worker with an engine of
// its own (an engine runs one command at a time) on its own database
// connection, so a slow request holds up only its own connection. A
// connection's requests run one at a time, in the order they came, on
// whichever worker is free.

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/command_engine.h"

namespace docserver {

struct ServerLimits {
    int workers = 0;  // 0: one per processor, at least two (see WorkerCount)
    std::size_t maxConnections = 256;
    // Input waiting to be run and replies waiting to be sent, all
    // connections together; the connection that goes past it is dropped.
    std::size_t maxBufferedBytes = 256u << 20;
    // A connection that runs nothing and sends nothing this long is closed.
    int idleSeconds = 900;
};

// The workers the limits ask for.
int WorkerCount(const ServerLimits& limits);

class TcpServer {
  public:
    // One worker per engine; the engines share one login throttle.
    TcpServer(std::vector<CommandEngine*> engines, ServerLimits limits = {})
        : engines_(std::move(engines)), limits_(limits) {}
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

    struct Client;

  private:
    void Work(CommandEngine& engine);
    // Queues the client for a worker when it has a request and may run it
    // (called with mutex_ held).
    void Schedule(const std::shared_ptr<Client>& client);
    void Wake();

    std::vector<CommandEngine*> engines_;
    ServerLimits limits_;
    int listenFd_ = -1;
    int port_ = 0;
    int wakeFd_ = -1;
    std::FILE* log_ = nullptr;

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::shared_ptr<Client>> queue_;
    std::size_t buffered_ = 0;  // pending input and unsent output of all clients
    bool stopping_ = false;
};

}  // namespace docserver
