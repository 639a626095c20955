#pragma once
// Rules for the names of tag collections as the palette editor takes them.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace annotations {

inline constexpr std::size_t kTagNameMaxLength = 40;
// Rights that let a user create, rename and delete tag collections.
inline constexpr std::int32_t kTagCollectionRights = 0x01 | 0x02 | 0x08;

// An answer of the name box as a name: blanks around it trimmed, cut to its
// first 40 characters.
std::string CleanTagName(const std::string& answer);
// Why a name cannot be a collection's: it would split the lists the names
// travel in. "" when it can.
std::string TagNameFault(const std::string& name);

// Collections renamed meanwhile, as pairs of old and new name: a name of
// `after` new to `before`, in the place of one of `before` that is gone
// (`exists` false), between the same neighbours still there.
std::vector<std::pair<std::string, std::string>> RenamedMeanwhile(
    const std::vector<std::string>& before, const std::vector<std::string>& after,
    const std::function<bool(const std::string&)>& exists);

// The palette as stored now with an editor's changes to the list it read
// (shown: that list as the editor left it) where they still apply: its
// removals, its additions of collections that still exist, and its order.
// A collection renamed meanwhile keeps the place of its old name; other
// entries only the other writer placed follow their neighbour there. Names
// match without regard to case, as the server matches them.
std::vector<std::string> RebasePalette(const std::vector<std::string>& read,
                                       const std::vector<std::string>& shown,
                                       const std::vector<std::string>& stored,
                                       const std::function<bool(const std::string&)>& exists);

}  // namespace annotations
