#include "terminal_view.h"

#include <algorithm>

namespace screenlib::detail {
namespace {

bool row_holds_only(const Backend& screen, int row, std::string_view characters) {
    for (int c = 0; c < screen.columns(); ++c) {
        if (characters.find(screen.cell(row, c).character) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool terminal_too_small(int rows, int columns) {
    return rows < kNeededRows || columns < kNeededColumns;
}

std::vector<int> rows_shown(const Backend& screen, int rows) {
    const int screen_rows = screen.rows();
    std::vector<bool> left_out(static_cast<std::size_t>(std::max(0, screen_rows)), false);
    int to_leave = screen_rows - rows;
    const auto leave = [&](int row) {
        left_out[static_cast<std::size_t>(row)] = true;
        --to_leave;
    };
    for (int r = screen_rows - 1; r >= 0 && to_leave > 0 && row_holds_only(screen, r, " "); --r) {
        leave(r);
    }
    for (int r = 1; r < screen_rows && to_leave > 0; ++r) {
        if (!left_out[static_cast<std::size_t>(r)] && row_holds_only(screen, r, " +-|")) {
            leave(r);
        }
    }
    for (int r = screen_rows - 1; r >= 0 && to_leave > 0; --r) {
        if (!left_out[static_cast<std::size_t>(r)]) {
            leave(r);
        }
    }
    std::vector<int> shown;
    shown.reserve(static_cast<std::size_t>(rows));
    for (int r = 0; r < screen_rows; ++r) {
        if (!left_out[static_cast<std::size_t>(r)]) {
            shown.push_back(r);
        }
    }
    shown.resize(static_cast<std::size_t>(rows), -1);
    return shown;
}

void paint_terminal(const Backend& screen, int rows, int columns,
                    const std::function<void(int row, int column, Cell cell)>& put) {
    const Cell blank{};
    if (!terminal_too_small(rows, columns)) {
        const std::vector<int> shown = rows_shown(screen, rows);
        for (int r = 0; r < rows; ++r) {
            const int from = shown[static_cast<std::size_t>(r)];
            for (int c = 0; c < columns; ++c) {
                const bool on_screen = from >= 0 && c < screen.columns();
                put(r, c, on_screen ? screen.cell(from, c) : blank);
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
