// Menu commands of the host's menu bar for the editor.
#pragma once

// Called by the menu bar with each command number.
void command_dispatcher(int command);
