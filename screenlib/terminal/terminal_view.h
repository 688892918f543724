// What a terminal of a given size shows of the screen: the cells that fit
// on it or, when it is smaller than the screens need, only a notice. The
// terminal backend repaints with it after a resize or Ctrl-L; the headless
// backend shows with it what such a terminal would.
#pragma once

#include <functional>

#include "screenlib/screenlib.h"

namespace screenlib::detail {

bool terminal_too_small(int rows, int columns);

// Calls put for every cell of a terminal of rows x columns: the screen's
// cells where they fit (blanks past the screen's edge), or the notice on
// blanks when the terminal is too small. Nothing lies outside the terminal.
void paint_terminal(const Backend& screen, int rows, int columns,
                    const std::function<void(int row, int column, Cell cell)>& put);

}  // namespace screenlib::detail
