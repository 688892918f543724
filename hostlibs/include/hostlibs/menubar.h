// The menu bar as the host program and tests see it: the menu-file format
// (docs/menu-files.md), the bar's drawing hook and what it delivered.
// Modules use menubar_open, menubar_key and menubar_close of host_libraries.h.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/host_libraries.h"
#include "platform/screen_library.h"
#include "platform/screen_size.h"

namespace hostlibs {

enum : int { MENU_BAR_ROW = 0, KEY_BAR_ROW = SCREEN_ROWS - 1, MENU_MAX_TEXT = 40 };

// A title's or an entry's text in the languages its `label` lines give, as
// written (with the '~' mark); languages without one use the first text.
using MenuLabels = std::map<int, std::string>;

struct MenuItem {
    std::string text;          // without the '~' mark
    int letter = 0;            // the marked letter, upper case; 0 for none
    int letter_position = -1;  // where the letter stands in text
    int key = 0;               // direct key code, 0 for none
    int command = 0;
    bool separator = false;
    std::string marked;  // the first text, with its mark
    MenuLabels labels;
};

struct MenuPullDown {
    std::string title;         // without the '~' mark
    int letter = 0;            // Alt and this letter opens it
    int letter_position = -1;  // where the letter stands in title
    int column = 0;            // where the title stands on the bar
    std::vector<MenuItem> items;
    std::string marked;  // the first title, with its mark
    MenuLabels labels;
};

struct MenuKey {
    int key = 0;
    int command = 0;
};

struct MenuFile {
    std::vector<MenuPullDown> menus;
    std::vector<MenuKey> keys;  // direct keys without a menu entry
};

// A list of entries in a framed popup of the screen library: Up/Down move,
// Enter or an entry's letter chooses, Escape leaves.
struct ChoicePopup {
    int row = 1;  // top-left corner of the frame
    int column = 0;
    std::vector<std::string> entries;  // an empty entry is a separator line
    std::vector<int> letters;          // per entry, upper case; 0 for none
    // Per entry, where its letter stands in it, shown marked; -1 (or none
    // given) for no mark.
    std::vector<int> letter_positions;
    int start = 0;           // the entry the cursor starts on
    bool sideways = false;   // Left/Right leave with CHOICE_LEFT/CHOICE_RIGHT
    uint8_t regular = 0x70;  // frame inside
    uint8_t second = 0x70;   // entries
    uint8_t third = 0x1F;    // the entry under the cursor
    uint8_t border = 0x70;
    // When set (headless only): the screen as it stood when the popup ended.
    std::string* last_screen = nullptr;
};

enum : int { CHOICE_NONE = -1, CHOICE_LEFT = -2, CHOICE_RIGHT = -3 };

// The index of the chosen entry, or a CHOICE_ value.
HOSTLIB_API int run_choice_popup(const ChoicePopup& popup);

// Adds a field of `width` record positions at (row, column) to a menu
// being built; menu_printf's result.
HOSTLIB_API int menu_add_field(Menu* menu, int row, int column, int width, char* variable,
                               const FieldFunctions* functions);

// Escapes a text for menu_printf's "%s" so that it shows as it stands.
HOSTLIB_API std::string menu_literal(const std::string& text);

// Parses the text of a menu file; false with "line N: reason" in *error.
// Its titles and entries are those of the first texts.
HOSTLIB_API bool parse_menu(const std::string& text, MenuFile* menu, std::string* error);
// The menu with the titles and entries of a language (the first texts where
// a label for it is missing), the titles laid out on the bar anew.
HOSTLIB_API MenuFile menu_in_language(const MenuFile& menu, int language);

// The menu's language from now on (the user's); the bar and the key bar
// follow at once. Kept until reset_menubar.
HOSTLIB_API void set_menu_language(int language);

// One entry of the key bar on the bottom row: a key's name and what it does.
struct KeyBarEntry {
    std::string keys;   // "F10", "PgUp/PgDn"
    std::string label;  // "Menu"
};
// The key bar of the installed menu: each entry's direct key (F-keys in
// their order) with the first word of its text, then the host's own keys.
HOSTLIB_API std::vector<KeyBarEntry> key_bar_entries();
// The host's own keys, shown after the menu's; kept until reset_menubar.
HOSTLIB_API void set_key_bar_host_keys(const std::vector<KeyBarEntry>& keys);
// A key code as the key bar and the pull-downs name it: "F2", "Ctrl-Q", "Alt-P".
HOSTLIB_API std::string key_label(int key);

// The colours (and nothing else) of `style` are used for the pull-downs
// from now on; kept until reset_menubar.
HOSTLIB_API void set_pull_down_style(const ChoicePopup& style);

// The host's own keys (its hot keys, commands 80 to 99), delivered in every
// module's menu after the module's own keys. Kept until reset_menubar.
HOSTLIB_API void set_host_keys(const std::vector<MenuKey>& keys);

// Draws the installed menu's bar on the top row (nothing when none is installed).
HOSTLIB_API void menubar_draw();
HOSTLIB_API bool menubar_installed();
// The installed menu (empty when none).
HOSTLIB_API MenuFile menubar_menu();
// Commands delivered to the callback since the last reset, in order.
HOSTLIB_API std::vector<int> menubar_commands();
// Removes the menu and forgets delivered commands and the last failure.
HOSTLIB_API void reset_menubar();
// The headless screen's text as it stood when menubar_close was last called
// (the module's window is still up then); empty when there was none.
HOSTLIB_API std::string menubar_closing_screen();
HOSTLIB_API void menubar_forget_closing_screen();
// Why the last menubar_open failed ("" after a success).
HOSTLIB_API std::string menubar_error();

}  // namespace hostlibs
