#include "platform/percent_escape.h"

namespace platform {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string PercentEscape(const std::string& text,
                          const std::function<bool(unsigned char, size_t)>& mustEscape) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (mustEscape(c, i)) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::optional<std::string> PercentUnescape(const std::string& text, bool strict) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        bool escape = text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                      HexValue(text[i + 2]) >= 0;
        if (escape) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else if (text[i] == '%' && strict) {
            return std::nullopt;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace platform
