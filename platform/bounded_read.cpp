#include "platform/bounded_read.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kChunk = 64 * 1024;

bool stop(ReadFailure* failure, std::string* text, int line, std::string reason) {
    text->clear();
    failure->line = line;
    failure->reason = std::move(reason);
    return false;
}

}  // namespace

std::string size_text(size_t bytes) {
    constexpr size_t kMiB = 1024 * 1024;
    if (bytes >= kMiB && bytes % kMiB == 0) {
        return std::to_string(bytes / kMiB) + " MiB";
    }
    return std::to_string(bytes) + " bytes";
}

bool read_bounded(FILE* file, const ReadLimits& limits, std::string* text, ReadFailure* failure) {
    text->clear();
    *failure = ReadFailure{};
    int line = 1;
    size_t line_length = 0;
    char chunk[kChunk];
    for (;;) {
        errno = 0;
        const size_t got = std::fread(chunk, 1, sizeof chunk, file);
        if (got == 0) {
            break;
        }
        if (got > limits.max_bytes - text->size()) {
            return stop(failure, text, 0, "the file is larger than " + size_text(limits.max_bytes));
        }
        // Line lengths are checked on the chunk before it is kept.
        for (size_t at = 0; at < got;) {
            const void* end = std::memchr(chunk + at, '\n', got - at);
            const size_t stretch =
                end ? static_cast<size_t>(static_cast<const char*>(end) - (chunk + at)) : got - at;
            line_length += stretch;
            if (limits.max_line != 0 && line_length > limits.max_line) {
                return stop(failure, text, line,
                            "line longer than " + std::to_string(limits.max_line) + " characters");
            }
            if (!end) {
                break;
            }
            ++line;
            line_length = 0;
            at += stretch + 1;
        }
        text->append(chunk, got);
    }
    if (std::ferror(file)) {
        return stop(failure, text, 0, std::strerror(errno != 0 ? errno : EIO));
    }
    return true;
}

bool read_bounded_file(const char* native_path, const ReadLimits& limits, std::string* text,
                       ReadFailure* failure) {
    errno = 0;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(native_path, "rb"), &std::fclose);
    if (!file) {
        return stop(failure, text, 0, std::strerror(errno != 0 ? errno : ENOENT));
    }
    struct stat info {};
    if (fstat(fileno(file.get()), &info) == 0 && S_ISDIR(info.st_mode)) {
        return stop(failure, text, 0, std::strerror(EISDIR));
    }
    return read_bounded(file.get(), limits, text, failure);
}
