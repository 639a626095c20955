#include "login_throttle.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace docserver {
namespace {

std::int64_t SteadyMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A check past the free failures waits at most this long for those in
// flight; they only hash, so it never comes to that unless one was lost.
constexpr auto kLongestCrowdWait = std::chrono::seconds(10);

}  // namespace

LoginThrottle::LoginThrottle() : LoginThrottle(SteadyMillis) {}

LoginThrottle::LoginThrottle(Clock clock) : clock_(std::move(clock)) {
    std::uint32_t words[4];
    QRandomGenerator::system()->fillRange(words);
    secret_.assign(reinterpret_cast<const char*>(words), sizeof words);
}

std::string LoginThrottle::UserKey(const std::string& user) {
    // User names compare without regard to case.
    std::string key = user;
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

LoginThrottle::Keys LoginThrottle::KeysOf(const std::string& user,
                                          const std::string& address) const {
    const QByteArray secret(secret_.data(), static_cast<qsizetype>(secret_.size()));
    auto digest = [&](char table, const std::string& text) {
        QMessageAuthenticationCode mac(QCryptographicHash::Sha256, secret);
        mac.addData(&table, 1);
        mac.addData(text.data(), static_cast<qsizetype>(text.size()));
        const QByteArray sum = mac.result();
        Key key = 0;
        std::memcpy(&key, sum.constData(), sizeof key);
        return key;
    };
    const std::string name = UserKey(user);
    return {digest('P', name + '\0' + address), digest('A', address), digest('U', name)};
}

bool LoginThrottle::HeldIn(const Entries& entries, Key key, std::int64_t now) {
    auto it = entries.find(key);
    return it != entries.end() && now < it->second.until;
}

bool LoginThrottle::Crowded(const Entries& entries, Key key, int freeFailures) {
    auto it = entries.find(key);
    return it != entries.end() && it->second.inFlight > 0 &&
           it->second.failures + it->second.inFlight >= freeFailures;
}

namespace {

// The entry of a key, made room for: past the cap the stale go, then the
// oldest failures, a quarter at a time. Checks in flight are never dropped.
template <typename Entries>
auto& Slot(Entries& entries, typename Entries::key_type key, std::int64_t now,
           std::int64_t forgetAfter, std::size_t most) {
    if (entries.size() >= most && entries.find(key) == entries.end()) {
        std::erase_if(entries, [&](const auto& kept) {
            const auto& e = kept.second;
            return e.inFlight == 0 && now - e.last > forgetAfter && now >= e.until;
        });
        if (entries.size() >= most) {
            std::vector<std::pair<std::int64_t, typename Entries::key_type>> settled;
            for (const auto& [k, e] : entries)
                if (e.inFlight == 0) settled.emplace_back(e.last, k);
            const std::size_t drop = std::min(settled.size(), entries.size() - most * 3 / 4);
            std::nth_element(settled.begin(), settled.begin() + drop, settled.end());
            for (std::size_t i = 0; i < drop; ++i) entries.erase(settled[i].second);
        }
    }
    return entries[key];
}

}  // namespace

void LoginThrottle::Count(Entries& entries, Key key, int freeFailures, std::int64_t now) {
    Entry& e = Slot(entries, key, now, kForgetAfterMs, kMaxEntries);
    if (e.failures > 0 && now - e.last > kForgetAfterMs && now >= e.until) {
        e.failures = 0;
        e.until = 0;
    }
    ++e.failures;
    e.last = now;
    if (e.failures >= freeFailures) {
        int doublings = std::min(e.failures - freeFailures, 20);
        e.until = now + std::min(kLongestWaitMs, kFirstWaitMs << doublings);
    }
}

void LoginThrottle::Land(Entries& entries, Key key) {
    auto it = entries.find(key);
    if (it == entries.end()) return;
    if (it->second.inFlight > 0) --it->second.inFlight;
    if (it->second.inFlight == 0 && it->second.failures == 0) entries.erase(it);
}

bool LoginThrottle::SparedLocked(const std::string& user, const std::string& address) {
    auto known = known_.find(UserKey(user));
    return known != known_.end() &&
           std::find(known->second.addresses.begin(), known->second.addresses.end(), address) !=
               known->second.addresses.end();
}

bool LoginThrottle::HeldLocked(const std::string& user, const std::string& address,
                               const Keys& keys, std::int64_t now) {
    if (HeldIn(pairs_, keys.pair, now) || HeldIn(addresses_, keys.address, now)) return true;
    return HeldIn(users_, keys.user, now) && !SparedLocked(user, address);
}

void LoginThrottle::CountLocked(const Keys& keys) {
    const std::int64_t now = clock_();
    Count(pairs_, keys.pair, kFreeFailures, now);
    Count(addresses_, keys.address, kFreeAddressFailures, now);
    Count(users_, keys.user, kFreeUserFailures, now);
}

void LoginThrottle::LandLocked(const Keys& keys) {
    Land(pairs_, keys.pair);
    Land(addresses_, keys.address);
    Land(users_, keys.user);
    landed_.notify_all();
}

bool LoginThrottle::Held(const std::string& user, const std::string& address) {
    const Keys keys = KeysOf(user, address);
    std::lock_guard<std::mutex> lock(mutex_);
    return HeldLocked(user, address, keys, clock_());
}

bool LoginThrottle::Begin(const std::string& user, const std::string& address) {
    const Keys keys = KeysOf(user, address);
    std::unique_lock<std::mutex> lock(mutex_);
    const auto giveUp = std::chrono::steady_clock::now() + kLongestCrowdWait;
    while (true) {
        if (HeldLocked(user, address, keys, clock_())) return false;
        const bool crowded =
            Crowded(pairs_, keys.pair, kFreeFailures) ||
            Crowded(addresses_, keys.address, kFreeAddressFailures) ||
            (Crowded(users_, keys.user, kFreeUserFailures) && !SparedLocked(user, address));
        if (!crowded || landed_.wait_until(lock, giveUp) == std::cv_status::timeout) break;
    }
    const std::int64_t now = clock_();
    ++Slot(pairs_, keys.pair, now, kForgetAfterMs, kMaxEntries).inFlight;
    ++Slot(addresses_, keys.address, now, kForgetAfterMs, kMaxEntries).inFlight;
    ++Slot(users_, keys.user, now, kForgetAfterMs, kMaxEntries).inFlight;
    return true;
}

void LoginThrottle::Rejected(const std::string& user, const std::string& address) {
    const Keys keys = KeysOf(user, address);
    std::lock_guard<std::mutex> lock(mutex_);
    CountLocked(keys);
    LandLocked(keys);
}

void LoginThrottle::Abandoned(const std::string& user, const std::string& address) {
    const Keys keys = KeysOf(user, address);
    std::lock_guard<std::mutex> lock(mutex_);
    LandLocked(keys);
}

void LoginThrottle::Failed(const std::string& user, const std::string& address) {
    const Keys keys = KeysOf(user, address);
    std::lock_guard<std::mutex> lock(mutex_);
    CountLocked(keys);
}

bool LoginThrottle::Succeeded(const std::string& user, const std::string& address) {
    const Keys keys = KeysOf(user, address);
    std::lock_guard<std::mutex> lock(mutex_);
    // A success starts this user's count from this address again, but an
    // account of one's own must not wipe what an address or a user owes.
    if (auto pair = pairs_.find(keys.pair); pair != pairs_.end()) {
        pair->second.failures = 0;
        pair->second.until = 0;
    }
    LandLocked(keys);
    const std::string key = UserKey(user);
    Known& known = known_[key];
    if (!known.addresses.empty() && known.addresses.back() == address && known.latestStored)
        return false;
    RememberLocked(key, address);
    known.latestStored = true;
    return true;
}

void LoginThrottle::Unkept(const std::string& user, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto known = known_.find(UserKey(user));
    if (known != known_.end() && !known->second.addresses.empty() &&
        known->second.addresses.back() == address)
        known->second.latestStored = false;
}

void LoginThrottle::Remember(const std::string& user, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    RememberLocked(UserKey(user), address);
}

void LoginThrottle::RememberLocked(const std::string& key, const std::string& address) {
    std::deque<std::string>& known = known_[key].addresses;
    known.erase(std::remove(known.begin(), known.end(), address), known.end());
    known.push_back(address);
    if (known.size() > kKnownAddressesPerUser) known.pop_front();
}

}  // namespace docserver
