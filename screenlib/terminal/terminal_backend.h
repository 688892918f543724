// The terminal backend over ncurses.
#pragma once

#include <memory>
#include <string>

#include "screenlib/screenlib.h"

namespace screenlib::detail {

// True when NO_COLOR is set to anything but the empty text: the screens are
// drawn without colour.
bool no_color_requested();

// Opens the terminal; null with the reason in *error when it cannot.
std::unique_ptr<Backend> open_terminal_backend(std::string* error);

// Maps an ncurses key (wgetch's result) to a 16-bit PC key code; -1 for keys
// that have none. A preceding Escape (alt true) turns a letter into Alt-letter.
int translate_curses_key(int key, bool alt);

}  // namespace screenlib::detail
