#include "services/popup_screen.h"

#include "platform/host_libraries.h"
#include "services/error_report.h"
#include "services/host_paths.h"
#include "services/module_state.h"

namespace {

const char* popup_dir() {
    const char* dir = host_context != nullptr ? host_context->popup_dir : nullptr;
    return dir != nullptr ? dir : "";
}

}  // namespace

PopupPath popup_path(const char* folder, const char* name) {
    PopupPath path{};
    path.fits = format_path(path.text, sizeof path.text, "%s%s", folder, name);
    return path;
}

PopupPath shared_popup_path(const char* name) {
    return popup_path(popup_dir(), name);
}

PopupRun::PopupRun(const PopupPath& path, const ScreenFunctionEntry* table, const char* name,
                   int mode) {
    if (!path.fits) {
        report_error(host_user_id(), ERROR_SCREEN_FILE_MISSING, path.text);
        return;
    }
    char file_path[kPopupPathSize];
    OpenScreenFile file = open_language_file(path.text, file_path, sizeof file_path, table);
    if (file == nullptr) {
        report_error(host_user_id(), ERROR_SCREEN_FILE_MISSING, file_path);
        return;
    }
    screen_.reset(screenfile_load(file.get(), name, mode));
    // A loaded screen needs its file no longer.
    file.reset();
    if (screen_ == nullptr) {
        status_ = PopupLoad::kScreenMissing;
        report_error(host_user_id(), ERROR_SCREEN_MISSING, file_path);
        return;
    }
    status_ = PopupLoad::kLoaded;
    const WindowColors colors = popup_colors();
    screen_set_colors(screen(), colors.regular, colors.second, colors.third);
    screen_set_border_color(screen(), colors.border);
    screen_set_popup(screen(), 1);
}

void PopupRun::paint(int start_field) {
    if (start_field != kKeepCursor) {
        screen_goto_field(screen(), start_field);
    }
    screen_paint(screen());
}

int PopupRun::run() {
    return screen_run(screen());
}

WindowColors popup_colors() {
    return popup_window_colors(*host_context->settings);
}

int popup_special(Screen* /*screen*/, int /*key*/) {
    return 0;
}
