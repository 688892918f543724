#include "editor/save_changes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dialogs/yesno_popup.h"
#include "editor/device_table.h"
#include "editor/editor.h"
#include "platform/fixed_text.h"
#include "platform/host_libraries.h"
#include "platform/message_numbers.h"
#include "platform/screen_library.h"
#include "services/error_report.h"
#include "services/module_state.h"
#include "services/screen_helpers.h"

namespace {

constexpr int kKeyNumber = 0;
constexpr int kConfirmStartField = 1;
// Large enough for any status and the 8-character key.
constexpr int kFailureTextSize = 64;
constexpr uint32_t kErrorBase = 200000000;
constexpr uint32_t kErrorFlag = 0x80000000;

// Both failures carry the operating-system error the record store gave for
// its failed call, with the top bit set.
uint32_t failure_code(int system_error) {
    return (kErrorBase + static_cast<uint32_t>(system_error)) | kErrorFlag;
}

// Shows the row with the two-word name and puts the cursor on it.
void show_invalid_row(Screen* editor, int row) {
    const RowLocation location = DeviceTable::locate(row);
    if (location.page != device_table.page()) {
        screen_leave_field(editor, screen_field_no(editor));
        device_table.set_page(location.page);
        refresh_page(editor);
    }
    screen_goto_field(editor, location.field);
    screen_update(editor);
    show_message(MSG_ONE_WORD_NAME, editor, MESSAGE_SECOND_TONE);
}

// Writes one row's group into its record, read again by key so that other
// fields changed since the load survive. False when it failed (reported).
bool store_row(const DeviceGroupRow& row) {
    char key[sizeof row.key];
    std::memcpy(key, row.key, sizeof key);
    const int status = rs_call(RS_GET_EQUAL, key, kKeyNumber);
    if (status != RS_OK) {
        const int read_error = errno;
        char text[kFailureTextSize];
        std::snprintf(text, sizeof text, "Btrv Error #%d (%.*s)", status, kGroupWidth, row.key);
        report_error(module_name(), failure_code(read_error), text);
        return false;
    }
    DeviceRecord& record = device_table.record();
    std::memcpy(record.group, row.group, sizeof record.group);
    if (rs_call(RS_UPDATE, &record, kKeyNumber) != RS_OK) {
        const int update_error = errno;
        report_error(module_name(), failure_code(update_error), "Unable to update devices.dbf");
        return false;
    }
    return true;
}

}  // namespace

void save_changes() {
    Screen* editor = editor_screen;
    show_message(MSG_WORKING, editor, MESSAGE_SILENT);
    if (const int invalid = device_table.first_invalid_row(); invalid >= 0) {
        show_invalid_row(editor, invalid);
        return;
    }
    int result = MSG_CLEAR;
    // Only keys and picks mark rows, and only rows in use, always together
    // with the table: a marked row makes the table changed.
    if (!device_table.changed()) {
        show_message(MSG_DONE, editor, MESSAGE_FIRST_TONE);
    } else {
        if (yesno_popup(" You have made changes to the", " Device group.  Are you sure",
                        " you want to save the changes?", "", kConfirmStartField) == YESNO_NO) {
            return;
        }
        for (int i = 0; i < kTableRows; ++i) {
            const DeviceGroupRow& row = device_table.row(i);
            if (DeviceTable::needs_store(row) && !store_row(row)) {
                result = MSG_FAILED;
                break;
            }
        }
    }
    device_table.set_page(1);
    device_table.load();
    screen_update(editor);
    screen_repaint(editor);
    show_message(result, editor, MESSAGE_FIRST_TONE);
}
