#include "server/local_temp_files.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/big_string.h"
#include "foundation/binary_files.h"
#include "foundation/fields.h"
#include "platform/clock.h"
#include "platform/wire_separators.h"

namespace {

const std::string kListSep(1, wire::kListSep);

std::string TempBase() {
    for (const char* name : {"TMPDIR", "TEMP", "TMP"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') return value;
    }
    return "/tmp";
}

std::vector<std::string> FilesOf(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

}  // namespace

LocalTempFiles::~LocalTempFiles() {
    RemoveAll();
}

const std::string& LocalTempFiles::Folder() {
    if (!folder_.empty()) return folder_;
    std::string base = TempBase();
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    std::string pattern = base + "/talq-session-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr) folder_ = std::string(buffer.data()) + "/";
    return folder_;
}

std::string LocalTempFiles::BuildName(char kind, int counter) const {
    char digits[3];
    digits[0] = static_cast<char>('0' + counter / 10);
    digits[1] = static_cast<char>('0' + counter % 10);
    digits[2] = '\0';
    return folder_ + "TALQTEMP_" + kind + stamp_ + digits + ".TMP";
}

std::string LocalTempFiles::CreateName(bool kindS) {
    if (Folder().empty()) return "";
    if (stamp_.empty()) {
        // "hh:mm:ss" -> "mmss"
        std::string now = platform::CurrentClock().TimeText();
        stamp_ = now.size() >= 8 ? now.substr(3, 2) + now.substr(6, 2) : "0000";
    }
    char kind = kindS ? 'S' : 'T';
    int& counter = kindS ? counterS_ : counterT_;
    std::string name;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 100; ++i) {
            counter = counter >= 99 ? 0 : counter + 1;
            name = BuildName(kind, counter);
            if (!mVBUtil::FileExists(name)) return name;
        }
        if (pass == 0) PurgeKind(kind);
    }
    return name;
}

void LocalTempFiles::PurgeKind(char kind) {
    std::string prefix = std::string("TALQTEMP_") + kind + stamp_;
    for (const std::string& file : FilesOf(folder_)) {
        bool ours = file.size() >= prefix.size() + 4 &&
                    file.compare(0, prefix.size(), prefix) == 0 &&
                    file.compare(file.size() - 4, 4, ".TMP") == 0;
        if (ours) ::unlink((folder_ + file).c_str());
    }
}

void LocalTempFiles::Add(const std::string& path) {
    if (path.empty()) return;
    CleanUp();
    if (!list_.empty()) list_ += kListSep;
    list_ += path;
}

void LocalTempFiles::MarkLaunched(const std::string& path) {
    launched_[path] = platform::CurrentClock().MonotonicMs();
}

void LocalTempFiles::CleanUp() {
    if (list_.empty()) return;
    std::int64_t now = platform::CurrentClock().MonotonicMs();
    clsBigString kept;
    int position = 1;
    while (position != -1) {
        std::string item = mVBUtil::NextToken(kListSep, list_, position);
        if (item.empty()) continue;
        auto launched = launched_.find(item);
        bool spared = launched != launched_.end() && now - launched->second < kLaunchGraceMs;
        if (!spared && mVBUtil::FileExists(item)) ::unlink(item.c_str());
        if (mVBUtil::FileExists(item)) {
            if (kept.LenStr() > 0) kept.AddStr(kListSep);
            kept.AddStr(item);
        } else if (launched != launched_.end()) {
            launched_.erase(launched);
        }
    }
    list_ = kept.GetStr();
}

void LocalTempFiles::RemoveAll() {
    list_.clear();
    launched_.clear();
    if (folder_.empty()) return;
    for (const std::string& file : FilesOf(folder_)) ::unlink((folder_ + file).c_str());
    ::rmdir(folder_.c_str());
    folder_.clear();
    stamp_.clear();
    counterS_ = 0;
    counterT_ = 0;
}
