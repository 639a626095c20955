#include "annotations/tag_collections.h"

#include <algorithm>
#include <utility>

#include "foundation/fields.h"
#include "foundation/text_match.h"

namespace annotations {
namespace {

std::vector<std::string>::const_iterator Find(const std::vector<std::string>& names,
                                              const std::string& name) {
    return std::find_if(names.begin(), names.end(), [&](const std::string& n) {
        return mVBUtil::CompareTextNoCase(n, name) == 0;
    });
}

bool Holds(const std::vector<std::string>& names, const std::string& name) {
    return Find(names, name) != names.end();
}

}  // namespace

std::string CleanTagName(const std::string& answer) {
    std::string name = mVBUtil::TrimSpaces(answer);
    if (name.size() > kTagNameMaxLength) name.resize(kTagNameMaxLength);
    // Cutting may leave blanks at the new end.
    return mVBUtil::TrimSpaces(name);
}

std::string TagNameFault(const std::string& name) {
    for (unsigned char c : name) {
        if (c == ',') return "A Tag Collection name cannot hold a comma (,).";
        if (c == '|') return "A Tag Collection name cannot hold a bar (|).";
        if (c < 32)
            return "A Tag Collection name cannot hold control characters such as tabs or line "
                   "breaks.";
    }
    return "";
}

std::vector<std::pair<std::string, std::string>> RenamedMeanwhile(
    const std::vector<std::string>& before, const std::vector<std::string>& after,
    const std::function<bool(const std::string&)>& exists) {
    // Names sit in gaps between the names of `before` still in `after`; a gap
    // is named by the index in `before` of the name ahead of it (-1 before all).
    std::vector<long> anchorOf(after.size(), -1);
    for (long gap = -1, i = 0; i < static_cast<long>(after.size()); ++i) {
        anchorOf[static_cast<std::size_t>(i)] = gap;
        if (const auto r = Find(before, after[static_cast<std::size_t>(i)]); r != before.end())
            gap = r - before.begin();
    }
    std::vector<std::pair<std::string, std::string>> renamed;
    std::vector<bool> paired(before.size(), false);
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (Holds(before, after[i])) continue;
        for (long gap = -1, k = 0; k < static_cast<long>(before.size()); ++k) {
            const std::string& old = before[static_cast<std::size_t>(k)];
            if (Holds(after, old)) {
                gap = k;
            } else if (gap == anchorOf[i] && !paired[static_cast<std::size_t>(k)] && !exists(old)) {
                paired[static_cast<std::size_t>(k)] = true;
                renamed.emplace_back(old, after[i]);
                break;
            }
        }
    }
    return renamed;
}

std::vector<std::string> RebasePalette(const std::vector<std::string>& read,
                                       const std::vector<std::string>& shown,
                                       const std::vector<std::string>& stored,
                                       const std::function<bool(const std::string&)>& exists) {
    // A collection renamed meanwhile keeps the place of its old name.
    const auto renamed = RenamedMeanwhile(read, stored, exists);
    std::vector<std::string> kept;
    for (const std::string& name : stored)
        if (Holds(shown, name) || !Holds(read, name)) kept.push_back(name);
    std::vector<std::string> result;
    for (const std::string& name : shown) {
        const auto rename = std::find_if(renamed.begin(), renamed.end(), [&](const auto& r) {
            return mVBUtil::CompareTextNoCase(r.first, name) == 0;
        });
        if (const auto there = Find(kept, name); there != kept.end()) {
            result.push_back(*there);  // as the server spells it now
        } else if (rename != renamed.end()) {
            if (!Holds(result, rename->second)) result.push_back(rename->second);
        } else if (!Holds(read, name) && exists(name) && !Holds(result, name)) {
            result.push_back(name);
        }
    }
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (Holds(result, kept[i])) continue;
        auto at = result.begin();
        for (std::size_t j = i; j-- > 0;) {
            if (const auto before = Find(result, kept[j]); before != result.end()) {
                at = result.begin() + (before - result.cbegin()) + 1;
                break;
            }
        }
        result.insert(at, kept[i]);
    }
    return result;
}

}  // namespace annotations
