#include "annotations/list_change.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace annotations {
namespace {

// A mark is known by its text on the wire: two marks stored alike are one
// mark stored twice.
std::vector<std::string> MarkTexts(const KindList& ref) {
    const int n = std::min<int>(ref.count, static_cast<int>(ref.list.size()));
    std::vector<std::string> texts(static_cast<std::size_t>(std::max(n, 0)));
    for (int i = 0; i < n; ++i)
        TalqClientAPI_Header::BuildAnnotationList(1, {ref.list[static_cast<std::size_t>(i)]},
                                                  texts[static_cast<std::size_t>(i)]);
    return texts;
}

std::map<std::string, int> Counts(const std::vector<std::string>& texts) {
    std::map<std::string, int> counts;
    for (const std::string& t : texts) ++counts[t];
    return counts;
}

// How often the change put each mark in (above 0) or took it out (below 0).
std::map<std::string, int> Delta(const KindList& base, const KindList& sent) {
    std::map<std::string, int> delta = Counts(MarkTexts(sent));
    for (const auto& [text, n] : Counts(MarkTexts(base))) delta[text] -= n;
    std::erase_if(delta, [](const auto& entry) { return entry.second == 0; });
    return delta;
}

int CountIn(const std::map<std::string, int>& counts, const std::string& text) {
    const auto it = counts.find(text);
    return it == counts.end() ? 0 : it->second;
}

}  // namespace

ChangeHeld JudgeChange(const KindList& base, const KindList& sent, const KindList& now) {
    const std::map<std::string, int> held = Counts(MarkTexts(now));
    const std::map<std::string, int> wanted = Counts(MarkTexts(sent));
    const std::map<std::string, int> before = Counts(MarkTexts(base));
    bool stored = true, landedSign = false, missedSign = false;
    for (const auto& [text, d] : Delta(base, sent)) {
        const int have = CountIn(held, text), want = CountIn(wanted, text);
        if (d > 0 ? have < want : have > want) stored = false;
        if (d > 0 && have > CountIn(before, text)) landedSign = true;
        if (d < 0 && have > want) missedSign = true;
    }
    if (stored) return ChangeHeld::kStored;
    return missedSign && !landedSign ? ChangeHeld::kNotStored : ChangeHeld::kCannotTell;
}

KindList MarksSince(const KindList& before, const KindList& now) {
    std::map<std::string, int> old = Counts(MarkTexts(before));
    const std::vector<std::string> texts = MarkTexts(now);
    KindList out;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (int& n = old[texts[i]]; n > 0) {
            --n;
            continue;
        }
        out.list.push_back(now.list[i]);
    }
    out.count = static_cast<int>(out.list.size());
    return out;
}

KindList WithoutChange(const KindList& base, const KindList& sent, const KindList& now) {
    std::map<std::string, int> delta = Delta(base, sent);
    const std::vector<std::string> texts = MarkTexts(now);
    // Holes where the change's own marks lay.
    std::vector<std::optional<AnnotationRec>> kept(texts.size());
    for (std::size_t i = texts.size(); i-- > 0;) {
        auto it = delta.find(texts[i]);
        if (it != delta.end() && it->second > 0) {
            --it->second;
            continue;
        }
        kept[i] = now.list[i];
    }
    struct PutBack {
        AnnotationRec rec;
        std::size_t at;
    };
    std::vector<PutBack> back;
    const std::vector<std::string> baseTexts = MarkTexts(base);
    for (std::size_t i = 0; i < baseTexts.size(); ++i) {
        auto it = delta.find(baseTexts[i]);
        if (it == delta.end() || it->second >= 0) continue;
        ++it->second;
        back.push_back({base.list[i], i});
    }
    KindList out;
    std::size_t next = 0;
    for (std::optional<AnnotationRec>& slot : kept) {
        if (slot) {
            out.list.push_back(std::move(*slot));
        } else if (next < back.size()) {
            out.list.push_back(back[next++].rec);
        }
    }
    for (; next < back.size(); ++next) {
        const std::size_t at = std::min(back[next].at, out.list.size());
        out.list.insert(out.list.begin() + static_cast<std::ptrdiff_t>(at), back[next].rec);
    }
    out.count = static_cast<int>(out.list.size());
    return out;
}

bool SameMarks(const KindList& a, const KindList& b) {
    return Counts(MarkTexts(a)) == Counts(MarkTexts(b));
}

}  // namespace annotations
