#include "foundation/fields.h"

#include <vector>

namespace mVBUtil {

int CountFields(const std::string& delim, const std::string& text) {
    if (text.empty() || delim.empty()) return 0;
    int count = 1;
    // Searching resumes one character after the start of a hit, so
    // overlapping delimiters count twice.
    for (size_t pos = text.find(delim); pos != std::string::npos; pos = text.find(delim, pos + 1)) {
        ++count;
    }
    if (text.size() >= delim.size() &&
        text.compare(text.size() - delim.size(), delim.size(), delim) == 0) {
        --count;
    }
    return count;
}

namespace {

// Walks to field n; start is where it begins, end where it stops, and more
// tells whether a delimiter follows it. False when the text has fewer fields.
bool FindField(const std::string& delim, const std::string& text, int n, size_t& start,
               size_t& end, bool& more) {
    start = 0;
    for (int k = 1;; ++k) {
        size_t hit = text.find(delim, start);
        more = hit != std::string::npos;
        end = more ? hit : text.size();
        if (n <= k) return true;
        if (!more) return false;
        start = hit + delim.size();
    }
}

}  // namespace

std::string GetField(const std::string& delim, const std::string& text, int n) {
    if (text.empty()) return "";
    if (delim.empty()) return n <= 1 ? text : std::string();
    size_t start, end;
    bool more;
    if (!FindField(delim, text, n, start, end, more) || end <= start) return "";
    return text.substr(start, end - start);
}

std::string GetFieldRest(const std::string& delim, const std::string& text, int n) {
    if (text.empty()) return "";
    if (delim.empty()) return n <= 1 ? text : std::string();
    size_t start, end;
    bool more;
    if (!FindField(delim, text, n, start, end, more)) return "";
    // An empty field n still hands back the fields after it.
    return text.substr(start);
}

std::string SetField(const std::string& delim, const std::string& text, const std::string& value,
                     int n) {
    if (delim.empty()) return value;
    int hits = 0;
    size_t previous = std::string::npos;
    for (size_t q = text.find(delim); q != std::string::npos; q = text.find(delim, q + 1)) {
        ++hits;
        if (hits > n - 1) {
            std::string prefix =
                previous == std::string::npos ? std::string() : text.substr(0, previous) + delim;
            return prefix + value + text.substr(q);
        }
        previous = q;
    }
    if (n <= 1) return value;
    if (hits < n - 1) {
        std::string out = text;
        for (int i = 0; i < n - 1 - hits; ++i) out += delim;
        return out + value;
    }
    return text.substr(0, previous) + delim + value;
}

std::string NextToken(const std::string& delim, const std::string& text, int& position) {
    if (position == -1) return "";
    if (position < 1) position = 1;
    size_t from = static_cast<size_t>(position) - 1;
    size_t hit = delim.empty() || from > text.size() ? std::string::npos : text.find(delim, from);
    if (hit == std::string::npos) {
        position = -1;
        return from < text.size() ? text.substr(from) : std::string();
    }
    position = static_cast<int>(hit + delim.size()) + 1;
    return text.substr(from, hit - from);
}

void FieldBuilder::Set(int n, const std::string& value) {
    if (n <= set_) return;
    // Fields between stay as they are, or empty where the text ends.
    for (; set_ < n - 1; ++set_) {
        if (set_ > 0) done_ += delim_;
        if (!ahead_.empty()) {
            done_ += ahead_.front();
            ahead_.pop_front();
        }
    }
    // Field n gives way to the value; a delimiter in the value makes more fields.
    if (!ahead_.empty()) ahead_.pop_front();
    std::size_t first = value.find(delim_);
    if (first != std::string::npos) {
        std::vector<std::string> pieces;
        for (std::size_t from = first + 1;;) {
            std::size_t hit = value.find(delim_, from);
            pieces.push_back(value.substr(from, hit == std::string::npos ? hit : hit - from));
            if (hit == std::string::npos) break;
            from = hit + 1;
        }
        ahead_.insert(ahead_.begin(), pieces.begin(), pieces.end());
    }
    if (set_ > 0) done_ += delim_;
    done_.append(value, 0, first);
    set_ = n;
}

std::string FieldBuilder::Text() const {
    std::string text = done_;
    for (const std::string& rest : ahead_) {
        text += delim_;
        text += rest;
    }
    return text;
}

std::string TrimSpaces(const std::string& text) {
    size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    size_t e = text.find_last_not_of(' ');
    return text.substr(b, e - b + 1);
}

std::string TrimAtNull(const std::string& text) {
    return TrimSpaces(text.substr(0, text.find('\0')));
}

std::string TrimAtLineEnd(const std::string& text) {
    return TrimSpaces(text.substr(0, text.find_first_of(std::string("\0\r\n", 3))));
}

}  // namespace mVBUtil
