// The menu bar library: the module's menu on the top row, its pull-downs,
// and keys turned into commands for the registered callback.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string_view>

#include "core/c_boundary.h"
#include "help/text_file.h"
#include "hostlibs/menubar.h"
#include "hostlibs/printable.h"
#include "hostlibs/status.h"
#include "platform/host_libraries.h"
#include "platform/key_codes.h"
#include "screenlib/screenlib.h"

namespace hostlibs {
namespace {

constexpr uint8_t kBarAttribute = 0x70;
constexpr uint8_t kOpenAttribute = 0x1F;

// The keys of the key bar and the menus' Alt letters stand out from the bar,
// with colour or without.
uint8_t letter_attribute() {
    return screenlib::hot_letter_attribute(kBarAttribute);
}

struct MenuBarState {
    bool installed = false;
    MenuFile file;  // as read, every language
    MenuFile menu;  // in the menu's language
    int language = 0;
    std::vector<KeyBarEntry> host_bar_keys;
    MenuCommandFn callback = nullptr;
    std::vector<int> commands;
    std::string error;
    int open_menu = -1;  // the pull-down shown, for drawing its title
    std::string closing_screen;
    std::vector<MenuKey> host_keys;
    ChoicePopup style;
};

MenuBarState& bar() {
    static MenuBarState state;
    return state;
}

// The window the bar stands in while a menu is installed; first used after
// the screen library's state exists, so it goes before that state at exit.
std::unique_ptr<screenlib::TextWindow>& bar_window() {
    static std::unique_ptr<screenlib::TextWindow> window;
    return window;
}

// The key bar's window on the bottom row, made with the menu bar's.
std::unique_ptr<screenlib::TextWindow>& key_bar_window() {
    static std::unique_ptr<screenlib::TextWindow> window;
    return window;
}

constexpr const char* kKeyBarGap = "  ";

// Draws the key bar: each entry's keys in the letter colour, its label in
// the bar's; entries that do not fit whole are left out.
void draw_key_bar(screenlib::Backend& backend) {
    if (KEY_BAR_ROW >= backend.rows()) {
        return;
    }
    if (!key_bar_window()) {
        key_bar_window() =
            std::make_unique<screenlib::TextWindow>(KEY_BAR_ROW, 0, 1, backend.columns());
        // The bar lies beneath whatever else the host shows on that row: a
        // status text shown before the bar goes back on top of it.
        redraw_status();
    }
    screenlib::TextWindow& window = *key_bar_window();
    window.put_row(0, "", kBarAttribute);
    int column = 1;
    for (const KeyBarEntry& entry : key_bar_entries()) {
        const int width = static_cast<int>(entry.keys.size() + 1 + entry.label.size());
        if (column + width > window.columns()) {
            break;
        }
        window.put(0, column, entry.keys, letter_attribute());
        window.put(0, column + static_cast<int>(entry.keys.size()) + 1, entry.label, kBarAttribute);
        column += width + static_cast<int>(std::strlen(kKeyBarGap));
    }
    window.flush();
}

// A pull-down's lines: each entry's text, and its key after it, the keys
// in a column of their own.
std::vector<std::string> pull_down_lines(const MenuPullDown& pull) {
    size_t text_width = 0;
    for (const MenuItem& item : pull.items) {
        text_width = std::max(text_width, item.text.size());
    }
    std::vector<std::string> lines;
    for (const MenuItem& item : pull.items) {
        if (item.separator) {
            lines.emplace_back();
        } else if (item.key != 0) {
            lines.push_back(item.text + std::string(text_width - item.text.size(), ' ') +
                            kKeyBarGap + key_label(item.key));
        } else {
            lines.push_back(item.text);
        }
    }
    return lines;
}

// The first word of a text.
std::string first_word(const std::string& text) {
    return text.substr(0, text.find(' '));
}

void deliver(int command) {
    MenuBarState& state = bar();
    state.commands.push_back(command);
    if (state.callback != nullptr) {
        state.callback(command);
    }
}

// The menu whose Alt-letter this key is, or -1.
int menu_of_alt_key(int key) {
    const std::vector<MenuPullDown>& menus = bar().menu.menus;
    for (size_t m = 0; m < menus.size(); ++m) {
        const char name[4] = {'A', '-', static_cast<char>(std::tolower(menus[m].letter)), '\0'};
        if (screenlib::parse_key(name) == key) {
            return static_cast<int>(m);
        }
    }
    return -1;
}

int command_of_key(int key, int* command) {
    const MenuFile& menu = bar().menu;
    for (const MenuPullDown& pull : menu.menus) {
        for (const MenuItem& item : pull.items) {
            if (!item.separator && item.key == key) {
                *command = item.command;
                return 1;
            }
        }
    }
    const std::vector<MenuKey>* key_lists[] = {&menu.keys, &bar().host_keys};
    for (const std::vector<MenuKey>* keys : key_lists) {
        for (const MenuKey& direct : *keys) {
            if (direct.key == key) {
                *command = direct.command;
                return 1;
            }
        }
    }
    return 0;
}

// Runs the pull-downs from menu m until one entry is chosen or the operator
// leaves; Left/Right move to the neighbouring pull-down.
void run_pull_downs(int m) {
    MenuBarState& state = bar();
    const int count = static_cast<int>(state.menu.menus.size());
    for (;;) {
        const MenuPullDown& pull = state.menu.menus[static_cast<size_t>(m)];
        ChoicePopup popup;
        popup.regular = state.style.regular;
        popup.second = state.style.second;
        popup.third = state.style.third;
        popup.border = state.style.border;
        popup.row = MENU_BAR_ROW + 1;
        popup.column = pull.column - 1;
        popup.sideways = true;
        popup.entries = pull_down_lines(pull);
        for (const MenuItem& item : pull.items) {
            popup.letters.push_back(item.letter);
            popup.letter_positions.push_back(item.separator ? -1 : item.letter_position);
        }
        state.open_menu = m;
        menubar_draw();
        const int chosen = run_choice_popup(popup);
        state.open_menu = -1;
        menubar_draw();
        if (chosen == CHOICE_LEFT || chosen == CHOICE_RIGHT) {
            m = (m + (chosen == CHOICE_LEFT ? count - 1 : 1)) % count;
            continue;
        }
        if (chosen >= 0) {
            deliver(pull.items[static_cast<size_t>(chosen)].command);
        }
        return;
    }
}

}  // namespace

void menubar_draw() {
    const MenuBarState& state = bar();
    screenlib::Backend* backend = screenlib::backend();
    if (!state.installed || backend == nullptr) {
        return;
    }
    if (!bar_window()) {
        bar_window() =
            std::make_unique<screenlib::TextWindow>(MENU_BAR_ROW, 0, 1, backend->columns());
    }
    std::vector<screenlib::Cell> cells(static_cast<size_t>(backend->columns()),
                                       screenlib::Cell{' ', kBarAttribute});
    for (size_t m = 0; m < state.menu.menus.size(); ++m) {
        const MenuPullDown& pull = state.menu.menus[m];
        const bool open = static_cast<int>(m) == state.open_menu;
        const size_t first = static_cast<size_t>(pull.column) - 1;
        for (size_t i = 0; i < pull.title.size() + 2 && first + i < cells.size(); ++i) {
            const char c = i == 0 || i > pull.title.size() ? ' ' : pull.title[i - 1];
            // The title stands after one blank: its letter at cell position + 1.
            const bool letter = static_cast<int>(i) == pull.letter_position + 1;
            cells[first + i] = {c, open     ? kOpenAttribute
                                   : letter ? letter_attribute()
                                            : kBarAttribute};
        }
    }
    for (size_t i = 0; i < cells.size(); ++i) {
        bar_window()->put(0, static_cast<int>(i), std::string_view(&cells[i].character, 1),
                          cells[i].attribute);
    }
    bar_window()->flush();
    draw_key_bar(*backend);
}

std::vector<KeyBarEntry> key_bar_entries() {
    const MenuBarState& state = bar();
    std::vector<KeyBarEntry> entries;
    if (!state.installed) {
        return entries;
    }
    std::vector<const MenuItem*> keyed;
    for (const MenuPullDown& pull : state.menu.menus) {
        for (const MenuItem& item : pull.items) {
            if (!item.separator && item.key != 0) {
                keyed.push_back(&item);
            }
        }
    }
    // Function keys first, in their order; other keys as the file has them.
    auto function_key = [](int key) {
        return key >= KEY_F1 && key <= KEY_F10 && (key & 0xFF) == 0;
    };
    std::stable_sort(keyed.begin(), keyed.end(), [&](const MenuItem* a, const MenuItem* b) {
        if (function_key(a->key) != function_key(b->key)) {
            return function_key(a->key);
        }
        return function_key(a->key) && a->key < b->key;
    });
    for (const MenuItem* item : keyed) {
        entries.push_back({key_label(item->key), first_word(item->text)});
    }
    entries.insert(entries.end(), state.host_bar_keys.begin(), state.host_bar_keys.end());
    return entries;
}

void set_key_bar_host_keys(const std::vector<KeyBarEntry>& keys) {
    bar().host_bar_keys = keys;
    menubar_draw();
}

void set_menu_language(int language) {
    MenuBarState& state = bar();
    state.language = language;
    if (state.installed) {
        state.menu = menu_in_language(state.file, language);
        menubar_draw();
    }
}

std::string key_label(int key) {
    std::string name = screenlib::key_name(key);
    if (name.size() > 2 && name.front() == '<' && name.back() == '>') {
        name = name.substr(1, name.size() - 2);
    }
    if (name.size() == 3 && name[1] == '-' && (name[0] == 'C' || name[0] == 'A')) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[2])));
        return std::string(name[0] == 'C' ? "Ctrl-" : "Alt-") + letter;
    }
    return name;
}

bool menubar_installed() {
    return bar().installed;
}

MenuFile menubar_menu() {
    return bar().menu;
}

std::vector<int> menubar_commands() {
    return bar().commands;
}

void reset_menubar() {
    bar() = MenuBarState{};
}

std::string menubar_error() {
    return bar().error;
}

void set_pull_down_style(const ChoicePopup& style) {
    bar().style = style;
}

void set_host_keys(const std::vector<MenuKey>& keys) {
    bar().host_keys = keys;
}

std::string menubar_closing_screen() {
    return bar().closing_screen;
}

void menubar_forget_closing_screen() {
    bar().closing_screen.clear();
}

}  // namespace hostlibs

namespace hostlibs {
namespace {

// Records why the menu did not load in the error log, as "FILE: line N: reason".
void log_menu_failure(const std::string& why) {
    log_host_failure("MENUBAR", kMenuFileFailed, why);
}

}  // namespace
}  // namespace hostlibs

namespace {

int open_menu_bar(const char* menu_path, MenuCommandFn callback) {
    using namespace hostlibs;
    MenuBarState& state = bar();
    std::string text;
    MenuFile menu;
    std::string error;
    if (!read_host_file(menu_path, &text, &error)) {
        state.error = "menu file: " + error;
        log_menu_failure(state.error);
        return 0;
    }
    if (!parse_menu(text, &menu, &error)) {
        state.error = native_name(menu_path) + ": " + error;
        log_menu_failure(state.error);
        return 0;
    }
    state.file = std::move(menu);
    state.menu = menu_in_language(state.file, state.language);
    state.callback = callback;
    state.installed = true;
    state.error.clear();
    menubar_draw();
    return 1;
}

int menu_bar_key(int key) {
    using namespace hostlibs;
    MenuBarState& state = bar();
    if (!state.installed || state.open_menu >= 0) {
        return 0;
    }
    int command = 0;
    if (command_of_key(key, &command)) {
        deliver(command);
        return 1;
    }
    if (state.menu.menus.empty()) {
        return 0;
    }
    const int m = key == KEY_F10 ? 0 : menu_of_alt_key(key);
    if (m < 0) {
        return 0;
    }
    run_pull_downs(m);
    return 1;
}

void close_menu_bar(void) {
    using namespace hostlibs;
    MenuBarState& state = bar();
    if (screenlib::Backend* backend = screenlib::backend()) {
        state.closing_screen = backend->text();
        // The bars go with the menu: the next module draws its own.
        key_bar_window().reset();
        bar_window().reset();
        backend->flush();
    }
    state.installed = false;
    state.callback = nullptr;
    state.file = MenuFile{};
    state.menu = MenuFile{};
}

}  // namespace

// The C interface: nothing thrown inside gets out.
int menubar_open(const char* menu_path, MenuCommandFn callback) {
    return hostlibs::detail::guarded(0, [&] { return open_menu_bar(menu_path, callback); });
}

int menubar_key(int key) {
    return hostlibs::detail::guarded(0, [&] { return menu_bar_key(key); });
}

void menubar_close(void) {
    hostlibs::detail::guarded([&] { close_menu_bar(); });
}
