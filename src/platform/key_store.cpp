#include "platform/key_store.h"

#include "platform/locked_file.h"
#include "platform/percent_escape.h"

namespace platform {
namespace {

constexpr const char* kHeader = "; talq key store 1";

bool MustEscape(unsigned char c, bool inName) {
    if (c < 0x20 || c == 0x7F || c == '%') return true;
    return inName && (c == '=' || c == '[' || c == ']');
}

std::string Escape(const std::string& text, bool inName) {
    return PercentEscape(text, [&](unsigned char c, size_t i) {
        bool edgeSpace = c == ' ' && (i == 0 || i + 1 == text.size());
        return MustEscape(c, inName) || edgeSpace;
    });
}

std::optional<std::string> Unescape(const std::string& text) { return PercentUnescape(text, true); }

}  // namespace

std::string FoldKey(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return out;
}

const std::string* KeyStoreData::Find(const std::string& path, const std::string& name) const {
    auto key = keys.find(FoldKey(path));
    if (key == keys.end()) return nullptr;
    auto value = key->second.values.find(FoldKey(name));
    return value == key->second.values.end() ? nullptr : &value->second.second;
}

bool KeyStoreData::HasKey(const std::string& path) const {
    return keys.count(FoldKey(path)) != 0;
}

void KeyStoreData::Set(const std::string& path, const std::string& name, const std::string& value) {
    Key& key = keys[FoldKey(path)];
    if (key.path.empty()) key.path = path;
    auto& slot = key.values[FoldKey(name)];
    if (slot.first.empty()) slot.first = name;
    slot.second = value;
}

bool KeyStoreData::Remove(const std::string& path, const std::string& name) {
    auto key = keys.find(FoldKey(path));
    if (key == keys.end()) return false;
    return key->second.values.erase(FoldKey(name)) != 0;
}

std::optional<KeyStoreData> ParseKeyStore(const std::string& text) {
    KeyStoreData data;
    size_t pos = 0;
    bool first = true;
    std::string current;
    bool inKey = false;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (first) {
            if (line != kHeader) return std::nullopt;
            first = false;
            continue;
        }
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return std::nullopt;
            auto path = Unescape(line.substr(1, line.size() - 2));
            if (!path) return std::nullopt;
            current = *path;
            inKey = true;
            KeyStoreData::Key& key = data.keys[FoldKey(current)];
            if (key.path.empty()) key.path = current;
            continue;
        }
        size_t eq = line.find('=');
        if (!inKey || eq == std::string::npos) return std::nullopt;
        auto name = Unescape(line.substr(0, eq));
        auto value = Unescape(line.substr(eq + 1));
        if (!name || !value) return std::nullopt;
        data.Set(current, *name, *value);
    }
    if (first && !text.empty()) return std::nullopt;
    return data;
}

std::string SerializeKeyStore(const KeyStoreData& data) {
    std::string out = std::string(kHeader) + "\n";
    for (const auto& [folded, key] : data.keys) {
        out += '[';
        out += Escape(key.path, true);
        out += "]\n";
        for (const auto& [name, slot] : key.values) {
            out += Escape(slot.first, true);
            out += '=';
            out += Escape(slot.second, false);
            out += '\n';
        }
    }
    return out;
}

KeyStoreData KeyStoreFile::Load() const {
    auto bytes = ReadWholeFile(path_);
    if (!bytes) return {};
    auto data = ParseKeyStore(*bytes);
    return data ? *data : KeyStoreData{};
}

std::optional<std::string> KeyStoreFile::Get(const std::string& keyPath,
                                             const std::string& name) const {
    KeyStoreData data = Load();
    const std::string* value = data.Find(keyPath, name);
    if (!value) return std::nullopt;
    return *value;
}

bool KeyStoreFile::HasKey(const std::string& keyPath) const { return Load().HasKey(keyPath); }

bool KeyStoreFile::Modify(const std::function<bool(KeyStoreData&)>& change) {
    return UpdateFileLocked(path_, [&](std::optional<std::string> bytes)
                                       -> std::optional<std::string> {
        KeyStoreData data;
        if (bytes) {
            auto parsed = ParseKeyStore(*bytes);
            if (parsed) {
                data = std::move(*parsed);
            } else {
                KeepCorruptCopy(path_);
            }
        }
        if (!change(data)) return std::nullopt;
        return SerializeKeyStore(data);
    });
}

bool KeyStoreFile::Set(const std::string& keyPath, const std::string& name,
                       const std::string& value) {
    return Modify([&](KeyStoreData& data) {
        data.Set(keyPath, name, value);
        return true;
    });
}

bool KeyStoreFile::Remove(const std::string& keyPath, const std::string& name) {
    return Modify([&](KeyStoreData& data) { return data.Remove(keyPath, name); });
}

bool KeyStoreFile::Update(
    const std::string& keyPath, const std::string& name,
    const std::function<std::string(const std::optional<std::string>&)>& update) {
    return Modify([&](KeyStoreData& data) {
        const std::string* current = data.Find(keyPath, name);
        std::optional<std::string> old = current ? std::optional<std::string>(*current)
                                                 : std::nullopt;
        data.Set(keyPath, name, update(old));
        return true;
    });
}

}  // namespace platform
