#include "help/text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/bounded_read.h"
#include "platform/native_files.h"

namespace hostlibs {
namespace {

// Menu and help files are hand-written and small.
constexpr ReadLimits kHostFileLimits{1 << 20, 1024};

}  // namespace

bool read_host_file(const char* host_path, std::string* text, std::string* error) {
    if (host_path == nullptr) {
        *error = "no file named";
        return false;
    }
    errno = 0;
    std::unique_ptr<FILE, int (*)(FILE*)> file(native_fopen(host_path, "rb"), &std::fclose);
    ReadFailure failure;
    if (!file) {
        const int open_error = errno != 0 ? errno : ENOENT;
        char native[4096];
        failure.reason = native_path(host_path, native, sizeof native) ? std::strerror(open_error)
                                                                       : "the path is too long";
    } else if (read_bounded(file.get(), kHostFileLimits, text, &failure)) {
        return true;
    }
    *error = failure.line == 0 ? "cannot read " + native_name(host_path) + ": " + failure.reason
                               : native_name(host_path) + ": line " + std::to_string(failure.line) +
                                     ": " + failure.reason;
    return false;
}

std::string native_name(const char* host_path) {
    char native[4096];
    if (host_path == nullptr) {
        return {};
    }
    return native_path(host_path, native, sizeof native) ? native : host_path;
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string_view trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace hostlibs
