#include "terminal_view.h"

#include <algorithm>

namespace screenlib::detail {

bool terminal_too_small(int rows, int columns) {
    return rows < kNeededRows || columns < kNeededColumns;
}

void paint_terminal(const Backend& screen, int rows, int columns,
                    const std::function<void(int row, int column, Cell cell)>& put) {
    const Cell blank{};
    if (!terminal_too_small(rows, columns)) {
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                const bool on_screen = r < screen.rows() && c < screen.columns();
                put(r, c, on_screen ? screen.cell(r, c) : blank);
            }
        }
        return;
    }
    // The notice in the middle, cut to the width.
    const int length = static_cast<int>(kTooSmallNotice.size());
    const int notice_row = rows / 2;
    const int notice_column = std::max(0, (columns - length) / 2);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int at = c - notice_column;
            const bool in_notice = r == notice_row && at >= 0 && at < length;
            put(r, c,
                in_notice ? Cell{kTooSmallNotice[static_cast<std::size_t>(at)], 0x07} : blank);
        }
    }
}

}  // namespace screenlib::detail
