// The inside of a HostSession, shared by the session and the host's own
// modules. Internal to the host program.
#pragma once

#include <string>
#include <vector>

#include "host_config.h"
#include "hostapp/host_app.h"
#include "hostlibs/menubar.h"
#include "message_catalogue.h"

namespace hostapp {

using AppstartFn = int32_t (*)(HostContext*);

struct HostSession::State {
    HostOptions options;
    std::string root;
    HostConfig config;
    HostUser user;
    MessageCatalogue messages;

    HostSettings settings{};
    ModuleIdentity identity{};
    UserSession session{};
    std::string popup_dir;
    HostContext context{};

    std::string module_path;
    void* module_handle = nullptr;
    AppstartFn appstart = nullptr;
    std::string last_error;
    std::vector<RunListEntry> history;
    // Headless only: the screen a module left just before its windows
    // closed, and the one --keys prints (see call_module).
    std::string screen_left;
    std::string final_screen;
    bool end_screen_kept = false;
    // Said when the session ends (see HostSession::fallback_note).
    std::string fallback_note;
    void keep_screen_left();
    // Headless: every key has been read; a key was asked for past the end.
    bool script_used_up() const;
    bool script_ran_out() const;

    // The module library's entry point; the host's own modules.
    int call_module_library();
    int call_builtin_module(const RunListEntry& entry);

    // Signs a user of host.conf on: UserSession, host user and language.
    void sign_on(const HostUser& signed_on, int language);
    // Names the signed-on user's code on the status line, as a sign-on
    // through the module's password prompt does.
    void show_user_code() const;
    void set_language(int language);
    // A choice popup in the host's popup colours.
    hostlibs::ChoicePopup popup_style() const;
    std::string text(int number, const std::string& otherwise) const {
        return messages.text_or(number, otherwise);
    }
    // Prompt-line message `number` as it stands now: "no user with this name
    // and password" names the wait when the name must wait to try again.
    std::string prompt_message(int number, const std::string& otherwise = {}) const;
};

// The host's own modules (viewer_modules.cpp, sign_on_module.cpp,
// shell_menu_module.cpp); each returns 0.
int run_text_viewer(HostSession::State& state, const RunListEntry& entry);
int run_error_log_viewer(HostSession::State& state);
int run_sign_on(HostSession::State& state);
// The host's password prompt (sign_on_module.cpp), under the module's rules:
// true at once when `mask` is not 0, the signed-on user holds it and granted
// a password within the password interval (or the interval is 0); otherwise
// the popup titled `title` asks for a name and password until a user who
// holds `mask` signs on (true) or the operator leaves (false).
bool grant_rights(HostSession::State& state, uint32_t mask, const std::string& title);
int run_shell_menu(HostSession::State& state);
// Removes the report files that runs ended before their viewer, or crashes,
// left in the root's TEMP folder more than a day ago.
void remove_stale_reports(const std::string& root);
// Tells the operator something in a popup (Escape or Enter closes it).
void tell_operator(HostSession::State& state, const std::string& title,
                   const std::vector<std::string>& lines);

}  // namespace hostapp
