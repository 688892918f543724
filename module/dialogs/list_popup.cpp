#include "dialogs/list_popup.h"

#include <cstring>
#include <memory>
#include <new>

#include "platform/color_roles.h"
#include "platform/screen_library.h"
#include "services/module_state.h"
#include "services/screen_files.h"

namespace {

// A line template: "@f[", one character per column position, "]", terminator.
constexpr int kTemplateSize = 100;
// Columns are placed only while the template holds fewer characters than this.
constexpr int kTemplateColumnLimit = 80;
constexpr const char* kPrompt = "ESC to exit";

// The two ends of the window, where records come in.
enum class End { kTop, kBottom };

End other(End end) {
    return end == End::kTop ? End::kBottom : End::kTop;
}

// One page of the data set: the window's rows from the top, each showing one
// record whose position the row table keeps. Rows below those holding records
// (after a refill found fewer records) are blank and cannot be chosen.
class ListWindow {
  public:
    ListWindow(ListFetch fetch_record, uint32_t* position, char* line, uint32_t* row_table,
               int data_width)
        : fetch_(fetch_record),
          position_(position),
          line_(line),
          row_table_(row_table),
          data_width_(data_width) {}

    // The window and the rows it has; once the first page is filled the
    // window shrinks to the rows filled.
    void attach(Screen* window, int height) {
        window_ = window;
        height_ = height;
    }
    void shrink_to_rows() { height_ = rows_; }

    int rows() const { return rows_; }
    uint32_t position_of(int row) const { return row_table_[row]; }
    Screen* window() const { return window_; }

    // Fills the window from one end of the data set: the first record and
    // those after it, or the last record and those before it. With `centre`
    // records from the other side then come in until the page is full and that
    // first record has moved toward the middle row as far as they allow. The
    // row of that first record: where the cursor starts.
    int fill(bool from_end, bool centre) {
        rows_ = 0;
        anchor_ = 0;
        const End onward = from_end ? End::kTop : End::kBottom;
        if (!fetch(from_end ? LIST_LAST : LIST_FIRST)) {
            return 0;
        }
        take(onward, true);
        anchor_ = 0;
        while (rows_ < height_ && fetch_beside(onward)) {
            take(onward, true);
        }
        const End back = other(onward);
        while (centre && (rows_ < height_ || short_of_middle(back)) && fetch_beside(back)) {
            take(back, true);
        }
        return anchor_;
    }

    // Brings up to `count` records in at `end`, one at a time, each pushing the
    // row at the other end out; stops at the first failed fetch. The number
    // brought in.
    int scroll(End end, int count) {
        int moved = 0;
        while (rows_ > 0 && moved < count && fetch_beside(end)) {
            take(end, false);
            ++moved;
        }
        return moved;
    }

    // Blanks the rows below those holding records.
    void blank_rest() {
        for (int row = rows_; row < height_; ++row) {
            field_set_text(window_, "", row);
        }
    }

  private:
    bool fetch(int operation) { return fetch_(operation) != 0; }

    // Fetches the record beyond the row at `end`.
    bool fetch_beside(End end) {
        *position_ = row_table_[end == End::kTop ? 0 : rows_ - 1];
        return fetch(end == End::kTop ? LIST_PREV : LIST_NEXT);
    }

    // True while records coming in at `end` still move the anchor toward the
    // middle row.
    bool short_of_middle(End end) const {
        return end == End::kTop ? anchor_ < height_ / 2 : anchor_ > height_ / 2;
    }

    // Puts the record just fetched in at `end`: as a new row while `grow` and
    // rows are left, else pushing the row at the other end out.
    void take(End end, bool grow) {
        const bool new_row = grow && rows_ < height_;
        if (end == End::kBottom) {
            if (new_row) {
                ++rows_;
            } else {
                shift(1, rows_, -1);
                anchor_ -= 1;
            }
            put(rows_ - 1);
        } else {
            if (new_row) {
                ++rows_;
            }
            shift(0, rows_ - 1, +1);
            anchor_ += 1;
            put(0);
        }
    }

    // Moves rows `first` to `last` - 1 by `step` rows, row table and text.
    void shift(int first, int last, int step) {
        if (step > 0) {
            for (int row = last - 1; row >= first; --row) {
                copy_row(row, row + step);
            }
        } else {
            for (int row = first; row < last; ++row) {
                copy_row(row, row + step);
            }
        }
    }

    void copy_row(int from, int to) {
        field_set_text(window_, field_text(window_, from), to);
        row_table_[to] = row_table_[from];
    }

    // Shows the record of the line buffer and the position variable in `row`.
    void put(int row) {
        char text[kTemplateSize];
        std::memcpy(text, line_, static_cast<size_t>(data_width_));
        text[data_width_] = '\0';
        field_set_text(window_, text, row);
        row_table_[row] = *position_;
    }

    ListFetch fetch_;
    uint32_t* position_;
    char* line_;
    uint32_t* row_table_;
    int data_width_;
    Screen* window_ = nullptr;
    int height_ = 0;
    int rows_ = 0;
    // The row of the record the fill started from.
    int anchor_ = 0;
};

// The list that runs, for its key handler.
ListWindow* running = nullptr;

// Builds the field directive of one line into `out`; gives the data width.
int build_template(char* out, const ListPopupLayout& layout) {
    int length = 0;
    int data_width = 0;
    std::memcpy(out, "@f[", 3);
    length = 3;
    for (int column = 0; column < layout.column_count; ++column) {
        if (length >= kTemplateColumnLimit) {
            break;
        }
        const bool data = column % 2 == 1;
        // A column too wide for the template is cut, so the buffer never overflows.
        for (int i = 0; i < layout.widths[column] && length < kTemplateSize - 2; ++i) {
            out[length++] = data ? '#' : ' ';
            data_width += data ? 1 : 0;
        }
    }
    out[length++] = ']';
    out[length] = '\0';
    return data_width;
}

// Builds the window: one line a row, each line one field. Gives the window,
// or null with the list's result in *failure. *placed gets the rows the
// library could place, which may be fewer than asked for.
OpenScreen build_window(const ListPopupLayout& layout, const FieldFunctions* functions, int* placed,
                        int* data_width, int* template_length, int* failure) {
    Menu* menu = menu_open();
    if (menu == nullptr) {
        *failure = LIST_NO_MENU;
        return nullptr;
    }
    char line_template[kTemplateSize];
    *data_width = build_template(line_template, layout);
    *template_length = static_cast<int>(std::strlen(line_template));
    int rows = 0;
    while (rows < layout.height) {
        // A row the library cannot place ends the window there, rather than
        // putting its field beside the row above.
        if (menu_printf(menu, "@p[%d,1]", rows) < 0 ||
            menu_printf(menu, line_template, nullptr, functions) < 0) {
            break;
        }
        ++rows;
    }
    menu_flush(menu);
    Screen* window = menu_screen(menu);
    if (window == nullptr) {
        *failure = LIST_NO_WINDOW;
        return nullptr;
    }
    *placed = rows;
    return OpenScreen(window);
}

void set_up_window(Screen* window, const ListPopupLayout& layout, int template_length) {
    screen_set_mode(window, 0);
    screen_set_border(window, bd_prompt);
    screen_set_mouse(window, sedmou_GreedyClick);
    screen_set_special(window, list_special);
    screen_set_position(window, layout.row, layout.column);
    screen_set_width(window, template_length - 2);
    screen_set_colors(window, layout.colour1, layout.colour2, layout.colour3);
    screen_set_border_color(window, layout.border_colour);
    if (layout.extra != 0) {
        screen_set_extra(window, layout.extra);
    }
    screen_set_popup(window, 1);
}

void refresh(Screen* window) {
    screen_update(window);
    screen_flush();
}

bool is_printable(int key) {
    const int character = key_char(key);
    return character >= 0x20 && character != 0x7F;
}

}  // namespace

void set_list_colours(ListPopupLayout* layout) {
    // A list shows its rows in the popups' field colour.
    const WindowColors colours = popup_window_colors(*host_context->settings);
    layout->colour1 = colours.second;
    layout->colour2 = colours.second;
    layout->colour3 = colours.third;
    layout->border_colour = colours.border;
}

int list_special(Screen* window, int key) {
    if (running == nullptr) {
        return 0;
    }
    ListWindow& list = *running;
    const int c = screen_field_no(window);
    switch (key) {
        case KEY_ENTER:
        case KEY_ACCEPT:
            // A blank row left by a refill holds no record to choose.
            if (c < list.rows()) {
                screen_set_result(window, c + 1);
                screen_exit(window);
            }
            return 1;
        case KEY_UP:
        case KEY_DOWN: {
            // Only beyond the top or bottom row; the library moves the cursor within.
            const End end = key == KEY_UP ? End::kTop : End::kBottom;
            if (c != (end == End::kTop ? 0 : list.rows() - 1)) {
                return 0;
            }
            if (list.scroll(end, 1) != 0) {
                refresh(window);
            }
            return 1;
        }
        case KEY_PAGE_UP:
        case KEY_PAGE_DOWN:
            list.scroll(key == KEY_PAGE_UP ? End::kTop : End::kBottom, list.rows());
            screen_goto_field(window, 0);
            refresh(window);
            return 1;
        case KEY_HOME:
        case KEY_END: {
            // The data set may have shrunk: rows the refill finds no record for go blank.
            const bool from_end = key == KEY_END;
            list.fill(from_end, false);
            list.blank_rest();
            screen_goto_field(window, from_end && list.rows() > 0 ? list.rows() - 1 : 0);
            refresh(window);
            return 1;
        }
        case KEY_BACKSPACE:
        case KEY_INSERT:
        case KEY_DELETE:
            return 1;
        default:
            // Typing never changes a row.
            return is_printable(key) ? 1 : 0;
    }
}

int list_popup(ListFetch fetch_record, uint32_t* position, char* line,
               const ListPopupLayout* layout, int from_end) {
    const FieldFunctions functions = {nullptr, nullptr, field_std_key,
                                      nullptr, nullptr, STRING_FIELD_SET_ID};
    if (layout->height < 1) {
        return LIST_NO_MEMORY;  // no row table can be made
    }
    // The row table: the module's only allocation, for the length of one list.
    const std::unique_ptr<uint32_t[]> row_table(new (std::nothrow)
                                                    uint32_t[static_cast<size_t>(layout->height)]);
    if (row_table == nullptr) {
        return LIST_NO_MEMORY;
    }
    int height = 0;
    int data_width = 0;
    int template_length = 0;
    int failure = 0;
    OpenScreen window =
        build_window(*layout, &functions, &height, &data_width, &template_length, &failure);
    if (window == nullptr) {
        return failure;
    }
    if (height == 0) {
        return LIST_NO_WINDOW;  // a window without a single row shows nothing
    }
    set_up_window(window.get(), *layout, template_length);

    ListWindow list(fetch_record, position, line, row_table.get(), data_width);
    list.attach(window.get(), height);
    const int start = list.fill(from_end != 0, true);
    if (list.rows() == 0) {
        return LIST_EMPTY;
    }
    if (list.rows() < height) {
        screen_set_height(window.get(), list.rows());
        list.shrink_to_rows();
    }

    screen_paint(window.get());
    screen_set_prompt(window.get(), kPrompt);
    screen_goto_field(window.get(), start);
    running = &list;
    const int r = screen_run(window.get());
    running = nullptr;
    const bool chosen = r >= 1 && r <= list.rows();
    if (chosen) {
        *position = list.position_of(r - 1);
        std::memcpy(line, field_text(window.get(), r - 1), static_cast<size_t>(data_width));
    }
    return chosen ? LIST_CHOSEN : LIST_LEFT;
}
