#include "core/long_path_vfs.h"

#include <sqlite3.h>

#include <cstring>

namespace hostlibs::detail {

namespace {

constexpr const char* kName = "devgroup-long-paths";

sqlite3_vfs* g_unix = nullptr;
sqlite3_vfs g_long{};

// Absolute paths are taken as they are, links unresolved; anything else goes
// to the unix layer. Every other call goes to the unix layer as it stands.
int full_pathname(sqlite3_vfs*, const char* path, int out_size, char* out) {
    if (path[0] != '/') {
        return g_unix->xFullPathname(g_unix, path, out_size, out);
    }
    const size_t length = std::strlen(path);
    if (length + 1 > static_cast<size_t>(out_size)) {
        return SQLITE_CANTOPEN;
    }
    std::memcpy(out, path, length + 1);
    return SQLITE_OK;
}

int open_file(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out_flags) {
    return g_unix->xOpen(g_unix, name, file, flags, out_flags);
}
int delete_file(sqlite3_vfs*, const char* name, int sync_dir) {
    return g_unix->xDelete(g_unix, name, sync_dir);
}
int access(sqlite3_vfs*, const char* name, int flags, int* result) {
    return g_unix->xAccess(g_unix, name, flags, result);
}
void* dl_open(sqlite3_vfs*, const char* name) {
    return g_unix->xDlOpen(g_unix, name);
}
void dl_error(sqlite3_vfs*, int size, char* out) {
    g_unix->xDlError(g_unix, size, out);
}
void (*dl_sym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
    return g_unix->xDlSym(g_unix, handle, symbol);
}
void dl_close(sqlite3_vfs*, void* handle) {
    g_unix->xDlClose(g_unix, handle);
}
int randomness(sqlite3_vfs*, int size, char* out) {
    return g_unix->xRandomness(g_unix, size, out);
}
int sleep(sqlite3_vfs*, int microseconds) {
    return g_unix->xSleep(g_unix, microseconds);
}
int current_time(sqlite3_vfs*, double* now) {
    return g_unix->xCurrentTime(g_unix, now);
}
int last_error(sqlite3_vfs*, int size, char* out) {
    return g_unix->xGetLastError(g_unix, size, out);
}
int current_time_64(sqlite3_vfs*, sqlite3_int64* now) {
    return g_unix->xCurrentTimeInt64(g_unix, now);
}

bool register_layer() {
    g_unix = sqlite3_vfs_find("unix");
    if (g_unix == nullptr || g_unix->iVersion < 2) {
        return false;
    }
    g_long.iVersion = 2;
    g_long.szOsFile = g_unix->szOsFile;
    g_long.mxPathname = g_unix->mxPathname;
    g_long.zName = kName;
    g_long.xOpen = open_file;
    g_long.xDelete = delete_file;
    g_long.xAccess = access;
    g_long.xFullPathname = full_pathname;
    g_long.xDlOpen = dl_open;
    g_long.xDlError = dl_error;
    g_long.xDlSym = dl_sym;
    g_long.xDlClose = dl_close;
    g_long.xRandomness = randomness;
    g_long.xSleep = sleep;
    g_long.xCurrentTime = current_time;
    g_long.xGetLastError = last_error;
    g_long.xCurrentTimeInt64 = current_time_64;
    return sqlite3_vfs_register(&g_long, 0) == SQLITE_OK;
}

}  // namespace

const char* long_path_vfs() {
    static const bool registered = register_layer();
    return registered ? kName : nullptr;
}

}  // namespace hostlibs::detail
