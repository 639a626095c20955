#include "imaging/reduced_cache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <tuple>
#include <utility>
#include <vector>

#include "imaging/page_files.h"

namespace docserver::imaging {
namespace {

struct Entry {
    std::timespec used;
    std::int64_t size;
    std::string name;
};

// The cache's own entries; files being written (".part") are left alone.
std::vector<Entry> ListEntries(const std::string& dir) {
    std::vector<Entry> entries;
    DIR* folder = ::opendir(dir.c_str());
    if (folder == nullptr) return entries;
    while (const dirent* item = ::readdir(folder)) {
        const std::string name = item->d_name;
        if (name == "." || name == ".." || name.find(".part") != std::string::npos) continue;
        struct stat info {};
        if (::stat((dir + "/" + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        entries.push_back({info.st_mtim, static_cast<std::int64_t>(info.st_size), name});
    }
    ::closedir(folder);
    return entries;
}

}  // namespace

ReducedCache::ReducedCache(std::string dir, std::int64_t maxBytes)
    : dir_(std::move(dir)), maxBytes_(maxBytes) {}

bool ReducedCache::Read(const std::string& name, std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    if (!ReadWholeFile(path, bytes) || bytes.empty()) return false;
    ::utimensat(AT_FDCWD, path.c_str(), nullptr, 0);
    return true;
}

void ReducedCache::Write(const std::string& name, const std::string& bytes) {
    if (static_cast<std::int64_t>(bytes.size()) > maxBytes_) return;
    ::mkdir(dir_.c_str(), 0755);
    // Written aside and renamed: a reader never sees half a file.
    const std::string path = dir_ + "/" + name;
    const std::string partial = path + ".part" + std::to_string(::gettid());
    if (WriteWholeFile(partial, bytes)) ::rename(partial.c_str(), path.c_str());
    ::unlink(partial.c_str());
    if (unmeasured_ >= 0) unmeasured_ += static_cast<std::int64_t>(bytes.size());
    if (unmeasured_ < 0 || unmeasured_ >= maxBytes_ / 10) Trim();
}

void ReducedCache::DropPrefix(const std::string& prefix) {
    for (const Entry& entry : ListEntries(dir_))
        if (entry.name.rfind(prefix, 0) == 0) ::unlink((dir_ + "/" + entry.name).c_str());
}

void ReducedCache::Trim() {
    unmeasured_ = 0;
    std::vector<Entry> entries = ListEntries(dir_);
    std::int64_t total = 0;
    for (const Entry& entry : entries) total += entry.size;
    if (total <= maxBytes_) return;
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.used.tv_sec, a.used.tv_nsec) < std::tie(b.used.tv_sec, b.used.tv_nsec);
    });
    // Down to nine tenths, so the next trims are not at every write.
    const std::int64_t goal = maxBytes_ - maxBytes_ / 10;
    for (const Entry& entry : entries) {
        if (total <= goal) break;
        if (::unlink((dir_ + "/" + entry.name).c_str()) == 0) total -= entry.size;
    }
}

}  // namespace docserver::imaging
