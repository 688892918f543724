// Saving: the edited group names go back into the devices file.
#pragma once

// Refuses while a row holds a two-word name, asks for confirmation, updates
// each changed record found again by its key, then reloads the table and
// shows page 1. A failing record operation is logged and ends the save.
void save_changes();
