// Making files and folders last across a power cut: their bytes and their
// names reach the disk before a step that relies on them is taken.
#pragma once

#include <string>

namespace hostapp {

// fsync of one file or folder; false with the system's reason in *error.
bool sync_path(const std::string& path, std::string* error);

// fsync of every file and folder below `folder`, the folder itself last.
bool sync_tree(const std::string& folder, std::string* error);

}  // namespace hostapp
