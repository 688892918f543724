// Host-drawn text windows, and the text of the backend's screen.
#include <algorithm>
#include <memory>

#include "drawing.h"
#include "library_state.h"

namespace screenlib {

using detail::state;

std::string Backend::row_text(int row) const {
    if (row < 0 || row >= rows()) {
        return {};
    }
    std::string text(static_cast<std::size_t>(columns()), ' ');
    for (int c = 0; c < columns(); ++c) {
        text[static_cast<std::size_t>(c)] = cell(row, c).character;
    }
    return text;
}

std::string Backend::text() const {
    std::string text;
    for (int r = 0; r < rows(); ++r) {
        std::string row = row_text(r);
        row.erase(row.find_last_not_of(' ') + 1);
        if (r > 0) {
            text += '\n';
        }
        text += row;
    }
    return text;
}

TextWindow::TextWindow(int row, int column, int rows, int columns)
    : screen_(nullptr), row_(std::max(0, row)), column_(std::max(0, column)) {
    Backend* screen = state().backend.get();
    const int screen_rows = screen != nullptr ? screen->rows() : SCREEN_ROWS;
    const int screen_columns = screen != nullptr ? screen->columns() : SCREEN_COLUMNS;
    rows_ = std::clamp(rows, 0, std::max(0, screen_rows - row_));
    columns_ = std::clamp(columns, 0, std::max(0, screen_columns - column_));
    auto window = std::make_unique<::Screen>();
    window->name = "text window";
    window->row = row_;
    window->column = column_;
    window->inner_rows = rows_;
    window->inner_columns = columns_;
    window->host_drawn = true;
    screen_ = detail::adopt(std::move(window));
    generation_ = state().generation;
    detail::show(screen_);
}

// After shutdown() the window's screen is gone, and another one may since
// have been made at its address: that one is not ours to draw on or destroy.
bool TextWindow::owns_screen() const {
    return generation_ == state().generation && detail::is_live(screen_);
}

TextWindow::~TextWindow() {
    if (owns_screen()) {
        detail::destroy(screen_);
    }
}

void TextWindow::put(int row, int column, std::string_view text, uint8_t attribute) {
    if (!owns_screen() || row < 0 || row >= rows_ || column < 0) {
        return;
    }
    for (std::size_t i = 0; i < text.size() && column + static_cast<int>(i) < columns_; ++i) {
        detail::put_window_cell(screen_, row_ + row, column_ + column + static_cast<int>(i),
                                Cell{detail::shown_character(text[i]), attribute});
    }
}

void TextWindow::put_row(int row, std::string_view text, uint8_t attribute) {
    std::string line(text.substr(0, static_cast<std::size_t>(columns_)));
    line.resize(static_cast<std::size_t>(columns_), ' ');
    put(row, 0, line, attribute);
}

void TextWindow::flush() {
    if (Backend* backend = state().backend.get()) {
        backend->flush();
    }
}

}  // namespace screenlib
