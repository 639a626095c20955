#pragma once
// The document server over TCP: one thread polls every socket and collects
// frames; a pool of workers runs the commands, each worker with an engine of
// its own (an engine runs one command at a time) on its own database
// connection, so a slow request holds up only its own connection. A
// connection's requests run one at a time, in the order they came, on
// whichever worker is free; waiting connections take turns by address.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/command_engine.h"
#include "server/request_frame.h"

struct sockaddr_in;

namespace docserver {

struct ServerLimits {
    int workers = 0;  // 0: one per processor, at least two (see WorkerCount)
    std::size_t maxConnections = 256;
    // Below maxConnections, so that one address cannot take every place.
    std::size_t maxPerAddress = 32;
    // Logged-in connections of one user: a reviewer's several viewers, and
    // never every place.
    std::size_t maxPerUser = 32;
    // Input waiting to be run and replies waiting to be sent, all
    // connections together; past it the connection that holds the most is
    // dropped.
    std::size_t maxBufferedBytes = 256u << 20;
    // A connection that completes no request and takes no reply this long
    // is closed, whatever it holds.
    int idleSeconds = 900;
    // A request frame begun is dropped when no byte of it comes this long.
    int frameSeconds = 120;
    // A connection that has not logged in this long after it came is
    // closed, whatever it sends.
    int loginGraceSeconds = 30;
    // A peer gone without a close (its network lost) is found by keepalive
    // probes within about this long, and its connection closed; behind a
    // shut window, by window probes within four minutes more.
    int deadPeerSeconds = RequestFrame::kDeadPeerSeconds;
};

// The workers the limits ask for.
int WorkerCount(const ServerLimits& limits);

class TcpServer {
  public:
    // One worker per engine; the engines share one login throttle.
    TcpServer(std::vector<CommandEngine*> engines, ServerLimits limits = {})
        : engines_(std::move(engines)), limits_(limits) {
        for (CommandEngine* engine : engines_) engine->SetDeadPeerSeconds(limits_.deadPeerSeconds);
    }
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
    // With mutex_ held: the peer is gone or dropped; a worker ends its session.
    void HangUp(const std::shared_ptr<Client>& client, const char* why);
    // With mutex_ held: while past the buffer limit, drops the connection
    // holding the most, those without a login first.
    void ShedLargest(const std::vector<std::shared_ptr<Client>>& clients);
    // Takes a new connection or refuses it with a reply saying why.
    void Admit(int fd, const sockaddr_in& peer);
    // With mutex_ held: closes a connection without a login to make room
    // for one from an address that has fewer of them; false when none.
    bool MakeRoom(const std::string& address);
    // With mutex_ held: closes what has been idle, stalled in a frame or
    // without a login too long.
    void CloseExpired();
    // With mutex_ held: bytes read from the client.
    void Receive(const std::shared_ptr<Client>& client, const char* data, std::size_t size);
    // With mutex_ held: the refusal when a login as user would pass the
    // user's cap, else "".
    std::string UserCapRefusal(const Client& client, const std::string& user) const;

    std::vector<CommandEngine*> engines_;
    ServerLimits limits_;
    int listenFd_ = -1;
    int port_ = 0;
    int wakeFd_ = -1;
    std::FILE* log_ = nullptr;

    std::mutex mutex_;
    std::condition_variable ready_;
    // Connections waiting for a worker, by address, and the addresses in turn.
    std::map<std::string, std::deque<std::shared_ptr<Client>>> queued_;
    std::deque<std::string> turns_;
    std::size_t buffered_ = 0;  // pending input and unsent output of all clients
    // Changed by the poll thread, with mutex_ held.
    std::vector<std::shared_ptr<Client>> clients_;
    int nextNumber_ = 1;
    std::chrono::steady_clock::time_point nextExpiry_{};
    std::mt19937 random_ = RequestFrame::SeededRandom();
    bool stopping_ = false;
    // When a worker last showed in the lock rows that this server lives.
    std::chrono::steady_clock::time_point lifeShown_{};
    // The reason the error output last gave for requests refused on the
    // system itself (held in WAL, system.db replaced): once, until one is
    // answered again.
    const char* systemRefusalTold_ = nullptr;  // under mutex_
    // The same for running out of descriptors, for requests and accepts
    // apart: once, until one is served again.
    bool requestsOutOfFiles_ = false;  // under mutex_
    bool acceptOutOfFiles_ = false;    // the poll thread's
    // Says on the error output what waits for descriptors, once a spell.
    void TellOutOfFiles(bool& told, const char* what);
};

}  // namespace docserver
