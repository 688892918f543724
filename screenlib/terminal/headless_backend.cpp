// The headless backend: cells in memory, keys from a script, tones recorded.
#include <algorithm>
#include <chrono>
#include <thread>

#include "idle_handler.h"
#include "platform/pc_keys.h"
#include "screenlib/screenlib.h"
#include "terminal_view.h"

namespace screenlib {
namespace {

// The place of cell (row, column) in a grid `columns` wide, row by row.
std::size_t cell_index(int row, int column, int columns) {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
           static_cast<std::size_t>(column);
}

}  // namespace

HeadlessBackend::HeadlessBackend(int rows, int columns)
    : rows_(std::max(1, rows)),
      columns_(std::max(1, columns)),
      cells_(cell_index(rows_, 0, columns_)),
      terminal_rows_(rows_),
      terminal_columns_(columns_),
      cells_at_last_key_(cells_) {}

void HeadlessBackend::put(int row, int column, const Cell* cells, int count) {
    if (row < 0 || row >= rows_) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        const int c = column + i;
        if (c < 0 || c >= columns_) {
            continue;
        }
        cells_[cell_index(row, c, columns_)] = cells[i];
        ++cells_written_;
    }
}

Cell HeadlessBackend::cell(int row, int column) const {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) {
        return Cell{};
    }
    return cells_[cell_index(row, column, columns_)];
}

void HeadlessBackend::set_cursor(int row, int column, bool visible) {
    cursor_row_ = row;
    cursor_column_ = column;
    cursor_visible_ = visible;
}

void HeadlessBackend::count_changes() {
    int changed = 0;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        changed += cells_[i] == cells_at_last_key_[i] ? 0 : 1;
    }
    changed_per_key_.push_back(changed);
    cells_at_last_key_ = cells_;
}

int HeadlessBackend::read_key() {
    count_changes();
    for (;;) {
        if (next_key_ >= script_.size()) {
            ran_out_ = true;
            return -1;
        }
        const int key = script_[next_key_++];
        if (is_wait(key)) {
            pass_time(wait_milliseconds(key));
        } else if (is_resize(key)) {
            resize_terminal((key >> 8) & 0xFF, key & 0xFF);
        } else if (key == pc_key::CtrlL) {
            ++repaints_;
        } else if (!detail::terminal_too_small(terminal_rows_, terminal_columns_)) {
            return key;
        }  // else the form is hidden behind the notice, and the key is not taken
    }
}

// A script's pause: time passes as it would at a terminal with no key
// pressed, the idle handler running at its interval (and once at the end).
void HeadlessBackend::pass_time(int milliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::milliseconds(milliseconds);
    const int interval = detail::idle_interval_ms();
    for (;;) {
        const auto left = until - Clock::now();
        if (left <= Clock::duration::zero()) {
            break;
        }
        const auto step = std::chrono::milliseconds(interval);
        std::this_thread::sleep_for(interval < 0 ? left : std::min<Clock::duration>(left, step));
        detail::run_idle_handler();
    }
    detail::run_idle_handler();
}

void HeadlessBackend::resize_terminal(int rows, int columns) {
    terminal_rows_ = std::max(1, rows);
    terminal_columns_ = std::max(1, columns);
    ++repaints_;
}

std::vector<std::vector<Cell>> HeadlessBackend::terminal_cells() const {
    std::vector<std::vector<Cell>> cells(
        static_cast<std::size_t>(terminal_rows_),
        std::vector<Cell>(static_cast<std::size_t>(terminal_columns_)));
    detail::paint_terminal(
        *this, terminal_rows_, terminal_columns_, [&cells](int row, int column, Cell cell) {
            cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = cell;
        });
    return cells;
}

std::vector<std::string> HeadlessBackend::terminal_view() const {
    std::vector<std::string> view;
    for (const std::vector<Cell>& row : terminal_cells()) {
        std::string& text = view.emplace_back();
        for (const Cell& cell : row) {
            text += cell.character;
        }
    }
    return view;
}

void HeadlessBackend::tone(int value, int /*duration*/) {
    tones_.push_back(value);
}

bool HeadlessBackend::set_script(std::string_view keys, std::string* error) {
    std::vector<int> parsed;
    script_.clear();
    next_key_ = 0;
    ran_out_ = false;
    if (!parse_key_script(keys, &parsed, error)) {
        return false;
    }
    script_ = std::move(parsed);
    return true;
}

void HeadlessBackend::push_keys(const std::vector<int>& keys) {
    if (script_exhausted()) {  // keys already read are dropped, so the script does not grow
        script_.clear();
        next_key_ = 0;
    }
    script_.insert(script_.end(), keys.begin(), keys.end());
    ran_out_ = ran_out_ && keys.empty();
}

uint8_t HeadlessBackend::attribute(int row, int column) const {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) {
        return 0;
    }
    return cell(row, column).attribute;
}

}  // namespace screenlib
