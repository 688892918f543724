// Brings the terminal to show a frame of cells, writing only what changed:
// one cursor address per run of changed cells, one rendition where the look
// changes, and all of an update in one write. ncurses keeps the terminal's
// modes and reads the keys; the cells on the terminal are this painter's.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "screenlib/screenlib.h"

namespace screenlib::detail {

class TerminalPainter {
  public:
    // After the terminal is set up (its description loaded) and cleared.
    // Cells hold code-page bytes; `charset` is the terminal's (the locale's
    // nl_langinfo(CODESET)), in which they are written.
    TerminalPainter(int fd, bool colour, const char* charset);

    // A frame of rows x columns, blank in the terminal's own colours. The
    // terminal is `cleared` already (cursor top left, plain rendition), or
    // its content is unknown and the next update clears it first.
    void resize(int rows, int columns, bool cleared);
    void put(int row, int column, Cell cell);

    // Writes what the terminal lacks of the frame, then places the cursor.
    void update(int cursor_row, int cursor_column, bool cursor_visible);

    // What puts the terminal back in the state ncurses expects when it ends:
    // plain rendition, the cursor visible at the top left. Built in advance,
    // so a signal handler can write it.
    const std::string& restoring_bytes() const { return restoring_; }

  private:
    struct Shown {
        char character = ' ';
        uint8_t attribute = 0;
        bool plain = true;  // a blank in the terminal's own colours
        bool operator==(const Shown&) const = default;
    };

    // Looks are numbered: an attribute byte, or kPlain for the terminal's own.
    static constexpr int kPlain = 256;
    static int look_index(const Shown& cell) { return cell.plain ? kPlain : cell.attribute; }
    std::string look_of(const Shown& cell) const;
    void move_to(int row, int column, std::string& out);
    const std::string& glyph(char character) const {
        return glyphs_[static_cast<unsigned char>(character)];
    }
    Shown& at(std::vector<Shown>& cells, int row, int column) {
        return cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                     static_cast<std::size_t>(column)];
    }

    int fd_;
    bool colour_;
    bool ansi_ = false;  // the terminal takes combined "ESC [ a;b;c m" renditions
    bool last_cell_scrolls_ = false;
    std::string clear_, cursor_address_, column_address_, plain_, hide_cursor_, show_cursor_;
    std::string bold_, blink_, reverse_, underline_, foreground_, background_, repeat_;
    std::string restoring_;
    std::array<std::string, kPlain + 1> looks_;  // the rendition of each look, made once
    std::array<std::string, 256> glyphs_;        // each code-page byte in the terminal's charset
    int rows_ = 0;
    int columns_ = 0;
    std::vector<Shown> frame_;  // what the terminal should show
    std::vector<Shown> sent_;   // what it shows
    bool known_ = false;
    int cursor_row_ = -1;  // where the terminal's cursor is; -1 unknown
    int cursor_column_ = -1;
    int look_ = -1;  // the look in force; -1 unknown
    int cursor_shown_ = -1;
};

}  // namespace screenlib::detail
