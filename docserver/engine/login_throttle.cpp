#include "login_throttle.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

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
    auto it = entries.records.find(key);
    return it != entries.records.end() && now < it->second.until;
}

bool LoginThrottle::Crowded(const Entries& entries, Key key, int freeFailures) {
    auto it = entries.records.find(key);
    return it != entries.records.end() && it->second.inFlight > 0 &&
           it->second.failures + it->second.inFlight >= freeFailures;
}

bool LoginThrottle::Room(Entries& entries, Key key, std::int64_t now, bool spared) {
    if (spared || entries.records.size() < kMaxEntries || entries.records.contains(key))
        return true;
    // Only what neither holds back nor counts any more may go.
    if (now < entries.sweepAt) return false;
    entries.sweepAt = std::numeric_limits<std::int64_t>::max();
    std::erase_if(entries.records, [&](const auto& kept) {
        const Entry& e = kept.second;
        const std::int64_t stale = std::max(e.last + kForgetAfterMs + 1, e.until);
        if (e.inFlight == 0 && now >= stale) return true;
        if (e.failures > 0) entries.sweepAt = std::min(entries.sweepAt, stale);
        return false;
    });
    return entries.records.size() < kMaxEntries;
}

void LoginThrottle::Count(Entries& entries, Key key, int freeFailures, std::int64_t now,
                          bool spared) {
    // The attempt's Begin made its record; a full table gains none here.
    if (!Room(entries, key, now, spared)) return;
    Entry& e = entries.records[key];
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
    entries.sweepAt = std::min(entries.sweepAt, std::max(e.last + kForgetAfterMs + 1, e.until));
}

void LoginThrottle::Land(Entries& entries, Key key) {
    auto it = entries.records.find(key);
    if (it == entries.records.end()) return;
    if (it->second.inFlight > 0) --it->second.inFlight;
    if (it->second.inFlight == 0 && it->second.failures == 0) entries.records.erase(it);
}

bool LoginThrottle::SparedLocked(const std::string& user, const std::string& address) {
    auto known = known_.find(UserKey(user));
    return known != known_.end() &&
           std::find(known->second.addresses.begin(), known->second.addresses.end(), address) !=
               known->second.addresses.end();
}

bool LoginThrottle::HeldLocked(const std::string& user, const std::string& address,
                               const Keys& keys, std::int64_t now) {
    if (HeldIn(pairs_, keys.pair, now)) return true;
    return (HeldIn(addresses_, keys.address, now) || HeldIn(users_, keys.user, now)) &&
           !SparedLocked(user, address);
}

void LoginThrottle::CountLocked(const std::string& user, const std::string& address,
                                const Keys& keys) {
    const std::int64_t now = clock_();
    const bool spared = SparedLocked(user, address);
    Count(pairs_, keys.pair, kFreeFailures, now, spared);
    Count(addresses_, keys.address, kFreeAddressFailures, now, spared);
    Count(users_, keys.user, kFreeUserFailures, now, spared);
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
        const bool crowded = Crowded(pairs_, keys.pair, kFreeFailures) ||
                             ((Crowded(addresses_, keys.address, kFreeAddressFailures) ||
                               Crowded(users_, keys.user, kFreeUserFailures)) &&
                              !SparedLocked(user, address));
        if (!crowded || landed_.wait_until(lock, giveUp) == std::cv_status::timeout) break;
    }
    const std::int64_t now = clock_();
    const bool spared = SparedLocked(user, address);
    if (!Room(pairs_, keys.pair, now, spared) || !Room(addresses_, keys.address, now, spared) ||
        !Room(users_, keys.user, now, spared))
        return false;
    ++pairs_.records[keys.pair].inFlight;
    ++addresses_.records[keys.address].inFlight;
    ++users_.records[keys.user].inFlight;
    return true;
}

void LoginThrottle::Rejected(const std::string& user, const std::string& address) {
    const Keys keys = KeysOf(user, address);
    std::lock_guard<std::mutex> lock(mutex_);
    CountLocked(user, address, keys);
    LandLocked(keys);
}

void LoginThrottle::Abandoned(const std::string& user, const std::string& address) {
    const Keys keys = KeysOf(user, address);
    std::lock_guard<std::mutex> lock(mutex_);
    LandLocked(keys);
}

bool LoginThrottle::Succeeded(const std::string& user, const std::string& address) {
    const Keys keys = KeysOf(user, address);
    std::lock_guard<std::mutex> lock(mutex_);
    // A success starts this user's count from this address again, but an
    // account of one's own must not wipe what an address or a user owes.
    if (auto pair = pairs_.records.find(keys.pair); pair != pairs_.records.end()) {
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

std::size_t LoginThrottle::Records() {
    std::lock_guard<std::mutex> lock(mutex_);
    return pairs_.records.size() + addresses_.records.size() + users_.records.size();
}

void LoginThrottle::RememberLocked(const std::string& key, const std::string& address) {
    std::deque<std::string>& known = known_[key].addresses;
    known.erase(std::remove(known.begin(), known.end(), address), known.end());
    known.push_back(address);
    if (known.size() > kKnownAddressesPerUser) known.pop_front();
}

}  // namespace docserver
