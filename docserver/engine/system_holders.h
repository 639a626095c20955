#pragma once
// Which programs have a system open, as far as this machine can tell: a
// restore under a running program would be undone by it, or have its log
// written into the restored database.

#include <string>
#include <vector>

namespace docserver {

// The programs that hold the system in `dir` open ("talq-server (pid 4242)"):
// those of this machine whose open files this user may look at, and any
// program holding one of SQLite's locks on system.db or system.db-shm (another
// user's, or another machine's where the shared folder's locks reach).
// Programs on other machines that hold no lock at the moment are not seen.
std::vector<std::string> ProgramsHoldingSystem(const std::string& dir);

}  // namespace docserver
