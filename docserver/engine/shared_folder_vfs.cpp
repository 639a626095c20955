#include "shared_folder_vfs.h"

#include <sqlite3.h>

#include <map>
#include <memory>
#include <mutex>

#include "vfs_layer.h"

namespace docserver {
namespace {

sqlite3_vfs g_vfs;
sqlite3_vfs* g_base = nullptr;

// Copies of the base layer's file methods, one per kind it hands out, never
// destroyed: open files point at them until they close, and a process may
// exit with files open (or close them in its own exit handlers).
const sqlite3_io_methods* WithoutSharedMemory(const sqlite3_io_methods* base) {
    using Copies = std::map<const sqlite3_io_methods*, std::unique_ptr<sqlite3_io_methods>>;
    static std::mutex& mutex = *new std::mutex;
    static Copies& copies = *new Copies;
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<sqlite3_io_methods>& copy = copies[base];
    if (!copy) {
        copy = std::make_unique<sqlite3_io_methods>(*base);
        // Version 1 has neither shared memory nor memory-mapped reads.
        copy->iVersion = 1;
        copy->xShmMap = nullptr;
        copy->xShmLock = nullptr;
        copy->xShmBarrier = nullptr;
        copy->xShmUnmap = nullptr;
        copy->xFetch = nullptr;
        copy->xUnfetch = nullptr;
    }
    return copy.get();
}

int Open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    const int rc = g_base->xOpen(g_base, name, file, flags, outFlags);
    if (file->pMethods != nullptr) file->pMethods = WithoutSharedMemory(file->pMethods);
    return rc;
}

sqlite3_vfs* Base(sqlite3_vfs*) {
    return g_base;
}

}  // namespace

const char* SharedFolderVfs() {
    static const char* const name = [] () -> const char* {
        sqlite3_initialize();
        g_base = sqlite3_vfs_find(nullptr);
        if (g_base == nullptr || g_base->iVersion < 2) return nullptr;
        g_vfs = sqlite3_vfs{};
        g_vfs.iVersion = 2;
        g_vfs.szOsFile = g_base->szOsFile;
        g_vfs.mxPathname = g_base->mxPathname;
        g_vfs.zName = "talq-shared-folder";
        g_vfs.xOpen = Open;
        PassCallsToBase<Base>(g_vfs);
        return sqlite3_vfs_register(&g_vfs, 0) == SQLITE_OK ? g_vfs.zName : nullptr;
    }();
    return name;
}

}  // namespace docserver
