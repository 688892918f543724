// A small model of an xterm screen: enough of the escape sequences that
// programs write for xterm-256color to know which cells a burst of output
// changed. It is a measuring aid for the terminal benchmark, not a terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ScreenCell {
    uint32_t ch = ' ';
    uint32_t attr = 0;
    bool operator==(const ScreenCell&) const = default;
};

class ScreenModel {
  public:
    ScreenModel(int columns, int rows);

    // Feeds bytes from the program; returns how many printable characters
    // equal to `watched` they drew.
    int feed(const char* bytes, size_t count, uint32_t watched = 0);

    std::vector<ScreenCell> cells() const { return cells_; }
    std::string row_text(int row) const;
    bool shows(const std::string& text) const;

    static int changed_cells(const std::vector<ScreenCell>& before,
                             const std::vector<ScreenCell>& after);

    // Where the cursor stands (row, column), counted from 0.
    std::pair<int, int> cursor() const { return {row_, column_}; }

    // The fewest bytes an xterm program needs to turn `before` into `after`
    // and leave the cursor at `cursor`: for each run of changed cells one
    // cursor address, one combined rendition wherever the look changes, and
    // the characters (an unchanged gap of a few cells is cheaper rewritten
    // than jumped). A yardstick for what an update writes, not a tight bound.
    int needed_bytes(const std::vector<ScreenCell>& before, const std::vector<ScreenCell>& after,
                     std::pair<int, int> cursor_before, std::pair<int, int> cursor) const;

  private:
    enum class State { ground, escape, charset, csi, osc, osc_escape };

    void print(uint32_t ch);
    void control(unsigned char byte);
    void escape(unsigned char byte);
    void csi(unsigned char final_byte);
    void select_graphic_rendition();
    void line_feed();
    void scroll_up(int top, int bottom, int lines);
    void scroll_down(int top, int bottom, int lines);
    void erase(int from, int to);
    int param(size_t index, int fallback) const;
    ScreenCell& at(int row, int column) {
        return cells_[static_cast<size_t>(row * columns_ + column)];
    }

    int columns_;
    int rows_;
    std::vector<ScreenCell> cells_;
    int row_ = 0;
    int column_ = 0;
    bool wrap_pending_ = false;
    int saved_row_ = 0;
    int saved_column_ = 0;
    int top_ = 0;
    int bottom_;
    uint32_t attr_ = 0;
    bool line_drawing_ = false;
    uint32_t last_printed_ = ' ';
    State state_ = State::ground;
    std::string params_;
    uint32_t utf8_ = 0;
    int utf8_left_ = 0;
};
