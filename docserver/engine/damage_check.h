#pragma once
// A system.db found damaged is refused when a program opens it, not served
// with whatever its damaged pages still answer.

#include <string>

namespace docserver {

class SystemDb;

// Whether a log or hot journal lies beside system.db before SQLite opens
// it: SQLite folds it in at the first read, into a restored file as well.
bool LogLeftBeside(const std::string& dbPath);

// "" when the file's structure is sound, or when the check ran past its
// time (a check cut short finds nothing); else why it is refused, with what
// to do. Each path is checked once per process.
std::string DamageAtOpen(SystemDb& db, const std::string& dbPath, bool logLeft);

// The refusal for a file SQLite reported malformed at open.
std::string DamagedRefusal(const std::string& problem, bool logLeft);

}  // namespace docserver
