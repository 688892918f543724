#include "session/module_trust.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace hostapp {
namespace {

std::string owner_name(uid_t uid) {
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        return std::string(found->pw_name) + " (uid " + std::to_string(uid) + ")";
    }
    return "uid " + std::to_string(uid);
}

// Why someone other than this user or root could change what stands at
// `path`; empty when nobody else can.
std::string untrusted_reason(const std::string& path, bool follow) {
    struct stat info {};
    if ((follow ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) != 0) {
        return "cannot be checked (" + std::string(std::strerror(errno)) + ")";
    }
    if (info.st_uid != geteuid() && info.st_uid != 0) {
        return "is owned by " + owner_name(info.st_uid) + ", neither you nor root";
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return std::string("is writable by group or others (mode ") + mode + ")";
    }
    return "";
}

}  // namespace

bool check_module_trust(const std::string& library, const std::string& host_conf,
                        std::string* real_path, std::string* error) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(library.c_str(), nullptr),
                                                               &std::free);
    if (resolved == nullptr) {
        *error = "cannot load the module " + library + ": " + std::strerror(errno);
        return false;
    }
    const std::string real = resolved.get();
    const std::string named = real == library ? library : library + " (" + real + ")";
    auto refuse = [&](const std::string& path, const std::string& reason) {
        *error = "not loading the module " + named + ": " + path + " " + reason;
        return false;
    };
    struct stat info {};
    if (stat(real.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return refuse(real, "is not a regular file");
    }
    // The library, then each folder up to /: any of them writable by another
    // user lets that user put another library in its place.
    std::string path = real;
    while (true) {
        if (const std::string reason = untrusted_reason(path, false); !reason.empty()) {
            return refuse(path, reason);
        }
        if (path == "/") {
            break;
        }
        const size_t slash = path.find_last_of('/');
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
    // host.conf may name the library; what it really is counts, not a link to it.
    if (!host_conf.empty()) {
        if (const std::string reason = untrusted_reason(host_conf, true); !reason.empty()) {
            return refuse(host_conf, reason);
        }
    }
    *real_path = real;
    return true;
}

}  // namespace hostapp
