// Choice lists in a popup of the screen library: the menu bar's pull-downs
// and the host's own menus.
#include <algorithm>
#include <cctype>
#include <vector>

#include "hostlibs/menubar.h"
#include "platform/screen_library.h"
#include "screenlib/screenlib.h"

namespace hostlibs {
namespace {

constexpr int kResultLeft = 1000;
constexpr int kResultRight = 1001;
constexpr int kMaxEntries = 22;

// The popup being run; popups of this kind do not nest.
const ChoicePopup* g_running = nullptr;

int entry_count() {
    return std::min<int>(static_cast<int>(g_running->entries.size()), kMaxEntries);
}

bool selectable(int n) {
    return n >= 0 && n < entry_count() && !g_running->entries[static_cast<size_t>(n)].empty();
}

void choose(Screen* screen, int result) {
    screen_set_result(screen, result);
    screen_exit(screen);
}

int choice_keys(Screen* screen, int key) {
    if (key == KEY_ENTER || key == KEY_ACCEPT) {
        choose(screen, screen_field_no(screen) + 1);
        return 1;
    }
    if (g_running->sideways && (key == KEY_LEFT || key == KEY_RIGHT)) {
        choose(screen, key == KEY_LEFT ? kResultLeft : kResultRight);
        return 1;
    }
    if (key == KEY_HOME || key == KEY_END) {
        const int count = entry_count();
        for (int i = 0; i < count; ++i) {
            const int n = key == KEY_HOME ? i : count - 1 - i;
            if (selectable(n)) {
                screen_goto_field(screen, n);
                break;
            }
        }
        return 1;
    }
    if (key == KEY_ESCAPE || key == KEY_UP || key == KEY_DOWN || key == KEY_TAB ||
        key == KEY_SHIFT_TAB) {
        return 0;  // the screen library leaves or moves
    }
    // A letter of one entry chooses it; a letter that several entries share
    // moves the cursor to the next of them.
    const int letter = std::toupper(key_char(key));
    std::vector<int> matches;
    for (int n = 0; letter != 0 && n < entry_count(); ++n) {
        const size_t index = static_cast<size_t>(n);
        if (selectable(n) && index < g_running->letters.size() &&
            g_running->letters[index] == letter) {
            matches.push_back(n);
        }
    }
    if (matches.size() == 1) {
        choose(screen, matches.front() + 1);
    } else if (!matches.empty()) {
        const int current = screen_field_no(screen);
        const auto next = std::upper_bound(matches.begin(), matches.end(), current);
        screen_goto_field(screen, next != matches.end() ? *next : matches.front());
    }
    return 1;  // nothing else edits an entry
}

}  // namespace

int menu_add_field(Menu* menu, int row, int column, int width, char* variable,
                   const FieldFunctions* functions) {
    // The template is part of the format itself: "@f[###]" is not expanded.
    const std::string format = "@p[" + std::to_string(row) + "," + std::to_string(column) + "]@f[" +
                               std::string(static_cast<size_t>(std::max(width, 1)), '#') + "]";
    return menu_printf(menu, format.c_str(), variable, functions);
}

std::string menu_literal(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        escaped += c;
        if (c == '@') {
            escaped += '@';
        }
    }
    return escaped;
}

int run_choice_popup(const ChoicePopup& popup) {
    const int count = std::min<int>(static_cast<int>(popup.entries.size()), kMaxEntries);
    if (count == 0 || g_running != nullptr) {
        return CHOICE_NONE;
    }
    size_t width = 1;
    for (int n = 0; n < count; ++n) {
        width = std::max(width, popup.entries[static_cast<size_t>(n)].size());
    }
    width = std::min<size_t>(width + 2, 76);
    Menu* menu = menu_open();
    if (menu == nullptr) {
        return CHOICE_NONE;
    }
    for (int n = 0; n < count; ++n) {
        menu_add_field(menu, n, 0, static_cast<int>(width), nullptr, &menu_field_funcs);
    }
    menu_flush(menu);
    Screen* screen = menu_screen(menu);
    if (screen == nullptr) {
        return CHOICE_NONE;
    }
    const int column =
        std::clamp(popup.column, 0, std::max(0, SCREEN_COLUMNS - static_cast<int>(width) - 2));
    screen_set_border(screen, bd_1);
    screen_set_position(screen, popup.row, column);
    screen_set_popup(screen, 1);
    screen_set_colors(screen, popup.regular, popup.second, popup.third);
    screen_set_border_color(screen, popup.border);
    screen_set_special(screen, &choice_keys);
    for (int n = 0; n < count; ++n) {
        const std::string& entry = popup.entries[static_cast<size_t>(n)];
        if (entry.empty()) {
            field_set_text(screen, std::string(width, '-').c_str(), n);
            field_mark(screen, n);
        } else {
            field_set_text(screen, (" " + entry).c_str(), n);
            const auto index = static_cast<size_t>(n);
            if (index < popup.letter_positions.size() && popup.letter_positions[index] >= 0) {
                screenlib::set_field_hot_letter(screen, n, popup.letter_positions[index] + 1);
            }
        }
    }
    g_running = &popup;
    // The cursor starts on an entry: the next one after a separator, or the
    // one before when only separators follow (the library would refuse the
    // separator and leave the cursor on the first entry).
    int start = std::clamp(popup.start, 0, count - 1);
    while (start < count - 1 && !selectable(start)) {
        ++start;
    }
    while (start > 0 && !selectable(start)) {
        --start;
    }
    screen_goto_field(screen, start);
    const int result = screen_run(screen);
    g_running = nullptr;
    screenlib::Backend* backend = screenlib::backend();
    if (popup.last_screen != nullptr && backend != nullptr) {
        *popup.last_screen = backend->text();
    }
    screen_close(screen);
    if (result == kResultLeft) {
        return CHOICE_LEFT;
    }
    if (result == kResultRight) {
        return CHOICE_RIGHT;
    }
    return result >= 1 && result <= count ? result - 1 : CHOICE_NONE;
}

}  // namespace hostlibs
