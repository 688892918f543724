#include "drawing.h"

#include <algorithm>

#include "library_state.h"

namespace screenlib::detail {

namespace {

bool inside_outer(const Screen* screen, int row, int column) {
    return row >= screen->row && row < screen->row + screen->outer_rows() &&
           column >= screen->column && column < screen->column + screen->outer_columns();
}

Cell* saved_cell(Screen* screen, int row, int column) {
    const std::size_t index = static_cast<std::size_t>(
        (row - screen->row) * screen->outer_columns() + (column - screen->column));
    return index < screen->beneath.size() ? &screen->beneath[index] : nullptr;
}

// Writes one cell of a window, honouring the windows above it. Unchanged
// cells are not written again, so the backend sees only real changes.
void put_cell(const Screen* owner, int row, int column, Cell cell) {
    auto& s = state();
    if (!s.backend)
        return;
    if (row < 0 || column < 0 || row >= s.backend->rows() || column >= s.backend->columns())
        return;
    auto position = std::find(s.shown.begin(), s.shown.end(), owner);
    if (position == s.shown.end())
        return;  // a window not on the screen draws nothing
    for (auto above = position + 1; above != s.shown.end(); ++above) {
        if (inside_outer(*above, row, column)) {
            if (Cell* saved = saved_cell(*above, row, column))
                *saved = cell;
            return;
        }
    }
    if (s.backend->cell(row, column) == cell)
        return;
    s.backend->put(row, column, &cell, 1);
}

// The window the cursor belongs to: the top one, host-drawn text windows
// aside.
Screen* cursor_owner() {
    auto& s = state();
    for (auto window = s.shown.rbegin(); window != s.shown.rend(); ++window) {
        if (!(*window)->host_drawn)
            return *window;
    }
    return nullptr;
}

}  // namespace

void put_window_cell(const Screen* owner, int row, int column, Cell cell) {
    put_cell(owner, row, column, cell);
}

void show(Screen* screen) {
    auto& s = state();
    if (screen->shown || !s.backend)
        return;
    screen->beneath.assign(static_cast<std::size_t>(screen->outer_rows() * screen->outer_columns()),
                           Cell{});
    for (int r = 0; r < screen->outer_rows(); ++r) {
        for (int c = 0; c < screen->outer_columns(); ++c) {
            screen->beneath[static_cast<std::size_t>(r * screen->outer_columns() + c)] =
                s.backend->cell(screen->row + r, screen->column + c);
        }
    }
    s.shown.push_back(screen);
    screen->shown = true;
}

void hide(Screen* screen) {
    auto& s = state();
    if (!screen->shown)
        return;
    auto position = std::find(s.shown.begin(), s.shown.end(), screen);
    if (position != s.shown.end() && s.backend) {
        // The saved background goes where the window was: into the window
        // beneath-saves of higher windows that cover it, otherwise on screen.
        for (int r = 0; r < screen->outer_rows(); ++r) {
            for (int c = 0; c < screen->outer_columns(); ++c) {
                const int row = screen->row + r;
                const int column = screen->column + c;
                Cell cell =
                    screen->beneath[static_cast<std::size_t>(r * screen->outer_columns() + c)];
                bool covered = false;
                for (auto above = position + 1; above != s.shown.end(); ++above) {
                    if (inside_outer(*above, row, column)) {
                        if (Cell* saved = saved_cell(*above, row, column))
                            *saved = cell;
                        covered = true;
                        break;
                    }
                }
                if (!covered && row >= 0 && column >= 0 && row < s.backend->rows() &&
                    column < s.backend->columns() && !(s.backend->cell(row, column) == cell)) {
                    s.backend->put(row, column, &cell, 1);
                }
            }
        }
    }
    if (position != s.shown.end())
        s.shown.erase(position);
    screen->shown = false;
    screen->beneath.clear();
    if (Screen* owner = cursor_owner())
        place_cursor(owner);
}

void draw_body(Screen* screen) {
    for (int r = 0; r < screen->inner_rows; ++r) {
        const std::string empty;
        const std::string& line = r < static_cast<int>(screen->picture.size())
                                      ? screen->picture[static_cast<std::size_t>(r)]
                                      : empty;
        for (int c = 0; c < screen->inner_columns; ++c) {
            const char ch =
                c < static_cast<int>(line.size()) ? line[static_cast<std::size_t>(c)] : ' ';
            put_cell(screen, screen->inner_row() + r, screen->inner_column() + c,
                     Cell{ch, screen->colors.regular});
        }
    }
}

void draw_frame(Screen* screen, FrameStyle style) {
    if (!screen->has_border())
        return;
    const int top = screen->row;
    const int left = screen->column;
    const int bottom = top + screen->outer_rows() - 1;
    const int right = left + screen->outer_columns() - 1;
    const uint8_t attribute = screen->colors.border;
    for (int c = left; c <= right; ++c) {
        const char ch = (c == left || c == right) ? '+' : '-';
        put_cell(screen, top, c, Cell{ch, attribute});
        put_cell(screen, bottom, c, Cell{ch, attribute});
    }
    for (int r = top + 1; r < bottom; ++r) {
        put_cell(screen, r, left, Cell{'|', attribute});
        put_cell(screen, r, right, Cell{'|', attribute});
    }
    if (style == FrameStyle::Prompt)
        draw_prompt(screen);
}

void draw_prompt(Screen* screen) {
    if (screen->border != bd_prompt)
        return;
    const int bottom = screen->row + screen->outer_rows() - 1;
    const int space = screen->outer_columns() - 2;
    for (int c = 0; c < space; ++c) {
        const char ch = c < static_cast<int>(screen->prompt.size())
                            ? screen->prompt[static_cast<std::size_t>(c)]
                            : '-';
        put_cell(screen, bottom, screen->column + 1 + c, Cell{ch, screen->colors.border});
    }
}

bool field_visible(const Screen* screen, int n) {
    const Field& field = screen->fields[static_cast<std::size_t>(n)];
    const bool in_window = field.row >= 0 && field.row < screen->inner_rows && field.column >= 0 &&
                           field.column + field.display_width() <= screen->inner_columns;
    const Backend* backend = state().backend.get();
    if (!in_window || !backend)
        return in_window;
    // A window may reach past the screen's edge; a field there cannot be seen or typed into.
    const int row = screen->inner_row() + field.row;
    const int column = screen->inner_column() + field.column;
    return row < backend->rows() && column + field.display_width() <= backend->columns();
}

uint8_t field_attribute(const Screen* screen, int n) {
    const Field& field = screen->fields[static_cast<std::size_t>(n)];
    const bool selected = screen->running && n == screen->current && !field.display_only;
    if (selected)
        return field.selected_color.value_or(screen->colors.third);
    return field.regular_color.value_or(screen->colors.second);
}

void draw_field(Screen* screen, int n) {
    if (n < 0 || n >= static_cast<int>(screen->fields.size()) || !field_visible(screen, n))
        return;
    const Field& field = screen->fields[static_cast<std::size_t>(n)];
    const uint8_t attribute = field_attribute(screen, n);
    const bool masked = field.masked();
    for (int i = 0; i < field.display_width(); ++i) {
        const int source = field.cells[static_cast<std::size_t>(i)];
        char ch;
        if (source < 0) {
            ch = static_cast<char>(-1 - source);
        } else {
            ch = field.record[static_cast<std::size_t>(source)];
            if (ch == '\0')
                ch = ' ';
            if (masked && ch != ' ')
                ch = '*';
        }
        put_cell(screen, screen->inner_row() + field.row, screen->inner_column() + field.column + i,
                 Cell{ch, attribute});
    }
}

void place_cursor(Screen* screen) {
    auto& s = state();
    if (!s.backend || cursor_owner() != screen)
        return;
    if (screen->current < 0 || screen->current >= static_cast<int>(screen->fields.size()) ||
        !field_visible(screen, screen->current)) {
        s.backend->set_cursor(0, 0, false);
        return;
    }
    const Field& field = screen->fields[static_cast<std::size_t>(screen->current)];
    const int position =
        std::clamp(screen->edit_position, 0, std::max(0, field.record_length() - 1));
    int offset = 0;
    for (int i = 0; i < field.display_width(); ++i) {
        if (field.cells[static_cast<std::size_t>(i)] == position) {
            offset = i;
            break;
        }
    }
    s.backend->set_cursor(screen->inner_row() + field.row,
                          screen->inner_column() + field.column + offset, true);
}

void draw_window(Screen* screen) {
    show(screen);
    if (screen->window_class) {
        screen->window_class(screen);
    } else {
        draw_body(screen);
    }
    if (screen->border)
        screen->border(screen);
    for (int n = 0; n < static_cast<int>(screen->fields.size()); ++n)
        draw_field(screen, n);
    place_cursor(screen);
}

}  // namespace screenlib::detail
