// A temporary data root for the host program's tests, removed afterwards.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host_app.h"

namespace hosttest {

class TempRoot {
  public:
    explicit TempRoot(bool demo_data = true) {
        char pattern[] = "/tmp/devgroup-host-XXXXXX";
        path_ = mkdtemp(pattern);
        std::string error;
        made_ = hostapp::create_root(path_, demo_data, &error);
        error_ = error;
    }
    ~TempRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& path() const { return path_; }
    bool made() const { return made_; }
    const std::string& error() const { return error_; }
    std::string file(const std::string& relative) const { return path_ + "/" + relative; }

  private:
    std::string path_;
    bool made_ = false;
    std::string error_;
};

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

}  // namespace hosttest
