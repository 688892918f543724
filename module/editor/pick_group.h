// Picking a group name for the editor's current row from the devices file.
#pragma once

// On a group field of a row with an instrument: opens the pick list and
// copies the picked record's group into the row, marking it changed.
void pick_group();
