// The editor's keys as the operator is told them: the one table that --help,
// the manual page and the README describe them from.
#pragma once

#include <span>

namespace hostapp {

struct KeyHelp {
    const char* keys;  // "PgDn / PgUp"
    const char* help;
};

// The keys of the device group editor, in the order they are listed.
std::span<const KeyHelp> editor_keys();

}  // namespace hostapp
