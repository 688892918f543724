// The library's own field functions, field-function sets and named objects
// (window class, borders, mouse handlers).
#include "drawing.h"
#include "edit_loop.h"
#include "field_ops.h"
#include "library_state.h"
#include "platform/code_page.h"
#include "platform/screen_function_table.h"

using namespace screenlib::detail;

namespace {

// Moves to the choice whose label starts with the typed letter.
bool jump_to_choice(Screen* screen, int ch) {
    const int count = static_cast<int>(screen->fields.size());
    const int upper = code_page::to_upper(static_cast<unsigned char>(ch));
    for (int step = 1; step <= count; ++step) {
        const int n = (screen->current + step) % count;
        const Field& field = screen->fields[static_cast<std::size_t>(n)];
        if (field.kind != FieldKind::Choice || !can_take_cursor(screen, n)) {
            continue;
        }
        for (int i = 0; i < field.record_length(); ++i) {
            int first = static_cast<unsigned char>(field.record[static_cast<std::size_t>(i)]);
            if (first == ' ') {
                continue;
            }
            if (code_page::to_upper(static_cast<unsigned char>(first)) == upper) {
                goto_field(screen, n);
                return true;
            }
            break;
        }
    }
    return false;
}
}  // namespace

extern "C" {

void string_field_entry(Screen* screen) {
    if (!is_live(screen)) {
        return;
    }
    screen->edit_position = 0;
    place_cursor(screen);
}

uint8_t field_std_exit(Screen* screen) {
    if (!is_live(screen)) {
        return 1;
    }
    if (Field* field = field_at(screen, screen->current)) {
        store_variable(*field);
    }
    return 1;
}

int field_std_key(Screen* screen, int key) {
    if (!is_live(screen)) {
        return 0;
    }
    return edit_current_field(screen, key) ? 1 : 0;
}

void string_field_fill(Screen* screen, int field) {
    Field* target = field_at(screen, field);
    if (!target) {
        return;
    }
    load_variable(*target);
    draw_field(screen, field);
}

void menu_field_entry(Screen* screen) {
    screen_field_enter(screen);
}

int menu_field_key(Screen* screen, int key) {
    if (!is_live(screen)) {
        return 0;
    }
    Field* field = field_at(screen, screen->current);
    if (!field) {
        return 0;
    }
    if (key == KEY_ENTER || key == KEY_ACCEPT) {
        screen->result = field->value;
        screen->exit_requested = true;
        return 1;
    }
    if (key == KEY_LEFT || key == KEY_RIGHT) {
        step_field(screen, key == KEY_LEFT ? -1 : 1);
        return 1;
    }
    const int ch = key_char(key);
    if (ch > 0x20 && ch <= 0xFF && code_page::is_character(static_cast<unsigned char>(ch))) {
        return jump_to_choice(screen, ch) ? 1 : 0;
    }
    return 0;
}

int masked_field_key(Screen* screen, int key) {
    return field_std_key(screen, key);
}

void masked_field_fill(Screen* screen, int field) {
    string_field_fill(screen, field);
}

const FieldFunctions string_field_funcs = {string_field_entry, field_std_exit, field_std_key,
                                           string_field_fill,  nullptr,        STRING_FIELD_SET_ID};
const FieldFunctions menu_field_funcs = {menu_field_entry, field_std_exit, menu_field_key,
                                         nullptr,          nullptr,        0};
const FieldFunctions masked_field_funcs = {string_field_entry, field_std_exit, masked_field_key,
                                           masked_field_fill,  nullptr,        STRING_FIELD_SET_ID};

void sedwin_Class(Screen* screen) {
    if (is_live(screen)) {
        draw_body(screen);
    }
}

void bd_prompt(Screen* screen) {
    if (is_live(screen)) {
        draw_frame(screen, FrameStyle::Prompt);
    }
}

void bd_1(Screen* screen) {
    if (is_live(screen)) {
        draw_frame(screen, FrameStyle::Single);
    }
}

namespace {

// The field under a screen cell that can take the cursor, or -1.
int field_at_cell(Screen* screen, int row, int column) {
    for (int n = 0; n < static_cast<int>(screen->fields.size()); ++n) {
        const Field& field = screen->fields[static_cast<std::size_t>(n)];
        const int top = screen->screen_row(field.row);
        const int left = screen->inner_left() + field.column;
        if (row == top && column >= left && column < left + field.display_width() &&
            field_visible(screen, n) && can_take_cursor(screen, n)) {
            return n;
        }
    }
    return -1;
}

}  // namespace

int mouse_default(Screen* screen, int row, int column) {
    if (!is_live(screen)) {
        return 0;
    }
    const int n = field_at_cell(screen, row, column);
    if (n < 0) {
        return 0;
    }
    if (goto_field(screen, n) != 0 || !is_live(screen) || screen->current != n) {
        return 1;
    }
    // With the mouse present a click edits where it was, not the whole text.
    if (screen->mode == SCREEN_MODE_MOUSE_ENTRY) {
        const Field& field = screen->fields[static_cast<std::size_t>(n)];
        const int cell = column - (screen->inner_left() + field.column);
        const int source = field.cells[static_cast<std::size_t>(cell)];
        select_current_text(screen, false);
        if (source >= 0) {
            screen->edit_position = source;
        }
        place_cursor(screen);
    }
    return 1;
}

// Takes every click: one on a field moves the cursor there, others are swallowed.
int sedmou_GreedyClick(Screen* screen, int row, int column) {
    mouse_default(screen, row, column);
    return 1;
}

}  // extern "C"

namespace {
const ScreenFunctionTable kLibraryObjects({
    table_field_set("string_field_funcs", string_field_funcs),
    table_field_set("menu_field_funcs", menu_field_funcs),
    table_field_set("masked_field_funcs", masked_field_funcs),
    table_window_class("sedwin_Class", sedwin_Class),
    table_border("bd_prompt", bd_prompt),
    table_border("bd_1", bd_1),
    table_mouse_handler("sedmou_GreedyClick", sedmou_GreedyClick),
    table_mouse_handler("mouse_default", mouse_default),
});
}  // namespace

const ScreenFunctionEntry* screenlib::library_function_table() {
    return kLibraryObjects;
}
