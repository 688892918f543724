// The library's inner model of screens, fields and screen files. Only the
// library's own sources include this header.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/screen_library.h"
#include "screenlib/screenlib.h"

namespace screenlib::detail {

enum class FieldKind { String, Masked, Choice };

// A character as a cell shows it: the code page's control bytes become blanks.
inline char shown_character(char ch) {
    return code_page::is_character(static_cast<unsigned char>(ch)) ? ch : ' ';
}

// One field of a screen. The record text holds record_length characters and a
// terminator; a template maps each display cell to a record position or to a
// literal character shown as it stands.
struct Field {
    int row = 0;     // inside the window
    int column = 0;  // inside the window
    FieldKind kind = FieldKind::String;
    const FieldFunctions* functions = nullptr;
    int value = 0;
    bool display_only = false;
    char* variable = nullptr;
    std::vector<char> record;  // record_length characters + terminator
    // Display cells: -1 - character for a literal, otherwise a record position.
    std::vector<int> cells;
    std::optional<uint8_t> regular_color;
    std::optional<uint8_t> selected_color;
    int hot_letter = -1;  // record position of the letter that chooses it, -1 for none

    int record_length() const { return static_cast<int>(record.size()) - 1; }
    int display_width() const { return static_cast<int>(cells.size()); }
    bool masked() const;
};

// What a screen file says of one field before it becomes a Field.
struct FieldDefinition {
    int row = 0;
    int column = 0;
    int width = 0;
    FieldKind kind = FieldKind::String;
    const FieldFunctions* functions = nullptr;
    int value = 0;
    bool display_only = false;
    std::string text;
};

// A screen as a screen file describes it.
struct ScreenDefinition {
    std::string name;
    int line = 0;
    ScreenWindowClass window_class = nullptr;
    ScreenBorder border = nullptr;
    ScreenKeyHandler key_handler = nullptr;
    ScreenMouseHandler mouse_handler = nullptr;
    int row = 0;
    int column = 0;
    std::optional<std::array<uint8_t, 4>> colors;
    std::vector<std::string> picture;  // the window's inside, blank-padded to one width
    std::vector<FieldDefinition> fields;
};

struct Colors {
    uint8_t regular = 0x07;  // window text
    uint8_t second = 0x70;   // fields
    uint8_t third = 0x1F;    // the current field
    uint8_t border = 0x07;
};

}  // namespace screenlib::detail

struct ScreenFile {
    std::string path;
    std::vector<screenlib::detail::ScreenDefinition> screens;
};

struct Screen {
    std::string name;
    ScreenWindowClass window_class = nullptr;
    ScreenBorder border = nullptr;
    ScreenKeyHandler key_handler = nullptr;
    ScreenMouseHandler mouse_handler = nullptr;
    screenlib::detail::Colors colors;
    int row = 0;  // top-left of the window, border included
    int column = 0;
    int inner_rows = 0;
    int inner_columns = 0;
    std::vector<std::string> picture;  // the window's inside
    std::vector<screenlib::detail::Field> fields;

    bool popup = false;
    int option = 0;
    int mode = 0;
    uint32_t extra = 0;

    int current = -1;       // current field, -1 for none
    int edit_position = 0;  // within the current field's record, 0..record_length
    bool insert_mode = true;
    bool text_selected = false;  // the current field's whole text, replaced by typing
    bool running = false;
    bool exit_requested = false;
    int result = 0;
    std::string prompt;

    bool shown = false;
    bool host_drawn = false;               // a TextWindow's: no fields, never holds the cursor
    std::vector<screenlib::Cell> beneath;  // cells under the window, saved when shown

    // Where the window stands while shown (see place_window): its outer
    // top-left and the outer size that fits on the screen.
    int top = 0;
    int left = 0;
    int shown_rows = 0;
    int shown_columns = 0;
    int scroll = 0;  // the first inner row in view when the inside is cut

    bool has_border() const { return border != nullptr; }
    int frame() const { return has_border() ? 1 : 0; }
    int outer_rows() const { return inner_rows + 2 * frame(); }
    int outer_columns() const { return inner_columns + 2 * frame(); }
    // The inside as shown: its screen top-left and how much of it is in view.
    int inner_top() const { return top + frame(); }
    int inner_left() const { return left + frame(); }
    int view_rows() const { return shown_rows - 2 * frame(); }
    int view_columns() const { return shown_columns - 2 * frame(); }
    // The screen row of inner row r.
    int screen_row(int r) const { return inner_top() + r - scroll; }
};

struct Menu {
    struct PendingField {
        int row = 0;
        int column = 0;
        std::string pattern;
        char* variable = nullptr;
        const FieldFunctions* functions = nullptr;
    };
    std::vector<std::string> lines;
    std::vector<PendingField> fields;
    int row = 0;
    int column = 0;
    int start_column = 0;
    bool flushed = false;
};
