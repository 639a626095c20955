#pragma once
// A document server for tests that misbehaves on request: replies in pieces,
// slowly, late, never, cut off, with bad selectors or a length past the cap.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct FakeAction {
    std::string payload = "OK";  // framed and scrambled before sending
    std::string raw;             // when set, sent as it is instead
    int chunk = 0;               // piece size; 0 sends at once
    int pauseMs = 0;             // between pieces
    int delayMs = 0;             // before the first byte
    bool silent = false;         // send nothing
    bool closeAfter = false;     // close the connection afterwards
    // Called before each piece goes, with its index; may hold it back, and
    // each piece then leaves alone.
    std::function<void(int piece)> beforePiece;
};

struct FakeCommand {
    int connection;
    std::string command;
};

class FakeServer {
  public:
    using Handler = std::function<FakeAction(int connection, const std::string& command)>;
    explicit FakeServer(Handler handler);
    ~FakeServer();
    int Port() const { return port_; }
    std::vector<FakeCommand> Commands() const;
    std::vector<std::string> CommandsOn(int connection) const;
    int Connections() const { return connections_; }
    // Waits until the server has closed n connections (its own or the client's).
    bool WaitForClosed(int n) const;
    // Closes every open connection, as a server that restarts does, and
    // returns once they are closed.
    void DropConnections();

  private:
    void Run();

    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> closed_{0};
    std::atomic<bool> drop_{false};
    mutable std::mutex mutex_;
    std::vector<FakeCommand> commands_;
    std::thread thread_;
};

// A reply frame whose selectors cannot decode.
std::string BadSelectorFrame(const std::string& payload);

}  // namespace testsupport
