#pragma once
// Small readers and writers shared by the command families.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace docserver {

// A count of at most 12 decimal digits, nothing else.
inline bool ParseCount(const std::string& text, std::int64_t& value) {
    if (text.empty() || text.size() > 12) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::stoll(text);
    return true;
}

// Every piece between separators, empty ones included.
inline std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t at = text.find(sep, start);
        if (at == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
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
