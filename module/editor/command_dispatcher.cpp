#include "command_dispatcher.h"

#include "module_state.h"
#include "pick_group.h"

// The menu bar is installed with this callback from the first run on.
void command_dispatcher(int command) {
    if (host_context == nullptr || editor_screen == nullptr) {
        return;
    }
    switch (command) {
        case COMMAND_PICK_GROUP:
            pick_group();
            break;
        default:
            break;
    }
}
