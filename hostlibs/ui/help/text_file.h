// Reading the host's small text files (menu and help files): whole-file
// reads through the host-path layer and line splitting. Internal to hostlibs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hostlibs {

// Reads the file named by a host-form path, stopping at 1 MiB or at a line
// longer than 1024 characters. False with *error naming the file by its
// native path: "cannot read FILE: reason" or "FILE: line N: reason".
bool read_host_file(const char* host_path, std::string* text, std::string* error);

// The native path of a host-form path, for messages (the host form when it
// does not map).
std::string native_name(const char* host_path);

// Lines without their line ends ("\n" or "\r\n").
std::vector<std::string> split_lines(const std::string& text);

std::string_view trim(std::string_view text);

}  // namespace hostlibs
