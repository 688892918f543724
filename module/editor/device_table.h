// The device group table: an in-memory copy of the shown instruments of the
// devices file with their group names, shown twenty rows to a page, together
// with the page shown, the changed flag and the devices-file record buffer.
#pragma once

#include <stdint.h>

#include "platform/host_records.h"

constexpr int kTableRows = 100;
constexpr int kPageRows = 20;
constexpr int kPageCount = 5;
constexpr int kGroupWidth = 8;
constexpr int kInstrumentWidth = 30;
// Field numbers of the editor screen: 0 the page number, then a group field
// (odd) and an instrument field (even) for each row of the page.
constexpr int kLastGroupField = kPageRows * 2 - 1;
constexpr int kLastField = kPageRows * 2;

// Bit of a column in a row's bit words; only the group column is ever set.
constexpr uint16_t kGroupColumnBit = 1;

struct DeviceGroupRow {
    char key[8];                    // the record's key, to find it again
    char saved_group[kGroupWidth];  // group name as read from the file
    char instrument[kInstrumentWidth];
    char group[kGroupWidth];  // group name as edited
    uint16_t invalid_bits;    // group column: the name holds a second word
    uint16_t modified_bits;   // group column: the name was changed on screen
};

struct RowLocation {
    int field;  // the row's group field
    int page;
};

class DeviceTable {
  public:
    // Refills the whole table from the devices file (the first 100 shown
    // records, read through record()) and clears every mark and the changed
    // flag; the page stays as it is.
    void load();
    // Blanks every row and clears every mark.
    void clear();

    DeviceGroupRow& row(int index) { return rows_[index]; }
    const DeviceGroupRow& row(int index) const { return rows_[index]; }

    // A row is in use when its instrument is not blank.
    bool has_instrument(int index) const;
    // The rows in use, which run from row 0 without a gap.
    int rows_in_use() const;

    // Page shown, 1 to kPageCount.
    int page() const { return page_; }
    void set_page(int page) { page_ = page; }

    // Row index of editor field `field` (1 to 40) on the current page.
    int row_of_field(int field) const;
    // The row shown by `field` on the current page, or null when the field shows none.
    DeviceGroupRow* row_for_field(int field);
    // True when `field` is the group field of a row with an instrument: the
    // only fields that take a name.
    bool takes_name(int field) const;
    // Where row `index` is shown.
    static RowLocation locate(int index);
    // Column bit of a field: the group bit for odd fields, the instrument bit
    // for even ones, 0 for field 0.
    static uint16_t column_bit(int field);

    // Marks the row's group as changed on screen: its modified bit and the
    // table's changed flag, both until the next load.
    void mark_changed(DeviceGroupRow& row);
    // True once a group name was changed on screen since the last load.
    bool changed() const { return changed_; }
    // The first row in use whose name holds a second word, or -1.
    int first_invalid_row() const;
    // True when saving writes the row: marked changed, and its name differs
    // from the stored one other than in letter case.
    static bool needs_store(const DeviceGroupRow& row);

    // The devices-file record buffer, bound to the record store once per run;
    // loading, saving and the pick list read through it.
    DeviceRecord& record() { return record_; }

  private:
    DeviceGroupRow rows_[kTableRows]{};
    int page_ = 1;
    bool changed_ = false;
    DeviceRecord record_{};
};

// The editor's table. Global because the screen library's field functions and
// key handler and the menu bar's commands reach the module without a context.
extern DeviceTable device_table;
