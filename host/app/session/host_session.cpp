// One host session: the host libraries on a root, HostContext from host.conf,
// the module library and the run list.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "hostlibs/help.h"
#include "hostlibs/host_setup.h"
#include "hostlibs/menubar.h"
#include "hostlibs/shell.h"
#include "hostlibs/status.h"
#include "platform/color_roles.h"
#include "platform/fixed_text.h"
#include "screenlib/screenlib.h"
#include "session/module_trust.h"
#include "session/session_state.h"

namespace hostapp {
namespace {

constexpr int kModuleFailed = -1;
constexpr int kUnknownModule = -2;
// A run list that never empties (a module pushing itself forever) still ends.
constexpr int kMaxModuleRuns = 10000;
constexpr int kFirstHotKeyCommand = 80;
// How often a session on a shared store looks for changes of other
// workstations while it waits for a key; a look reads only what the server
// has sent, so it costs no round trip.
constexpr int kChangePollMs = 500;

HostSession::State* g_current = nullptr;

int message_text_callback(int index, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        return 1;
    }
    buffer[0] = '\0';
    if (g_current == nullptr || index < 0) {
        return 1;
    }
    const std::string text = g_current->prompt_message(index + 1);
    const size_t length = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return text.empty() ? 1 : 0;
}

// The module signed a user on (UserSession already rewritten): the host
// follows with its own user and the message language.
void language_changed_callback(int32_t language) {
    if (g_current == nullptr) {
        return;
    }
    const UserSession& session = g_current->session;
    for (const HostUser& user : g_current->config.users) {
        if (user.code.size() <= 4 &&
            std::memcmp(session.user_code, (user.code + "    ").data(), 4) == 0) {
            g_current->user = user;
            hostlibs::set_host_user(user.user_id, user.number);
            break;
        }
    }
    g_current->set_language(language);
}

void show_on_status_line(const char* text, size_t length, int duration) {
    const StatusItem item = {0, STATUS_KIND_TEXT, STATUS_ONE_ITEM, static_cast<uint32_t>(length),
                             text};
    status_show(&item, duration);
}

// A change another workstation stored to the devices file is told on the
// status line. Saving merges by key, so this is news, not a lock.
void announce_changes_elsewhere() {
    if (g_current == nullptr || !hostlibs::devices_changed_elsewhere()) {
        return;
    }
    const std::string text =
        g_current->text(TEXT_DEVICES_CHANGED, "devices changed on another workstation");
    show_on_status_line(text.c_str(), text.size(), 0);
}

std::string editor_title(const HostSession::State& state) {
    return state.text(TEXT_EDITOR, "Device group editor");
}

bool is_builtin(const RunListEntry& entry, const char* second, const char* name) {
    return hostlibs::same_module(entry, make_entry("USER", second, name));
}

// Whether the module's own screen file of `language` is missing from the
// root while the fallback language's is there, so that the fallback serves.
bool screens_from_fallback(const std::string& root, const ModuleIdentity& identity, int language,
                           int fallback) {
    auto screen_file = [&](int number) {
        char extension[8];
        std::snprintf(extension, sizeof extension, ".L%02d", number);
        auto name = [](const char* field, size_t size) {
            return std::string(field, strnlen(field, size));
        };
        return root + "/" + name(identity.first_dir, sizeof identity.first_dir) + "/" +
               name(identity.second_dir, sizeof identity.second_dir) + "/" +
               name(identity.module_name, sizeof identity.module_name) + extension;
    };
    return language != fallback && access(screen_file(language).c_str(), F_OK) != 0 &&
           access(screen_file(fallback).c_str(), F_OK) == 0;
}

// The steps of an opening that has not finished: each step that succeeded
// leaves its undoing here, and a guard left armed when the opening returns
// undoes them, last step first.
class OpeningGuard {
  public:
    OpeningGuard() = default;
    OpeningGuard(const OpeningGuard&) = delete;
    OpeningGuard& operator=(const OpeningGuard&) = delete;
    ~OpeningGuard() {
        for (auto undo = undos_.rbegin(); undo != undos_.rend(); ++undo) {
            (*undo)();
        }
    }
    void undo_on_failure(void (*undo)()) { undos_.push_back(undo); }
    // The opening finished: what it did stays.
    void dismiss() { undos_.clear(); }

  private:
    std::vector<void (*)()> undos_;
};

}  // namespace

// Messages, the menu and the key bar follow the language.
void HostSession::State::set_language(int language) {
    if (language < 1 || language > 99) {
        return;
    }
    messages.load(root, language, config.fallback_language);
    hostlibs::set_key_bar_host_keys(
        {{"F10", text(TEXT_KEY_MENU, "Menu")}, {"PgUp/PgDn", text(TEXT_KEY_PAGE, "Page")}});
    hostlibs::set_menu_language(language);
}

// A password refused while its name waits, or failed into a wait, reads as
// the wait, in whole seconds rounded up; the catalogue's "{0}" is replaced by
// them (the text is never a format string).
std::string HostSession::State::prompt_message(int number, const std::string& otherwise) const {
    const int64_t wait_ms = hostlibs::password_wait().wait_ms;
    if (number != MSG_NO_USER || wait_ms <= 0) {
        return text(number, otherwise);
    }
    std::string wait = text(TEXT_PASSWORD_WAIT, "Not accepted; try again in {0} s.");
    const size_t at = wait.find("{0}");
    if (at != std::string::npos) {
        wait.replace(at, 3, std::to_string((wait_ms + 999) / 1000));
    }
    return wait;
}

hostlibs::ChoicePopup HostSession::State::popup_style() const {
    const WindowColors colors = popup_window_colors(settings);
    hostlibs::ChoicePopup popup;
    popup.regular = colors.regular;
    popup.second = colors.second;
    popup.third = colors.third;
    popup.border = colors.border;
    return popup;
}

void HostSession::State::sign_on(const HostUser& signed_on, int language) {
    user = signed_on;
    copy_padded_bytes(session.name, signed_on.name, sizeof session.name);
    session.rights = signed_on.rights;
    copy_padded_bytes(session.user_code, signed_on.code, sizeof session.user_code);
    session.language = language;
    hostlibs::set_host_user(signed_on.user_id, signed_on.number);
    set_language(language);
}

void HostSession::State::show_user_code() const {
    show_on_status_line(session.user_code, sizeof session.user_code, STATUS_USER_CODE_DURATION);
}

HostSession::HostSession() = default;

HostSession::~HostSession() {
    close();
}

bool HostSession::open(const HostOptions& options, std::string* error) {
    std::string ignored;
    error = error != nullptr ? error : &ignored;
    if (g_current != nullptr) {
        *error = "another host session is open";
        return false;
    }
    auto state = std::make_unique<State>();
    state->options = options;
    state->root = options.root.empty() ? default_root() : options.root;
    while (state->root.size() > 1 && state->root.back() == '/') {
        state->root.pop_back();
    }
    if (const RootState found = root_state(state->root); found != RootState::kComplete) {
        *error = refused_root_message(state->root, found);
        return false;
    }
    if (!load_host_config(state->root, &state->config, error)) {
        return false;
    }
    const std::string user_name = options.user.empty() ? state->config.default_user : options.user;
    const HostUser* user = state->config.find_user(user_name);
    if (user == nullptr) {
        *error = "no user " + user_name + " in host.conf";
        return false;
    }
    if (options.language < 0 || options.language > 99) {
        *error = "a language is a number from 1 to 99";
        return false;
    }
    OpeningGuard guard;
    if (!hostlibs::open_host(host_configuration(state->root, state->config, *user, options.now),
                             error)) {
        return false;
    }
    guard.undo_on_failure(&hostlibs::close_host);
    remove_stale_reports(state->root);
    hostlibs::reset_shell();
    hostlibs::reset_menubar();
    hostlibs::reset_help();
    hostlibs::reset_status();
    std::vector<hostlibs::MenuKey> host_keys;
    for (const HotKey& hot_key : state->config.hot_keys) {
        hostlibs::set_hot_key(hot_key.number, hot_key.entry);
        if (hot_key.key != 0) {
            host_keys.push_back({hot_key.key, kFirstHotKeyCommand + hot_key.number});
        }
    }
    hostlibs::set_host_keys(host_keys);
    if (options.use_terminal && !options.keys) {
        if (!screenlib::use_terminal(error)) {
            return false;
        }
        guard.undo_on_failure(&screenlib::shutdown);
    } else {
        screenlib::HeadlessBackend& headless = screenlib::use_headless();
        guard.undo_on_failure(&screenlib::shutdown);
        if (options.keys && !headless.set_script(*options.keys, error)) {
            *error = "key script: " + *error;
            return false;
        }
    }

    if (!state->config.store.empty()) {
        screenlib::set_idle_handler(&announce_changes_elsewhere, kChangePollMs);
    }

    state->settings = make_settings(state->config);
    state->identity = state->config.identity;
    state->popup_dir = std::string(host_root_dir()) + "USER\\POPUPS\\";
    state->sign_on(*user, options.language != 0 ? options.language : user->language);
    if (screens_from_fallback(state->root, state->identity, state->session.language,
                              state->config.fallback_language)) {
        state->fallback_note = "no screens in language " + std::to_string(state->session.language) +
                               "; the fallback language " +
                               std::to_string(state->config.fallback_language) + " served";
    }
    // A relative "module" of host.conf is taken from the root.
    const std::string& configured = state->config.module_path;
    state->module_path = !options.module_path.empty() ? options.module_path
                         : configured.empty()         ? default_module_path()
                         : configured.front() == '/'  ? configured
                                                      : state->root + "/" + configured;
    hostlibs::set_pull_down_style(state->popup_style());
    HostContext& context = state->context;
    context.settings = &state->settings;
    context.popup_dir = state->popup_dir.c_str();
    context.identity = &state->identity;
    context.user = &state->session;
    context.language_changed = &language_changed_callback;
    context.message_text = &message_text_callback;
    state_ = std::move(state);
    g_current = state_.get();
    guard.dismiss();
    return true;
}

void HostSession::close() {
    if (!state_) {
        return;
    }
    // Nothing may still point into the module's code when it is unloaded:
    // the menu's callback and any screen it left open go first. The status
    // line's window goes with the screen it stands on.
    menubar_close();
    hostlibs::reset_status();
    screenlib::shutdown();
    if (state_->module_handle != nullptr) {
        dlclose(state_->module_handle);
    }
    hostlibs::close_host();
    g_current = nullptr;
    state_.reset();
}

bool HostSession::is_open() const {
    return state_ != nullptr;
}

HostContext& HostSession::context() {
    return state_->context;
}

RunListEntry HostSession::module_entry() const {
    const ModuleIdentity& id = state_->identity;
    return make_entry(id.first_dir, id.second_dir, id.module_name);
}

std::string HostSession::message(int number) const {
    return state_->messages.text(number);
}

int HostSession::language() const {
    return state_->messages.language();
}

const std::string& HostSession::last_error() const {
    return state_->last_error;
}

const std::string& HostSession::fallback_note() const {
    return state_->fallback_note;
}

const std::string& HostSession::final_screen() const {
    return state_->headless.final_screen();
}

const std::vector<RunListEntry>& HostSession::modules_run() const {
    return state_->history;
}

int HostSession::State::call_module_library() {
    if (module_handle == nullptr) {
        // Checked before dlopen: loading runs the library's constructors.
        std::string trusted;
        if (!check_module_trust(module_path, root + "/host.conf", &trusted, &last_error)) {
            return kModuleFailed;
        }
        module_handle = dlopen(trusted.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module_handle == nullptr) {
            const char* reason = dlerror();
            last_error = reason != nullptr ? reason : module_path;
            return kModuleFailed;
        }
        appstart = reinterpret_cast<AppstartFn>(dlsym(module_handle, "Appstart"));
    }
    if (appstart == nullptr) {
        last_error = module_path + " has no entry point Appstart";
        return kModuleFailed;
    }
    context.current_screen = nullptr;
    context.screen_word = 0;
    hostlibs::menubar_forget_closing_screen();
    const int result = appstart(&context);
    // The module's window is still up when it closes its menu.
    headless.leave_screen(hostlibs::menubar_closing_screen());
    return result;
}

int HostSession::State::call_builtin_module(const RunListEntry& entry) {
    if (is_builtin(entry, "GENUSER", "TEXTDISP")) {
        return run_text_viewer(*this, entry);
    }
    if (is_builtin(entry, "ERRORLOG", "ERRORLOG")) {
        return run_error_log_viewer(*this);
    }
    if (is_builtin(entry, "SIGNON", "SIGNON")) {
        return run_sign_on(*this);
    }
    if (hostlibs::same_module(entry, hostlibs::shell_menu_entry())) {
        return run_shell_menu(*this);
    }
    last_error = "unknown module " + hostlibs::describe_entry(entry);
    tell_operator(*this, text(TEXT_UNKNOWN_MODULE, "Unknown module"),
                  {hostlibs::describe_entry(entry)});
    return kUnknownModule;
}

int HostSession::call_module(const RunListEntry& given) {
    State& state = *state_;
    const RunListEntry entry = hostlibs::terminated(given);
    state.history.push_back(entry);
    state.headless.module_starting();
    const int result = hostlibs::same_module(entry, module_entry())
                           ? state.call_module_library()
                           : state.call_builtin_module(entry);
    state.headless.module_returned();
    return result;
}

int HostSession::run() {
    hostlibs::host_clear();
    hostlibs::host_push(module_entry());
    for (int runs = 0; runs < kMaxModuleRuns; ++runs) {
        std::vector<RunListEntry> list = hostlibs::run_list();
        if (list.empty()) {
            // A headless run whose key script has run out ends here
            // rather than in the shell menu.
            if (hostlibs::quit_requested() || state_->headless.script_used_up()) {
                return 0;
            }
            hostlibs::host_push(hostlibs::shell_menu_entry());
            continue;
        }
        const uint64_t edits = hostlibs::run_list_edits();
        const int result = call_module(list.back());
        if (result == kModuleFailed) {
            if (runs == 0) {
                return 1;
            }
            tell_operator(*state_, editor_title(*state_), {state_->last_error});
        }
        // The screen on which the script ran out is the run's last: the
        // modules below it on the list do not run again.
        if (state_->headless.script_ran_out()) {
            return 0;
        }
        // A module that returns without touching the list is done.
        if (hostlibs::run_list_edits() == edits) {
            hostlibs::host_pop();
        }
    }
    return 0;
}

}  // namespace hostapp
