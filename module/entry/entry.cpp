// The module's only exported operation: one call is one run of the editor.
#include "entry/entry.h"

#include <stdint.h>

#include <cstdio>

#include "editor/device_table.h"
#include "editor/editor.h"
#include "entry/command_dispatcher.h"
#include "entry/editor_screen_table.h"
#include "platform/byte_fields.h"
#include "platform/color_roles.h"
#include "platform/host_libraries.h"
#include "platform/screen_library.h"
#include "services/error_report.h"
#include "services/hand_off.h"
#include "services/host_paths.h"
#include "services/module_state.h"
#include "services/screen_files.h"

namespace {

// Screen-file paths; also the text of a report about the file.
char path_buffer[kPathSize];

constexpr const char* kEditorScreen = "screen";
constexpr int kFullScreenMode = 0;
constexpr int kEditorOption = 8;
constexpr int kPageField = 0;

// The module's directory below the host's root, and its name ("%.8s": the
// host's names are at most 8 characters, even when a terminator is missing).
#define MODULE_DIR_FORMAT "%s%.8s\\%.8s\\%.8s"

// The editor's screen file, without its language extension; a path that
// does not fit opens nothing.
OpenScreenFile open_screen_file() {
    const ModuleIdentity& identity = *host_context->identity;
    char base[kPathSize];
    if (!format_path(base, sizeof base, MODULE_DIR_FORMAT, root_directory(), identity.first_dir,
                     identity.second_dir, identity.module_name)) {
        std::snprintf(path_buffer, sizeof path_buffer, "%s", base);
        return nullptr;
    }
    return open_language_file(base, path_buffer, sizeof path_buffer, main_functions);
}

bool install_menu() {
    const ModuleIdentity& identity = *host_context->identity;
    char menu_path[kPathSize];
    if (!format_path(menu_path, sizeof menu_path, MODULE_DIR_FORMAT, root_directory(),
                     identity.first_dir, identity.second_dir, identity.module_name)) {
        return false;
    }
    return (menubar_open(menu_path, command_dispatcher) & 0xFF) != 0;
}

void set_up_editor(Screen* screen) {
    const WindowColors colors = screen_window_colors(*host_context->settings);
    screen_set_colors(screen, colors.regular, colors.second, colors.third);
    screen_set_border_color(screen, colors.border);
    screen_set_mouse(screen, mouse_default);
    screen_set_special(screen, editor_key_handler);
    screen_set_option(screen, kEditorOption);
    field_mark(screen, kPageField);
}

void run_editor(Screen* screen) {
    rs_bind(&device_table.record());
    device_table.load();
    device_table.set_page(1);
    host_context->current_screen = screen;
    host_context->screen_word = 0;
    screen_paint(screen);
    screen_run(screen);
}

// Runs the editor from an open screen file; closes what it opened, in reverse order.
void run_from_file(ScreenFile* file) {
    OpenScreen screen(screenfile_load(file, kEditorScreen, kFullScreenMode));
    if (screen == nullptr) {
        report_error(module_name(), ERROR_SCREEN_MISSING, path_buffer);
        hand_off_to_error_log();
        return;
    }
    editor_screen = screen.get();
    if (install_menu()) {
        set_up_editor(editor_screen);
        run_editor(editor_screen);
        menubar_close();
    } else {
        // The menu bar has said why; no record of our own.
        hand_off_to_error_log();
    }
    screen.reset();
    editor_screen = nullptr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t Appstart(HostContext* context) {
    host_context = context;
    // Without its records the context names no files to open and no one to report to.
    if (context == nullptr || context->settings == nullptr || context->identity == nullptr ||
        context->user == nullptr) {
        host_leave();
        if (context != nullptr) {
            context->return_flag = 0;
        }
        return 0;
    }
    if (const OpenScreenFile file = open_screen_file(); file != nullptr) {
        run_from_file(file.get());
    } else {
        report_error(module_name(), ERROR_SCREEN_FILE_MISSING, path_buffer);
        hand_off_to_error_log();
    }
    host_leave();
    context->return_flag = 0;
    return 0;
}
