#include "dialogs/yesno_popup.h"

#include <cstdio>

#include "platform/screen_function_table.h"
#include "services/popup_screen.h"
#include "services/screen_helpers.h"

namespace {

constexpr int kPopupMode = 1;
constexpr int kFirstLineField = 2;
constexpr int kLineCount = 4;
// A line field is never wider than the screen.
constexpr int kLineSize = 81;

const ScreenFunctionTable kYesNoTable({
    table_field_set("gmenu_funcs", menu_field_funcs),
    table_field_set("string_funcs", string_field_funcs),
    table_window_class("sedwin_Class", sedwin_Class),
    table_border("bd_1", bd_1),
    table_mouse_handler("sedmou_GreedyClick", sedmou_GreedyClick),
    table_key_handler("popup_special", popup_special),
});

}  // namespace

const ScreenFunctionEntry* const yesno_table = kYesNoTable;

int yesno_popup(const char* line1, const char* line2, const char* line3, const char* line4,
                int start_field) {
    PopupRun popup(shared_popup_path("YESNO"), yesno_table, "popup", kPopupMode);
    if (!popup.loaded()) {
        return YESNO_NOT_SHOWN;
    }
    sound_message_tone(MESSAGE_SECOND_TONE);
    // The fields show copies: the library may write a field's variable back,
    // and the caller's lines may be constants.
    const char* lines[kLineCount] = {line1, line2, line3, line4};
    char shown[kLineCount][kLineSize];
    const uint8_t line_color = popup_colors().second;
    for (int i = 0; i < kLineCount; ++i) {
        const int field = kFirstLineField + i;
        field_set_colors(popup.screen(), field, line_color, line_color);
        field_mark(popup.screen(), field);
        std::snprintf(shown[i], sizeof shown[i], "%s", lines[i] != nullptr ? lines[i] : "");
        field_set_var(popup.screen(), field, shown[i]);
    }
    popup.paint(start_field);
    const int answer = popup.run();
    // Closed while the lines it shows are still there.
    popup.close();
    return answer == 1 ? YESNO_YES : YESNO_NO;
}
