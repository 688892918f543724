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
bool take_mark(std::string_view marked, std::string* text, int* letter, std::string* error) {
    text->clear();
    *letter = 0;
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
        for (char c : *text) {
            if (std::isalnum(static_cast<unsigned char>(c))) {
                *letter = std::toupper(static_cast<unsigned char>(c));
                break;
            }
        }
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

bool parse_line(std::string_view line, MenuFile* menu, std::set<int>* keys, std::set<int>* letters,
                std::string* error) {
    line = trim(line);
    if (line.empty() || line.front() == '#') {
        return true;
    }
    size_t space = line.find_first_of(" \t");
    std::string_view word = line.substr(0, space);
    std::string_view rest = space == std::string_view::npos ? "" : trim(line.substr(space));
    int key = 0;
    int command = 0;
    if (word == "menu") {
        MenuPullDown pull;
        if (!take_mark(rest, &pull.title, &pull.letter, error)) {
            return false;
        }
        if (pull.letter == 0 || !letters->insert(pull.letter).second) {
            *error = "the menu needs a letter of its own for Alt";
            return false;
        }
        menu->menus.push_back(std::move(pull));
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
                !take_mark(text, &item.text, &item.letter, error)) {
                return false;
            }
        }
        if (item.key != 0 && !keys->insert(item.key).second) {
            *error = "key given twice";
            return false;
        }
        menu->menus.back().items.push_back(std::move(item));
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

}  // namespace

bool parse_menu(const std::string& text, MenuFile* menu, std::string* error) {
    MenuFile parsed;
    std::set<int> keys;
    std::set<int> letters;
    std::string reason;
    int number = 0;
    for (const std::string& line : split_lines(text)) {
        ++number;
        if (!parse_line(line, &parsed, &keys, &letters, &reason)) {
            *error = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
    }
    if (parsed.menus.empty() && parsed.keys.empty()) {
        *error = "no menus and no keys";
        return false;
    }
    int column = kBarFirstColumn;
    for (MenuPullDown& pull : parsed.menus) {
        pull.column = column + 1;
        column += static_cast<int>(pull.title.size()) + 2;
        if (pull.items.empty()) {
            *error = "menu '" + pull.title + "' has no entries";
            return false;
        }
    }
    if (column > kBarWidth) {
        *error = "the menu titles do not fit on the bar";
        return false;
    }
    *menu = std::move(parsed);
    return true;
}

}  // namespace hostlibs
