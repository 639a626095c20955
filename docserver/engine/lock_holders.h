#pragma once
// Who holds a page lock or an open batch job, as its row records it, and
// whether that holder is gone: what a gone holder held keeps nobody out.

#include <cstdint>
#include <string>

namespace docserver {

// A holder that showed no sign of life for this long is gone, as the
// server closes a connection idle for its default idle time-out.
inline constexpr std::int64_t kSilentHolderSeconds = 900;
// A holder shows it lives at most this often.
inline constexpr std::int64_t kLifeShownEverySeconds = 60;

// This process as a row records it, in blank-separated tokens: host name,
// machine id, pid namespace, time namespace, boot id, pid and the pid's
// start time, so a pid used again after its holder died is not taken for
// the holder. A token that could not be read is "-"; identities written
// before the time namespace was recorded have six tokens.
const std::string& ProcessIdentity();

// A holder as its row records it.
struct HolderRecord {
    std::string owner;         // its ProcessIdentity; "" in rows older than it
    std::int64_t seen = 0;     // its last sign of life (seconds since the epoch); 0 none
    std::string written;       // when it wrote the row ("YYYY-MM-DDTHH:MM:SS", UTC)
    std::int64_t silence = 0;  // how long it may keep still; 0 in older rows
};

// The judging process as it knows itself: its ProcessIdentity and when its
// machine booted (seconds since the epoch, 0 when unknown).
struct JudgeSelf {
    std::string identity;
    std::int64_t bootTime = 0;
};
const JudgeSelf& ThisProcess();

// Whether the holder is gone for sure. Of this machine, boot and pid
// namespace, its pid tells; one of another boot of this machine is gone
// only when silent since before this boot; any other holder, and rows
// without an owner, by its signs of life against the silence bound.
bool HolderGone(const HolderRecord& holder, std::int64_t now,
                const JudgeSelf& judge = ThisProcess());

}  // namespace docserver
