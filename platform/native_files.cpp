#include "platform/native_files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr size_t kMaxNativePath = PATH_MAX;
constexpr int kDrives = 26;

std::array<std::string, kDrives> g_drives;

// The drive of "X:\..." (or "X:/..."), -1 for a path without one.
int drive_of(const char* host_path) {
    const char letter = host_path[0];
    const bool lettered = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
    if (!lettered || host_path[1] != ':' || (host_path[2] != '\\' && host_path[2] != '/')) {
        return -1;
    }
    return (letter & ~0x20) - 'A';
}

}  // namespace

bool native_map_drive(char letter, const char* native_folder) {
    const int drive = letter - 'A';
    if (drive < 0 || drive >= kDrives) {
        return false;
    }
    g_drives[static_cast<size_t>(drive)] = native_folder != nullptr ? native_folder : "";
    return true;
}

bool native_path(const char* host_path, char* out, size_t out_size) {
    if (host_path == nullptr || out == nullptr || out_size == 0) {
        return false;
    }
    // The drive's folder is taken as it stands: it may hold '\' or anything else.
    size_t used = 0;
    const char* rest = host_path;
    const int drive = drive_of(host_path);
    if (drive >= 0) {
        const std::string& folder = g_drives[static_cast<size_t>(drive)];
        if (folder.empty() || folder.size() + 1 > out_size) {
            return false;
        }
        std::memcpy(out, folder.data(), folder.size());
        used = folder.size();
        rest = host_path + 2;  // the separator after the colon stays
    }
    const size_t length = std::strlen(rest);
    if (used + length + 1 > out_size) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        out[used + i] = rest[i] == '\\' ? '/' : rest[i];
    }
    out[used + length] = '\0';
    return true;
}

bool native_file_exists(const char* host_path) {
    char path[kMaxNativePath];
    struct stat info {};
    return native_path(host_path, path, sizeof path) && stat(path, &info) == 0;
}

FILE* native_fopen(const char* host_path, const char* mode) {
    char path[kMaxNativePath];
    return native_path(host_path, path, sizeof path) ? std::fopen(path, mode) : nullptr;
}

int native_create_new(const char* host_path) {
    char path[kMaxNativePath];
    if (!native_path(host_path, path, sizeof path)) {
        return -1;
    }
    // The folder is opened without following a link, so a folder replaced by
    // a link to somewhere else never receives the file.
    char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        return open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    }
    *slash = '\0';
    const int folder =
        open(slash == path ? "/" : path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        return -1;
    }
    const int file = openat(folder, slash + 1, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            S_IRUSR | S_IWUSR);
    close(folder);
    return file;
}

int native_remove(const char* host_path) {
    char path[kMaxNativePath];
    return native_path(host_path, path, sizeof path) ? std::remove(path) : -1;
}
