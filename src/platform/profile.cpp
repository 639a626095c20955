#include "platform/profile.h"

#include <dirent.h>

#include <vector>

#include "platform/key_store.h"
#include "platform/locked_file.h"
#include "platform/percent_escape.h"
#include "platform/user_dirs.h"

namespace platform {
namespace {

std::string Trim(const std::string& text) {
    size_t b = text.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    size_t e = text.find_last_not_of(" \t\r");
    return text.substr(b, e - b + 1);
}

std::string EscapeValue(const std::string& text) {
    return PercentEscape(text, [&](unsigned char c, size_t i) {
        bool edge = (c == ' ' || c == '\t') && (i == 0 || i + 1 == text.size());
        return c < 0x20 || c == 0x7F || c == '%' || edge;
    });
}

// A '%' not followed by two hex digits is taken as it stands.
std::string UnescapeValue(const std::string& text) { return *PercentUnescape(text, false); }

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

bool IsSection(const std::string& line, std::string* name) {
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    if (name) *name = Trim(t.substr(1, close - 1));
    return true;
}

bool IsKey(const std::string& line, std::string* key, std::string* value) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    if (key) *key = Trim(t.substr(0, eq));
    if (value) *value = Trim(t.substr(eq + 1));
    return true;
}

}  // namespace

std::string ProfilePath(const std::string& fileName) {
    if (fileName.find('/') != std::string::npos) return fileName;
    std::string dir = IniDir();
    if (DIR* d = opendir(dir.c_str())) {
        std::string wanted = FoldKey(fileName);
        while (dirent* entry = readdir(d)) {
            if (FoldKey(entry->d_name) == wanted) {
                std::string found = dir + "/" + entry->d_name;
                closedir(d);
                return found;
            }
        }
        closedir(d);
    }
    return dir + "/" + fileName;
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, int size,
                                    const std::string& fileName) {
    auto cut = [size](std::string text) {
        if (size < 1) return std::string();
        if (static_cast<int>(text.size()) > size - 1) text.resize(static_cast<size_t>(size - 1));
        return text;
    };
    auto bytes = ReadWholeFile(ProfilePath(fileName));
    if (!bytes) return cut(defaultValue);
    std::string wantedSection = FoldKey(section);
    std::string wantedKey = FoldKey(key);
    bool inSection = false;
    for (const std::string& line : SplitLines(*bytes)) {
        std::string name, k, v;
        if (IsSection(line, &name)) {
            inSection = FoldKey(name) == wantedSection;
        } else if (inSection && IsKey(line, &k, &v) && FoldKey(k) == wantedKey) {
            if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') ||
                                  (v.front() == '\'' && v.back() == '\''))) {
                v = v.substr(1, v.size() - 2);
            }
            return cut(UnescapeValue(v));
        }
    }
    return cut(defaultValue);
}

bool WritePrivateProfileString(const std::string& section, const std::optional<std::string>& key,
                               const std::optional<std::string>& value,
                               const std::string& fileName) {
    std::string path = ProfilePath(fileName);
    std::string wantedSection = FoldKey(section);
    return UpdateFileLocked(path, [&](std::optional<std::string> bytes)
                                      -> std::optional<std::string> {
        std::vector<std::string> lines = bytes ? SplitLines(*bytes) : std::vector<std::string>{};
        std::vector<std::string> out;
        bool inSection = false, sectionSeen = false, done = false;
        auto emit = [&]() {
            if (!done && key && value) out.push_back(*key + "=" + EscapeValue(*value));
            done = true;
        };
        for (const std::string& line : lines) {
            std::string name, k;
            if (IsSection(line, &name)) {
                if (inSection) emit();
                inSection = FoldKey(name) == wantedSection;
                if (inSection) {
                    sectionSeen = true;
                    if (!key) continue;  // drop the section header
                }
                out.push_back(line);
                continue;
            }
            if (inSection) {
                if (!key) continue;  // dropping the whole section
                if (IsKey(line, &k, nullptr) && FoldKey(k) == FoldKey(*key)) {
                    emit();
                    continue;
                }
            }
            out.push_back(line);
        }
        if (inSection) emit();
        if (!sectionSeen && key && value) {
            out.push_back("[" + section + "]");
            emit();
        }
        std::string text;
        for (const auto& l : out) text += l + "\n";
        return text;
    });
}

}  // namespace platform
