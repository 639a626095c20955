#include "login_throttle.h"

#include <algorithm>
#include <chrono>

namespace docserver {
namespace {

std::int64_t SteadyMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

LoginThrottle::LoginThrottle() : clock_(SteadyMillis) {}

LoginThrottle::LoginThrottle(Clock clock) : clock_(std::move(clock)) {}

std::string LoginThrottle::Key(const std::string& user, const std::string& address) {
    // User names compare without regard to case.
    std::string key = user;
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key + '\0' + address;
}

void LoginThrottle::Forget(std::int64_t now) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (now - it->second.last > kForgetAfterMs && now >= it->second.until)
            it = entries_.erase(it);
        else
            ++it;
    }
}

bool LoginThrottle::Held(const std::string& user, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(Key(user, address));
    return it != entries_.end() && clock_() < it->second.until;
}

void LoginThrottle::Failed(const std::string& user, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::int64_t now = clock_();
    if (entries_.size() > 10000) Forget(now);
    Entry& e = entries_[Key(user, address)];
    if (e.failures > 0 && now - e.last > kForgetAfterMs) e = Entry{};
    ++e.failures;
    e.last = now;
    if (e.failures >= kFreeFailures) {
        int doublings = std::min(e.failures - kFreeFailures, 20);
        e.until = now + std::min(kLongestWaitMs, kFirstWaitMs << doublings);
    }
}

void LoginThrottle::Succeeded(const std::string& user, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.erase(Key(user, address));
}

}  // namespace docserver
