#include "dialogs/list_popup.h"

#include <cstring>
#include <memory>
#include <new>

#include "platform/color_roles.h"
#include "platform/screen_library.h"
#include "services/module_state.h"

namespace {

// A line template: "@f[", one character per column position, "]", terminator.
constexpr int kTemplateSize = 100;
// Columns are placed only while the template holds fewer characters than this.
constexpr int kTemplateColumnLimit = 80;
constexpr const char* kPrompt = "ESC to exit";

// The working state of the one list that runs, for its key handler.
struct ListState {
    ListFetch fetch = nullptr;
    uint32_t* position = nullptr;
    char* line = nullptr;
    uint32_t* row_table = nullptr;
    // Rows holding records, from the top; the rows below them (after a
    // refill found fewer records) are blank and cannot be chosen.
    int rows = 0;
    // Rows of the window: the row table's entries that a refill may use.
    int height = 0;
    int data_width = 0;
};

ListState list;

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

// Shows the line buffer's data-width characters in field `field`.
void show_line(Screen* window, int field) {
    char text[kTemplateSize];
    std::memcpy(text, list.line, static_cast<size_t>(list.data_width));
    text[list.data_width] = '\0';
    field_set_text(window, text, field);
}

void copy_field(Screen* window, int from, int to) {
    field_set_text(window, field_text(window, from), to);
}

void refresh(Screen* window) {
    screen_update(window);
    screen_flush();
}

bool fetch(int operation) {
    return list.fetch(operation) != 0;
}

// Fills the first page from the first record forward; the start row goes to
// *start. Gives the number of rows filled.
int fill_forward(Screen* window, int height, int* start) {
    int n = 0;
    while (n < height && fetch(n == 0 ? LIST_FIRST : LIST_NEXT)) {
        list.row_table[n] = *list.position;
        show_line(window, n);
        ++n;
    }
    if (n == 0) {
        return 0;
    }
    int s = 0;
    *list.position = list.row_table[0];
    // Records before the first one fetched are put in front until the start
    // row reaches the middle of the page or the data set's start is reached.
    while ((n < height || s < height / 2) && fetch(LIST_PREV)) {
        std::memmove(list.row_table + 1, list.row_table,
                     sizeof(uint32_t) * static_cast<size_t>(height - 1));
        list.row_table[0] = *list.position;
        if (n < height) {
            ++n;
        }
        for (int f = n - 1; f >= 1; --f) {
            copy_field(window, f - 1, f);
        }
        show_line(window, 0);
        ++s;
    }
    *start = s;
    return n;
}

// Fills the first page from the last record backward, then centres the start
// row (the last record's) as far as records after it allow.
int fill_backward(Screen* window, int height, int* start) {
    int n = 0;
    while (n < height && fetch(n == 0 ? LIST_LAST : LIST_PREV)) {
        list.row_table[height - 1 - n] = *list.position;
        show_line(window, height - 1 - n);
        ++n;
    }
    for (int i = 0; i < n; ++i) {
        copy_field(window, height - n + i, i);
        list.row_table[i] = list.row_table[height - n + i];
    }
    if (n == 0) {
        return 0;
    }
    int s = n - 1;
    *list.position = list.row_table[n - 1];
    while ((n < height || s > height / 2) && fetch(LIST_NEXT)) {
        if (n < height) {
            ++n;
            list.row_table[n - 1] = *list.position;
            show_line(window, n - 1);
        } else {
            std::memmove(list.row_table, list.row_table + 1,
                         sizeof(uint32_t) * static_cast<size_t>(height - 1));
            list.row_table[height - 1] = *list.position;
            for (int f = 0; f <= height - 2; ++f) {
                copy_field(window, f + 1, f);
            }
            show_line(window, height - 1);
            --s;
        }
    }
    *start = s;
    return n;
}

// Builds the window: one line a row, each line one field. Gives the window,
// or null with the list's result in *failure. *placed gets the rows the
// library could place, which may be fewer than asked for.
Screen* build_window(const ListPopupLayout& layout, const FieldFunctions* functions, int* placed,
                     int* template_length, int* failure) {
    Menu* menu = menu_open();
    if (menu == nullptr) {
        *failure = LIST_NO_MENU;
        return nullptr;
    }
    char line_template[kTemplateSize];
    list.data_width = build_template(line_template, layout);
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
    return window;
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

// Blanks rows from `first` to the window's last row: a refill found no
// records for them.
void blank_rows(Screen* window, int first) {
    for (int f = first; f < list.height; ++f) {
        field_set_text(window, "", f);
    }
}

// Refills every row from the first record. A failed fetch stops the refill
// (the data set has shrunk): the rows left over are blanked and no longer count.
void refill_from_start(Screen* window) {
    int filled = 0;
    while (filled < list.height) {
        if (filled > 0) {
            *list.position = list.row_table[filled - 1];
        }
        if (!fetch(filled == 0 ? LIST_FIRST : LIST_NEXT)) {
            break;
        }
        list.row_table[filled] = *list.position;
        show_line(window, filled);
        ++filled;
    }
    list.rows = filled;
    blank_rows(window, filled);
    screen_goto_field(window, 0);
}

// Refills every row from the last record upward. After a failed fetch the
// records found are moved to the top, as when the list opened with fewer
// records than rows, and the rows below them are blanked.
void refill_from_end(Screen* window) {
    const int bottom = list.height - 1;
    int filled = 0;
    while (filled < list.height) {
        const int i = bottom - filled;
        if (filled > 0) {
            *list.position = list.row_table[i + 1];
        }
        if (!fetch(filled == 0 ? LIST_LAST : LIST_PREV)) {
            break;
        }
        list.row_table[i] = *list.position;
        show_line(window, i);
        ++filled;
    }
    if (filled < list.height) {
        for (int i = 0; i < filled; ++i) {
            copy_field(window, list.height - filled + i, i);
            list.row_table[i] = list.row_table[list.height - filled + i];
        }
        blank_rows(window, filled);
    }
    list.rows = filled;
    screen_goto_field(window, filled > 0 ? filled - 1 : 0);
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

void list_scroll_down(Screen* window) {
    for (int f = list.rows - 2; f >= 0; --f) {
        copy_field(window, f, f + 1);
        list.row_table[f + 1] = list.row_table[f];
    }
    show_line(window, 0);
    list.row_table[0] = *list.position;
}

void list_scroll_up(Screen* window) {
    for (int f = 1; f <= list.rows - 1; ++f) {
        copy_field(window, f, f - 1);
        list.row_table[f - 1] = list.row_table[f];
    }
    show_line(window, list.rows - 1);
    list.row_table[list.rows - 1] = *list.position;
}

int list_special(Screen* window, int key) {
    const int c = screen_field_no(window);
    switch (key) {
        case KEY_ENTER:
        case KEY_ACCEPT:
            // A blank row left by a refill holds no record to choose.
            if (c < list.rows) {
                screen_set_result(window, c + 1);
                screen_exit(window);
            }
            return 1;
        case KEY_UP:
            if (c != 0) {
                return 0;
            }
            if (list.rows > 0) {
                *list.position = list.row_table[0];
                if (fetch(LIST_PREV)) {
                    list_scroll_down(window);
                    refresh(window);
                }
            }
            return 1;
        case KEY_DOWN:
            if (c != list.rows - 1) {
                return 0;
            }
            *list.position = list.row_table[c];
            if (fetch(LIST_NEXT)) {
                list_scroll_up(window);
                refresh(window);
            }
            return 1;
        case KEY_PAGE_UP:
            for (int i = 0; i < list.rows; ++i) {
                *list.position = list.row_table[0];
                if (!fetch(LIST_PREV)) {
                    break;
                }
                list_scroll_down(window);
            }
            screen_goto_field(window, 0);
            refresh(window);
            return 1;
        case KEY_PAGE_DOWN:
            for (int i = 0; i < list.rows; ++i) {
                *list.position = list.row_table[list.rows - 1];
                if (!fetch(LIST_NEXT)) {
                    break;
                }
                list_scroll_up(window);
            }
            screen_goto_field(window, 0);
            refresh(window);
            return 1;
        case KEY_HOME:
            refill_from_start(window);
            refresh(window);
            return 1;
        case KEY_END:
            refill_from_end(window);
            refresh(window);
            return 1;
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
    list.fetch = fetch_record;
    list.position = position;
    list.line = line;

    if (layout->height < 1) {
        return LIST_NO_MEMORY;  // no row table can be made
    }
    std::unique_ptr<uint32_t[]> row_table(new (std::nothrow)
                                              uint32_t[static_cast<size_t>(layout->height)]);
    if (row_table == nullptr) {
        return LIST_NO_MEMORY;
    }
    list.row_table = row_table.get();

    int height = 0;
    int template_length = 0;
    int failure = 0;
    Screen* window = build_window(*layout, &functions, &height, &template_length, &failure);
    if (window == nullptr) {
        return failure;
    }
    if (height == 0) {
        screen_close(window);  // a window without a single row shows nothing
        return LIST_NO_WINDOW;
    }
    set_up_window(window, *layout, template_length);
    list.height = height;

    int start = 0;
    const int filled = from_end == 0 ? fill_forward(window, height, &start)
                                     : fill_backward(window, height, &start);
    if (filled == 0) {
        screen_close(window);
        list.row_table = nullptr;
        return LIST_EMPTY;
    }
    list.rows = filled;
    if (list.rows < height) {
        screen_set_height(window, list.rows);
        list.height = list.rows;
    }

    screen_paint(window);
    screen_set_prompt(window, kPrompt);
    screen_goto_field(window, start);
    const int r = screen_run(window);
    const bool chosen = r >= 1 && r <= list.rows;
    if (chosen) {
        *position = list.row_table[r - 1];
        std::memcpy(line, field_text(window, r - 1), static_cast<size_t>(list.data_width));
    }
    screen_close(window);
    list.row_table = nullptr;
    return chosen ? LIST_CHOSEN : LIST_LEFT;
}
