#pragma once
// The registry of the original platform, as files: named text values under
// key paths in three roots. The current user's values live in the per-user
// configuration folder, the machine's in the machine configuration folder
// (writes fail where that folder is not writable, as for a normal user), and
// volatile keys in the runtime folder, so they vanish with the user's session.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

using HKEY = std::uint32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

std::optional<std::string> RegistryRead(HKEY root, const std::string& key,
                                        const std::string& name);
// False for HKEY_CLASSES_ROOT (read-only) and an unknown root, or when the
// store cannot be written. A key that already exists keeps its volatility.
bool RegistryWrite(HKEY root, const std::string& key, const std::string& name,
                   const std::string& value, bool volatileKey = false);
// Read-modify-write of one value under the store's lock, so that two
// processes updating the same value lose neither change.
bool RegistryUpdate(HKEY root, const std::string& key, const std::string& name, bool volatileKey,
                    const std::function<std::string(const std::optional<std::string>&)>& update);

}  // namespace platform
