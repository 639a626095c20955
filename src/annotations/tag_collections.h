#pragma once
// Rules for the names of tag collections as the palette editor takes them.

#include <cstdint>
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

// What became of the collections between two readings of their list, both
// sorted alike.
struct CollectionChanges {
    // Old and new name where the rename is certain: the one name gone and the
    // one new between the same neighbours still there, nothing else there.
    std::vector<std::pair<std::string, std::string>> renamed;
    // Renamed or deleted, no telling which or to what.
    std::vector<std::string> gone;
    // New, and no certain rename's new name.
    std::vector<std::string> appeared;
};
CollectionChanges CompareCollections(const std::vector<std::string>& before,
                                     const std::vector<std::string>& after);

// An editor's list put over the palette as stored now.
struct RebasedPalette {
    // To show, and to store by the next "All Done".
    std::vector<std::string> palette;
    // The editor's entries followed to their new names.
    std::vector<std::pair<std::string, std::string>> renamed;
    // The editor's entries taken off because their collections went.
    std::vector<std::string> gone;
    // When any went: the collections new meanwhile, to choose from again.
    std::vector<std::string> appeared;
    // The stored palette is other than the one read, renames followed.
    bool changedMeanwhile = false;
};

// The palette as stored now with an editor's changes to the list it read
// (shown: that list as the editor left it) where they still apply: its
// removals, its additions of collections that still exist, and its order.
// The collections were poolBefore when the editor last read them and are
// poolNow. A collection renamed for certain keeps its place under its new
// name; one otherwise gone is never guessed onto the list. Entries only the
// other writer placed follow their neighbour there. Names match without
// regard to case, as the server matches them.
RebasedPalette RebasePalette(const std::vector<std::string>& read,
                             const std::vector<std::string>& shown,
                             const std::vector<std::string>& stored,
                             const std::vector<std::string>& poolBefore,
                             const std::vector<std::string>& poolNow);

}  // namespace annotations
