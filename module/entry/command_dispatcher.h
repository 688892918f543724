// Menu commands of the host's menu bar for the editor.
#pragma once

// Command numbers the menu file delivers; 80 to 99 are the host's hot keys.
enum EditorCommand : int {
    COMMAND_SAVE = 2,
    COMMAND_SHELL_MENU = 3,
    COMMAND_HELP = 4,
    COMMAND_SIGN_ON = 5,
    COMMAND_SIGN_ON_MODULE = 6,
    COMMAND_QUIT = 7,
    COMMAND_PRINT = 8,  // to a printer-class site, the operator's default first
    COMMAND_PICK_GROUP = 11,
    COMMAND_FIRST_PAGE = 16,
    COMMAND_LAST_PAGE = 17,
    COMMAND_BACK = 18,
    COMMAND_PRINT_TO_SPOOL = 19,
    COMMAND_PRINT_TO_FAX = 24,  // may create a FAX site on the spot
    COMMAND_FIRST_HOT_KEY = 80,
    COMMAND_LAST_HOT_KEY = 99,
};

// Called by the menu bar with each command number; numbers without a
// command do nothing.
void command_dispatcher(int command);

// True when the editor may be left: nothing is unsaved, or the operator
// consents in the exit guard.
bool confirm_leave();
