// A list of the devices file's records, each shown as its instrument and
// group name, from which the operator picks one.
#pragma once

#include <stdint.h>

constexpr int kPickLineWidth = 38;  // instrument (30) and group (8)

// The list's position variable and line buffer, and the position of the
// record on which the record store stands; kept from one pick to the next.
extern uint32_t pick_position;
extern uint32_t store_position;
extern char pick_line[kPickLineWidth];

// Opens the list with its top-left corner at (row, column). 1 when the
// operator picked a record, which the DeviceRecord buffer then holds; 0 when
// nothing was picked or the picked record could not be read again.
int pick_record(int row, int column);

// The list's fetch callback: the devices file's records in key order that
// have status bit 0 set or a group name.
int pick_fetch(int operation);
