// Reading the host's small text files (menu and help files): whole-file
// reads through the host-path layer and line splitting. Internal to hostlibs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hostlibs {

// Reads the file named by a host-form path; false when it cannot be read or
// is larger than max_size bytes.
bool read_host_file(const char* host_path, std::string* text, size_t max_size = 1 << 20);

// Lines without their line ends ("\n" or "\r\n").
std::vector<std::string> split_lines(const std::string& text);

std::string_view trim(std::string_view text);

}  // namespace hostlibs
