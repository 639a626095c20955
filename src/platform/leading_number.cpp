#include "platform/leading_number.h"

#include <cerrno>
#include <cstdlib>

#include "platform/rounding.h"

namespace platform {

double LeadingNumber(const std::string& text) {
    size_t i = text.find_first_not_of(" \t\r\n");
    if (i == std::string::npos) return 0;
    size_t start = i;
    if (text[i] == '+' || text[i] == '-') ++i;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t e = i + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
        if (e < text.size() && text[e] >= '0' && text[e] <= '9') {
            i = e;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        }
    }
    return std::strtod(text.substr(start, i - start).c_str(), nullptr);
}

std::int32_t LeadingInteger(const std::string& text) {
    return RoundToInt(LeadingNumber(text));
}

bool WholeNumberIn(const std::string& text, long low, long high, long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || value < low || value > high) return false;
    out = value;
    return true;
}

}  // namespace platform
