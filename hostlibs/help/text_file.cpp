#include "help/text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/native_files.h"

namespace hostlibs {

bool read_host_file(const char* host_path, std::string* text, size_t max_size) {
    if (host_path == nullptr) {
        return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(native_fopen(host_path, "rb"), &std::fclose);
    if (!file) {
        return false;
    }
    text->clear();
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (text->size() + got > max_size) {
            return false;
        }
        text->append(buffer, got);
    }
    return std::ferror(file.get()) == 0;
}

std::string native_name(const char* host_path) {
    char native[4096];
    if (host_path == nullptr) {
        return {};
    }
    return native_path(host_path, native, sizeof native) ? native : host_path;
}

std::string cannot_read(const char* host_path) {
    if (host_path == nullptr) {
        return "no file named";
    }
    char native[4096];
    if (!native_path(host_path, native, sizeof native)) {
        return std::string("cannot read ") + host_path + ": the path is too long";
    }
    errno = 0;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(native, "rb"), &std::fclose);
    if (!file) {
        return std::string("cannot read ") + native + ": " + std::strerror(errno);
    }
    return std::string("cannot read ") + native + ": " +
           (std::fgetc(file.get()) == EOF && std::ferror(file.get()) ? std::strerror(errno)
                                                                     : "the file is too large");
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
