#include "lock_holders.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <fstream>
#include <sstream>
#include <vector>

#include "command_engine.h"

namespace docserver {
namespace {

std::string FirstLine(const char* path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// A token of the identity: never empty, never a blank in it.
std::string Token(std::string text) {
    for (char& c : text)
        if (c == ' ' || c == '\t') c = '_';
    return text.empty() ? "-" : text;
}

struct ProcessState {
    char state = '?';
    std::string start;  // clock ticks after boot; "" when unknown
};

// From /proc/<pid>/stat: the state (field 3) and the start time (field
// 22), read past the last ')' as the name may hold anything.
ProcessState ReadProcessState(const std::string& pid) {
    ProcessState result;
    std::ifstream in("/proc/" + pid + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return result;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 3) result.state = field.empty() ? '?' : field[0];
        if (i == 22) result.start = field;
    }
    return result;
}

std::vector<std::string> Split(const std::string& identity) {
    std::vector<std::string> tokens;
    std::istringstream in(identity);
    for (std::string token; in >> token;) tokens.push_back(token);
    return tokens;
}

bool PidText(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return std::stol(text) > 0;
}

// Whether the process of this machine and boot is gone, or another now
// runs under its pid.
bool ProcessGone(const std::string& pid, const std::string& start) {
    if (!PidText(pid)) return false;
    if (::kill(static_cast<pid_t>(std::stol(pid)), 0) != 0 && errno == ESRCH) return true;
    ProcessState state = ReadProcessState(pid);
    // A process that died and waits for its parent holds nothing.
    if (state.state == 'Z' || state.state == 'X') return true;
    return !state.start.empty() && start != "-" && state.start != start;
}

}  // namespace

const std::string& ProcessIdentity() {
    static const std::string identity = [] {
        std::string machine = FirstLine("/etc/machine-id");
        if (machine.empty()) machine = FirstLine("/var/lib/dbus/machine-id");
        char ns[128] = {};
        ssize_t n = ::readlink("/proc/self/ns/pid", ns, sizeof ns - 1);
        std::string pid = std::to_string(::getpid());
        return Token(HostName()) + " " + Token(machine) + " " +
               Token(n > 0 ? std::string(ns, static_cast<std::size_t>(n)) : "") + " " +
               Token(FirstLine("/proc/sys/kernel/random/boot_id")) + " " + pid + " " +
               Token(ReadProcessState(pid).start);
    }();
    return identity;
}

bool SessionOwnerIsDead(const std::string& session, const std::string& host) {
    std::string rest = session;
    std::size_t slash = rest.find('/');
    if (slash != std::string::npos) {
        if (rest.substr(0, slash) != host) return false;
        rest = rest.substr(slash + 1);
    }
    std::size_t colon = rest.find(':');
    if (colon == std::string::npos || !PidText(rest.substr(0, colon))) return false;
    return ::kill(static_cast<pid_t>(std::stol(rest.substr(0, colon))), 0) != 0 && errno == ESRCH;
}

bool HolderGone(const std::string& session, const std::string& owner, std::int64_t seen,
                std::int64_t silence, std::int64_t now) {
    if (owner.empty()) return SessionOwnerIsDead(session, HostName());
    const std::vector<std::string> holder = Split(owner);
    const std::vector<std::string> self = Split(ProcessIdentity());
    if (holder.size() != 6 || self.size() != 6) return false;
    if (holder[0] == self[0] && holder[1] == self[1] && holder[2] == self[2]) {
        // This machine: its processes are known for sure, however still.
        if (holder[3] != self[3]) return true;  // it restarted since
        return ProcessGone(holder[4], holder[5]);
    }
    return silence > 0 && now - seen > silence;
}

}  // namespace docserver
