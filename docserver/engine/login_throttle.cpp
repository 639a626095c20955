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

// Guessers make an entry per name and address; stale ones go once there
// are many.
constexpr std::size_t kTidyAbove = 10000;

}  // namespace

LoginThrottle::LoginThrottle() : clock_(SteadyMillis) {}

LoginThrottle::LoginThrottle(Clock clock) : clock_(std::move(clock)) {}

std::string LoginThrottle::UserKey(const std::string& user) {
    // User names compare without regard to case.
    std::string key = user;
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

bool LoginThrottle::HeldIn(const Entries& entries, const std::string& key, std::int64_t now) {
    auto it = entries.find(key);
    return it != entries.end() && now < it->second.until;
}

void LoginThrottle::Count(Entries& entries, const std::string& key, int freeFailures,
                          std::int64_t now) {
    if (entries.size() > kTidyAbove) {
        for (auto it = entries.begin(); it != entries.end();) {
            if (now - it->second.last > kForgetAfterMs && now >= it->second.until)
                it = entries.erase(it);
            else
                ++it;
        }
    }
    Entry& e = entries[key];
    if (e.failures > 0 && now - e.last > kForgetAfterMs && now >= e.until) e = Entry{};
    ++e.failures;
    e.last = now;
    if (e.failures >= freeFailures) {
        int doublings = std::min(e.failures - freeFailures, 20);
        e.until = now + std::min(kLongestWaitMs, kFirstWaitMs << doublings);
    }
}

void LoginThrottle::Uncount(Entries& entries, const std::string& key, int freeFailures) {
    auto it = entries.find(key);
    if (it == entries.end()) return;
    if (--it->second.failures <= 0) {
        entries.erase(it);
        return;
    }
    // Below the free failures nothing holds; above, the hold stands, as one
    // set by others' failures must.
    if (it->second.failures < freeFailures) it->second.until = 0;
}

bool LoginThrottle::HeldLocked(const std::string& user, const std::string& address,
                               std::int64_t now) {
    const std::string key = UserKey(user);
    if (HeldIn(pairs_, key + '\0' + address, now) || HeldIn(addresses_, address, now)) return true;
    if (!HeldIn(users_, key, now)) return false;
    auto known = known_.find(key);
    return known == known_.end() ||
           std::find(known->second.begin(), known->second.end(), address) == known->second.end();
}

void LoginThrottle::CountLocked(const std::string& user, const std::string& address) {
    const std::int64_t now = clock_();
    const std::string key = UserKey(user);
    Count(pairs_, key + '\0' + address, kFreeFailures, now);
    Count(addresses_, address, kFreeAddressFailures, now);
    Count(users_, key, kFreeUserFailures, now);
}

bool LoginThrottle::Held(const std::string& user, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    return HeldLocked(user, address, clock_());
}

bool LoginThrottle::Begin(const std::string& user, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (HeldLocked(user, address, clock_())) return false;
    CountLocked(user, address);
    return true;
}

void LoginThrottle::Failed(const std::string& user, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    CountLocked(user, address);
}

bool LoginThrottle::Succeeded(const std::string& user, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string key = UserKey(user);
    // A success starts this user's count from this address again, but an
    // account of one's own must not wipe what an address or a user owes.
    pairs_.erase(key + '\0' + address);
    Uncount(addresses_, address, kFreeAddressFailures);
    Uncount(users_, key, kFreeUserFailures);
    auto known = known_.find(key);
    if (known != known_.end() && !known->second.empty() && known->second.back() == address)
        return false;
    RememberLocked(key, address);
    return true;
}

void LoginThrottle::Remember(const std::string& user, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    RememberLocked(UserKey(user), address);
}

void LoginThrottle::RememberLocked(const std::string& key, const std::string& address) {
    std::deque<std::string>& known = known_[key];
    known.erase(std::remove(known.begin(), known.end(), address), known.end());
    known.push_back(address);
    if (known.size() > kKnownAddressesPerUser) known.pop_front();
}

}  // namespace docserver
