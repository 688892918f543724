#include "platform/native_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kMaxNativePath = 4096;

}  // namespace

bool native_path(const char* host_path, char* out, size_t out_size) {
    if (host_path == nullptr || out == nullptr || out_size == 0) {
        return false;
    }
    size_t length = std::strlen(host_path);
    if (length + 1 > out_size) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        out[i] = host_path[i] == '\\' ? '/' : host_path[i];
    }
    out[length] = '\0';
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
    return open(path, O_RDWR | O_CREAT | O_EXCL, S_IRUSR | S_IWUSR);
}

int native_remove(const char* host_path) {
    char path[kMaxNativePath];
    return native_path(host_path, path, sizeof path) ? std::remove(path) : -1;
}
