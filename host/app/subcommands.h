// The program's subcommands for the people who run it: export and import
// of the devices file, the error log, the job queue and the site directory.
#pragma once

#include <string>
#include <vector>

namespace hostapp {

// Runs one subcommand on an existing root; the exit code. Output goes to
// stdout, failures to stderr.
int run_subcommand(const std::string& root, const std::vector<std::string>& words);

}  // namespace hostapp
