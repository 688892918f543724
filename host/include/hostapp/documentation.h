// The program's documentation, written from the tables the program itself
// runs on: its options, its commands, the editor's keys and host.conf's
// keys. The manual pages and the shell completion are made from these at
// build time and the README's tables are checked against them, so none of
// them can say other than --help.
#pragma once

#include <string>

namespace hostapp {

// A manual page from its template: each line `.\" table: NAME` becomes that
// table in roff (NAME: options, commands, keys, config). False with the
// reason in *error when the template names a table there is not.
bool fill_manual_page(const std::string& page_template, std::string* page, std::string* error);

// The README with the lines between each `<!-- table: NAME -->` and the next
// `<!-- end of table -->` replaced by that table in Markdown. False with the
// reason in *error when a table is unknown or not closed.
bool fill_readme(const std::string& readme, std::string* filled, std::string* error);

// A bash completion script for devgroup's options, commands and their words.
std::string bash_completion();

}  // namespace hostapp
