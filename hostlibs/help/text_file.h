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

// The native path of a host-form path, for messages (the host form when it
// does not map).
std::string native_name(const char* host_path);

// "cannot read FILE: reason" for a file read_host_file refused, naming the
// file by its native path and giving the system's reason.
std::string cannot_read(const char* host_path);

// Lines without their line ends ("\n" or "\r\n").
std::vector<std::string> split_lines(const std::string& text);

std::string_view trim(std::string_view text);

}  // namespace hostlibs
