#pragma once
// A relay between a client and a server that loses the answer to a request
// chosen by its command, as a flaky network does: it closes the client's
// connection once the server has begun to reply (the request carried out),
// or before the server sees the request at all. It may also turn every new
// connection away, as a network still down would.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

class ReplyLosingRelay {
  public:
    enum class Loss { kAfterTheServerReplies, kBeforeTheServerSees };
    explicit ReplyLosingRelay(int serverPort);
    ~ReplyLosingRelay();
    ReplyLosingRelay(const ReplyLosingRelay&) = delete;
    ReplyLosingRelay& operator=(const ReplyLosingRelay&) = delete;

    int Port() const { return port_; }
    // The next request whose command starts with prefix is lost so; then,
    // when asked, new connections are turned away until TurnAway(false).
    void LoseNext(const std::string& prefix, Loss loss, bool thenTurnAway = false);
    // Requests lost so far.
    int Lost() const { return lost_; }
    // While set, every new connection is closed at once.
    void TurnAway(bool on) { turnAway_ = on; }

  private:
    void Run();

    int serverPort_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> turnAway_{false};
    std::atomic<int> lost_{0};
    mutable std::mutex mutex_;
    std::string prefix_;
    Loss loss_ = Loss::kAfterTheServerReplies;
    bool thenTurnAway_ = false;
    std::thread thread_;
};

}  // namespace testsupport
