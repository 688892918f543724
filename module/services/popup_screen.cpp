#include "services/popup_screen.h"

#include "platform/host_libraries.h"
#include "services/error_report.h"
#include "services/host_paths.h"
#include "services/module_state.h"
#include "services/screen_files.h"

namespace {

const char* popup_dir() {
    const char* dir = host_context != nullptr ? host_context->popup_dir : nullptr;
    return dir != nullptr ? dir : "";
}

}  // namespace

bool popup_base_path(char* base, const char* name) {
    return format_path(base, kPopupPathSize, "%s%s", popup_dir(), name);
}

void report_missing_popup(const char* path) {
    report_error(host_user_id(), ERROR_SCREEN_FILE_MISSING, path);
}

PopupLoad load_popup_screen(const char* base_path, const ScreenFunctionEntry* table,
                            const char* name, int mode, Screen** screen) {
    char path[kPopupPathSize];
    ScreenFile* file = open_language_file(base_path, path, sizeof path, table);
    if (file == nullptr) {
        report_missing_popup(path);
        return PopupLoad::kFileMissing;
    }
    Screen* loaded = screenfile_load(file, name, mode);
    screenfile_close(file);
    if (loaded == nullptr) {
        report_error(host_user_id(), ERROR_SCREEN_MISSING, path);
        return PopupLoad::kScreenMissing;
    }
    *screen = loaded;
    return PopupLoad::kLoaded;
}

WindowColors popup_colors() {
    return popup_window_colors(*host_context->settings);
}

void set_popup_colors(Screen* screen) {
    const WindowColors colors = popup_colors();
    screen_set_colors(screen, colors.regular, colors.second, colors.third);
    screen_set_border_color(screen, colors.border);
}

int popup_special(Screen* /*screen*/, int /*key*/) {
    return 0;
}
