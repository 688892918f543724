#include "editor/device_table.h"

#include <cstring>

#include "platform/host_libraries.h"

DeviceGroupRow device_table[kTableRows];
int current_page = 1;
bool table_changed = false;
DeviceRecord device_record;

namespace {

constexpr int kKeyBufferSize = 100;
constexpr int kKeyNumber = 0;

void blank_row(DeviceGroupRow& row) {
    std::memset(row.key, ' ', sizeof row.key);
    std::memset(row.saved_group, ' ', sizeof row.saved_group);
    std::memset(row.instrument, ' ', sizeof row.instrument);
    std::memset(row.group, ' ', sizeof row.group);
    row.invalid_bits = 0;
    row.modified_bits = 0;
}

bool is_shown(const DeviceRecord& record) {
    return (record.status & DEVICE_STATUS_SHOWN) != 0 &&
           (record.status & DEVICE_STATUS_HIDDEN) == 0;
}

void take_record(DeviceGroupRow& row, const DeviceRecord& record) {
    std::memcpy(row.key, record.key, sizeof row.key);
    std::memcpy(row.saved_group, record.group, sizeof row.saved_group);
    std::memcpy(row.group, record.group, sizeof row.group);
    std::memcpy(row.instrument, record.instrument, sizeof row.instrument);
}

}  // namespace

void load_table() {
    for (DeviceGroupRow& row : device_table) {
        blank_row(row);
    }
    char key[kKeyBufferSize] = {};
    int rows = 0;
    int status = rs_call(RS_GET_FIRST, key, kKeyNumber);
    // Ends at the first failing read, end of file included, or once the table is full.
    while (status == RS_OK && rows < kTableRows) {
        if (is_shown(device_record)) {
            take_record(device_table[rows], device_record);
            ++rows;
        }
        if (rows < kTableRows) {
            status = rs_call(RS_GET_NEXT, key, kKeyNumber);
        }
    }
    table_changed = false;
}

int row_of_field(int field) {
    return (current_page - 1) * kPageRows + (field - 1) / 2;
}

DeviceGroupRow* row_for_field(int field) {
    if (field < 1 || field > kLastField) {
        return nullptr;
    }
    const int row = row_of_field(field);
    return row >= 0 && row < kTableRows ? &device_table[row] : nullptr;
}

uint16_t column_bit(int field) {
    return field < 1 ? 0 : static_cast<uint16_t>(1u << ((field - 1) % 2));
}

RowLocation locate_row(int row) {
    return RowLocation{(row % kPageRows) * 2 + 1, row / kPageRows + 1};
}
