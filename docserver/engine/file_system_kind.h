#pragma once
// Whether a folder lies on a file system that other machines reach too
// (network and FUSE file systems), where processes share byte-range locks
// but not memory maps.

#include <string>

namespace docserver {

// The folder's file system as statfs names it. The environment variable
// TALQ_FILE_SYSTEM set to "network" or "local" decides instead, for a file
// system the probe does not know and for tests.
bool OnSharedFileSystem(const std::string& folder);

}  // namespace docserver
