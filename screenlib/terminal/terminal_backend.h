// The terminal backend over ncurses.
#pragma once

#include <memory>
#include <string>

#include "screenlib/screenlib.h"

namespace screenlib::detail {

// Opens the terminal; null with the reason in *error when it cannot.
std::unique_ptr<Backend> open_terminal_backend(std::string* error);

// Maps an ncurses key (wgetch's result) to a 16-bit PC key code; -1 for keys
// that have none. A preceding Escape (alt true) turns a letter into Alt-letter.
int translate_curses_key(int key, bool alt);

}  // namespace screenlib::detail
