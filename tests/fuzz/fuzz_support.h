// Shared by the fuzz targets: the input as text, and a scratch file for
// readers that take a path.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

inline std::string text_of(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// One file per process, rewritten for every input; in memory where the
// system offers a memory folder.
class ScratchFile {
  public:
    explicit ScratchFile(const char* name) {
        const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path_ = std::string(folder) + "/devgroup-fuzz-" + std::to_string(getpid()) + "-" + name;
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& write(std::string_view bytes) {
        FILE* file = std::fopen(path_.c_str(), "wb");
        if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            std::abort();  // no scratch file: the run would test nothing
        }
        std::fclose(file);
        return path_;
    }

  private:
    std::string path_;
};

// Stops the run on a broken property, so libFuzzer keeps the input.
inline void check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

}  // namespace fuzz
