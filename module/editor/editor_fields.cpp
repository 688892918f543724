#include <cstdio>
#include <cstring>

#include "editor/device_table.h"
#include "editor/editor.h"
#include "platform/color_roles.h"
#include "platform/fixed_text.h"
#include "platform/screen_library.h"
#include "services/error_report.h"
#include "services/module_state.h"

namespace {

// Field-entry settings the library expects of the editor's group fields.
constexpr int kEntryResult = -21;
constexpr int kTextBufferSize = 100;

uint8_t field_color(FieldColorByte byte) {
    return ::field_color(*host_context->settings, byte);
}

// True when the group name holds a word after its first one.
bool has_second_word(const char* name, int width) {
    int i = 0;
    while (i < width && name[i] == ' ') {
        ++i;
    }
    while (i < width && name[i] != ' ') {
        ++i;
    }
    while (i < width && name[i] == ' ') {
        ++i;
    }
    return i < width;
}

// Copies at most `width` characters of a field's text; the screen file may
// make the field wider than the table's column.
void take_field_text(char* target, Screen* screen, int field, int width) {
    int length = field_length(screen, field);
    length = length < 0 ? 0 : (length > width ? width : length);
    copy_padded(target, field_text(screen, field), length);
    std::memset(target + length, ' ', width - length);
    left_justify(target, width);
}

}  // namespace

void set_field_colors(Screen* screen, int field) {
    const DeviceGroupRow* row = device_table.row_for_field(field);
    if (row == nullptr) {
        return;
    }
    const uint16_t bit = DeviceTable::column_bit(field);
    const bool invalid = (row->invalid_bits & bit) != 0;
    const bool modified = (row->modified_bits & bit) != 0;
    if (invalid && modified) {
        field_set_colors(screen, field, field_color(FIELD_COLOR_BOTH_REGULAR),
                         field_color(FIELD_COLOR_BOTH_SELECTED));
    } else if (invalid) {
        field_set_colors(screen, field, field_color(FIELD_COLOR_INVALID_REGULAR),
                         field_color(FIELD_COLOR_INVALID_SELECTED));
    } else if (modified) {
        field_set_colors(screen, field, field_color(FIELD_COLOR_MODIFIED_REGULAR),
                         field_color(FIELD_COLOR_MODIFIED_SELECTED));
    } else {
        field_reset_colors(screen, field);
    }
    for (int instrument = 2; instrument <= kLastField; instrument += 2) {
        field_mark(screen, instrument);
        field_set_colors(screen, instrument, field_color(FIELD_COLOR_INSTRUMENT),
                         field_color(FIELD_COLOR_INSTRUMENT));
    }
}

void fill_field(Screen* screen, int field) {
    char text[kTextBufferSize] = {};
    if (field == 0) {
        std::snprintf(text, sizeof text, "%d", device_table.page());
    } else if (const DeviceGroupRow* row = device_table.row_for_field(field); row != nullptr) {
        if (field % 2 == 1) {
            std::memcpy(text, row->group, kGroupWidth);
        } else {
            std::memcpy(text, row->instrument, kInstrumentWidth);
        }
        set_field_colors(screen, field);
    }
    field_set_text(screen, text, field);
}

void group_field_entry(Screen* screen) {
    if (screen != editor_screen) {
        return;
    }
    screen_set_result(screen, kEntryResult);
    screen_field_enter(screen);
    screen_set_mode(screen,
                    mouse_present() != 0 ? SCREEN_MODE_MOUSE_ENTRY : SCREEN_MODE_KEYBOARD_ENTRY);
}

uint8_t group_field_exit(Screen* screen) {
    if (screen != editor_screen) {
        return 1;
    }
    const int field = screen_field_no(screen);
    if ((field - 1) % 2 != 0) {
        report_error(module_name(), ERROR_INVALID_FIELD, "Invalid Field Number");
    } else if (DeviceGroupRow* row = device_table.row_for_field(field); row != nullptr) {
        char name[kGroupWidth];
        take_field_text(name, screen, field, kGroupWidth);
        row->invalid_bits = has_second_word(name, kGroupWidth) ? kGroupColumnBit : 0;
        std::memcpy(row->group, name, kGroupWidth);
    }
    screen_field_done(screen, field);
    return field_std_exit(screen);
}

void refresh_page(Screen* screen) {
    screen_update(screen);
    screen_repaint(screen);
    screen_set_prompt(screen, nullptr);
}
