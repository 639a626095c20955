#pragma once
// Failed logins are slowed down three ways: per user and address, per
// address whatever the name, and per user whatever the address. After a few
// failures further attempts are refused unchecked for a while, the wait
// doubling with each failure, so the password hashing an address or a
// guessed user can cost is bounded. The holds on a user and on an address
// spare the addresses that user logged in from, so neither a guesser
// elsewhere nor strangers failing at a shared address (a terminal server, a
// NAT) lock the user out there; the hold on that user at that address still
// limits guesses at it. The engine keeps those addresses in the system, so a
// restart forgets none of them. Names and addresses are kept only as keyed
// digests, and the tables are capped, so strangers cannot grow the memory
// they take. A record that holds back or still counts failures is never
// dropped to make room: a flood of new names must not wipe a hold. When a
// table is full of such, an attempt that would need a new record is refused
// unchecked, but a user from an address it logged in from is always checked
// (those records are bounded by the users, not by strangers). Nothing
// sleeps; the clock is injectable.

#include <condition_variable>
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
    // Records per table for attempts not spared; past it only the stale go.
    static constexpr std::size_t kMaxEntries = 20000;

    LoginThrottle();
    explicit LoginThrottle(Clock clock);

    // True while attempts of this user from this address are held back.
    bool Held(const std::string& user, const std::string& address);
    // Held, or no room for its records, or else the attempt is in flight
    // until Succeeded, Rejected or Abandoned ends it. Checks in flight are
    // no failures, but they use up the free ones: a check past them waits
    // for those in flight to end, so checks running at once cannot slip
    // past the count.
    bool Begin(const std::string& user, const std::string& address);
    // The attempt announced by Begin failed.
    void Rejected(const std::string& user, const std::string& address);
    // The attempt announced by Begin ended without a verdict.
    void Abandoned(const std::string& user, const std::string& address);
    // The attempt announced by Begin proved the password. True when the
    // address is to be kept in the system: new as the user's latest, or not
    // stored yet.
    bool Succeeded(const std::string& user, const std::string& address);
    // Keeping the address failed: the next login from it keeps it.
    void Unkept(const std::string& user, const std::string& address);
    // An address the user logged in from before, oldest first.
    void Remember(const std::string& user, const std::string& address);
    // Records in all tables.
    std::size_t Records();

  private:
    struct Entry {
        int failures = 0;
        int inFlight = 0;
        std::int64_t last = 0;   // time of the last failure
        std::int64_t until = 0;  // attempts before this are refused
    };
    using Key = std::uint64_t;
    struct Entries {
        std::map<Key, Entry> records;
        std::int64_t sweepAt = 0;  // no record turns stale before this
    };
    struct Keys {
        Key pair, address, user;
    };
    struct Known {
        std::deque<std::string> addresses;  // newest last
        bool latestStored = true;
    };
    static std::string UserKey(const std::string& user);
    Keys KeysOf(const std::string& user, const std::string& address) const;
    static bool HeldIn(const Entries& entries, Key key, std::int64_t now);
    // Whether a check now would pass the free failures with those in flight.
    static bool Crowded(const Entries& entries, Key key, int freeFailures);
    // Whether the key has a record or one can be made; spared may pass the cap.
    static bool Room(Entries& entries, Key key, std::int64_t now, bool spared);
    static void Count(Entries& entries, Key key, int freeFailures, std::int64_t now, bool spared);
    static void Land(Entries& entries, Key key);
    bool HeldLocked(const std::string& user, const std::string& address, const Keys& keys,
                    std::int64_t now);
    bool SparedLocked(const std::string& user, const std::string& address);
    void CountLocked(const std::string& user, const std::string& address, const Keys& keys);
    void LandLocked(const Keys& keys);
    void RememberLocked(const std::string& key, const std::string& address);

    Clock clock_;
    std::string secret_;  // keys the digests, so no name can be made to meet another's
    std::mutex mutex_;
    std::condition_variable landed_;
    Entries pairs_;
    Entries addresses_;
    Entries users_;
    // Where each user last logged in from: only users who proved a password.
    std::map<std::string, Known> known_;
};

}  // namespace docserver
