#include "output/fax_site.h"

#include <cstdio>
#include <cstring>

#include "output/destination.h"
#include "platform/fixed_text.h"
#include "platform/host_libraries.h"
#include "platform/screen_function_table.h"
#include "services/error_report.h"
#include "services/host_paths.h"
#include "services/module_state.h"
#include "services/popup_screen.h"

namespace {

constexpr const char* kLookupScreen = "popup";
constexpr int kLookupMode = 0;
// Fields of the LOOKUP popup.
constexpr int kConfirmField = 0;
constexpr int kNumberField = 2;
// The run's result when the confirming field was accepted.
constexpr int kConfirmed = 1;

constexpr int kNumberWidth = 25;
constexpr int kShortNameWidth = 20;
constexpr int kNameWidth = 30;
constexpr int kPhoneLine = 3;
constexpr int kSiteMode = 0;
constexpr int kSiteState = 1;

// The screen library's own field sets, under the names the LOOKUP file uses.
const ScreenFunctionTable kLookupTable({
    table_field_set("my_gmenu_funcs", menu_field_funcs),
    table_field_set("my_string_funcs", string_field_funcs),
    table_window_class("sedwin_Class", sedwin_Class),
    table_border("bd_prompt", bd_prompt),
});

// The template site's connection driver, then the new site's texts.
char driver_path[SITE_DRIVER_SIZE];
char driver_parameters[SITE_DRIVER_SIZE];

// The error source of the shared popups: the signed-on user's id.
const char* error_source() {
    return host_user_id();
}

// The template's connection driver; false (reported) when it cannot be read,
// so that no site is made with an empty or stale driver.
bool read_template_driver() {
    const uint32_t template_site = destination_choice.template_site;
    if (site_goto(destination_choice.directory, template_site) == 0 &&
        site_get_connect(destination_choice.directory, driver_path, driver_parameters) == 0) {
        return true;
    }
    char text[64];
    std::snprintf(text, sizeof text, "FAX template site %08X cannot be read", template_site);
    report_error(error_source(), ERROR_TEMPLATE_SITE, text);
    return false;
}

}  // namespace

const ScreenFunctionEntry* const lookup_table = kLookupTable;

uint32_t create_fax_site() {
    PopupRun popup(popup_path(root_directory(), "SITES\\USER\\LOOKUP"), lookup_table, kLookupScreen,
                   kLookupMode);
    if (!popup.loaded()) {
        return 0;
    }
    screen_set_special(popup.screen(), lookup_special);
    screen_set_mouse(popup.screen(), sedmou_GreedyClick);
    popup.paint(kNumberField);
    const int result = popup.run();
    popup.close();
    if (result != kConfirmed) {
        return 0;
    }
    // site_add made the new site current.
    uint32_t id = 0;
    site_get_id(destination_choice.directory, &id);
    return id;
}

int lookup_special(Screen* screen, int key) {
    const int field = screen_field_no(screen);
    switch (key) {
        case KEY_ENTER:
        case KEY_ACCEPT:
            if (key == KEY_ENTER && field == kNumberField) {
                screen_goto_field(screen, kConfirmField);
                return 1;
            }
            if (field != kConfirmField) {
                return 0;
            }
            if (add_fax_site(screen) == 1) {
                return 0;  // the library's own Enter ends the run with result 1
            }
            screen_exit(screen);
            screen_set_result(screen, 0);
            return 1;
        case KEY_UP:
            screen_prev_field(screen);
            return 1;
        case KEY_DOWN:
            screen_next_field(screen);
            return 1;
        default:
            return 0;
    }
}

int add_fax_site(Screen* screen) {
    char number[kNumberWidth];
    copy_padded(number, field_text(screen, kNumberField), kNumberWidth);
    left_justify(number, kNumberWidth);
    const int length = blank_length(number, kNumberWidth);
    if (length == 0) {
        return 0;
    }
    if (!read_template_driver()) {
        return 0;
    }
    const SiteDirectory directory = destination_choice.directory;
    site_new(directory);

    // "FAX: number (stamp)", blank-padded; a long number pushes the stamp out.
    char formatted[kNameWidth + kNumberWidth];
    std::snprintf(formatted, sizeof formatted, "FAX: %.*s (%.4X)", length, number,
                  static_cast<unsigned int>(host_now() & 0xFFFF));
    char name[kNameWidth + 1];
    copy_padded(name, formatted, kNameWidth);
    left_justify(name, kNameWidth);
    name[kNameWidth] = '\0';
    site_set_short_name(directory, name, kShortNameWidth);
    site_set_name(directory, name, kNameWidth);
    site_set_connect(directory, driver_path, driver_parameters);

    std::snprintf(driver_parameters, sizeof driver_parameters, "phone \"%.*s\"", length, number);
    site_set_line(directory, kPhoneLine, driver_parameters);
    // A transfer driver path that does not fit would name another file: no site then.
    if (!format_path(driver_path, sizeof driver_path, "%sDLLS\\XFER\\RAWLINE.DLL",
                     root_directory())) {
        return 0;
    }
    driver_parameters[0] = '\0';
    site_set_transfer(directory, driver_path, driver_parameters);
    site_set_mode(directory, kSiteMode);
    site_set_state(directory, kSiteState);
    return site_add(directory) == 0 ? 1 : 0;
}
