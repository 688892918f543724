// The host's password prompt: a name and password popup checked against the
// password file, under the rules of the module's prompt (rights mask and
// password interval). The sign-on module (SIGNON) is that prompt for mask 0.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "hostlibs/host_setup.h"
#include "hostlibs/menubar.h"
#include "platform/byte_fields.h"
#include "platform/color_roles.h"
#include "platform/fixed_text.h"
#include "platform/host_libraries.h"
#include "platform/screen_library.h"
#include "session/session_state.h"

namespace hostapp {
namespace {

// Sign-on fields, bound as the popup's variables.
struct SignOnForm {
    char name[31];
    char password[9];
    bool accepted = false;
};

SignOnForm* g_form = nullptr;

int sign_on_keys(Screen* screen, int key) {
    if (key == KEY_F10 || (key == KEY_ENTER && screen_field_no(screen) == 1)) {
        screen_leave_field(screen, screen_field_no(screen));
        g_form->accepted = true;
        screen_exit(screen);
        return 1;
    }
    return 0;
}

std::string field_value(const char* text, size_t size) {
    std::string value(text, strnlen(text, size));
    const size_t first = value.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return value.substr(first, value.find_last_not_of(' ') - first + 1);
}

// The password record of this name (in any letter case) and password: the
// password file finds it by name and password together. RS_OK when found,
// RS_KEY_NOT_FOUND for no such name and password, else the failure's
// status (the error log says why). A name the file does not hold is looked
// up as typed all the same, so that it takes as long and counts towards
// waits as a known one does.
int find_password(const std::string& name, const std::string& password, PasswordRecord* found) {
    std::string stored_name = name;
    std::string ignored;
    if (!hostlibs::for_each_password(
            [&](const PasswordRecord& record) {
                const std::string candidate = field_value(record.name, sizeof record.name);
                if (strcasecmp(candidate.c_str(), name.c_str()) == 0) {
                    stored_name = candidate;
                    return false;
                }
                return true;
            },
            &ignored)) {
        return RS_IO_ERROR;
    }
    if (password.size() > sizeof found->password) {
        return RS_KEY_NOT_FOUND;
    }
    char key[sizeof found->name + sizeof found->password];
    copy_padded_bytes(key, stored_name, sizeof found->name);
    copy_padded_bytes(key + sizeof found->name, password, sizeof found->password);
    void* saved = nullptr;
    rs_password_get_buffer(&saved);
    rs_password_set_buffer(found);
    const int status = rs_password_call(RS_GET_EQUAL, key, 0);
    rs_password_set_buffer(saved);
    return status;
}

bool covers(uint32_t rights, uint32_t mask) {
    return (rights & mask) == mask;
}

// Signs on the user of a password record: the host.conf user of that name
// with the record's rights, code and language.
void sign_on_record(HostSession::State& state, const std::string& name,
                    const PasswordRecord& record) {
    const HostUser* user = state.config.find_user(name);
    HostUser signed_on = user != nullptr ? *user : HostUser{name, name.substr(0, 8), 0, 1, 0, ""};
    signed_on.rights = load_u32(record.rights);
    signed_on.code = std::string(record.user_code, sizeof record.user_code);
    state.sign_on(signed_on, record.language > 0 ? record.language : signed_on.language);
    std::memcpy(state.session.password, record.password, sizeof record.password);
    state.session.password_time = host_now();
    shellbar_set_tech();
    state.show_user_code();
}

// The popup: a name and a password until an entry whose user holds `mask`
// (everyone holds mask 0), or Escape. An entry that matches signs its user
// on even when the rights fall short. True when granted.
bool run_password_popup(HostSession::State& state, uint32_t mask, const std::string& title) {
    SignOnForm form{};
    std::memset(form.name, ' ', sizeof form.name - 1);
    std::memset(form.password, ' ', sizeof form.password - 1);
    Menu* menu = menu_open();
    if (menu == nullptr) {
        return false;
    }
    const std::string name_label = state.text(TEXT_NAME, "Name:");
    const std::string password_label = state.text(TEXT_PASSWORD, "Password:");
    const std::string keys = state.text(TEXT_SIGN_ON_KEYS, "F10: sign on   Esc: leave");
    menu_printf(menu, "@p[0,1]%s", hostlibs::menu_literal(title).c_str());
    menu_printf(menu, "@p[2,1]%s", hostlibs::menu_literal(name_label).c_str());
    hostlibs::menu_add_field(menu, 2, 12, 30, form.name, &string_field_funcs);
    menu_printf(menu, "@p[3,1]%s", hostlibs::menu_literal(password_label).c_str());
    hostlibs::menu_add_field(menu, 3, 12, 8, form.password, &masked_field_funcs);
    menu_printf(menu, "@p[5,1]%s", hostlibs::menu_literal(keys).c_str());
    menu_flush(menu);
    Screen* screen = menu_screen(menu);
    if (screen == nullptr) {
        return false;
    }
    const WindowColors colors = popup_window_colors(state.settings);
    screen_set_border(screen, bd_prompt);
    screen_set_position(screen, 8, 16);
    screen_set_popup(screen, 1);
    screen_set_colors(screen, colors.regular, colors.second, colors.third);
    screen_set_border_color(screen, colors.border);
    screen_set_special(screen, &sign_on_keys);
    g_form = &form;
    bool granted = false;
    for (;;) {
        form.accepted = false;
        screen_run(screen);
        if (!form.accepted) {
            break;
        }
        PasswordRecord record{};
        const std::string name = field_value(form.name, sizeof form.name - 1);
        const int found =
            find_password(name, field_value(form.password, sizeof form.password - 1), &record);
        if (found == RS_OK) {
            sign_on_record(state, name, record);
            if (covers(load_u32(record.rights), mask)) {
                granted = true;
                break;
            }
        }
        // Another try: the name stays, the password is typed again. A file
        // that could not be read is no wrong password.
        const std::string why =
            found == RS_OK ? state.text(MSG_NO_RIGHTS, "You lack the rights for this command.")
            : found == RS_KEY_NOT_FOUND
                ? state.prompt_message(MSG_NO_USER, "No user with this name and password.")
                : state.text(MSG_FAILED, "That failed; see the error log.");
        screen_set_prompt(screen, why.c_str());
        std::memset(form.password, ' ', sizeof form.password - 1);
        field_set_text(screen, form.password, 1);
        screen_goto_field(screen, 1);
    }
    g_form = nullptr;
    // No typed password stays behind.
    std::memset(form.password, ' ', sizeof form.password - 1);
    state.headless.keep_screen();
    screen_close(screen);
    return granted;
}

}  // namespace

bool grant_rights(HostSession::State& state, uint32_t mask, const std::string& title) {
    const uint32_t now = host_now();
    UserSession& session = state.session;
    // A user who holds the rights and granted a password within the
    // interval is not asked again; each grant restarts the interval.
    if (mask != RIGHTS_SIGN_ON) {
        const uint32_t interval = state.settings.password_interval;
        if (interval == 0 ||
            (now - session.password_time <= interval && covers(session.rights, mask))) {
            session.password_time = now;
            return true;
        }
    }
    return run_password_popup(state, mask, title);
}

int run_sign_on(HostSession::State& state) {
    grant_rights(state, RIGHTS_SIGN_ON, state.text(TEXT_SIGN_ON, "Sign on"));
    return 0;
}

}  // namespace hostapp
