#pragma once
// A file of named text values under key paths ("Software\TALQTech\Settings"),
// the shape of a registry hive and of the per-user settings store. Key paths
// and value names compare without regard to case; values keep every byte.
//
// File format (one store per file):
//   ; talq key store 1
//   [Key\Path]
//   Name=value
// Bytes the format cannot hold (controls, '%', and '=', '[', ']' in names,
// spaces at either end of a value) are written as %XX.

#include <map>
#include <optional>
#include <string>
#include <functional>

namespace platform {

struct KeyStoreData {
    struct Key {
        std::string path;                                       // as first written
        std::map<std::string, std::pair<std::string, std::string>> values;  // folded name -> (name, value)
    };
    std::map<std::string, Key> keys;  // folded path -> key

    const std::string* Find(const std::string& path, const std::string& name) const;
    bool HasKey(const std::string& path) const;
    void Set(const std::string& path, const std::string& name, const std::string& value);
    bool Remove(const std::string& path, const std::string& name);
};

std::string FoldKey(const std::string& text);

// Parses a store file; nullopt when the text is not a store file.
std::optional<KeyStoreData> ParseKeyStore(const std::string& text);
std::string SerializeKeyStore(const KeyStoreData& data);

class KeyStoreFile {
public:
    explicit KeyStoreFile(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

    // The current content; empty when the file is missing or unreadable.
    KeyStoreData Load() const;
    std::optional<std::string> Get(const std::string& keyPath, const std::string& name) const;
    bool HasKey(const std::string& keyPath) const;
    bool Set(const std::string& keyPath, const std::string& name, const std::string& value);
    bool Remove(const std::string& keyPath, const std::string& name);
    // Read-modify-write of one value under the file lock: update gets the
    // current value (nullopt when missing) and returns the new one.
    bool Update(const std::string& keyPath, const std::string& name,
                const std::function<std::string(const std::optional<std::string>&)>& update);
    // Generic change of the whole content under the lock.
    bool Modify(const std::function<bool(KeyStoreData&)>& change);

private:
    std::string path_;
};

}  // namespace platform
