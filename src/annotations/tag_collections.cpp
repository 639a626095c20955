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

bool HoldsExactly(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
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

CollectionChanges CompareCollections(const std::vector<std::string>& before,
                                     const std::vector<std::string>& after) {
    CollectionChanges changes;
    for (const std::string& name : before)
        if (!HoldsExactly(after, name)) changes.gone.push_back(name);
    for (const std::string& name : after)
        if (!HoldsExactly(before, name)) changes.appeared.push_back(name);
    return changes;
}

RebasedPalette RebasePalette(const std::vector<std::string>& read,
                             const std::vector<std::string>& shown,
                             const std::vector<std::string>& stored,
                             const std::vector<std::string>& poolBefore,
                             const std::vector<std::string>& poolNow) {
    RebasedPalette out;
    out.collections = CompareCollections(poolBefore, poolNow);
    out.storedChanged = stored != read;

    // The stored entries the reviewer kept, and those the other writer
    // placed; the server matches names without regard to case.
    std::vector<std::string> kept;
    for (const std::string& name : stored)
        if (Holds(shown, name) || !Holds(read, name)) kept.push_back(name);
    std::vector<std::string>& result = out.palette;
    for (const std::string& name : shown) {
        if (const auto there = Find(kept, name); there != kept.end()) {
            if (!Holds(result, *there)) result.push_back(*there);  // as the server spells it now
        } else if (!HoldsExactly(poolNow, name)) {
            out.gone.push_back(name);
        } else if (Holds(read, name)) {
            out.unstored.push_back(name);
        } else if (!Holds(result, name)) {
            result.push_back(name);
            out.added.push_back(name);
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
    return out;
}

}  // namespace annotations
