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

// What became of the collections between two readings of their list. The
// lists carry names alone, so a name that went was renamed or deleted, and
// one that came was created or renamed, no telling which or from what.
// Names compare exactly: the server takes renames in case alone.
struct CollectionChanges {
    std::vector<std::string> gone;
    std::vector<std::string> appeared;
};
CollectionChanges CompareCollections(const std::vector<std::string>& before,
                                     const std::vector<std::string>& after);

// An editor's list put over the palette as stored now.
struct RebasedPalette {
    // To show, and to store by the next "All Done".
    std::vector<std::string> palette;
    // The editor's entries taken off because their names went.
    std::vector<std::string> gone;
    // The editor's entries taken off because the stored palette no longer
    // holds them, though their names are still there.
    std::vector<std::string> unstored;
    // The editor's additions still on the list. When names both went and
    // came meanwhile, renames may have moved a name to another collection.
    std::vector<std::string> added;
    CollectionChanges collections;
    // The stored palette is other than the one read.
    bool storedChanged = false;
    // Something the editor read went or changed: the list is to be shown
    // again before anything is stored.
    bool Changed() const {
        return storedChanged || !collections.gone.empty() || !gone.empty() || !unstored.empty();
    }
};

// The palette as stored now with an editor's changes to the list it read
// (shown: that list as the editor left it) where they still apply: its
// removals, its additions of collections whose names are still there, and
// its order. The collections were poolBefore when the editor last read them
// and are poolNow. Nothing is followed by guess: the entries that were
// stored follow the stored palette, which the server keeps by the
// collections themselves; an addition whose name went is taken off. Entries
// only the other writer placed follow their neighbour there.
RebasedPalette RebasePalette(const std::vector<std::string>& read,
                             const std::vector<std::string>& shown,
                             const std::vector<std::string>& stored,
                             const std::vector<std::string>& poolBefore,
                             const std::vector<std::string>& poolNow);

}  // namespace annotations
