#pragma once
// Failed logins are slowed down three ways: per user and address, per
// address whatever the name, and per user whatever the address. After a few
// failures further attempts are refused unchecked for a while, the wait
// doubling with each failure, so the password hashing an address or a
// guessed user can cost is bounded. The hold on a user spares the addresses
// that user logged in from, so a guesser elsewhere does not lock the user
// out; the engine keeps those addresses in the system, so a restart forgets
// none of them. Nothing sleeps; the clock is injectable.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace docserver {

class LoginThrottle {
  public:
    using Clock = std::function<std::int64_t()>;  // milliseconds, any epoch

    static constexpr int kFreeFailures = 5;          // one user from one address
    static constexpr int kFreeAddressFailures = 10;  // any users from one address
    static constexpr int kFreeUserFailures = 20;     // one user from any addresses
    static constexpr std::int64_t kFirstWaitMs = 1000;
    static constexpr std::int64_t kLongestWaitMs = 5 * 60 * 1000;
    static constexpr std::int64_t kForgetAfterMs = 15 * 60 * 1000;
    static constexpr std::size_t kKnownAddressesPerUser = 8;

    LoginThrottle();
    explicit LoginThrottle(Clock clock);

    // True while attempts of this user from this address are held back.
    bool Held(const std::string& user, const std::string& address);
    // Held, or else counts the attempt as failed until Succeeded says
    // otherwise: checks running at once cannot slip past the count.
    bool Begin(const std::string& user, const std::string& address);
    // A failure not announced by Begin.
    void Failed(const std::string& user, const std::string& address);
    // The attempt announced by Begin proved the password. True when the
    // address is new as the user's latest, for the engine to keep.
    bool Succeeded(const std::string& user, const std::string& address);
    // An address the user logged in from before, oldest first.
    void Remember(const std::string& user, const std::string& address);

  private:
    struct Entry {
        int failures = 0;
        std::int64_t last = 0;   // time of the last failure
        std::int64_t until = 0;  // attempts before this are refused
    };
    using Entries = std::map<std::string, Entry>;
    static std::string UserKey(const std::string& user);
    static bool HeldIn(const Entries& entries, const std::string& key, std::int64_t now);
    static void Count(Entries& entries, const std::string& key, int freeFailures, std::int64_t now);
    static void Uncount(Entries& entries, const std::string& key, int freeFailures);
    bool HeldLocked(const std::string& user, const std::string& address, std::int64_t now);
    void CountLocked(const std::string& user, const std::string& address);
    void RememberLocked(const std::string& key, const std::string& address);

    Clock clock_;
    std::mutex mutex_;
    Entries pairs_;
    Entries addresses_;
    Entries users_;
    // Where each user last logged in from, newest last.
    std::map<std::string, std::deque<std::string>> known_;
};

}  // namespace docserver
