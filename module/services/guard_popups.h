// The guard popups that confirm leaving: the exit guard (unsaved changes)
// and the quit guard (quitting to the system), and the loader of any named
// popup screen file.
#pragma once

#include "platform/screen_library.h"
#include "services/popup_screen.h"

extern const ScreenFunctionEntry* const named_popup_table;

// True only when the operator consents to leaving with unsaved changes.
bool exit_guard();
// True only when the operator consents to quitting to the system.
bool quit_guard();

// Runs the screen "popup" of the popup file `path`.Lnn with the cursor first
// on `start_field`; gives what the run gave, or -1 when the file or the
// screen is missing (already reported).
int named_popup(const PopupPath& path, int start_field);
