#include "popup_screen.h"

#include <cstddef>

#include "error_report.h"
#include "host_paths.h"
#include "module_state.h"
#include "platform/byte_fields.h"
#include "platform/color_roles.h"
#include "platform/host_libraries.h"

namespace {

const char* popup_dir() {
    const char* dir = host_context != nullptr ? host_context->popup_dir : nullptr;
    return dir != nullptr ? dir : "";
}

bool popup_file_path(char* path, const char* base_path, int language) {
    return format_path(path, kPopupPathSize, "%s.L%.2d", base_path, language);
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
    const int languages[] = {
        host_context->user->language,
        load_i16(host_context->settings->fallback_language),
    };
    ScreenFile* file = nullptr;
    for (const int language : languages) {
        if (popup_file_path(path, base_path, language)) {
            file = screenfile_open(path, table);
            if (file != nullptr) {
                break;
            }
        }
    }
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

void set_popup_colors(Screen* screen) {
    const WindowColors colors = popup_window_colors(*host_context->settings);
    screen_set_colors(screen, colors.regular, colors.second, colors.third);
    screen_set_border_color(screen, colors.border);
}

int popup_special(Screen* /*screen*/, int /*key*/) {
    return 0;
}
