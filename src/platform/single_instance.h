#pragma once
// One running program per user: a lock file beside the message sockets
// decides which process is the first. The kernel drops the lock when its
// holder ends in any way, so a lock file left by a crashed program is simply
// taken over. A later process hands its command line to the first through the
// message layer and ends.

#include <string>
#include <vector>

#include "platform/dde.h"

namespace platform {

class InstanceLock {
  public:
    explicit InstanceLock(std::string application);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this process holds the lock now, i.e. it is the first instance.
    bool Acquire();
    bool Held() const { return fd_ >= 0; }
    void Release();

  private:
    std::string application_;
    int fd_ = -1;
};

// The program's arguments as one command line, as a shell user typed it:
// joined by single blanks, an argument holding a blank in double quotes.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// Run by a second instance: executes "CmdLine," followed by the command line
// on the first instance's topic, or asks it to come to the front when the
// command line is empty. Linking is retried until the timeout, since the
// first instance may still be starting up.
DdeResult HandOverToFirstInstance(const std::string& application, const std::string& topic,
                                  const std::string& commandLine,
                                  int timeoutMs = kDdeDefaultTimeoutMs);

}  // namespace platform
