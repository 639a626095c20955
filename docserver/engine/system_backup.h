#pragma once
// A system's backup and its restore, each made in a folder of its own that
// takes its final name only once every step succeeded and the copy checks
// sound: a backup cut short (a full disk) leaves no folder that looks like
// one, and a restore is all or nothing, however often it is repeated.

#include <ctime>
#include <string>

namespace docserver {

struct BackupOutcome {
    enum class Kind { kDone, kRefused, kFailed } kind = Kind::kDone;
    // kRefused: the option and value refused; text says what is allowed.
    std::string option, value;
    // kDone: what was made; kFailed: the step that failed, why, and what
    // was left as it was.
    std::string text;
};

// Copies the system in systemDir into a new folder of root (made, with the
// folders above it, when missing) named for `now`, 2026-12-09-082637, or
// with -2, -3 ... added when another backup took that name: system.db as one
// read sees it (while programs go on saving), checked whole and set to WAL,
// then images/, originals/, batch/ and tmp/ (cache/ is made again when
// missing).
BackupOutcome BackUpSystem(const std::string& systemDir, const std::string& root,
                           std::time_t now);

// Puts a copy of the backup in systemDir's place, the system there before
// kept beside it as systemDir.old-<now>. Refused while a program this
// machine can see has that system open; systemDir must hold a system or not
// exist.
BackupOutcome RestoreSystem(const std::string& backup, const std::string& systemDir,
                            std::time_t now);

}  // namespace docserver
