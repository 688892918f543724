// A list of the devices file's records, each shown as its instrument and
// group name, from which the operator picks one.
#pragma once

// Opens the list with its top-left corner at (row, column). 1 when the
// operator picked a record, which the DeviceRecord buffer then holds; 0 when
// nothing was picked or the picked record could not be read again.
int pick_record(int row, int column);
