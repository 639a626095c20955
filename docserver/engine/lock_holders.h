#pragma once
// Who holds a page lock, as its row records it, and whether that holder is
// gone: a lock whose holder is gone keeps nobody out.

#include <cstdint>
#include <string>

namespace docserver {

// A holder on another machine (the system on a shared folder) that showed
// no sign of life for this long is gone, as the server closes a connection
// idle for its default idle time-out.
inline constexpr std::int64_t kSilentHolderSeconds = 900;
// A local-access session holding locks shows it lives at most this often.
inline constexpr std::int64_t kLifeShownEverySeconds = 60;

// This process as a lock row records it: the machine (host name, machine
// id, process namespace), the boot, the pid and the pid's start time, so a
// pid used again after its holder died is not taken for the holder.
const std::string& ProcessIdentity();

// Whether the process a session name ("[host/]pid:...") names is gone for
// sure: one of this host that no longer runs. Names of another form and
// owners on other hosts are left alone.
bool SessionOwnerIsDead(const std::string& session, const std::string& host);

// Whether the holder of a lock row is gone for sure. owner is its
// ProcessIdentity ("" in rows older than it: judged by the session name);
// seen its last sign of life (seconds since the epoch); silence how long
// it may keep still on another machine (0: no bound, its server bounds it).
bool HolderGone(const std::string& session, const std::string& owner, std::int64_t seen,
                std::int64_t silence, std::int64_t now);

}  // namespace docserver
