#include "editor/device_table.h"

#include <cstring>

#include "platform/code_page.h"
#include "platform/fixed_text.h"
#include "platform/host_libraries.h"

DeviceTable device_table;

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

void DeviceTable::clear() {
    for (DeviceGroupRow& row : rows_) {
        blank_row(row);
    }
}

void DeviceTable::load() {
    clear();
    char key[kKeyBufferSize] = {};
    int rows = 0;
    int status = rs_call(RS_GET_FIRST, key, kKeyNumber);
    // Ends at the first failing read, end of file included, or once the table is full.
    while (status == RS_OK && rows < kTableRows) {
        if (is_shown(record_)) {
            take_record(rows_[rows], record_);
            ++rows;
        }
        if (rows < kTableRows) {
            status = rs_call(RS_GET_NEXT, key, kKeyNumber);
        }
    }
    changed_ = false;
}

bool DeviceTable::has_instrument(int index) const {
    return blank_length(rows_[index].instrument, kInstrumentWidth) != 0;
}

int DeviceTable::rows_in_use() const {
    int count = 0;
    while (count < kTableRows && has_instrument(count)) {
        ++count;
    }
    return count;
}

int DeviceTable::row_of_field(int field) const {
    return (page_ - 1) * kPageRows + (field - 1) / 2;
}

DeviceGroupRow* DeviceTable::row_for_field(int field) {
    if (field < 1 || field > kLastField) {
        return nullptr;
    }
    const int index = row_of_field(field);
    return index >= 0 && index < kTableRows ? &rows_[index] : nullptr;
}

bool DeviceTable::takes_name(int field) const {
    if (field < 1 || field > kLastGroupField || field % 2 == 0) {
        return false;
    }
    const int index = row_of_field(field);
    return index >= 0 && index < kTableRows && has_instrument(index);
}

RowLocation DeviceTable::locate(int index) {
    return RowLocation{(index % kPageRows) * 2 + 1, index / kPageRows + 1};
}

uint16_t DeviceTable::column_bit(int field) {
    return field < 1 ? 0 : static_cast<uint16_t>(1u << ((field - 1) % 2));
}

void DeviceTable::mark_changed(DeviceGroupRow& row) {
    row.modified_bits |= kGroupColumnBit;
    changed_ = true;
}

int DeviceTable::first_invalid_row() const {
    const int in_use = rows_in_use();
    for (int index = 0; index < in_use; ++index) {
        if (rows_[index].invalid_bits != 0) {
            return index;
        }
    }
    return -1;
}

bool DeviceTable::needs_store(const DeviceGroupRow& row) {
    // A name changed only in letter case is the same group.
    return row.modified_bits == kGroupColumnBit &&
           code_page::compare_ignoring_case(row.saved_group, row.group, kGroupWidth) != 0;
}
