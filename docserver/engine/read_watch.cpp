#include "read_watch.h"

#include <sqlite3.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "vfs_layer.h"

namespace docserver {
namespace {

using Clock = std::chrono::steady_clock;

thread_local std::uint64_t t_readFailures = 0;
thread_local sqlite3* t_deadlineDb = nullptr;
thread_local Clock::time_point t_deadline{};

// A copy of the base layer's file methods with our read; the base methods
// follow it, for the read to call on. Never destroyed: open files point at
// them until they close, and a process may exit with files open.
struct Watched {
    sqlite3_io_methods methods;
    const sqlite3_io_methods* base;
};

int Read(sqlite3_file* file, void* into, int size, sqlite3_int64 offset) {
    const sqlite3_io_methods* base = reinterpret_cast<const Watched*>(file->pMethods)->base;
    const int code = base->xRead(file, into, size, offset);
    if (code == SQLITE_IOERR_SHORT_READ) {
        // Short where the file ends is no failure (a new file, a log's end).
        sqlite3_int64 length = 0;
        if (base->xFileSize(file, &length) != SQLITE_OK || length > offset) ++t_readFailures;
    } else if (code != SQLITE_OK) {
        ++t_readFailures;
    }
    if (t_deadlineDb != nullptr && Clock::now() > t_deadline) sqlite3_interrupt(t_deadlineDb);
    return code;
}

const sqlite3_io_methods* WatchedMethods(const sqlite3_io_methods* base) {
    static std::mutex& mutex = *new std::mutex;
    static auto& copies = *new std::map<const sqlite3_io_methods*, std::unique_ptr<Watched>>;
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<Watched>& copy = copies[base];
    if (!copy) {
        copy = std::make_unique<Watched>(Watched{*base, base});
        copy->methods.xRead = Read;
    }
    return &copy->methods;
}

// One layer per base; the base's other calls take the base as their first
// argument. A layer over the default looks it up at each call, so a layer
// made default later (a test's) is the one read through.
struct Layer {
    sqlite3_vfs vfs{};
    std::string name;
    std::string baseName;  // "": the default
};

sqlite3_vfs* BaseOf(sqlite3_vfs* vfs) {
    const auto* layer = static_cast<const Layer*>(vfs->pAppData);
    return sqlite3_vfs_find(layer->baseName.empty() ? nullptr : layer->baseName.c_str());
}

int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    sqlite3_vfs* base = BaseOf(vfs);
    if (base == nullptr || base->szOsFile > vfs->szOsFile) return SQLITE_CANTOPEN;
    const int code = base->xOpen(base, name, file, flags, outFlags);
    if (file->pMethods != nullptr) file->pMethods = WatchedMethods(file->pMethods);
    return code;
}
const char* Register(const char* baseName) {
    sqlite3_initialize();
    sqlite3_vfs* base = sqlite3_vfs_find(baseName);
    if (base == nullptr || base->iVersion < 2) return nullptr;
    auto* layer = new Layer;  // never destroyed: registered for the process's life
    layer->baseName = baseName != nullptr ? baseName : "";
    layer->name = "talq-read-watch" + (baseName != nullptr ? "-" + layer->baseName : "");
    sqlite3_vfs& vfs = layer->vfs;
    vfs.iVersion = 2;
    // Room for a larger default put in later (a test's layer copies the base).
    vfs.szOsFile = base->szOsFile + 64;
    vfs.mxPathname = base->mxPathname;
    vfs.zName = layer->name.c_str();
    vfs.pAppData = layer;
    vfs.xOpen = Open;
    PassCallsToBase<BaseOf>(vfs);
    return sqlite3_vfs_register(&vfs, 0) == SQLITE_OK ? vfs.zName : nullptr;
}

}  // namespace

const char* ReadWatchedVfs(const char* base) {
    static std::mutex& mutex = *new std::mutex;
    static auto& layers = *new std::map<std::string, const char*>;
    std::lock_guard<std::mutex> lock(mutex);
    const std::string key = base != nullptr ? base : "";
    const auto found = layers.find(key);
    if (found != layers.end()) return found->second;
    const char* name = Register(base);
    layers[key] = name;
    return name;
}

std::uint64_t ReadFailures() {
    return t_readFailures;
}

ReadDeadline::ReadDeadline(sqlite3* db, Clock::time_point deadline) {
    t_deadlineDb = db;
    t_deadline = deadline;
}

ReadDeadline::~ReadDeadline() {
    t_deadlineDb = nullptr;
}

}  // namespace docserver
