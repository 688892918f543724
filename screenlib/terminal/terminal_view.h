// What a terminal of a given size shows of the screen: the cells that fit
// on it or, when it is smaller than the screens need, only a notice. The
// terminal backend repaints with it after a resize or Ctrl-L; the headless
// backend shows with it what such a terminal would.
#pragma once

#include <functional>
#include <vector>

#include "screenlib/screenlib.h"

namespace screenlib::detail {

bool terminal_too_small(int rows, int columns);

// The screen row each of a terminal's `rows` rows shows, -1 for a row past
// the screen. A terminal shorter than the screen (but not too small) leaves
// out the rows that carry least: blank rows at the bottom first, then rows of
// nothing but frame lines and blanks from the top (the editor's top frame on
// an 80x24 terminal), then, when that is not enough, the bottom rows.
std::vector<int> rows_shown(const Backend& screen, int rows);

// Calls put for every cell of a terminal of rows x columns: the screen's
// cells where they fit (blanks past the screen's edge), or the notice on
// blanks when the terminal is too small. Nothing lies outside the terminal.
void paint_terminal(const Backend& screen, int rows, int columns,
                    const std::function<void(int row, int column, Cell cell)>& put);

}  // namespace screenlib::detail
