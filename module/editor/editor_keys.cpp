#include "editor/device_table.h"
#include "editor/editor.h"
#include "platform/code_page.h"
#include "platform/host_libraries.h"
#include "platform/message_numbers.h"
#include "platform/screen_library.h"
#include "services/screen_helpers.h"

namespace {

// Commits the field being edited, then shows the page `step` pages away.
void change_page(Screen* screen, int field, int step) {
    screen_leave_field(screen, field);
    device_table.set_page(device_table.page() + step);
    refresh_page(screen);
    screen_flush();
}

// Keys that change the text; Ctrl-U, which clears the field, is one of them,
// so that a cleared name is saved like a typed one.
bool edits_text(int key) {
    const int character = key_char(key);
    return code_page::is_character(static_cast<unsigned char>(character)) || key == KEY_BACKSPACE ||
           key == KEY_DELETE || key == KEY_CLEAR_FIELD;
}

// Keys that are neither navigation nor paging: the menu bar's first, then
// typing, which only the group field of a row with an instrument takes.
int other_key(Screen* screen, int field, int key) {
    if ((menubar_key(key) & 0xFF) == 1) {
        return 1;
    }
    if (key == KEY_ESCAPE) {
        return 1;
    }
    // The page number, the instrument fields and rows without an instrument
    // take no typing.
    if (!device_table.takes_name(field)) {
        return 1;
    }
    if (edits_text(key)) {
        // Marked before the library changes the text; saving compares the texts.
        device_table.mark_changed(*device_table.row_for_field(field));
        set_field_colors(screen, field);
        screen_redraw(screen);
    }
    return 0;
}

}  // namespace

int editor_key_handler(Screen* screen, int key) {
    const int field = screen_field_no(screen);
    switch (key) {
        case KEY_UP:
        case KEY_SHIFT_TAB:
            screen_prev_field(screen);
            return 1;
        case KEY_DOWN:
        case KEY_TAB:
        case KEY_ENTER:
            screen_next_field(screen);
            return 1;
        case KEY_HOME:
            seek_field_forward(screen, 1);
            return 1;
        case KEY_END:
            screen_goto_field(screen, kLastGroupField);
            return 1;
        case KEY_PAGE_UP:
            if (device_table.page() <= 1) {
                show_message(MSG_FIRST_PAGE, screen, MESSAGE_SECOND_TONE);
            } else {
                change_page(screen, field, -1);
            }
            return 1;
        case KEY_PAGE_DOWN:
            if (device_table.page() >= kPageCount) {
                show_message(MSG_LAST_PAGE, screen, MESSAGE_SECOND_TONE);
            } else {
                change_page(screen, field, +1);
            }
            return 1;
        default:
            return other_key(screen, field, key);
    }
}
