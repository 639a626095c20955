#include "annotations/tag_collections.h"

#include <algorithm>
#include <map>
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

CollectionChanges CompareCollections(const std::vector<std::string>& before,
                                     const std::vector<std::string>& after) {
    // Names come and go in gaps between the names still there; a gap is
    // named by the index in `before` of the name ahead of it (-1 before all).
    std::map<long, std::pair<std::vector<std::string>, std::vector<std::string>>> gaps;
    long gap = -1;
    for (std::size_t k = 0; k < before.size(); ++k) {
        if (Holds(after, before[k]))
            gap = static_cast<long>(k);
        else
            gaps[gap].first.push_back(before[k]);
    }
    gap = -1;
    for (const std::string& name : after) {
        if (const auto was = Find(before, name); was != before.end())
            gap = was - before.begin();
        else
            gaps[gap].second.push_back(name);
    }
    CollectionChanges changes;
    for (const auto& [at, names] : gaps) {
        const auto& [went, came] = names;
        // Two renames, or a rename beside a deletion, could pair either way.
        if (went.size() == 1 && came.size() == 1) {
            changes.renamed.emplace_back(went.front(), came.front());
            continue;
        }
        changes.gone.insert(changes.gone.end(), went.begin(), went.end());
        changes.appeared.insert(changes.appeared.end(), came.begin(), came.end());
    }
    return changes;
}

RebasedPalette RebasePalette(const std::vector<std::string>& read,
                             const std::vector<std::string>& shown,
                             const std::vector<std::string>& stored,
                             const std::vector<std::string>& poolBefore,
                             const std::vector<std::string>& poolNow) {
    const CollectionChanges changes = CompareCollections(poolBefore, poolNow);
    RebasedPalette out;
    const auto follow = [&](std::vector<std::string> names, bool tell) {
        for (std::string& name : names) {
            const auto rename = std::find_if(
                changes.renamed.begin(), changes.renamed.end(),
                [&](const auto& r) { return mVBUtil::CompareTextNoCase(r.first, name) == 0; });
            if (rename == changes.renamed.end()) continue;
            if (tell) out.renamed.emplace_back(name, rename->second);
            name = rename->second;
        }
        return names;
    };
    const std::vector<std::string> readNow = follow(read, false);
    const std::vector<std::string> shownNow = follow(shown, true);
    for (const std::string& name : shownNow)
        if (!Holds(poolNow, name)) out.gone.push_back(name);
    if (!out.gone.empty()) out.appeared = changes.appeared;
    out.changedMeanwhile = stored != readNow;

    std::vector<std::string> kept;
    for (const std::string& name : stored)
        if (Holds(shownNow, name) || !Holds(readNow, name)) kept.push_back(name);
    std::vector<std::string>& result = out.palette;
    for (const std::string& name : shownNow) {
        if (const auto there = Find(kept, name); there != kept.end()) {
            result.push_back(*there);  // as the server spells it now
        } else if (!Holds(readNow, name) && Holds(poolNow, name) && !Holds(result, name)) {
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
    return out;
}

}  // namespace annotations
