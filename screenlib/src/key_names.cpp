// Key codes and their names in the key-script notation.
#include <array>
#include <cctype>
#include <cstdio>
#include <string>

#include "platform/bounded_read.h"
#include "platform/code_page.h"
#include "screen_model.h"

namespace {

struct NamedKey {
    std::string_view name;
    int code;
};

// Named keys; the first name of a code is the one key_name() gives.
constexpr std::array kNamedKeys = {
    NamedKey{"Enter", KEY_ENTER},
    NamedKey{"Esc", KEY_ESCAPE},
    NamedKey{"Tab", KEY_TAB},
    NamedKey{"S-Tab", KEY_SHIFT_TAB},
    NamedKey{"Up", KEY_UP},
    NamedKey{"Down", KEY_DOWN},
    NamedKey{"Left", KEY_LEFT},
    NamedKey{"Right", KEY_RIGHT},
    NamedKey{"PgUp", KEY_PAGE_UP},
    NamedKey{"PgDn", KEY_PAGE_DOWN},
    NamedKey{"Home", KEY_HOME},
    NamedKey{"End", KEY_END},
    NamedKey{"Ins", KEY_INSERT},
    NamedKey{"Del", KEY_DELETE},
    NamedKey{"BS", KEY_BACKSPACE},
    NamedKey{"F1", KEY_F1},
    NamedKey{"F2", KEY_F2},
    NamedKey{"F3", KEY_F3},
    NamedKey{"F4", KEY_F4},
    NamedKey{"F5", KEY_F5},
    NamedKey{"F6", KEY_F6},
    NamedKey{"F7", KEY_F7},
    NamedKey{"F8", KEY_F8},
    NamedKey{"F9", KEY_F9},
    NamedKey{"F10", KEY_F10},
    NamedKey{"Accept", KEY_ACCEPT},
    NamedKey{"Space", 0x3920},
    NamedKey{"lt", 0x333C},
    NamedKey{"Escape", KEY_ESCAPE},
    NamedKey{"PageUp", KEY_PAGE_UP},
    NamedKey{"PageDown", KEY_PAGE_DOWN},
    NamedKey{"Backspace", KEY_BACKSPACE},
    NamedKey{"Delete", KEY_DELETE},
    NamedKey{"Insert", KEY_INSERT},
};

// PC scan codes of the printable characters 0x20..0x7E (US layout).
constexpr std::array<uint8_t, 95> kScanCodes = {
    0x39, 0x02, 0x28, 0x04, 0x05, 0x06, 0x08, 0x28, 0x0A, 0x0B,
    0x09, 0x0D, 0x33, 0x0C, 0x34, 0x35,                          // ' '../
    0x0B, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,  // 0..9
    0x27, 0x27, 0x33, 0x0D, 0x34, 0x35, 0x03,                    // :..@
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24,
    0x25, 0x26, 0x32, 0x31, 0x18, 0x19,                          // A..P
    0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C,  // Q..Z
    0x1A, 0x2B, 0x1B, 0x07, 0x0C, 0x29,                          // [..`
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24,
    0x25, 0x26, 0x32, 0x31, 0x18, 0x19,                          // a..p
    0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C,  // q..z
    0x1A, 0x2B, 0x1B, 0x29,                                      // {..~
};

int scan_code(char ch) {
    return kScanCodes[static_cast<std::size_t>(ch - 0x20)];
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool parse_number(std::string_view text, int* value) {
    if (text.empty() || text.size() > 3) {
        return false;
    }
    int result = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') {
            return false;
        }
        result = result * 10 + (ch - '0');
    }
    *value = result;
    return true;
}

// "PREFIXROW,COLUMN" with numbers below 256.
bool parse_place(std::string_view name, std::string_view prefix, int* row, int* column) {
    if (name.size() <= prefix.size() ||
        !equal_ignoring_case(name.substr(0, prefix.size()), prefix)) {
        return false;
    }
    const std::string_view place = name.substr(prefix.size());
    const auto comma = place.find(',');
    return comma != std::string_view::npos && parse_number(place.substr(0, comma), row) &&
           parse_number(place.substr(comma + 1), column) && *row < 256 && *column < 256;
}

// "<NAME>", built by appending (GCC 12 misreads the operator+ chain at -O3).
std::string bracketed(std::string_view name) {
    std::string text;
    text.reserve(name.size() + 2);
    text.push_back('<');
    text.append(name);
    text.push_back('>');
    return text;
}

// A part of a script quoted in a message, cut so a long script cannot make
// a long message.
std::string quoted_part(std::string_view part) {
    constexpr std::size_t kShown = 40;
    return part.size() <= kShown ? std::string(part) : std::string(part.substr(0, kShown)) + "...";
}

// The code-page byte of a name that is one UTF-8 character beyond ASCII
// which the page holds; -1 otherwise.
int page_character(std::string_view name) {
    char32_t code_point = 0;
    std::size_t length = 0;
    if (!code_page::decode_utf8(name, 0, &code_point, &length) || length != name.size() ||
        length < 2) {
        return -1;
    }
    const int byte = code_page::from_unicode(code_point);
    return byte >= 0 && code_page::is_character(static_cast<unsigned char>(byte)) ? byte : -1;
}

// The key of the UTF-8 character at script[at], its length in *length; -1
// with the reason when it is not UTF-8 or not a character of the page.
int parse_page_character(std::string_view script, std::size_t at, std::size_t* length,
                         std::string* error) {
    char32_t code_point = 0;
    if (!code_page::decode_utf8(script, at, &code_point, length)) {
        char text[8];
        std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned char>(script[at]));
        if (error) {
            *error = std::string("byte ") + text + " is not UTF-8; a key script is UTF-8 text";
        }
        return -1;
    }
    const int key = page_character(script.substr(at, *length));
    if (key < 0 && error) {
        char text[16];
        std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code_point));
        *error = "character '" + std::string(script.substr(at, *length)) + "' (" + text +
                 ") is not in the code page " + code_page::kName;
    }
    return key;
}

}  // namespace

namespace screenlib {

int parse_key(std::string_view name) {
    if (name.size() == 1) {
        const char ch = name[0];
        if (ch < 0x20 || ch > 0x7E) {
            return -1;
        }
        return (scan_code(ch) << 8) | static_cast<unsigned char>(ch);
    }
    if (const int byte = page_character(name); byte >= 0) {
        return byte;  // no scan code: a US keyboard has no such key
    }
    for (const NamedKey& key : kNamedKeys) {
        if (key.name == "lt" ? name == "lt" : equal_ignoring_case(key.name, name)) {
            return key.code;
        }
    }
    if (name.size() == 3 && name[1] == '-' && std::isalpha(static_cast<unsigned char>(name[2]))) {
        const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(name[2])));
        const int scan = scan_code(letter) << 8;
        if (name[0] == 'A' || name[0] == 'a') {
            return scan;
        }
        if (name[0] == 'C' || name[0] == 'c') {
            return scan | (letter - 'a' + 1);
        }
    }
    // Click:ROW,COLUMN, a mouse click at a screen cell; Resize:ROWS,COLUMNS,
    // the terminal made that size.
    int row = 0;
    int column = 0;
    if (parse_place(name, "Click:", &row, &column)) {
        return mouse_click_key(row, column);
    }
    if (parse_place(name, "Resize:", &row, &column) && row > 0 && column > 0) {
        return resize_key(row, column);
    }
    // Wait:MS, a pause of MS milliseconds.
    constexpr std::string_view kWait = "Wait:";
    if (name.size() > kWait.size() && name.size() <= kWait.size() + 6 &&
        equal_ignoring_case(name.substr(0, kWait.size()), kWait)) {
        int milliseconds = 0;
        for (char ch : name.substr(kWait.size())) {
            if (ch < '0' || ch > '9') {
                return -1;
            }
            milliseconds = milliseconds * 10 + (ch - '0');
        }
        return milliseconds <= kMaxWaitMs ? wait_key(milliseconds) : -1;
    }
    return -1;
}

bool parse_key_script(std::string_view script, std::vector<int>* keys, std::string* error) {
    if (script.size() > kMaxKeyScriptBytes) {
        if (error) {
            *error = "key script longer than " + size_text(kMaxKeyScriptBytes);
        }
        return false;
    }
    std::vector<int> parsed;
    for (std::size_t i = 0; i < script.size(); ++i) {
        const char ch = script[i];
        if (static_cast<unsigned char>(ch) >= 0x80) {
            // A script is UTF-8: a character of the code page is its byte.
            std::size_t length = 0;
            const int key = parse_page_character(script, i, &length, error);
            if (key < 0) {
                return false;
            }
            parsed.push_back(key);
            i += length - 1;
            continue;
        }
        if (ch == '<') {
            const auto close = script.find('>', i + 1);
            if (close == std::string_view::npos) {
                if (error) {
                    *error = "unterminated key name '" + quoted_part(script.substr(i)) +
                             "' in key script";
                }
                return false;
            }
            const std::string_view name = script.substr(i + 1, close - i - 1);
            const int key = parse_key(name);
            if (key < 0) {
                if (error) {
                    *error = "unknown key name '<" + quoted_part(name) + ">' in key script";
                }
                return false;
            }
            parsed.push_back(key);
            i = close;
            continue;
        }
        const int key = parse_key(std::string_view(&script[i], 1));
        if (key < 0) {
            char text[8];
            std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned char>(ch));
            if (error) {
                *error = std::string("character ") + text +
                         " cannot stand in a key script; name the key";
            }
            return false;
        }
        parsed.push_back(key);
    }
    if (keys) {
        *keys = std::move(parsed);
    }
    return true;
}

std::string key_name(int key) {
    if (is_wait(key)) {
        return bracketed("Wait:" + std::to_string(wait_milliseconds(key)));
    }
    if (is_mouse_click(key) || is_resize(key)) {
        return bracketed((is_resize(key) ? "Resize:" : "Click:") +
                         std::to_string((key >> 8) & 0xFF) + "," + std::to_string(key & 0xFF));
    }
    const int ch = key & 0xFF;
    if (key == 0x333C) {
        return "<lt>";
    }
    if (ch >= 0x21 && ch <= 0x7E) {
        return std::string(1, static_cast<char>(ch));
    }
    if (key >= 0xA0 && key <= 0xFF) {
        return code_page::to_utf8(std::string(1, static_cast<char>(key)));
    }
    for (const NamedKey& named : kNamedKeys) {
        if (named.code == key) {
            return bracketed(named.name);
        }
    }
    const int scan = (key >> 8) & 0xFF;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        if (scan_code(letter) != scan) {
            continue;
        }
        if (ch == 0) {
            return bracketed(std::string("A-").append(1, letter));
        }
        if (ch == letter - 'a' + 1) {
            return bracketed(std::string("C-").append(1, letter));
        }
    }
    char text[16];
    std::snprintf(text, sizeof text, "<0x%04X>", key & 0xFFFF);
    return text;
}

}  // namespace screenlib

extern "C" int key_char(int key) {
    if (screenlib::is_mouse_click(key) || screenlib::is_resize(key) || screenlib::is_wait(key)) {
        return 0;
    }
    return key & 0xFF;
}
