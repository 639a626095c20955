// A store file and an ini file as found on disk: a store that parses must
// come back the same after it is written out.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/key_store.h"
#include "platform/profile.h"

namespace {

bool Same(const platform::KeyStoreData& a, const platform::KeyStoreData& b) {
    if (a.keys.size() != b.keys.size()) return false;
    for (const auto& [folded, key] : a.keys) {
        auto other = b.keys.find(folded);
        if (other == b.keys.end() || other->second.path != key.path ||
            other->second.values != key.values)
            return false;
    }
    return true;
}

std::string IniPath() {
    static std::string path = [] {
        char pattern[] = "/tmp/talq-fuzz-ini-XXXXXX";
        const char* dir = mkdtemp(pattern);
        if (dir == nullptr) abort();
        static std::string made = dir;
        std::atexit([] { std::filesystem::remove_all(made); });
        return std::string(dir) + "/fuzz.ini";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    auto parsed = platform::ParseKeyStore(text);
    if (parsed) {
        auto again = platform::ParseKeyStore(platform::SerializeKeyStore(*parsed));
        if (!again || !Same(*parsed, *again)) abort();
    }

    // First line: section and key, split at the first '='; the rest: the file.
    std::size_t nl = text.find('\n');
    std::string head = text.substr(0, nl);
    std::string body = nl == std::string::npos ? std::string() : text.substr(nl + 1);
    std::size_t eq = head.find('=');
    std::string section = head.substr(0, eq);
    std::string key = eq == std::string::npos ? std::string() : head.substr(eq + 1);
    {
        std::ofstream out(IniPath(), std::ios::binary | std::ios::trunc);
        out << body;
    }
    int limit = size > 0 ? data[0] % 80 - 2 : 255;
    std::string value = platform::GetPrivateProfileString(section, key, "dflt", limit, IniPath());
    if (limit >= 1 && static_cast<int>(value.size()) > limit - 1) abort();
    return 0;
}
