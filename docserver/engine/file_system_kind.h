#pragma once
// Whether a folder lies on a file system that other machines reach too
// (network and FUSE file systems), where processes share byte-range locks
// but not memory maps.

#include <string>

namespace docserver {

// The folder's file system as statfs names it, or shared when the
// environment variable TALQ_FILE_SYSTEM says "network", in any case (a file
// system the probe does not know; tests). Nothing says a shared one is
// local: WAL there would corrupt the system.
bool OnSharedFileSystem(const std::string& folder);

// Why TALQ_FILE_SYSTEM cannot be used, naming what it may say; "" when it is
// unset, empty or "network". A value it does not know is refused rather than
// ignored: the folder would then run in WAL whatever it was meant to say.
std::string FileSystemSettingRefusal();

}  // namespace docserver
