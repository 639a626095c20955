#include "platform/registry.h"

#include "platform/key_store.h"
#include "platform/user_dirs.h"

namespace platform {
namespace {

std::optional<KeyStoreFile> PersistentStore(HKEY root) {
    switch (root) {
        case HKEY_CURRENT_USER: return KeyStoreFile(ConfigDir() + "/registry.txt");
        case HKEY_LOCAL_MACHINE: return KeyStoreFile(MachineConfigDir() + "/registry.txt");
        case HKEY_CLASSES_ROOT: return KeyStoreFile(MachineConfigDir() + "/classes.txt");
        default: return std::nullopt;
    }
}

std::optional<KeyStoreFile> VolatileStore() {
    std::string dir = RuntimeDir();
    if (dir.empty()) return std::nullopt;
    return KeyStoreFile(dir + "/volatile-registry.txt");
}

// Volatile keys of both writable roots share one file, told apart by prefix.
std::string VolatilePath(HKEY root, const std::string& key) {
    return (root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "HKCU\\") + key;
}

bool Writable(HKEY root) { return root == HKEY_CURRENT_USER || root == HKEY_LOCAL_MACHINE; }

// Picks the store that holds the key, or the one a new key of that kind goes to.
struct Target {
    KeyStoreFile file;
    std::string path;
};

std::optional<Target> WriteTarget(HKEY root, const std::string& key, bool volatileKey) {
    auto persistent = PersistentStore(root);
    auto vol = VolatileStore();
    if (vol && vol->HasKey(VolatilePath(root, key))) return Target{*vol, VolatilePath(root, key)};
    if (persistent && persistent->HasKey(key)) return Target{*persistent, key};
    if (volatileKey) {
        if (!vol) return std::nullopt;
        return Target{*vol, VolatilePath(root, key)};
    }
    return Target{*persistent, key};
}

}  // namespace

std::optional<std::string> RegistryRead(HKEY root, const std::string& key,
                                        const std::string& name) {
    auto persistent = PersistentStore(root);
    if (!persistent) return std::nullopt;
    if (Writable(root)) {
        if (auto vol = VolatileStore()) {
            KeyStoreData data = vol->Load();
            if (data.HasKey(VolatilePath(root, key))) {
                const std::string* value = data.Find(VolatilePath(root, key), name);
                return value ? std::optional<std::string>(*value) : std::nullopt;
            }
        }
    }
    return persistent->Get(key, name);
}

bool RegistryWrite(HKEY root, const std::string& key, const std::string& name,
                   const std::string& value, bool volatileKey) {
    if (!Writable(root)) return false;
    auto target = WriteTarget(root, key, volatileKey);
    return target && target->file.Set(target->path, name, value);
}

bool RegistryUpdate(HKEY root, const std::string& key, const std::string& name, bool volatileKey,
                    const std::function<std::string(const std::optional<std::string>&)>& update) {
    if (!Writable(root)) return false;
    auto target = WriteTarget(root, key, volatileKey);
    return target && target->file.Update(target->path, name, update);
}

}  // namespace platform
