#include "support/server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "platform/dynamic_library.h"

namespace testsupport {
namespace {

// False once the writer closed its end: a server that refused to start.
bool ReadAvailable(int fd, std::string& out, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, timeoutMs) > 0) {
        char buffer[512];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return false;
        if (n < 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
        if (out.find('\n') != std::string::npos) break;
    }
    return true;
}

}  // namespace

ServerProcess::ServerProcess(const std::string& systemDir, bool log,
                             const std::vector<std::string>& options) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return;
    std::string program = platform::ProgramDir() + "/talq-server";
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        // Nothing of the test's: the server's descriptors are its own.
        ::close_range(3, ~0U, 0);
        std::vector<const char*> args{program.c_str(), "--system", systemDir.c_str(), "--port",
                                      "0"};
        if (log) args.push_back("--log");
        for (const std::string& option : options) args.push_back(option.c_str());
        args.push_back(nullptr);
        ::execv(program.c_str(), const_cast<char* const*>(args.data()));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (output_.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline)
        if (!ReadAvailable(out_, output_, 200)) break;
    auto colon = output_.rfind(':');
    if (output_.find("listening") != std::string::npos && colon != std::string::npos)
        port_ = std::atoi(output_.c_str() + colon + 1);
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) Stop(SIGKILL);
    if (out_ >= 0) ::close(out_);
}

int ServerProcess::Stop(int signal) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal);
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
        ::usleep(10000);
    if (done == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
    }
    pid_ = -1;
    std::string rest;
    ReadAvailable(out_, rest, 100);
    output_ += rest;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::unique_ptr<ServerProcess> ServerTellingInto(const std::string& systemDir,
                                                 const std::string& errors,
                                                 const std::vector<std::string>& options) {
    const int saved = ::dup(2);
    const int file = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (saved < 0 || file < 0) {
        if (saved >= 0) ::close(saved);
        if (file >= 0) ::close(file);
        return nullptr;
    }
    ::dup2(file, 2);
    ::close(file);
    auto server = std::make_unique<ServerProcess>(systemDir, false, options);
    ::dup2(saved, 2);
    ::close(saved);
    return server;
}

pid_t SpawnServerUnderLimit(const std::vector<std::string>& options, int resource, rlim_t soft,
                            rlim_t hard, int& output) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return -1;
    const std::string program = platform::ProgramDir() + "/talq-server";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::dup2(pipeFds[1], 2);
        ::close_range(3, ~0U, 0);
        const rlimit limit{soft, hard};
        if (::setrlimit(resource, &limit) != 0) ::_exit(126);
        std::vector<const char*> args{program.c_str()};
        for (const std::string& option : options) args.push_back(option.c_str());
        args.push_back(nullptr);
        ::execv(program.c_str(), const_cast<char* const*>(args.data()));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return -1;
    }
    output = pipeFds[0];
    return pid;
}

}  // namespace testsupport
