#pragma once
// A raw wire client of a talq-server process: frames built by hand, no
// session object in between, as a hostile client would send them.

#include <random>
#include <string>

namespace testsupport {

// A loopback connection to the port, from another loopback address
// (127.x.y.z) when given; -1 when it cannot be made.
int ConnectLoopback(int port, const std::string& from = "");

// Sends bytes and waits for one reply frame: its payload, "CLOSED" when the
// server ended the connection, and "TIMEOUT" (or "OPEN" when no reply was
// expected) after five seconds, or the given wait, without a byte.
std::string Exchange(int fd, const std::string& bytes, bool expectReply = true, int waitMs = 5000);

class RawClient {
  public:
    // From another loopback address when given.
    explicit RawClient(int port, const std::string& from = "");
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
    // One command as a request frame; the reply payload.
    std::string Send(const std::string& command);
    // The same in two halves, for commands meant to run at once.
    void Post(const std::string& command);
    std::string Reply();
    // Logs in and, when project is not empty, selects it; false when refused.
    bool LogIn(const std::string& user, const std::string& password,
               const std::string& project = "");

  private:
    int fd_ = -1;
    std::mt19937 random_{7};
};

}  // namespace testsupport
