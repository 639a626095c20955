#pragma once
// A talq-server child process on a loopback port chosen by the system.

#include <sys/resource.h>
#include <sys/types.h>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class ServerProcess {
  public:
    // Starts the talq-server next to the running program, with more command
    // line options if given; Port() is 0 when it did not come up.
    explicit ServerProcess(const std::string& systemDir, bool log = false,
                           const std::vector<std::string>& options = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    // Sends the signal and waits; the exit status, or -1 when it did not end.
    int Stop(int signal);
    // What the server printed on its standard output.
    const std::string& Output() const { return output_; }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    int port_ = 0;
    std::string output_;
};

// Starts one whose error output goes to the file at errors (made anew) for as
// long as it runs.
std::unique_ptr<ServerProcess> ServerTellingInto(const std::string& systemDir,
                                                 const std::string& errors,
                                                 const std::vector<std::string>& options = {});

// Starts talq-server with these options under one resource limit (soft and
// hard), its standard output and error going into a pipe whose read end is
// put in output; the child's process id, or -1 (nothing to close then).
pid_t SpawnServerUnderLimit(const std::vector<std::string>& options, int resource, rlim_t soft,
                            rlim_t hard, int& output);

}  // namespace testsupport
