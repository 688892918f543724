#include "cli/editor_keys.h"

namespace hostapp {
namespace {

constexpr KeyHelp kEditorKeys[] = {
    {"letters, digits",
     "replace the group name: the name the cursor enters is shown selected, and the first "
     "character typed replaces it whole"},
    {"Left, Right, Backspace, Delete, Insert",
     "edit the group name in place (8 characters; Left or Right first drops the selection; "
     "Backspace or Delete on a selected name clears it; Insert switches between inserting and "
     "overwriting)"},
    {"Ctrl-U", "clears the group name"},
    {"Tab, Enter, Down / Shift-Tab, Up", "the next / previous group field"},
    {"Home / End", "the first / last group field of the page"},
    {"PgDn / PgUp", "the next / previous page (the prompt line says so at the first and the last)"},
    {"F2",
     "saves the changed group names (a password prompt first when the user's rights or "
     "password_interval ask for one)"},
    {"F4", "picks a group name from the devices file"},
    {"F1", "help on the current field"},
    {"F10, or Alt and the underlined letter",
     "the menu: File (save, print, shell menu, sign on, back, quit), Edit, Help"},
    {"Ctrl-E, Ctrl-N, Ctrl-W", "the host's hot keys: error log, sign-on module, shell menu"},
    {"Escape", "closes a popup or a menu; on the editor itself it does nothing"},
    {"Ctrl-L", "repaints the whole screen"},
    {"Ctrl-Z", "suspends to the shell; fg brings the screen back as it was"},
    {"Ctrl-C", "ends the program at once (unsaved changes are lost), the terminal restored"},
};

}  // namespace

std::span<const KeyHelp> editor_keys() {
    return kEditorKeys;
}

}  // namespace hostapp
