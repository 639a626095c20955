#pragma once
// Rules for the names of tag collections as the palette editor takes them.

#include <cstdint>
#include <string>

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

}  // namespace annotations
