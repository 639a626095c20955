#include "shared_folder_vfs.h"

#include <sqlite3.h>

#include <map>
#include <memory>
#include <mutex>

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

// The base layer's other calls take the layer itself as their first argument.
int Delete(sqlite3_vfs*, const char* name, int syncDir) {
    return g_base->xDelete(g_base, name, syncDir);
}
int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
    return g_base->xAccess(g_base, name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return g_base->xFullPathname(g_base, name, size, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) {
    return g_base->xDlOpen(g_base, name);
}
void DlError(sqlite3_vfs*, int size, char* out) {
    g_base->xDlError(g_base, size, out);
}
void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
    return g_base->xDlSym(g_base, handle, symbol);
}
void DlClose(sqlite3_vfs*, void* handle) {
    g_base->xDlClose(g_base, handle);
}
int Randomness(sqlite3_vfs*, int size, char* out) {
    return g_base->xRandomness(g_base, size, out);
}
int Sleep(sqlite3_vfs*, int microseconds) {
    return g_base->xSleep(g_base, microseconds);
}
int CurrentTime(sqlite3_vfs*, double* now) {
    return g_base->xCurrentTime(g_base, now);
}
int GetLastError(sqlite3_vfs*, int size, char* out) {
    return g_base->xGetLastError != nullptr ? g_base->xGetLastError(g_base, size, out) : 0;
}
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* now) {
    return g_base->xCurrentTimeInt64(g_base, now);
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
        g_vfs.xDelete = Delete;
        g_vfs.xAccess = Access;
        g_vfs.xFullPathname = FullPathname;
        g_vfs.xDlOpen = DlOpen;
        g_vfs.xDlError = DlError;
        g_vfs.xDlSym = DlSym;
        g_vfs.xDlClose = DlClose;
        g_vfs.xRandomness = Randomness;
        g_vfs.xSleep = Sleep;
        g_vfs.xCurrentTime = CurrentTime;
        g_vfs.xGetLastError = GetLastError;
        g_vfs.xCurrentTimeInt64 = CurrentTimeInt64;
        return sqlite3_vfs_register(&g_vfs, 0) == SQLITE_OK ? g_vfs.zName : nullptr;
    }();
    return name;
}

}  // namespace docserver
