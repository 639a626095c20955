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

std::vector<std::string> RebasePalette(const std::vector<std::string>& read,
                                       const std::vector<std::string>& shown,
                                       const std::vector<std::string>& stored,
                                       const std::function<bool(const std::string&)>& exists) {
    // Entries sit in gaps between the read entries still stored; a gap is
    // named by the read index of the entry before it (-1 before all).
    std::vector<long> anchorOf(stored.size(), -1);
    for (long gap = -1, i = 0; i < static_cast<long>(stored.size()); ++i) {
        anchorOf[static_cast<std::size_t>(i)] = gap;
        if (const auto r = Find(read, stored[static_cast<std::size_t>(i)]); r != read.end())
            gap = r - read.begin();
    }
    // A collection renamed meanwhile: a stored entry new to the editor in the
    // gap of a read one whose collection is gone.
    std::vector<std::pair<std::string, std::string>> renamed;  // old, new
    std::vector<bool> paired(read.size(), false);
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (Holds(read, stored[i])) continue;
        for (long gap = -1, k = 0; k < static_cast<long>(read.size()); ++k) {
            const std::string& old = read[static_cast<std::size_t>(k)];
            if (Holds(stored, old)) {
                gap = k;
            } else if (gap == anchorOf[i] && !paired[static_cast<std::size_t>(k)] && !exists(old)) {
                paired[static_cast<std::size_t>(k)] = true;
                renamed.emplace_back(old, stored[i]);
                break;
            }
        }
    }
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
