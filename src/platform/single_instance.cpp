#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/clock.h"
#include "platform/event_pump.h"

namespace platform {

InstanceLock::InstanceLock(std::string application) : application_(std::move(application)) {}

InstanceLock::~InstanceLock() {
    Release();
}

bool InstanceLock::Acquire() {
    if (fd_ >= 0) return true;
    std::string path = DdeLockPath(application_);
    if (path.empty()) return false;
    // Close-on-exec: a program the viewer starts must not keep the lock.
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    int rc;
    do {
        rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        close(fd);
        return false;
    }
    std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) == 0) {
        ssize_t written = pwrite(fd, pid.data(), pid.size(), 0);
        (void)written;  // the number is for people looking; the lock is what counts
    }
    fd_ = fd;
    return true;
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        bool quote = argument.find(' ') != std::string::npos;
        line += quote ? "\"" + argument + "\"" : argument;
    }
    return line;
}

DdeResult HandOverToFirstInstance(const std::string& application, const std::string& topic,
                                  const std::string& commandLine, int timeoutMs) {
    const std::int64_t deadline = CurrentClock().MonotonicMs() + std::max(timeoutMs, 0);
    DdeClient client;
    DdeResult linked;
    for (;;) {
        std::int64_t left = deadline - CurrentClock().MonotonicMs();
        linked = client.Link(application + "|" + topic,
                             static_cast<int>(std::max<std::int64_t>(left, 0)));
        if (linked.ok || left <= 0) break;
        // The first instance holds the lock but may not listen yet.
        for (int i = 0; i < 10 && CurrentClock().MonotonicMs() < deadline; ++i) DoEvents();
    }
    if (!linked.ok) return linked;
    int left = static_cast<int>(std::max<std::int64_t>(deadline - CurrentClock().MonotonicMs(), 0));
    DdeResult result =
        commandLine.empty() ? client.Front(left) : client.Execute("CmdLine," + commandLine, left);
    client.Close();
    return result;
}

}  // namespace platform
