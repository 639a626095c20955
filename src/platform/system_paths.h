#pragma once
// Where the client's configuration names the system directory in the
// registry: one value per access mode's name, and "System". The client's
// connection settings write them; the local-access library reads them.

#include <string>

namespace mNetDefaults {

inline constexpr const char* kPathsKey = "Software\\TALQTech\\VYNSYS\\Paths";

// "Network" for access mode 1, "Local" for every other.
inline std::string ModeName(int accessMode) {
    return accessMode == 1 ? "Network" : "Local";
}

}  // namespace mNetDefaults
