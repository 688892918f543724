// Menu commands of the host's menu bar for the editor.
#pragma once

// Command numbers the menu file delivers.
enum EditorCommand : int {
    COMMAND_PICK_GROUP = 11,
};

// Called by the menu bar with each command number.
void command_dispatcher(int command);
