#pragma once
// The pace of quick scroll: milliseconds between pages.

#include <algorithm>
#include <cstdint>

namespace viewer::quickscroll {

constexpr std::int32_t kDefaultInterval = 1000;
constexpr std::int32_t kStep = 250;
constexpr std::int32_t kFastest = 250;
constexpr std::int32_t kSlowest = 15000;

// The interval a window opens with: the last one used, else the default.
inline std::int32_t OpeningInterval(std::int32_t kept) {
    return kept == 0 ? kDefaultInterval : std::clamp(kept, kFastest, kSlowest);
}
// One press of "Faster" or "Slower".
inline std::int32_t StepInterval(std::int32_t current, bool slower) {
    return std::clamp(current + (slower ? kStep : -kStep), kFastest, kSlowest);
}

}  // namespace viewer::quickscroll
