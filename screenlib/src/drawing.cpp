#include "drawing.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "library_state.h"

namespace screenlib::detail {

namespace {

// Without colour, the attributes of a monochrome display: plain, reverse
// video (the current field), bold and underline (states that colours show).
constexpr uint8_t kMonoPlain = 0x07;
constexpr uint8_t kMonoReverse = 0x70;
constexpr uint8_t kMonoBold = 0x0F;
constexpr uint8_t kMonoUnderline = 0x01;
constexpr uint8_t kMonoBoldUnderline = 0x09;

uint8_t shown_color(uint8_t color) {
    return state().monochrome ? kMonoPlain : color;
}

// A field's own colour marks a state: a red or magenta background (a
// warning) is underlined, any other state bold; a bright text adds bold.
uint8_t monochrome_emphasis(uint8_t color) {
    const bool warning = (color & 0x40) != 0;
    if (!warning) {
        return kMonoBold;
    }
    return (color & 0x08) != 0 ? kMonoBoldUnderline : kMonoUnderline;
}

// Inner rows or columns a window larger than the screen keeps in view at
// least, moving up or left when its place leaves fewer.
constexpr int kLeastInnerShown = 3;

bool inside_outer(const Screen* screen, int row, int column) {
    return row >= screen->top && row < screen->top + screen->shown_rows && column >= screen->left &&
           column < screen->left + screen->shown_columns;
}

// The place of a window cell (r, c) in the window's saved background.
std::size_t beneath_index(const Screen* screen, int r, int c) {
    return static_cast<std::size_t>(r) * static_cast<std::size_t>(screen->shown_columns) +
           static_cast<std::size_t>(c);
}

Cell* saved_cell(Screen* screen, int row, int column) {
    const int r = row - screen->top;
    const int c = column - screen->left;
    if (r < 0 || c < 0 || r >= screen->shown_rows || c >= screen->shown_columns) {
        return nullptr;
    }
    const std::size_t index = beneath_index(screen, r, c);
    return index < screen->beneath.size() ? &screen->beneath[index] : nullptr;
}

// Places a window's span of `size` cells asked for at `wanted` on a screen
// of `room`: moved back so that it fits, or cut when it is larger.
void fit_span(int wanted, int size, int frame, int room, int* start, int* shown) {
    const int least = size <= room ? size : std::min(size, 2 * frame + kLeastInnerShown);
    *start = std::max(0, std::min(wanted, room - least));
    *shown = std::max(0, std::min(size, room - *start));
}

void place_window(Screen* screen, const Backend& backend) {
    fit_span(screen->row, screen->outer_rows(), screen->frame(), backend.rows(), &screen->top,
             &screen->shown_rows);
    fit_span(screen->column, screen->outer_columns(), screen->frame(), backend.columns(),
             &screen->left, &screen->shown_columns);
    screen->scroll = std::clamp(screen->scroll, 0,
                                std::max(0, screen->inner_rows - std::max(0, screen->view_rows())));
}

// Scrolls the inside so that the current field is in view; true when it moved.
bool scroll_to_current(Screen* screen) {
    if (screen->current < 0 || screen->current >= static_cast<int>(screen->fields.size()) ||
        !field_reachable(screen, screen->current)) {
        return false;
    }
    const int row = screen->fields[static_cast<std::size_t>(screen->current)].row;
    const int before = screen->scroll;
    if (row < screen->scroll) {
        screen->scroll = row;
    } else if (row >= screen->scroll + screen->view_rows()) {
        screen->scroll = row - screen->view_rows() + 1;
    }
    return screen->scroll != before;
}

// Writes the cells of one window, honouring the windows above it: a cell
// covered by a higher window goes into that window's saved background.
// Unchanged cells are not written again, so the backend sees only real
// changes. What the window's place needs is looked up once per drawing.
class CellWriter {
  public:
    explicit CellWriter(const Screen* owner) : backend_(state().backend.get()) {
        if (!backend_) {
            return;
        }
        const auto& shown = state().shown;
        auto position = std::find(shown.begin(), shown.end(), owner);
        if (position == shown.end()) {
            backend_ = nullptr;  // a window not on the screen draws nothing
            return;
        }
        above_.assign(position + 1, shown.end());
        rows_ = backend_->rows();
        columns_ = backend_->columns();
        shown_cells_ = backend_->shown_cells();
    }

    void put(int row, int column, Cell cell) {
        if (!backend_ || row < 0 || column < 0 || row >= rows_ || column >= columns_) {
            return;
        }
        for (Screen* above : above_) {
            if (inside_outer(above, row, column)) {
                if (Cell* saved = saved_cell(above, row, column)) {
                    *saved = cell;
                }
                return;
            }
        }
        const Cell shown =
            shown_cells_ ? shown_cells_[row * columns_ + column] : backend_->cell(row, column);
        if (shown == cell) {
            return;
        }
        backend_->put(row, column, &cell, 1);
    }

    // True when the span of cells at (row, column) is on the screen, no
    // window covers it, and the screen shows exactly these cells already.
    bool shows(int row, int column, const Cell* cells, int count) const {
        if (!backend_ || !shown_cells_ || !above_.empty() || row < 0 || column < 0 ||
            row >= rows_ || column + count > columns_) {
            return false;
        }
        return std::memcmp(shown_cells_ + row * columns_ + column, cells,
                           static_cast<std::size_t>(count) * sizeof(Cell)) == 0;
    }

  private:
    Backend* backend_;
    std::vector<Screen*> above_;
    int rows_ = 0;
    int columns_ = 0;
    const Cell* shown_cells_ = nullptr;
};

void put_cell(const Screen* owner, int row, int column, Cell cell) {
    CellWriter(owner).put(row, column, cell);
}

// The window the cursor belongs to: the top one, host-drawn text windows
// aside.
Screen* cursor_owner() {
    auto& s = state();
    for (auto window = s.shown.rbegin(); window != s.shown.rend(); ++window) {
        if (!(*window)->host_drawn) {
            return *window;
        }
    }
    return nullptr;
}

}  // namespace

void put_window_cell(const Screen* owner, int row, int column, Cell cell) {
    put_cell(owner, row, column, cell);
}

void show(Screen* screen) {
    auto& s = state();
    if (screen->shown || !s.backend) {
        return;
    }
    place_window(screen, *s.backend);
    screen->beneath.assign(beneath_index(screen, screen->shown_rows, 0), Cell{});
    for (int r = 0; r < screen->shown_rows; ++r) {
        for (int c = 0; c < screen->shown_columns; ++c) {
            screen->beneath[beneath_index(screen, r, c)] =
                s.backend->cell(screen->top + r, screen->left + c);
        }
    }
    s.shown.push_back(screen);
    screen->shown = true;
}

void hide(Screen* screen) {
    auto& s = state();
    if (!screen->shown) {
        return;
    }
    auto position = std::find(s.shown.begin(), s.shown.end(), screen);
    if (position != s.shown.end() && s.backend) {
        // The saved background goes where the window was: into the window
        // beneath-saves of higher windows that cover it, otherwise on screen.
        for (int r = 0; r < screen->shown_rows; ++r) {
            for (int c = 0; c < screen->shown_columns; ++c) {
                const int row = screen->top + r;
                const int column = screen->left + c;
                Cell cell = screen->beneath[beneath_index(screen, r, c)];
                bool covered = false;
                for (auto above = position + 1; above != s.shown.end(); ++above) {
                    if (inside_outer(*above, row, column)) {
                        if (Cell* saved = saved_cell(*above, row, column)) {
                            *saved = cell;
                        }
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
    if (position != s.shown.end()) {
        s.shown.erase(position);
    }
    screen->shown = false;
    screen->beneath.clear();
    if (Screen* owner = cursor_owner()) {
        place_cursor(owner);
    }
}

void draw_body(Screen* screen) {
    // The cells of visible fields are left to the fields, which are drawn
    // over the body: written twice, each would reach the terminal twice.
    const auto columns = static_cast<std::size_t>(std::max(0, screen->inner_columns));
    std::vector<char> under_field(static_cast<std::size_t>(std::max(0, screen->inner_rows)) *
                                  columns);
    for (int n = 0; n < static_cast<int>(screen->fields.size()); ++n) {
        if (!field_visible(screen, n)) {
            continue;
        }
        const Field& field = screen->fields[static_cast<std::size_t>(n)];
        for (int i = 0; i < field.display_width(); ++i) {
            under_field[static_cast<std::size_t>(field.row) * columns +
                        static_cast<std::size_t>(field.column + i)] = 1;
        }
    }
    CellWriter writer(screen);
    const uint8_t color = shown_color(screen->colors.regular);
    const int last = std::min(screen->inner_rows, screen->scroll + screen->view_rows());
    const int width = std::min(screen->inner_columns, screen->view_columns());
    std::vector<Cell> row_cells(static_cast<std::size_t>(std::max(0, width)));
    for (int r = screen->scroll; r < last; ++r) {
        const std::string empty;
        const std::string& line = r < static_cast<int>(screen->picture.size())
                                      ? screen->picture[static_cast<std::size_t>(r)]
                                      : empty;
        for (int c = 0; c < width; ++c) {
            const char ch =
                c < static_cast<int>(line.size()) ? line[static_cast<std::size_t>(c)] : ' ';
            row_cells[static_cast<std::size_t>(c)] = Cell{ch, color};
        }
        // A redraw mostly finds the body as it was: each run of cells between
        // fields is compared whole and written cell by cell only when it differs.
        const std::size_t mask_row = static_cast<std::size_t>(r) * columns;
        for (int start = 0; start < width;) {
            if (under_field[mask_row + static_cast<std::size_t>(start)]) {
                ++start;
                continue;
            }
            int end = start;
            while (end < width && !under_field[mask_row + static_cast<std::size_t>(end)]) {
                ++end;
            }
            const int row = screen->screen_row(r);
            if (!writer.shows(row, screen->inner_left() + start,
                              &row_cells[static_cast<std::size_t>(start)], end - start)) {
                for (int c = start; c < end; ++c) {
                    writer.put(row, screen->inner_left() + c,
                               row_cells[static_cast<std::size_t>(c)]);
                }
            }
            start = end;
        }
    }
}

void draw_frame(Screen* screen, FrameStyle style) {
    if (!screen->has_border()) {
        return;
    }
    const int top = screen->top;
    const int left = screen->left;
    const int bottom = top + screen->shown_rows - 1;
    const int right = left + screen->shown_columns - 1;
    const uint8_t attribute = shown_color(screen->colors.border);
    CellWriter writer(screen);
    for (int c = left; c <= right; ++c) {
        const char ch = (c == left || c == right) ? '+' : '-';
        writer.put(top, c, Cell{ch, attribute});
        writer.put(bottom, c, Cell{ch, attribute});
    }
    for (int r = top + 1; r < bottom; ++r) {
        writer.put(r, left, Cell{'|', attribute});
        writer.put(r, right, Cell{'|', attribute});
    }
    if (style == FrameStyle::Prompt) {
        draw_prompt(screen);
    }
}

void draw_prompt(Screen* screen) {
    if (screen->border != bd_prompt) {
        return;
    }
    const int bottom = screen->top + screen->shown_rows - 1;
    const int space = screen->shown_columns - 2;
    for (int c = 0; c < space; ++c) {
        const char ch = c < static_cast<int>(screen->prompt.size())
                            ? screen->prompt[static_cast<std::size_t>(c)]
                            : '-';
        put_cell(screen, bottom, screen->left + 1 + c,
                 Cell{ch, shown_color(screen->colors.border)});
    }
}

bool field_reachable(const Screen* screen, int n) {
    const Field& field = screen->fields[static_cast<std::size_t>(n)];
    const bool in_window = field.row >= 0 && field.row < screen->inner_rows && field.column >= 0 &&
                           field.column + field.display_width() <= screen->inner_columns;
    if (!in_window || !screen->shown) {
        return in_window;
    }
    // A window cut at the screen's side has fields that cannot be seen or typed into.
    return screen->view_rows() > 0 &&
           field.column + field.display_width() <= screen->view_columns();
}

bool field_visible(const Screen* screen, int n) {
    const int row = screen->fields[static_cast<std::size_t>(n)].row;
    return field_reachable(screen, n) &&
           (!screen->shown ||
            (row >= screen->scroll && row < screen->scroll + screen->view_rows()));
}

uint8_t field_attribute(const Screen* screen, int n) {
    const Field& field = screen->fields[static_cast<std::size_t>(n)];
    const bool selected = screen->running && n == screen->current && !field.display_only;
    if (state().monochrome) {
        if (selected) {
            return kMonoReverse;
        }
        return field.regular_color ? monochrome_emphasis(*field.regular_color) : kMonoPlain;
    }
    if (selected) {
        return field.selected_color.value_or(screen->colors.third);
    }
    return field.regular_color.value_or(screen->colors.second);
}

namespace {

// A selected text shows in the field's colours swapped (reverse and bold
// without colour); the blanks after it keep the field's own.
uint8_t selection_attribute(uint8_t attribute) {
    if (state().monochrome) {
        return kMonoReverse | kMonoBold;
    }
    return static_cast<uint8_t>(((attribute & 0x07) << 4) | ((attribute >> 4) & 0x07));
}

}  // namespace

namespace {

// Draws field n through a writer for its window; the field's cells are
// compared whole first, as a redraw mostly finds them unchanged.
void draw_field_with(Screen* screen, int n, CellWriter& writer) {
    if (n < 0 || n >= static_cast<int>(screen->fields.size()) || !field_visible(screen, n)) {
        return;
    }
    const Field& field = screen->fields[static_cast<std::size_t>(n)];
    const uint8_t attribute = field_attribute(screen, n);
    const bool masked = field.masked();
    int selection_end = 0;
    if (screen->text_selected && n == screen->current) {
        selection_end = field.record_length();
        while (selection_end > 0 &&
               field.record[static_cast<std::size_t>(selection_end - 1)] == ' ') {
            --selection_end;
        }
    }
    const int width = field.display_width();
    std::vector<Cell> cells(static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i) {
        const int source = field.cells[static_cast<std::size_t>(i)];
        char ch;
        if (source < 0) {
            ch = static_cast<char>(-1 - source);
        } else {
            ch = field.record[static_cast<std::size_t>(source)];
            if (ch == '\0') {
                ch = ' ';
            }
            if (masked && ch != ' ') {
                ch = '*';
            }
        }
        const bool selected = source >= 0 && source < selection_end;
        uint8_t shown = selected ? selection_attribute(attribute) : attribute;
        if (source >= 0 && source == field.hot_letter && !selected) {
            shown = screenlib::hot_letter_attribute(attribute);
        }
        cells[static_cast<std::size_t>(i)] = Cell{ch, shown};
    }
    const int row = screen->screen_row(field.row);
    const int column = screen->inner_left() + field.column;
    if (writer.shows(row, column, cells.data(), width)) {
        return;
    }
    for (int i = 0; i < width; ++i) {
        writer.put(row, column + i, cells[static_cast<std::size_t>(i)]);
    }
}

}  // namespace

void draw_field(Screen* screen, int n) {
    CellWriter writer(screen);
    draw_field_with(screen, n, writer);
}

void place_cursor(Screen* screen) {
    auto& s = state();
    if (!s.backend || cursor_owner() != screen) {
        return;
    }
    if (scroll_to_current(screen)) {
        draw_window(screen);  // places the cursor again, now in view
        return;
    }
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
    s.backend->set_cursor(screen->screen_row(field.row),
                          screen->inner_left() + field.column + offset, true);
}

void draw_window(Screen* screen) {
    show(screen);
    if (screen->window_class) {
        screen->window_class(screen);
    } else {
        draw_body(screen);
    }
    if (screen->border) {
        screen->border(screen);
    }
    CellWriter writer(screen);
    for (int n = 0; n < static_cast<int>(screen->fields.size()); ++n) {
        draw_field_with(screen, n, writer);
    }
    place_cursor(screen);
}

}  // namespace screenlib::detail

namespace screenlib {

// Without colour, bold in reverse video (the current field, a bar), else
// underlined.
uint8_t hot_letter_attribute(uint8_t attribute) {
    using detail::kMonoReverse;
    if (detail::state().monochrome) {
        return attribute == kMonoReverse ? static_cast<uint8_t>(kMonoReverse | 0x08)
                                         : detail::kMonoUnderline;
    }
    const uint8_t background = attribute & 0x70;
    const bool light =
        background == 0x20 || background == 0x30 || background == 0x60 || background == 0x70;
    return static_cast<uint8_t>(background | (light ? 0x04 : 0x0E));
}

}  // namespace screenlib
