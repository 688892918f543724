#include "services/guard_popups.h"

#include "platform/screen_function_table.h"
#include "services/screen_helpers.h"

namespace {

constexpr int kPopupMode = 1;
constexpr int kPopupMissing = -1;
constexpr int kConsent = 1;

const ScreenFunctionTable kNamedPopupTable({
    table_field_set("my_gmenu_funcs", menu_field_funcs),
    table_window_class("sedwin_Class", sedwin_Class),
    table_border("bd_1", bd_1),
    table_border("bd_prompt", bd_prompt),
    table_mouse_handler("sedmou_GreedyClick", sedmou_GreedyClick),
    table_key_handler("popup_special", popup_special),
});

// Runs the guard popup `name` from its first field; a file that cannot be
// named or found refuses.
bool ask_guard(const char* name) {
    return named_popup(shared_popup_path(name), 0) == kConsent;
}

}  // namespace

const ScreenFunctionEntry* const named_popup_table = kNamedPopupTable;

bool exit_guard() {
    return ask_guard("CHKEXIT");
}

bool quit_guard() {
    return ask_guard("CHKDOS");
}

int named_popup(const PopupPath& path, int start_field) {
    PopupRun popup(path, named_popup_table, "popup", kPopupMode);
    if (!popup.loaded()) {
        return kPopupMissing;
    }
    sound_message_tone(MESSAGE_SECOND_TONE);
    screen_set_special(popup.screen(), popup_special);
    screen_set_mouse(popup.screen(), sedmou_GreedyClick);
    popup.paint(start_field);
    return popup.run();
}
