#include "platform/clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace platform {
namespace {

class SystemClock : public Clock {
public:
    std::string TimeText() override {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char text[16];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min,
                      local.tm_sec);
        return text;
    }
    std::int64_t MonotonicMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

Clock*& Installed() {
    static SystemClock system;
    static Clock* current = &system;
    return current;
}

}  // namespace

Clock& CurrentClock() { return *Installed(); }

ScopedClock::ScopedClock(Clock& clock) : previous_(Installed()) { Installed() = &clock; }
ScopedClock::~ScopedClock() { Installed() = previous_; }

std::string ManualClock::TimeText() {
    std::int64_t seconds = ms_ / 1000;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600 % 24),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return text;
}

}  // namespace platform
