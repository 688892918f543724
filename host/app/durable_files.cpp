#include "durable_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace hostapp {

bool sync_path(const std::string& path, std::string* error) {
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0 || ::fsync(file) != 0) {
        *error = "cannot write " + path + " to disk: " + std::strerror(errno);
        if (file >= 0) {
            ::close(file);
        }
        return false;
    }
    ::close(file);
    return true;
}

bool sync_tree(const std::string& folder, std::string* error) {
    std::error_code code;
    for (fs::recursive_directory_iterator it(folder, code), end; !code && it != end;
         it.increment(code)) {
        const fs::file_status status = it->symlink_status(code);
        if (!code && (fs::is_regular_file(status) || fs::is_directory(status)) &&
            !sync_path(it->path().string(), error)) {
            return false;
        }
    }
    if (code) {
        *error = "cannot read " + folder + ": " + code.message();
        return false;
    }
    return sync_path(folder, error);
}

}  // namespace hostapp
