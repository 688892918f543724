// Escape sequences of common terminals (xterm, tmux and screen, vt100, rxvt,
// the linux console) as PC key codes, for the keys the terminal description
// in use does not name: a program in tmux may run with TERM=xterm-256color
// while tmux sends its own sequences, or the other way round.
#pragma once

#include <string_view>

namespace screenlib::detail {

// What follows an Escape: "[A", "OP", "[21~", "[[A", a single digit...
// Gives the PC key code, kIncomplete while more bytes may still complete a
// known sequence, or -1 for bytes that are no known key. A lone digit is
// Alt and the digit, the fallback for F1 to F10 (Alt-0 is F10).
constexpr int kIncomplete = -2;
int decode_escape_sequence(std::string_view after_escape);

}  // namespace screenlib::detail
