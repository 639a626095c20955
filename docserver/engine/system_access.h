#pragma once
// Whether this process may serve the system in a folder: read and write
// system.db and the files SQLite keeps beside it. Told at start, with the
// file and the reason, rather than at each request.

#include <string>

namespace docserver {

struct SystemAccess {
    enum class Kind { kUsable, kNoSystem, kRefused };
    Kind kind = Kind::kUsable;
    // For kRefused: the file or folder and why ("cannot write
    // /srv/talq/system.db: Read-only file system").
    std::string reason;
};

SystemAccess CheckSystemAccess(const std::string& dir);

// Why --init cannot make a system in dir ("" when it may try): a folder
// that cannot be read may hold one already.
std::string InitPlaceRefusal(const std::string& dir);

}  // namespace docserver
