#include "dialogs/yesno_popup.h"

#include <cstdio>

#include "services/popup_screen.h"
#include "services/screen_function_table.h"
#include "services/screen_helpers.h"

namespace {

constexpr int kPopupMode = 1;
constexpr int kFirstLineField = 2;
constexpr int kLineCount = 4;
// A line field is never wider than the screen.
constexpr int kLineSize = 81;

}  // namespace

const ScreenFunctionEntry yesno_table[] = {
    {"$0", nullptr, nullptr},
    {"gmenu_funcs", nullptr, &menu_field_funcs},
    {"string_funcs", nullptr, &string_field_funcs},
    {"$9", nullptr, nullptr},
    {"$10", nullptr, nullptr},
    {"sedwin_Class", table_function(sedwin_Class), nullptr},
    {"$5", nullptr, nullptr},
    {"bd_1", table_function(bd_1), nullptr},
    {"$6", nullptr, nullptr},
    {"sedmou_GreedyClick", table_function(sedmou_GreedyClick), nullptr},
    {"$1", nullptr, nullptr},
    {"$4", nullptr, nullptr},
    {"$2", nullptr, nullptr},
    {"popup_special", table_function(popup_special), nullptr},
    {"$8", nullptr, nullptr},
    {nullptr, nullptr, nullptr},
};

int yesno_popup(const char* line1, const char* line2, const char* line3, const char* line4,
                int start_field) {
    char base[kPopupPathSize];
    if (!popup_base_path(base, "YESNO")) {
        report_missing_popup(base);
        return YESNO_NOT_SHOWN;
    }
    Screen* screen = nullptr;
    if (load_popup_screen(base, yesno_table, "popup", kPopupMode, &screen) != PopupLoad::kLoaded) {
        return YESNO_NOT_SHOWN;
    }
    sound_message_tone(MESSAGE_SECOND_TONE);
    set_popup_colors(screen);
    // The fields show copies: the library may write a field's variable back,
    // and the caller's lines may be constants.
    const char* lines[kLineCount] = {line1, line2, line3, line4};
    char shown[kLineCount][kLineSize];
    const uint8_t line_color = popup_colors().second;
    for (int i = 0; i < kLineCount; ++i) {
        const int field = kFirstLineField + i;
        field_set_colors(screen, field, line_color, line_color);
        field_mark(screen, field);
        std::snprintf(shown[i], sizeof shown[i], "%s", lines[i] != nullptr ? lines[i] : "");
        field_set_var(screen, field, shown[i]);
    }
    screen_set_popup(screen, 1);
    screen_goto_field(screen, start_field);
    screen_paint(screen);
    const int answer = screen_run(screen);
    screen_close(screen);
    return answer == 1 ? YESNO_YES : YESNO_NO;
}
