#pragma once
// Where the local-access library finds the system directory: the client's
// configuration puts it in the registry value Paths for the mode's name
// ("Network" or "Local"), else Paths "System", else "vynsys.ini" [Config]
// "Sysdir5". A trailing "/" or "\" is accepted.

#include <string>

namespace vornet {

// "" when no place names a directory.
std::string LocateSystemDir(int localMode);

}  // namespace vornet
