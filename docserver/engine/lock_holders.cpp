#include "lock_holders.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
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

std::string Namespace(const char* kind) {
    char link[128] = {};
    ssize_t n = ::readlink((std::string("/proc/self/ns/") + kind).c_str(), link, sizeof link - 1);
    return n > 0 ? std::string(link, static_cast<std::size_t>(n)) : "";
}

// A kernel without time namespaces has one time for all: "none", as
// sure as a namespace. A /proc that hides it leaves it unknown.
std::string TimeNamespace() {
    char link[128] = {};
    ssize_t n = ::readlink("/proc/self/ns/time", link, sizeof link - 1);
    if (n > 0) return std::string(link, static_cast<std::size_t>(n));
    if (errno == ENOENT && !Namespace("pid").empty()) return "none";
    return "";
}

struct ProcessState {
    char state = '?';
    std::string start;  // clock ticks after boot; "" when unknown
};

// From /proc/<pid>/stat: the state (field 3) and the start time (field
// 22), read past the last ')' as the name may hold anything. The start
// time reads as the reader's time namespace sees it.
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

// When this machine booted, as the initial time namespace sees it: a time
// namespace moves /proc/stat's btime back by its boot-time offset.
std::int64_t ReadBootTime() {
    std::ifstream stat("/proc/stat");
    std::int64_t boot = 0;
    for (std::string line; boot == 0 && std::getline(stat, line);)
        if (line.rfind("btime ", 0) == 0) boot = std::atoll(line.c_str() + 6);
    if (boot <= 0) return 0;
    // The offsets shown are those of the namespace children enter.
    if (Namespace("time") != Namespace("time_for_children")) return 0;
    std::ifstream offsets("/proc/self/timens_offsets");
    for (std::string line; std::getline(offsets, line);) {
        long long seconds = 0;
        if (std::sscanf(line.c_str(), "boottime %lld", &seconds) == 1) boot += seconds;
    }
    return boot;
}

std::int64_t EpochOf(const std::string& utc) {
    std::tm t{};
    if (std::sscanf(utc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &t.tm_year, &t.tm_mon, &t.tm_mday,
                    &t.tm_hour, &t.tm_min, &t.tm_sec) != 6)
        return 0;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return static_cast<std::int64_t>(::timegm(&t));
}

struct Identity {
    bool read = false;
    std::string host, machine, pids, times, boot, pid, start;
};

Identity Parse(const std::string& text) {
    std::vector<std::string> t;
    std::istringstream in(text);
    for (std::string token; in >> token;) t.push_back(token);
    // Written before the time namespace was recorded: not known.
    if (t.size() == 6) t.insert(t.begin() + 3, "-");
    if (t.size() != 7) return {};
    return {true, t[0], t[1], t[2], t[3], t[4], t[5], t[6]};
}

// Only tokens both sides read are compared; an unknown one proves nothing.
bool Same(const std::string& a, const std::string& b) { return a != "-" && a == b; }
bool Differ(const std::string& a, const std::string& b) {
    return a != "-" && b != "-" && a != b;
}

bool PidText(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return std::stol(text) > 0;
}

enum class Fate { Gone, Lives, Unknown };

// A process of this machine, boot and pid namespace: gone when its pid
// runs no more or runs another process. Start times tell only when both
// were read in one time namespace.
Fate ProcessFate(const std::string& pid, const std::string& start, bool sameTime) {
    if (!PidText(pid)) return Fate::Unknown;
    if (::kill(static_cast<pid_t>(std::stol(pid)), 0) != 0 && errno == ESRCH) return Fate::Gone;
    ProcessState state = ReadProcessState(pid);
    // A process that died and waits for its parent holds nothing.
    if (state.state == 'Z' || state.state == 'X') return Fate::Gone;
    if (!sameTime || start == "-" || state.start.empty()) return Fate::Unknown;
    return state.start == start ? Fate::Lives : Fate::Gone;
}

std::string ReadProcessIdentity() {
    std::string machine = FirstLine("/etc/machine-id");
    if (machine.empty()) machine = FirstLine("/var/lib/dbus/machine-id");
    std::string pid = std::to_string(::getpid());
    return Token(HostName()) + " " + Token(machine) + " " + Token(Namespace("pid")) + " " +
           Token(TimeNamespace()) + " " + Token(FirstLine("/proc/sys/kernel/random/boot_id")) +
           " " + pid + " " + Token(ReadProcessState(pid).start);
}

}  // namespace

// Read again in a child forked after it was read: the child's rows must
// name the child, or they would live and die with its parent.
// Never destroyed: a thread may still show its life while the process exits.
const std::string& ProcessIdentity() {
    static std::mutex& mutex = *new std::mutex;
    static pid_t readFor = 0;
    static std::string& identity = *new std::string;
    std::lock_guard<std::mutex> lock(mutex);
    if (readFor != ::getpid()) {
        identity = ReadProcessIdentity();
        readFor = ::getpid();
    }
    return identity;
}

const JudgeSelf& ThisProcess() {
    static std::mutex& mutex = *new std::mutex;
    static pid_t readFor = 0;
    static JudgeSelf& self = *new JudgeSelf;
    std::lock_guard<std::mutex> lock(mutex);
    if (readFor != ::getpid()) {
        self = {ProcessIdentity(), ReadBootTime()};
        readFor = ::getpid();
    }
    return self;
}

bool HolderGone(const HolderRecord& holder, std::int64_t now, const JudgeSelf& judge) {
    const std::int64_t lastSign = holder.seen > 0 ? holder.seen : EpochOf(holder.written);
    const std::int64_t bound = holder.silence > 0 ? holder.silence : kSilentHolderSeconds;
    const Identity h = Parse(holder.owner), self = Parse(judge.identity);
    if (h.read && self.read && Same(h.host, self.host) && Same(h.machine, self.machine)) {
        if (Same(h.boot, self.boot) && Same(h.pids, self.pids)) {
            Fate fate = ProcessFate(h.pid, h.start, Same(h.times, self.times));
            if (fate != Fate::Unknown) return fate == Fate::Gone;
        } else if (Differ(h.boot, self.boot) && judge.bootTime > 0 && lastSign < judge.bootTime) {
            // Another boot of this machine, or a machine cloned from it that
            // booted on its own: only one silent since before this boot
            // surely died with it.
            return true;
        }
    }
    // Its last sign of life may lag its last request by one beat.
    return now - lastSign > bound + kLifeShownEverySeconds;
}

}  // namespace docserver
