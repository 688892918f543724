#include "editor/pick_list.h"

#include <cstring>

#include "dialogs/list_popup.h"
#include "editor/device_table.h"
#include "platform/fixed_text.h"
#include "platform/host_libraries.h"

namespace {

constexpr int kPickLineWidth = 38;  // instrument (30) and group (8)

// The list's position variable and line buffer, and the position of the
// record on which the record store stands; kept from one pick to the next.
uint32_t pick_position = 0;
uint32_t store_position = 0;
char pick_line[kPickLineWidth];

constexpr int kKeyNumber = 0;
// The list reaches down to row 29 of the screen.
constexpr int kBottomRow = 30;
constexpr int32_t kPickWidths[] = {1, kInstrumentWidth, 1, kGroupWidth, 1};
static_assert(kInstrumentWidth + kGroupWidth == kPickLineWidth);

// Reads the record at `position` into the DeviceRecord buffer; get-direct
// takes the position from the buffer's first 4 bytes.
int read_at(uint32_t position) {
    std::memcpy(&device_table.record(), &position, sizeof position);
    return rs_call(RS_GET_DIRECT, pick_line, kKeyNumber);
}

// A record is offered when it is marked shown (hidden or not) or its group is not blank.
bool offered(const DeviceRecord& record) {
    return (record.status & DEVICE_STATUS_SHOWN) != 0 ||
           blank_length(record.group, kGroupWidth) != 0;
}

// The first move of a fetch; a step relative to another record than the one
// the store stands on first goes back to that record. *moved is false when
// that failed, so the fetch ends without a step.
int first_move(int operation, bool* moved) {
    *moved = true;
    switch (operation) {
        case LIST_FIRST:
            return rs_call(RS_GET_FIRST, pick_line, kKeyNumber);
        case LIST_LAST:
            return rs_call(RS_GET_LAST, pick_line, kKeyNumber);
        default:
            break;
    }
    if (pick_position != store_position) {
        const int status = read_at(pick_position);
        if (status != RS_OK) {
            *moved = false;
            return status;
        }
        store_position = pick_position;
    }
    return rs_call(operation == LIST_NEXT ? RS_GET_NEXT : RS_GET_PREVIOUS, pick_line, kKeyNumber);
}

// The list's fetch callback: the devices file's records in key order that
// are offered.
int pick_fetch(int operation) {
    bool moved = false;
    int status = first_move(operation, &moved);
    if (moved) {
        const bool forward = operation == LIST_FIRST || operation == LIST_NEXT;
        while (status == RS_OK && !offered(device_table.record())) {
            status = rs_call(forward ? RS_GET_NEXT : RS_GET_PREVIOUS, pick_line, kKeyNumber);
        }
    }
    // The store stands on the last record read, whatever the status.
    rs_call(RS_GET_POSITION, &store_position, kKeyNumber);
    if (status != RS_OK) {
        return 0;
    }
    const DeviceRecord& record = device_table.record();
    std::memcpy(pick_line, record.instrument, kInstrumentWidth);
    std::memcpy(pick_line + kInstrumentWidth, record.group, kGroupWidth);
    pick_position = store_position;
    return 1;
}

}  // namespace

int pick_record(int row, int column) {
    ListPopupLayout layout{};
    set_list_colours(&layout);
    layout.row = row;
    layout.column = column;
    layout.extra = 0;
    layout.height = kBottomRow - row;
    layout.column_count = sizeof kPickWidths / sizeof kPickWidths[0];
    layout.widths = kPickWidths;
    if (list_popup(pick_fetch, &pick_position, pick_line, &layout, 0) != LIST_CHOSEN) {
        return 0;
    }
    // A record that cannot be read again is not taken: the buffer would hold
    // another record's group.
    return read_at(pick_position) == RS_OK ? 1 : 0;
}
