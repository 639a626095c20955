#pragma once
// A file layer of our own over one of SQLite's: the layer sets its own open,
// and every call it does not change goes to the base layer, which takes
// itself as its first argument.

#include <sqlite3.h>

namespace docserver {

// Fills the layer's calls other than open from the base that BaseOf finds
// for it; the layer sets iVersion, sizes, name and xOpen itself.
template <sqlite3_vfs* (*BaseOf)(sqlite3_vfs*)>
void PassCallsToBase(sqlite3_vfs& vfs) {
    vfs.xDelete = [](sqlite3_vfs* v, const char* name, int syncDir) {
        sqlite3_vfs* base = BaseOf(v);
        return base->xDelete(base, name, syncDir);
    };
    vfs.xAccess = [](sqlite3_vfs* v, const char* name, int flags, int* out) {
        sqlite3_vfs* base = BaseOf(v);
        return base->xAccess(base, name, flags, out);
    };
    vfs.xFullPathname = [](sqlite3_vfs* v, const char* name, int size, char* out) {
        sqlite3_vfs* base = BaseOf(v);
        return base->xFullPathname(base, name, size, out);
    };
    vfs.xDlOpen = [](sqlite3_vfs* v, const char* name) {
        sqlite3_vfs* base = BaseOf(v);
        return base->xDlOpen(base, name);
    };
    vfs.xDlError = [](sqlite3_vfs* v, int size, char* out) {
        sqlite3_vfs* base = BaseOf(v);
        base->xDlError(base, size, out);
    };
    vfs.xDlSym = [](sqlite3_vfs* v, void* handle, const char* symbol) {
        sqlite3_vfs* base = BaseOf(v);
        return base->xDlSym(base, handle, symbol);
    };
    vfs.xDlClose = [](sqlite3_vfs* v, void* handle) {
        sqlite3_vfs* base = BaseOf(v);
        base->xDlClose(base, handle);
    };
    vfs.xRandomness = [](sqlite3_vfs* v, int size, char* out) {
        sqlite3_vfs* base = BaseOf(v);
        return base->xRandomness(base, size, out);
    };
    vfs.xSleep = [](sqlite3_vfs* v, int microseconds) {
        sqlite3_vfs* base = BaseOf(v);
        return base->xSleep(base, microseconds);
    };
    vfs.xCurrentTime = [](sqlite3_vfs* v, double* now) {
        sqlite3_vfs* base = BaseOf(v);
        return base->xCurrentTime(base, now);
    };
    vfs.xGetLastError = [](sqlite3_vfs* v, int size, char* out) {
        sqlite3_vfs* base = BaseOf(v);
        return base->xGetLastError != nullptr ? base->xGetLastError(base, size, out) : 0;
    };
    vfs.xCurrentTimeInt64 = [](sqlite3_vfs* v, sqlite3_int64* now) {
        sqlite3_vfs* base = BaseOf(v);
        return base->xCurrentTimeInt64(base, now);
    };
}

}  // namespace docserver
