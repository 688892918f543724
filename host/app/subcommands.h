// The program's subcommands for the people who run it: export and import
// of the devices file, the error log, the job queue and the site directory.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace hostapp {

// Runs one subcommand on an existing root; the exit code. Output goes to
// stdout, failures to stderr.
int run_subcommand(const std::string& root, const std::vector<std::string>& words);

// `report FILE [--pdf OUT]`: the report file's pages as text on stdout, or
// as a PDF document written to `pdf_out`; the exit code. Needs no root.
int run_report_command(const std::string& file, const std::optional<std::string>& pdf_out);

}  // namespace hostapp
