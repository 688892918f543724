// The device group table: an in-memory copy of the shown instruments of the
// devices file with their group names, shown twenty rows to a page.
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

extern DeviceGroupRow device_table[kTableRows];
// Page shown, 1 to 5.
extern int current_page;
// True once a group name was changed on screen since the last load.
extern bool table_changed;
// The devices-file record buffer, bound to the record store once per run.
extern DeviceRecord device_record;

// Refills the whole table from the devices file: the first 100 shown records.
void load_table();

// Row index of editor field `field` (1 to 40) on the current page.
int row_of_field(int field);

// The row shown by `field` on the current page, or null when the field shows none.
DeviceGroupRow* row_for_field(int field);

// Column bit of a field: the group bit for odd fields, the instrument bit for
// even ones, 0 for field 0.
uint16_t column_bit(int field);

struct RowLocation {
    int field;  // the row's group field
    int page;
};

// Where row `row` is shown.
RowLocation locate_row(int row);
