#include "services/guard_popups.h"

#include "services/popup_screen.h"
#include "services/screen_function_table.h"
#include "services/screen_helpers.h"

namespace {

constexpr int kPopupMode = 1;
constexpr int kPopupMissing = -1;
constexpr int kConsent = 1;

// Runs the guard popup `name` from its first field; a file that cannot be
// named or found refuses.
bool ask_guard(const char* name) {
    char base[kPopupPathSize];
    if (!popup_base_path(base, name)) {
        report_missing_popup(base);
        return false;
    }
    return named_popup(base, 0) == kConsent;
}

}  // namespace

const ScreenFunctionEntry named_popup_table[] = {
    {"$0", nullptr, nullptr},
    {"my_gmenu_funcs", nullptr, &menu_field_funcs},
    {"$9", nullptr, nullptr},
    {"$10", nullptr, nullptr},
    {"sedwin_Class", table_function(sedwin_Class), nullptr},
    {"$5", nullptr, nullptr},
    {"bd_1", table_function(bd_1), nullptr},
    {"bd_prompt", table_function(bd_prompt), nullptr},
    {"$6", nullptr, nullptr},
    {"sedmou_GreedyClick", table_function(sedmou_GreedyClick), nullptr},
    {"$1", nullptr, nullptr},
    {"$4", nullptr, nullptr},
    {"$2", nullptr, nullptr},
    {"popup_special", table_function(popup_special), nullptr},
    {"$8", nullptr, nullptr},
    {nullptr, nullptr, nullptr},
};

bool exit_guard() {
    return ask_guard("CHKEXIT");
}

bool quit_guard() {
    return ask_guard("CHKDOS");
}

int named_popup(const char* base_path, int start_field) {
    Screen* screen = nullptr;
    if (load_popup_screen(base_path, named_popup_table, "popup", kPopupMode, &screen) !=
        PopupLoad::kLoaded) {
        return kPopupMissing;
    }
    sound_message_tone(MESSAGE_SECOND_TONE);
    set_popup_colors(screen);
    screen_set_special(screen, popup_special);
    screen_set_popup(screen, 1);
    screen_set_mouse(screen, sedmou_GreedyClick);
    screen_goto_field(screen, start_field);
    screen_paint(screen);
    const int result = screen_run(screen);
    screen_close(screen);
    return result;
}
