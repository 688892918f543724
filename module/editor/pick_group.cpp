#include "editor/pick_group.h"

#include <cstring>

#include "editor/device_table.h"
#include "editor/editor.h"
#include "editor/pick_list.h"
#include "platform/screen_library.h"
#include "services/module_state.h"

namespace {

// The list opens below the menu bar, beside the group column.
constexpr int kPickRow = 3;
constexpr int kPickColumn = 12;

}  // namespace

void pick_group() {
    Screen* editor = editor_screen;
    const int field = screen_field_no(editor);
    if (!device_table.takes_name(field) || pick_record(kPickRow, kPickColumn) == 0) {
        return;
    }
    const DeviceRecord& picked = device_table.record();
    char group[kGroupWidth + 1];
    std::memcpy(group, picked.group, kGroupWidth);
    group[kGroupWidth] = '\0';
    field_set_text(editor, group, field);
    screen_draw_field(editor, field);
    // The row counts as changed even when the name is the same; the two-word
    // test waits until the field is next left.
    DeviceGroupRow& row = *device_table.row_for_field(field);
    device_table.mark_changed(row);
    std::memcpy(row.group, picked.group, kGroupWidth);
    // Coloured on the editor itself: the fields to colour are the editor's.
    set_field_colors(editor, field);
    screen_redraw(editor);
}
