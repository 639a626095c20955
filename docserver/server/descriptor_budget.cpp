#include "descriptor_budget.h"

#include <sys/resource.h>

#include <fstream>

namespace docserver {
namespace {

// A worker's own connection (system.db, its log or journal), the system.db
// its engine holds open to tell it from another file put in its place, and
// what a request may open beside them: a sort SQLite spills to a file, a
// page image or original read, a cache entry or upload written.
constexpr std::size_t kPerWorker = 7;
// A connection's socket, and the connection of a concept search it runs,
// which keeps one of its own (system.db and its log) and holds system.db
// open as every engine does.
constexpr std::size_t kPerConnection = 4;
// The process's own: standard streams, listening socket, wake-ups,
// system.db-shm, fonts, logs; and room to spare.
constexpr std::size_t kOwn = 64;

// The most a soft limit may be raised to: the hard limit, or where that is
// unlimited, the kernel's bound on any process.
rlim_t Ceiling(rlim_t hard) {
    if (hard != RLIM_INFINITY) return hard;
    rlim_t bound = 0;
    std::ifstream("/proc/sys/fs/nr_open") >> bound;
    return bound > 0 ? bound : 1u << 20;
}

}  // namespace

std::size_t DescriptorsNeeded(int workers, std::size_t connections) {
    return kOwn + static_cast<std::size_t>(workers) * kPerWorker + connections * kPerConnection;
}

std::string FitDescriptorLimit(int workers, std::size_t connections) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return "";
    if (const rlim_t ceiling = Ceiling(limit.rlim_max); limit.rlim_cur < ceiling) {
        rlimit raised{ceiling, limit.rlim_max};
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    const std::size_t needed = DescriptorsNeeded(workers, connections);
    if (limit.rlim_cur == RLIM_INFINITY || needed <= limit.rlim_cur) return "";
    const auto figure = [](rlim_t value) {
        return value == RLIM_INFINITY ? std::string("unlimited") : std::to_string(value);
    };
    return std::to_string(workers) + (workers == 1 ? " worker and " : " workers and ") +
           std::to_string(connections) + (connections == 1 ? " connection" : " connections") +
           " need about " + std::to_string(needed) + " descriptors; the limit is " +
           figure(limit.rlim_cur) + " (hard limit " + figure(limit.rlim_max) +
           "): lower --workers or --max-connections, or raise the limit (ulimit -n)";
}

}  // namespace docserver
