// devgroup's command line: the table of its options, which --help, the
// manual page, the README and the shell completion all describe.
#pragma once

#include <span>
#include <string>

namespace hostapp {

struct OptionHelp {
    const char* name;
    const char* value;  // null for a flag
    const char* help;
    const char* alias = nullptr;  // a short form ("-h"), or null
};

// Every option, in the order --help lists them.
std::span<const OptionHelp> options();

// The two usage lines that open --help and close a usage error.
std::string usage_line();

// What --help prints: the options, the commands, the editor's keys and the
// exit codes (documentation.cpp).
std::string help_text();

}  // namespace hostapp
