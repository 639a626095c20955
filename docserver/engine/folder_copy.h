#pragma once
// Copies of a system's folders for its backup and restore, as `cp -a` makes
// them (files, folders and links with their modes and times, owners where
// this user may set them), except that every step is checked and the first
// that fails is named with its reason.

#include <cstdint>
#include <ctime>
#include <string>

namespace docserver {

// What a copy wrote, to be checked against the copy read back.
struct CopyTally {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    bool operator==(const CopyTally&) const = default;
};

// Copies the file, folder or link at `from` to `to`, which must not exist.
// A file or folder that goes while it is copied (a temporary file removed)
// is left out. Empty when done, else "copying <shown>/...: <reason>".
std::string CopyEntry(const std::string& from, const std::string& to, const std::string& shown,
                      CopyTally& tally);

// Adds the files under `path` (itself one, or a folder) and their sizes.
// Empty when done, else why not.
std::string TallyTree(const std::string& path, CopyTally& tally);

// Removes the folder and what it holds; empty when done, else why not.
std::string RemoveTree(const std::string& path);

// Gives the file or folder at `from` the name `base`, or base-2, base-3 ...
// the first free one, never over anything there; `placed` is the name given.
// Empty when done, else why not.
std::string PlaceUnderFreeName(const std::string& from, const std::string& base,
                               std::string& placed);

// The local time as a folder's name: 2026-12-09-082637.
std::string DatedName(std::time_t when);

// Writes everything of the file system that holds `path` to its disk (one
// call, not one per copied file); empty when done, else why not.
std::string SyncFileSystem(const std::string& path);

// Writes the folder's entries (a name just given in it) to its disk.
std::string SyncFolder(const std::string& path);

}  // namespace docserver
