#include "root/durable_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

FileReplacement::~FileReplacement() {
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
}

bool FileReplacement::create(std::string* temporary, std::string* error) {
    const fs::path target(target_);
    // Built by appending: GCC 12 warns falsely on "." + a moved string.
    std::string name = ".";
    name += target.filename().string();
    name += ".XXXXXX";
    std::string pattern = (target.parent_path() / name).string();
    const int file = ::mkstemp(pattern.data());
    if (file < 0) {
        *error = "cannot write beside " + target_ + ": " + std::strerror(errno);
        return false;
    }
    temporary_ = pattern;
    // mkstemp makes the file private; the finished file gets the usual mode.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(file, 0666 & ~mask);
    ::close(file);
    *temporary = temporary_;
    return true;
}

bool FileReplacement::commit(std::string* error) {
    if (!sync_path(temporary_, error)) {
        return false;
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        *error = "cannot write " + target_ + ": " + std::strerror(errno);
        return false;
    }
    temporary_.clear();
    const fs::path folder = fs::path(target_).parent_path();
    return sync_path(folder.empty() ? "." : folder.string(), error);
}

}  // namespace hostapp
