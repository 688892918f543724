// Making files and folders last across a power cut: their bytes and their
// names reach the disk before a step that relies on them is taken.
#pragma once

#include <string>
#include <utility>

namespace hostapp {

// fsync of one file or folder; false with the system's reason in *error.
bool sync_path(const std::string& path, std::string* error);

// fsync of every file and folder below `folder`, the folder itself last.
bool sync_tree(const std::string& folder, std::string* error);

// A file replaced whole or not at all: it is written under a temporary name
// beside `target` (".NAME.XXXXXX") and takes the target's name only at
// commit(), after its bytes reached the disk. Until then an existing target
// stays as it was; without a commit the temporary file is removed.
class FileReplacement {
  public:
    explicit FileReplacement(std::string target) : target_(std::move(target)) {}
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Makes the temporary file (mode 0666 less the umask); its path, or
    // false with the system's reason.
    bool create(std::string* temporary, std::string* error);
    // Syncs the temporary file, renames it to the target and syncs the folder.
    bool commit(std::string* error);

  private:
    std::string target_;
    std::string temporary_;
};

}  // namespace hostapp
