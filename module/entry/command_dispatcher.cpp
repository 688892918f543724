#include "entry/command_dispatcher.h"

#include "dialogs/getpass.h"
#include "editor/device_table.h"
#include "editor/editor.h"
#include "editor/pick_group.h"
#include "editor/save_changes.h"
#include "output/destination.h"
#include "output/device_report.h"
#include "output/job_submission.h"
#include "platform/host_libraries.h"
#include "platform/message_numbers.h"
#include "platform/screen_library.h"
#include "services/guard_popups.h"
#include "services/hand_off.h"
#include "services/host_paths.h"
#include "services/module_state.h"
#include "services/screen_helpers.h"

namespace {

// Help contexts: the editor's page field, group and instrument fields are
// 1100 + 0, 1 and 2; another screen has its own topic.
constexpr int kEditorHelpContext = 1101;
constexpr int kOtherScreenHelpContext = 1201;

bool editor_is_current() {
    return editor_screen != nullptr && host_context->current_screen == editor_screen;
}

// The help file beside the module's own files: "<root><first>\<second>\HELP".
void show_help() {
    const ModuleIdentity& identity = *host_context->identity;
    char path[kLongPathSize];
    if (!format_path(path, sizeof path, "%s%.8s\\%.8s\\HELP", root_directory(), identity.first_dir,
                     identity.second_dir)) {
        return;
    }
    if (editor_is_current()) {
        // The remainder keeps the dividend's sign: field 0 gives 1100.
        const int field = screen_field_no(editor_screen);
        guidebook_go(path, kEditorHelpContext + (field - 1) % 2);
    } else {
        guidebook_go(path, kOtherScreenHelpContext);
    }
}

void save() {
    if (getpass(RIGHTS_SAVE) != GETPASS_GRANTED) {
        return;
    }
    screen_leave_field(editor_screen, screen_field_no(editor_screen));
    save_changes();
}

void show_page(int page) {
    device_table.set_page(page);
    refresh_page(editor_screen);
}

void quit() {
    if (getpass(RIGHTS_QUIT) == GETPASS_GRANTED && confirm_leave() && quit_guard()) {
        clear_run_list();
        screen_exit(editor_screen);
    }
}

// Leaves the editor when unsaved changes may go and the shell then passes
// control to another module.
void leave_through(int (*shell_operation)()) {
    if (confirm_leave() && shell_operation() != 0) {
        screen_exit(editor_screen);
    }
}

// The destination kind of each print command.
int destination_kind(int print_command) {
    switch (print_command) {
        case COMMAND_PRINT_TO_SPOOL:
            return DESTINATION_SPOOL;
        case COMMAND_PRINT_TO_FAX:
            return DESTINATION_FAX;
        default:
            return DESTINATION_PRINTER;
    }
}

// Prints the Device Group report to a site the operator chooses; printing
// waits until nothing is unsaved, so the stored names are the edited ones.
void print(int print_command) {
    if (device_table.changed()) {
        show_message(MSG_SAVE_BEFORE_PRINT, editor_screen, MESSAGE_SECOND_TONE);
        return;
    }
    const uint32_t site = choose_destination(destination_kind(print_command));
    if (site == 0) {
        show_message(MSG_CLEAR, editor_screen, MESSAGE_SECOND_TONE);
        return;
    }
    // The text viewer runs once the editor has ended.
    if (print_report(site) == SUBMIT_VIEWER) {
        screen_exit(editor_screen);
    }
}

void run_hot_key(int n) {
    if (confirm_leave() && dohotkey(n) != 0) {
        screen_exit(editor_screen);
    }
}

}  // namespace

bool confirm_leave() {
    return !device_table.changed() || exit_guard();
}

void command_dispatcher(int command) {
    if (host_context == nullptr || editor_screen == nullptr) {
        return;
    }
    // Commands that leave or page work only while the editor itself is current.
    const bool on_editor = editor_is_current();
    switch (command) {
        case COMMAND_SAVE:
            save();
            break;
        case COMMAND_SHELL_MENU:
            if (on_editor) {
                leave_through(shellbar_doit);
            }
            break;
        case COMMAND_HELP:
            show_help();
            break;
        case COMMAND_SIGN_ON:
            getpass(RIGHTS_SIGN_ON);
            break;
        case COMMAND_SIGN_ON_MODULE:
            if (on_editor && confirm_leave()) {
                hand_off_to_sign_on();
                screen_exit(editor_screen);
            }
            break;
        case COMMAND_QUIT:
            if (on_editor) {
                quit();
            }
            break;
        case COMMAND_PICK_GROUP:
            pick_group();
            break;
        case COMMAND_PRINT:
        case COMMAND_PRINT_TO_SPOOL:
        case COMMAND_PRINT_TO_FAX:
            if (on_editor) {
                print(command);
            }
            break;
        case COMMAND_FIRST_PAGE:
            if (on_editor) {
                show_page(1);
            }
            break;
        case COMMAND_LAST_PAGE:
            if (on_editor) {
                show_page(kPageCount);
            }
            break;
        case COMMAND_BACK:
            if (on_editor) {
                leave_through(filelist_pop);
            }
            break;
        default:
            if (on_editor && command >= COMMAND_FIRST_HOT_KEY && command <= COMMAND_LAST_HOT_KEY) {
                run_hot_key(command - COMMAND_FIRST_HOT_KEY);
            }
            break;
    }
}
