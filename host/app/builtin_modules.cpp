// The host's own modules: the text viewer of reports, the error-log viewer,
// sign-on and the shell menu.
#include <strings.h>

#include <cstring>

#include "byte_fields.h"
#include "hostlibs/help.h"
#include "hostlibs/host_setup.h"
#include "hostlibs/menubar.h"
#include "hostlibs/shell.h"
#include "native_files.h"
#include "pager.h"
#include "report_view.h"
#include "screen_library.h"
#include "session_state.h"

namespace hostapp {
namespace {

constexpr size_t kMaxReportBytes = 16 << 20;
constexpr size_t kScreenColumns = 80;
constexpr size_t kContinuationIndent = 4;

// A long line in pieces of at most `width` characters, the later ones indented.
std::vector<std::string> wrap(const std::string& text, size_t width) {
    std::vector<std::string> lines{text.substr(0, width)};
    const std::string indent(kContinuationIndent, ' ');
    for (size_t at = width; at < text.size(); at += width - kContinuationIndent) {
        lines.push_back(indent + text.substr(at, width - kContinuationIndent));
    }
    return lines;
}

bool read_report(const std::string& host_path, std::string* bytes) {
    FILE* file = native_fopen(host_path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 &&
           bytes->size() < kMaxReportBytes) {
        bytes->append(buffer, got);
    }
    std::fclose(file);
    return true;
}

hostlibs::ChoicePopup popup_in_colors(const HostSession::State& state) {
    hostlibs::ChoicePopup popup;
    const HostSettings& settings = state.settings;
    popup.regular = settings.popup_colors[2];
    popup.second = settings.popup_colors[2];
    popup.third = settings.popup_colors[3];
    popup.border = settings.popup_colors[1];
    return popup;
}

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

// The password record of this name and password, from the password file.
bool find_password(const std::string& name, const std::string& password, PasswordRecord* found) {
    bool matched = false;
    std::string ignored;
    hostlibs::for_each_password(
        [&](const PasswordRecord& record) {
            if (strcasecmp(field_value(record.name, sizeof record.name).c_str(), name.c_str()) ==
                    0 &&
                field_value(record.password, sizeof record.password) == password) {
                *found = record;
                matched = true;
                return false;
            }
            return true;
        },
        &ignored);
    return matched;
}

}  // namespace

void tell_operator(HostSession::State&, const std::string& title,
                   const std::vector<std::string>& lines) {
    hostlibs::show_text_popup(title, lines);
}

int run_text_viewer(HostSession::State& state, const RunListEntry& entry) {
    ViewerArguments arguments;
    std::string error;
    std::string bytes;
    PagerText text;
    text.keys_hint = state.text(TEXT_PAGER_KEYS, "PgUp/PgDn: page   Esc: leave");
    if (!parse_viewer_arguments(entry.parameters, &arguments, &error)) {
        tell_operator(state, state.text(TEXT_REPORT, "Report"),
                      {"The viewer cannot read its arguments:", error});
        return 0;
    }
    if (!read_report(arguments.path, &bytes)) {
        tell_operator(state, state.text(TEXT_REPORT, "Report"),
                      {"The report file cannot be read:", arguments.path});
        return 0;
    }
    text.title = arguments.title.empty() ? arguments.path : arguments.title;
    text.pages = render_report(bytes);
    run_pager(text, &state.final_screen);
    return 0;
}

int run_error_log_viewer(HostSession::State& state) {
    PagerText text;
    text.title = state.text(TEXT_ERROR_LOG, "Error log");
    text.keys_hint = state.text(TEXT_PAGER_KEYS, "PgUp/PgDn: page   Esc: leave");
    text.empty_text = state.text(TEXT_LOG_EMPTY, "The error log is empty.");
    std::vector<hostlibs::ErrorLogEntry> entries = hostlibs::read_error_log();
    text.pages.emplace_back();
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        for (std::string& line : wrap(entry->describe(), kScreenColumns)) {
            text.pages.back().push_back(std::move(line));
        }
    }
    run_pager(text, &state.final_screen);
    return 0;
}

int run_sign_on(HostSession::State& state) {
    SignOnForm form{};
    std::memset(form.name, ' ', sizeof form.name - 1);
    std::memset(form.password, ' ', sizeof form.password - 1);
    Menu* menu = menu_open();
    if (menu == nullptr) {
        return 0;
    }
    const std::string name_label = state.text(TEXT_NAME, "Name:");
    const std::string password_label = state.text(TEXT_PASSWORD, "Password:");
    const std::string keys = state.text(TEXT_SIGN_ON_KEYS, "F10: sign on   Esc: leave");
    menu_printf(menu, "@p[0,1]%s",
                hostlibs::menu_literal(state.text(TEXT_SIGN_ON, "Sign on")).c_str());
    menu_printf(menu, "@p[2,1]%s", hostlibs::menu_literal(name_label).c_str());
    hostlibs::menu_add_field(menu, 2, 12, 30, form.name, &string_field_funcs);
    menu_printf(menu, "@p[3,1]%s", hostlibs::menu_literal(password_label).c_str());
    hostlibs::menu_add_field(menu, 3, 12, 8, form.password, &masked_field_funcs);
    menu_printf(menu, "@p[5,1]%s", hostlibs::menu_literal(keys).c_str());
    menu_flush(menu);
    Screen* screen = menu_screen(menu);
    if (screen == nullptr) {
        return 0;
    }
    const HostSettings& settings = state.settings;
    screen_set_border(screen, bd_prompt);
    screen_set_position(screen, 8, 16);
    screen_set_popup(screen, 1);
    screen_set_colors(screen, settings.popup_colors[2], settings.popup_colors[0],
                      settings.popup_colors[3]);
    screen_set_border_color(screen, settings.popup_colors[1]);
    screen_set_special(screen, &sign_on_keys);
    g_form = &form;
    for (;;) {
        form.accepted = false;
        screen_run(screen);
        if (!form.accepted) {
            break;
        }
        PasswordRecord record{};
        const std::string name = field_value(form.name, sizeof form.name - 1);
        if (find_password(name, field_value(form.password, sizeof form.password - 1), &record)) {
            const HostUser* user = state.config.find_user(name);
            HostUser signed_on =
                user != nullptr ? *user : HostUser{name, name.substr(0, 8), 0, 1, 0, ""};
            signed_on.rights = load_u32(record.rights);
            signed_on.code = std::string(record.user_code, sizeof record.user_code);
            state.sign_on(signed_on, record.language > 0 ? record.language : signed_on.language);
            std::memcpy(state.session.password, record.password, sizeof record.password);
            state.session.password_time = host_now();
            shellbar_set_tech();
            break;
        }
        // Another try: the name stays, the password is typed again.
        screen_set_prompt(screen,
                          state.text(TEXT_NO_USER, "No user with this name and password.").c_str());
        std::memset(form.password, ' ', sizeof form.password - 1);
        field_set_text(screen, form.password, 1);
        screen_goto_field(screen, 1);
    }
    g_form = nullptr;
    state.keep_final_screen();
    screen_close(screen);
    return 0;
}

int run_shell_menu(HostSession::State& state) {
    struct Choice {
        int text;
        const char* fallback;
        RunListEntry entry;
    };
    const ModuleIdentity& id = state.identity;
    const Choice choices[] = {
        {TEXT_EDITOR, "Device group editor",
         make_entry(id.first_dir, id.second_dir, id.module_name)},
        {TEXT_ERROR_LOG, "Error log", make_entry("USER", "ERRORLOG", "ERRORLOG")},
        {TEXT_SIGN_ON, "Sign on", make_entry("USER", "SIGNON", "SIGNON")},
        {TEXT_QUIT, "Quit", {}},
    };
    hostlibs::ChoicePopup popup = popup_in_colors(state);
    popup.row = 6;
    popup.column = 28;
    for (const Choice& choice : choices) {
        popup.entries.push_back(state.text(choice.text, choice.fallback));
        popup.letters.push_back(std::toupper(static_cast<unsigned char>(popup.entries.back()[0])));
    }
    const int chosen = hostlibs::run_choice_popup(popup);
    if (chosen < 0 && hostlibs::run_list().size() > 1) {
        filelist_pop();  // back to the module that called the shell menu
        return 0;
    }
    // Leaving the shell menu at the bottom of the list quits, as "Quit" does.
    filelist_clear();
    if (chosen >= 0 && chosen < 3) {
        filelist_push(&choices[chosen].entry);
    }
    return 0;
}

}  // namespace hostapp
