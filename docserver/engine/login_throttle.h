#pragma once
// Failed logins are slowed down per user and address: after a few failures
// further attempts are refused unchecked for a while, the wait doubling with
// each failure. Nothing sleeps; the clock is injectable.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace docserver {

class LoginThrottle {
  public:
    using Clock = std::function<std::int64_t()>;  // milliseconds, any epoch

    static constexpr int kFreeFailures = 5;
    static constexpr std::int64_t kFirstWaitMs = 1000;
    static constexpr std::int64_t kLongestWaitMs = 5 * 60 * 1000;
    static constexpr std::int64_t kForgetAfterMs = 15 * 60 * 1000;

    LoginThrottle();
    explicit LoginThrottle(Clock clock);

    // True while attempts of this user from this address are held back.
    bool Held(const std::string& user, const std::string& address);
    void Failed(const std::string& user, const std::string& address);
    void Succeeded(const std::string& user, const std::string& address);

  private:
    struct Entry {
        int failures = 0;
        std::int64_t last = 0;   // time of the last failure
        std::int64_t until = 0;  // attempts before this are refused
    };
    static std::string Key(const std::string& user, const std::string& address);
    void Forget(std::int64_t now);

    Clock clock_;
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

}  // namespace docserver
