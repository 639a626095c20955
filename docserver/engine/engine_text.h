#pragma once
// Small readers and writers shared by the command families.

#include <cstdint>
#include <ctime>
#include <string>

namespace docserver {

// A count of at most 12 decimal digits, nothing else.
inline bool ParseCount(const std::string& text, std::int64_t& value) {
    if (text.empty() || text.size() > 12) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::stoll(text);
    return true;
}

// The time stamp rows of the database carry (UTC).
inline std::string NowText() {
    std::time_t t = std::time(nullptr);
    char text[32];
    std::tm utc{};
    gmtime_r(&t, &utc);
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return text;
}

}  // namespace docserver
