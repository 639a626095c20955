#include "foundation/text_match.h"

namespace mVBUtil {
namespace {

int Fold(int code) { return code >= 'a' && code <= 'z' ? code - 32 : code; }

// Code of the character at 1-based position pos, 0 past the end.
int CodeAt(const std::string& text, int pos) {
    if (pos < 1 || pos > static_cast<int>(text.size())) return 0;
    return static_cast<unsigned char>(text[static_cast<size_t>(pos - 1)]);
}

// Compares count characters of the text from ts with the pattern from ps;
// "?" in the pattern stands for any present character.
int CompareRun(const std::string& text, int ts, const std::string& pattern, int ps, int count) {
    if (ts < 1) ts = 1;
    if (ps < 1) ps = 1;
    if (count < 1) count = 999;
    for (int i = 0; i < count; ++i) {
        int tc = Fold(CodeAt(text, ts + i));
        int pc = Fold(CodeAt(pattern, ps + i));
        if (pc == '?' && tc > 0) continue;
        if (tc != pc) return tc - pc;
        if (tc == 0) return 0;
    }
    return 0;
}

}  // namespace

std::string UCase(std::string text) {
    for (char& c : text) c = static_cast<char>(Fold(static_cast<unsigned char>(c)));
    return text;
}

int CompareTextNoCase(const std::string& a, const std::string& b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        int ca = Fold(static_cast<unsigned char>(a[i]));
        int cb = Fold(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int WildcardMatch(const std::string& text, const std::string& pattern) {
    const int t = static_cast<int>(text.size());
    int p = static_cast<int>(pattern.size());

    bool trailingStar = false;
    if (p > 0 && pattern[static_cast<size_t>(p - 1)] == '*') {
        --p;
        trailingStar = true;
    }

    if (trailingStar && p > 1 && pattern[0] == '*') {
        int m = p - 1;
        for (int pos = 1; pos <= t - m + 1; ++pos) {
            if (CompareRun(text, pos, pattern, 2, m) == 0) return 0;
        }
        return 1;
    }

    bool starSeen = false;
    int prefix = 0, runStart = 0, run = 0, suffix = 0;
    for (int i = 1; i <= p; ++i) {
        char ch = pattern[static_cast<size_t>(i - 1)];
        if (ch == '*') {
            starSeen = true;
            suffix = 0;
        } else if (starSeen) {
            ++suffix;
        } else if (runStart > 0) {
            ++run;
        } else if (ch == '?') {
            runStart = i;
            run = 1;
        } else {
            ++prefix;
        }
    }

    if (prefix > 0) {
        int r = CompareRun(text, 1, pattern, 1, prefix);
        if (r < 0) return -1;
        if (r > 0) return 2;
        if (run == 0 && suffix == 0 && !trailingStar && t > prefix) return 2;
    }

    if (run > 0) {
        int end = runStart + run - 1;
        if (end > t) return 1;
        if (suffix == 0 && !trailingStar && end < t) return 1;
        if (CompareRun(text, runStart, pattern, runStart, run) != 0) return 1;
    }

    if (trailingStar) return 0;

    if (prefix + run + suffix == t && suffix == 0) return 0;
    if (prefix + run + suffix > t) return 1;
    return CompareRun(text, t - suffix + 1, pattern, p - suffix + 1, suffix) == 0 ? 0 : 1;
}

}  // namespace mVBUtil
