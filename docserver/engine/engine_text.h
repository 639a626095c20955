#pragma once
// Small readers and writers shared by the command families.

#include <cstdint>
#include <ctime>
#include <string>
#include <system_error>
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

// A reason as a reply carries it after the reply's own text: the wire's
// separators and control characters become spaces, so no client reads it
// as further fields or records.
inline std::string WireReason(const std::string& why) {
    std::string text;
    for (char c : why) {
        const auto u = static_cast<unsigned char>(c);
        const bool apart = u < 32 || u == 127 || c == ',' || c == '|' || c == ';';
        if (apart) c = ' ';
        if (c != ' ' || (!text.empty() && text.back() != ' ')) text.push_back(c);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// Why the last call of the C library failed, in words.
inline std::string ErrnoReason(int code) {
    return std::generic_category().message(code);
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
