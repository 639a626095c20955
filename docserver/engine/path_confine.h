#pragma once
// Every file name a command carries stays inside the system directory.

#include <string>

namespace docserver {

// The full path of a name relative to the system directory, with "\" taken
// as "/". False for an empty or absolute name, a ".." step, a character 0,
// or a name that an existing symbolic link leads out of the directory.
bool ConfinePath(const std::string& systemDir, const std::string& name, std::string& fullPath);

// The path a full path resolves to, symbolic links followed, relative to
// the resolved system directory ("images/a.tif"); "" when it resolves
// outside or not at all. Missing trailing parts are kept as named.
std::string ResolvedInside(const std::string& systemDir, const std::string& fullPath);

// Whether a path inside the system directory (as ConfinePath gives it)
// leads where it names, through no link: where the server writes.
bool LeadsWhereNamed(const std::string& systemDir, const std::string& fullPath);

}  // namespace docserver
