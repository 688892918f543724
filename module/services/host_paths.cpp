#include "services/host_paths.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/host_libraries.h"

bool format_path(char* out, size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(out, size, format, arguments);
    va_end(arguments);
    if (length >= 0 && static_cast<size_t>(length) < size) {
        return true;
    }
    // A cut path ends in "..." so that a report of it names no real file.
    constexpr char kCutMark[] = "...";
    if (size >= sizeof kCutMark) {
        std::memcpy(out + size - sizeof kCutMark, kCutMark, sizeof kCutMark);
    }
    return false;
}

const char* root_directory() {
    const char* root = host_root_dir();
    return root != nullptr ? root : "";
}
