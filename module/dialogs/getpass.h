// The password prompt: the gate in front of commands that need rights, and
// the way a user signs on.
#pragma once

#include <stdint.h>

#include "platform/host_records.h"
#include "platform/screen_library.h"

enum GetpassResult : int {
    GETPASS_GRANTED = 0,
    GETPASS_REFUSED = 1,         // the popup was left without a covering entry
    GETPASS_FILE_MISSING = 3,    // no GETPASS file in either language (reported)
    GETPASS_SCREEN_MISSING = 4,  // no screen "getpass_screen" in it (reported)
};

extern const ScreenFunctionEntry* const getpass_table;

// Grants at once when the signed-on user holds `mask` and granted a password
// within the host's interval; otherwise asks for name and password.
int getpass(uint32_t mask);

// The prompt's key handler: F10 checks the entry; Enter on the last field
// stays in the popup.
int getpass_special(Screen* screen, int key);
