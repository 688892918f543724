// The program's subcommands for the people who run it: export and import
// of the devices file, the error log, the job queue, the site directory
// and the store.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hostapp/host_app.h"

namespace hostapp {

struct Subcommand {
    const char* words;    // the command as typed, e.g. "import devices"
    const char* operand;  // the name of its one operand ("[NAME]" when optional), or null
    bool read_only;       // never makes or changes a data root
    bool needs_root;      // runs on the data root (report reads a file alone)
    const char* help;
};

// Every subcommand, in the order --help lists them.
const std::vector<Subcommand>& subcommands();

// The subcommand the words name with the right number of operands, or null.
const Subcommand* find_subcommand(const std::vector<std::string>& words);

// The options that go with one subcommand.
struct SubcommandOptions {
    std::optional<std::string> key;         // history --key
    std::optional<int64_t> prune_before;    // history --prune-before (a clock value)
    std::optional<std::string> grant_role;  // store init --grant
    std::optional<std::string> to;          // store copy --to CONNINFO, history --to OUT
};

// Runs one subcommand on an existing root as `user` (empty: host.conf's
// default user), whom the change journal names for what it changes; the exit
// code. Output goes to stdout, failures to stderr.
int run_subcommand(const std::string& root, const std::string& user, const Subcommand& command,
                   const std::vector<std::string>& words, const SubcommandOptions& options);

// `init [--empty]`: makes a new data root at `root` and says so; the exit
// code. A root that stands there already is left as it is (exit code 1).
int init_command(const std::string& root, RootContent content);

// "made a data root with ... at ROOT", for the operator.
std::string made_root_text(const std::string& root, RootContent content);

// Says "devgroup: MESSAGE" on stderr, its control bytes escaped; the exit code 1.
int command_failed(const std::string& message);

// `report FILE [--pdf OUT]`: the report file's pages as text on stdout, or
// as a PDF document written to `pdf_out`; the exit code. Needs no root.
int run_report_command(const std::string& file, const std::optional<std::string>& pdf_out);

}  // namespace hostapp
