// Parsing menu files: pull-downs with their entries, direct keys and the
// command numbers they deliver (docs/menu-files.md).
#include <cctype>
#include <charconv>
#include <set>

#include "help/text_file.h"
#include "hostlibs/menubar.h"
#include "screenlib/screenlib.h"

namespace hostlibs {
namespace {

constexpr int kBarWidth = SCREEN_COLUMNS;
constexpr int kBarFirstColumn = 1;

// Takes the '~' mark out of a text and gives the marked letter, upper case
// (the first letter or digit when nothing is marked).
bool take_mark(std::string_view marked, std::string* text, int* letter, std::string* error,
               int* position = nullptr) {
    text->clear();
    *letter = 0;
    int at = -1;
    for (size_t i = 0; i < marked.size(); ++i) {
        if (marked[i] == '~') {
            if (i + 1 >= marked.size() ||
                !std::isalnum(static_cast<unsigned char>(marked[i + 1]))) {
                *error = "'~' must stand before a letter or digit";
                return false;
            }
            if (*letter != 0) {
                *error = "more than one '~' mark";
                return false;
            }
            *letter = std::toupper(static_cast<unsigned char>(marked[i + 1]));
            at = static_cast<int>(text->size());
            continue;
        }
        text->push_back(marked[i]);
    }
    if (text->empty()) {
        *error = "empty text";
        return false;
    }
    if (text->size() > MENU_MAX_TEXT) {
        *error = "text longer than " + std::to_string(MENU_MAX_TEXT) + " characters";
        return false;
    }
    if (*letter == 0) {
        for (size_t i = 0; i < text->size(); ++i) {
            if (std::isalnum(static_cast<unsigned char>((*text)[i]))) {
                *letter = std::toupper(static_cast<unsigned char>((*text)[i]));
                at = static_cast<int>(i);
                break;
            }
        }
    }
    if (position != nullptr) {
        *position = at;
    }
    return true;
}

bool parse_command(std::string_view token, int* command) {
    const char* end = token.data() + token.size();
    auto [ptr, ec] = std::from_chars(token.data(), end, *command);
    return ec == std::errc() && ptr == end;
}

// Reads "<Name>" as a key code.
bool parse_key_token(std::string_view token, int* key, std::string* error) {
    if (token.size() < 3 || token.front() != '<' || token.back() != '>') {
        *error = "a key is written in angle brackets, like <F2>";
        return false;
    }
    *key = screenlib::parse_key(token.substr(1, token.size() - 2));
    if (*key < 0) {
        *error = "unknown key " + std::string(token);
        return false;
    }
    return true;
}

// Splits "TEXT [<Key>] COMMAND" from the end: the command, then an optional key.
bool parse_entry(std::string_view rest, std::string_view* text, int* key, int* command,
                 std::string* error) {
    rest = trim(rest);
    size_t space = rest.find_last_of(" \t");
    if (space == std::string_view::npos || !parse_command(rest.substr(space + 1), command)) {
        *error = "expected a command number at the end";
        return false;
    }
    rest = trim(rest.substr(0, space));
    *key = 0;
    if (!rest.empty() && rest.back() == '>') {
        size_t open = rest.find_last_of('<');
        if (open == std::string_view::npos) {
            *error = "a key is written in angle brackets, like <F2>";
            return false;
        }
        if (!parse_key_token(rest.substr(open), key, error)) {
            return false;
        }
        rest = trim(rest.substr(0, open));
    }
    *text = rest;
    return true;
}

// Where a `label` line goes: the last title or entry, if a line gave one.
struct LabelTarget {
    MenuLabels* labels = nullptr;
};

bool parse_label(std::string_view rest, const LabelTarget& target, std::string* error) {
    if (target.labels == nullptr) {
        *error = "a label follows a menu or an item";
        return false;
    }
    const size_t space = rest.find_first_of(" \t");
    int language = 0;
    if (space == std::string_view::npos || !parse_command(rest.substr(0, space), &language) ||
        language < 1 || language > 99) {
        *error = "expected: label LANGUAGE TEXT, the language a number from 1 to 99";
        return false;
    }
    const std::string_view marked = trim(rest.substr(space));
    std::string text;
    int letter = 0;
    if (!take_mark(marked, &text, &letter, error)) {
        return false;
    }
    if (!target.labels->emplace(language, std::string(marked)).second) {
        *error = "label given twice for language " + std::to_string(language);
        return false;
    }
    return true;
}

bool parse_line(std::string_view line, MenuFile* menu, std::set<int>* keys, std::set<int>* letters,
                LabelTarget* target, std::string* error) {
    line = trim(line);
    if (line.empty() || line.front() == '#') {
        return true;
    }
    size_t space = line.find_first_of(" \t");
    std::string_view word = line.substr(0, space);
    std::string_view rest = space == std::string_view::npos ? "" : trim(line.substr(space));
    int key = 0;
    int command = 0;
    if (word == "label") {
        return parse_label(rest, *target, error);
    }
    target->labels = nullptr;
    if (word == "menu") {
        MenuPullDown pull;
        if (!take_mark(rest, &pull.title, &pull.letter, error, &pull.letter_position)) {
            return false;
        }
        if (pull.letter == 0 || !letters->insert(pull.letter).second) {
            *error = "the menu needs a letter of its own for Alt";
            return false;
        }
        pull.marked = std::string(rest);
        menu->menus.push_back(std::move(pull));
        target->labels = &menu->menus.back().labels;
        return true;
    }
    if (word == "item" || word == "separator") {
        if (menu->menus.empty()) {
            *error = "an entry before the first menu";
            return false;
        }
        MenuItem item;
        if (word == "separator") {
            if (!rest.empty()) {
                *error = "separator takes nothing after it";
                return false;
            }
            item.separator = true;
        } else {
            std::string_view text;
            if (!parse_entry(rest, &text, &item.key, &item.command, error) ||
                !take_mark(text, &item.text, &item.letter, error, &item.letter_position)) {
                return false;
            }
            item.marked = std::string(text);
        }
        if (item.key != 0 && !keys->insert(item.key).second) {
            *error = "key given twice";
            return false;
        }
        menu->menus.back().items.push_back(std::move(item));
        if (!menu->menus.back().items.back().separator) {
            target->labels = &menu->menus.back().items.back().labels;
        }
        return true;
    }
    if (word == "key") {
        std::string_view text;
        if (!parse_entry(rest, &text, &key, &command, error)) {
            return false;
        }
        if (key == 0 || !text.empty()) {
            *error = "expected: key <Name> COMMAND";
            return false;
        }
        if (!keys->insert(key).second) {
            *error = "key given twice";
            return false;
        }
        menu->keys.push_back({key, command});
        return true;
    }
    *error = "unknown directive '" + std::string(word) + "'";
    return false;
}

// Takes the texts of one language and lays the titles out on the bar: each
// needs a letter of its own for Alt, and all must fit.
bool localize(MenuFile* menu, int language, std::string* error) {
    auto label = [language](const std::string& marked, const MenuLabels& labels) {
        const auto found = labels.find(language);
        return found != labels.end() ? found->second : marked;
    };
    std::set<int> letters;
    int column = kBarFirstColumn;
    for (MenuPullDown& pull : menu->menus) {
        if (!take_mark(label(pull.marked, pull.labels), &pull.title, &pull.letter, error,
                       &pull.letter_position)) {
            return false;
        }
        if (pull.letter == 0 || !letters.insert(pull.letter).second) {
            *error = "the menu '" + pull.title + "' needs a letter of its own for Alt";
            return false;
        }
        pull.column = column + 1;
        column += static_cast<int>(pull.title.size()) + 2;
        for (MenuItem& item : pull.items) {
            if (!item.separator && !take_mark(label(item.marked, item.labels), &item.text,
                                              &item.letter, error, &item.letter_position)) {
                return false;
            }
        }
    }
    if (column > kBarWidth) {
        *error = "the menu titles do not fit on the bar";
        return false;
    }
    return true;
}

// The languages that some label names.
std::set<int> label_languages(const MenuFile& menu) {
    std::set<int> languages;
    for (const MenuPullDown& pull : menu.menus) {
        for (const auto& [language, text] : pull.labels) {
            languages.insert(language);
        }
        for (const MenuItem& item : pull.items) {
            for (const auto& [language, text] : item.labels) {
                languages.insert(language);
            }
        }
    }
    return languages;
}

}  // namespace

bool parse_menu(const std::string& text, MenuFile* menu, std::string* error) {
    MenuFile parsed;
    std::set<int> keys;
    std::set<int> letters;
    LabelTarget target;
    std::string reason;
    int number = 0;
    for (const std::string& line : split_lines(text)) {
        ++number;
        if (!parse_line(line, &parsed, &keys, &letters, &target, &reason)) {
            *error = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
    }
    if (parsed.menus.empty() && parsed.keys.empty()) {
        *error = "no menus and no keys";
        return false;
    }
    for (const MenuPullDown& pull : parsed.menus) {
        if (pull.items.empty()) {
            *error = "menu '" + pull.title + "' has no entries";
            return false;
        }
    }
    // Every language the file names must make a bar that works.
    for (int language : label_languages(parsed)) {
        MenuFile localized = parsed;
        if (!localize(&localized, language, &reason)) {
            *error = "language " + std::to_string(language) + ": " + reason;
            return false;
        }
    }
    if (!localize(&parsed, 0, error)) {
        return false;
    }
    *menu = std::move(parsed);
    return true;
}

MenuFile menu_in_language(const MenuFile& menu, int language) {
    MenuFile localized = menu;
    std::string ignored;
    // A parsed menu lays out in each of its languages; one that did not
    // would keep its first texts.
    if (!localize(&localized, language, &ignored)) {
        return menu;
    }
    return localized;
}

}  // namespace hostlibs
