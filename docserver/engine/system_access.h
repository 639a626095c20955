#pragma once
// Whether this process may serve the system in a folder: read and write
// system.db and the files SQLite keeps beside it. Told at start, with the
// file and the reason, rather than at each request.

#include <string>

namespace docserver {

struct SystemAccess {
    // kNotFolder: a file was named where its folder is meant.
    enum class Kind { kUsable, kNoSystem, kRefused, kNotFolder };
    Kind kind = Kind::kUsable;
    // For kRefused: the file or folder and why ("cannot write
    // /srv/talq/system.db: Read-only file system"); for kNotFolder, what to
    // give instead (NotAFolderReason).
    std::string reason;
};

SystemAccess CheckSystemAccess(const std::string& dir);

// Why a file named where a system's folder is meant is refused, and what to
// give instead: the folder holding it when it is a system.db. Every program
// taking a system's folder says it so.
std::string NotAFolderReason(const std::string& path);

// Why --init cannot make a system in dir ("" when it may try): a folder
// that cannot be read may hold one already.
std::string InitPlaceRefusal(const std::string& dir);

}  // namespace docserver
