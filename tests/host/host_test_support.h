// A temporary data root for the host program's tests, removed afterwards.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "hostapp/host_app.h"
#include "temp_folder.h"

namespace hosttest {

class TempRoot {
  public:
    // Under the system's temporary folder, or under `base`.
    explicit TempRoot(bool demo_data = true,
                      const std::filesystem::path& base = std::filesystem::temp_directory_path())
        : folder_("devgroup-host-", base) {
        std::string error;
        made_ = hostapp::create_root(path_, demo_data, &error);
        error_ = error;
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& path() const { return path_; }
    bool made() const { return made_; }
    const std::string& error() const { return error_; }
    std::string file(const std::string& relative) const { return path_ + "/" + relative; }

  private:
    TempFolder folder_;
    std::string path_ = folder_.path();
    bool made_ = false;
    std::string error_;
};

// Makes a whole data root at `root`, a place that does not exist yet, as
// `devgroup init` does (the demo data, or nothing); the reason when it
// cannot, else empty. The program itself makes no root it is pointed at.
inline std::string make_root(const std::string& root, bool demo_data = true) {
    std::string error;
    return hostapp::create_root(root, demo_data, &error) ? ""
                                                         : "cannot make " + root + ": " + error;
}

// The host form of a native path: every '/' becomes '\\'.
inline std::string host_form(std::string path) {
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

// A headless session's options on a root, under a key script.
inline hostapp::HostOptions headless_options(const std::string& root, const std::string& keys,
                                             const std::string& module_path = "") {
    hostapp::HostOptions options;
    options.root = root;
    options.now = 1700000000;
    options.keys = keys;
    options.module_path = module_path;
    return options;
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Points a root's host.conf at a shared store (a libpq connection string).
inline void name_store(const std::string& root, const std::string& conninfo) {
    write_file(root + "/host.conf", read_file(root + "/host.conf") + "store = " + conninfo + "\n");
}

// What one run of the devgroup program gave.
struct DevgroupOutcome {
    int exit_code = -1;
    std::string out;
    std::string err;
};

// Runs a shell command line, its stderr through the file `err_file`.
inline DevgroupOutcome run_shell(const std::string& command_line, const std::string& err_file) {
    const std::string command = command_line + " 2>" + err_file;
    DevgroupOutcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return outcome;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        outcome.out.append(buffer, got);
    }
    const int status = pclose(pipe);
    outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.err = read_file(err_file);
    return outcome;
}

// Runs `devgroup --root ROOT ARGUMENTS` through the shell (ARGUMENTS quoted
// as the shell needs), its stderr through the file `err_file`.
inline DevgroupOutcome run_devgroup(const std::string& root, const std::string& arguments,
                                    const std::string& err_file) {
    return run_shell(std::string(DEVGROUP_EXE) + " --root " + root + " " + arguments, err_file);
}

// A text as one shell word.
inline std::string shell_quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace hosttest
