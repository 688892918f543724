#include "terminal_painter.h"

#include <ncurses.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/code_page.h"

namespace screenlib::detail {

namespace {

// PC colour numbers (blue is 1, red 4) to the terminal's (red is 1, blue 4).
constexpr int kTerminalColour[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// A sequence without its padding marks ("$<5>"): delays that terminals of
// today do not need, and that would show as text if sent.
std::string without_padding(std::string sequence) {
    for (std::size_t mark; (mark = sequence.find("$<")) != std::string::npos;) {
        const std::size_t end = sequence.find('>', mark);
        if (end == std::string::npos) {
            break;
        }
        sequence.erase(mark, end - mark + 1);
    }
    return sequence;
}

// A capability of the terminal's description; empty when it has none.
std::string capability(const char* name) {
    const char* value = tigetstr(const_cast<char*>(name));
    if (value == nullptr || reinterpret_cast<std::intptr_t>(value) == -1) {
        return {};
    }
    return without_padding(value);
}

// Fewer characters than this are shorter written out than repeated.
constexpr int kShortestRepeat = 7;

bool flag(const char* name) {
    return tigetflag(const_cast<char*>(name)) > 0;
}

std::string with(const std::string& format, int first, int second = 0) {
    if (format.empty()) {
        return {};
    }
    const char* text = tiparm(format.c_str(), first, second);
    return text != nullptr ? text : "";
}

bool starts_as_ansi(const std::string& sequence) {
    return sequence.rfind("\x1b[", 0) == 0;
}

void write_all(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // the terminal is gone; there is nobody to show it to
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

TerminalPainter::TerminalPainter(int fd, bool colour, const char* charset)
    : fd_(fd),
      colour_(colour),
      clear_(capability("clear")),
      cursor_address_(capability("cup")),
      column_address_(capability("hpa")),
      plain_(capability("sgr0")),
      hide_cursor_(capability("civis")),
      show_cursor_(capability("cnorm")),
      bold_(capability("bold")),
      blink_(capability("blink")),
      reverse_(capability("rev")),
      underline_(capability("smul")),
      foreground_(capability("setaf")),
      background_(capability("setab")),
      repeat_(capability("rep")) {
    if (colour_ && (foreground_.empty() || background_.empty())) {
        colour_ = false;
    }
    // Terminals that speak ANSI renditions take all of a look in one sequence.
    ansi_ = plain_.find("\x1b[") != std::string::npos &&
            (!colour_ || (starts_as_ansi(foreground_) && starts_as_ansi(background_))) &&
            (bold_.empty() || starts_as_ansi(bold_));
    // A terminal that scrolls when its last cell is written never gets that cell.
    last_cell_scrolls_ = flag("am") && !flag("xenl");
    restoring_ = with(cursor_address_, 0, 0) + plain_ + show_cursor_;
    for (int attribute = 0; attribute < kPlain; ++attribute) {
        looks_[static_cast<std::size_t>(attribute)] =
            look_of(Shown{' ', static_cast<uint8_t>(attribute), false});
    }
    looks_[kPlain] = look_of(Shown{});
    glyphs_ = code_page::characters_in(charset);
}

void TerminalPainter::resize(int rows, int columns, bool cleared) {
    rows_ = rows;
    columns_ = columns;
    frame_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), Shown{});
    sent_ = frame_;
    known_ = cleared;
    if (cleared) {
        look_ = kPlain;
        cursor_row_ = 0;
        cursor_column_ = 0;
    }
}

void TerminalPainter::put(int row, int column, Cell cell) {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) {
        return;
    }
    const auto ch = static_cast<unsigned char>(cell.character);
    at(frame_, row, column) =
        Shown{code_page::is_character(ch) ? cell.character : ' ', cell.attribute, false};
}

// The rendition of a cell. With colour, an attribute's low nibble is the
// foreground and bit 3 its brightness (bold), bits 4-6 the background and
// bit 7 blink; without colour it reads as on a monochrome display: a
// background is reverse video, a bright foreground bold, blue underline.
std::string TerminalPainter::look_of(const Shown& cell) const {
    if (cell.plain) {
        return ansi_ ? "\x1b[0m" : plain_;
    }
    const uint8_t a = cell.attribute;
    const bool bright = (a & 0x08) != 0;
    const bool blink = colour_ && (a & 0x80) != 0;
    const bool reverse = !colour_ && (a & 0x70) != 0;
    const bool underline = !colour_ && !reverse && (a & 0x07) == 0x01;
    const int foreground = kTerminalColour[a & 0x07];
    const int background = kTerminalColour[(a >> 4) & 0x07];
    if (ansi_) {
        std::string look = "\x1b[0";
        look += bright ? ";1" : "";
        look += underline ? ";4" : "";
        look += blink ? ";5" : "";
        look += reverse ? ";7" : "";
        if (colour_) {
            look += ";3" + std::to_string(foreground) + ";4" + std::to_string(background);
        }
        return look + "m";
    }
    std::string look = plain_;
    look += bright ? bold_ : "";
    look += underline ? underline_ : "";
    look += blink ? blink_ : "";
    look += reverse ? reverse_ : "";
    if (colour_) {
        look += with(foreground_, foreground) + with(background_, background);
    }
    return look;
}

void TerminalPainter::move_to(int row, int column, std::string& out) {
    if (row == cursor_row_ && column == cursor_column_) {
        return;
    }
    // Rewriting up to three unchanged cells of the same look is shorter than
    // addressing the cell after them.
    if (row == cursor_row_ && cursor_column_ >= 0 && column > cursor_column_ &&
        column - cursor_column_ <= 3) {
        std::string gap;
        for (int c = cursor_column_; c < column; ++c) {
            const Shown& cell = at(frame_, row, c);
            if (!(cell == at(sent_, row, c)) || look_index(cell) != look_) {
                gap.clear();
                break;
            }
            gap += glyph(cell.character);
        }
        if (!gap.empty()) {
            out += gap;
            cursor_column_ = column;
            return;
        }
    }
    out += row == cursor_row_ && !column_address_.empty() ? with(column_address_, column)
                                                          : with(cursor_address_, row, column);
    cursor_row_ = row;
    cursor_column_ = column;
}

void TerminalPainter::update(int cursor_row, int cursor_column, bool cursor_visible) {
    std::string out;
    if (!known_) {
        look_ = kPlain;
        out += looks_[kPlain] + clear_;
        sent_.assign(frame_.size(), Shown{});
        cursor_row_ = 0;
        cursor_column_ = 0;
        known_ = true;
    }
    for (int row = 0; row < rows_; ++row) {
        for (int column = 0; column < columns_; ++column) {
            const Shown& wanted = at(frame_, row, column);
            if (wanted == at(sent_, row, column)) {
                continue;
            }
            if (last_cell_scrolls_ && row == rows_ - 1 && column == columns_ - 1) {
                continue;
            }
            move_to(row, column, out);
            if (look_index(wanted) != look_) {
                look_ = look_index(wanted);
                out += looks_[static_cast<std::size_t>(look_)];
            }
            // A run of one character in one look goes as the character repeated.
            int run = 1;
            while (column + run < columns_ && at(frame_, row, column + run) == wanted &&
                   !(at(sent_, row, column + run) == wanted) &&
                   !(last_cell_scrolls_ && row == rows_ - 1 && column + run == columns_ - 1)) {
                ++run;
            }
            // The terminal repeats a character of one byte only.
            if (run >= kShortestRepeat && !repeat_.empty() && glyph(wanted.character).size() == 1) {
                out += with(repeat_, static_cast<unsigned char>(glyph(wanted.character)[0]), run);
                for (int c = column; c < column + run - 1; ++c) {
                    at(sent_, row, c) = wanted;
                }
                column += run - 1;
            } else {
                out += glyph(wanted.character);
            }
            at(sent_, row, column) = wanted;
            // After the last column the cursor may wait to wrap: its place is unknown.
            cursor_column_ = column + 1 < columns_ ? column + 1 : -1;
            cursor_row_ = cursor_column_ >= 0 ? row : -1;
        }
    }
    const bool visible = cursor_visible && cursor_row >= 0 && cursor_row < rows_ &&
                         cursor_column >= 0 && cursor_column < columns_;
    if (visible) {
        move_to(cursor_row, cursor_column, out);
    }
    if (cursor_shown_ != static_cast<int>(visible)) {
        out += visible ? show_cursor_ : hide_cursor_;
        cursor_shown_ = visible ? 1 : 0;
    }
    write_all(fd_, out);
}

}  // namespace screenlib::detail
