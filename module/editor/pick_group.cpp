#include "editor/pick_group.h"

#include <cstring>

#include "editor/device_table.h"
#include "editor/editor.h"
#include "editor/pick_list.h"
#include "platform/fixed_text.h"
#include "platform/screen_library.h"
#include "services/module_state.h"

namespace {

// The list opens below the menu bar, beside the group column.
constexpr int kPickRow = 3;
constexpr int kPickColumn = 12;

bool is_group_field(int field) {
    return field >= 1 && field < kLastField && field % 2 == 1;
}

bool row_has_instrument(Screen* editor, int group_field) {
    return blank_length(field_text(editor, group_field + 1),
                        field_length(editor, group_field + 1)) != 0;
}

}  // namespace

void pick_group() {
    Screen* editor = editor_screen;
    const int field = screen_field_no(editor);
    if (!is_group_field(field) || !row_has_instrument(editor, field) ||
        pick_record(kPickRow, kPickColumn) == 0) {
        return;
    }
    char group[kGroupWidth + 1];
    std::memcpy(group, device_record.group, kGroupWidth);
    group[kGroupWidth] = '\0';
    field_set_text(editor, group, field);
    screen_draw_field(editor, field);
    // The row counts as changed even when the name is the same; the two-word
    // test waits until the field is next left.
    table_changed = true;
    DeviceGroupRow& row = device_table[row_of_field(field)];
    row.modified_bits |= kGroupColumnBit;
    std::memcpy(row.group, device_record.group, kGroupWidth);
    // Coloured on the editor itself: the fields to colour are the editor's.
    set_field_colors(editor, field);
    screen_redraw(editor);
}
