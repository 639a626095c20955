#pragma once
// Whole-file reads and atomic, locked rewrites of the small text files that
// hold the program's stores. Several viewers of one user share them, so every
// change is a read-modify-write under an exclusive lock, and a new content
// replaces the old by rename so a reader never sees half a file.

#include <functional>
#include <optional>
#include <string>

namespace platform {

// The file's bytes; nullopt when it does not exist or cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Runs update(current content or nullopt) under the file's lock and writes
// what it returns (nothing when it returns nullopt). False when the folder,
// lock or write fails.
bool UpdateFileLocked(const std::string& path,
                      const std::function<std::optional<std::string>(std::optional<std::string>)>& update);

// Keeps an unreadable store file aside (path + ".corrupt-<time>") before it is
// replaced, so nothing is overwritten silently.
void KeepCorruptCopy(const std::string& path);

}  // namespace platform
