// What a terminal shorter than the screen shows of it: which rows it leaves
// out, in what order, and that it never shows more rows than it has.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "screenlib/screenlib.h"

namespace {

const std::string kFrame = "+" + std::string(78, '-') + "+";

// A 25x80 screen whose rows hold `rows` (missing ones blank).
std::vector<std::string> view_of(const std::vector<std::string>& rows, int terminal_rows) {
    screenlib::HeadlessBackend screen(25, 80);
    for (size_t r = 0; r < rows.size(); ++r) {
        std::vector<screenlib::Cell> cells;
        for (char c : rows[r])
            cells.push_back(screenlib::Cell{c, 0x07});
        screen.put(static_cast<int>(r), 0, cells.data(), static_cast<int>(cells.size()));
    }
    screen.resize_terminal(terminal_rows, 80);
    std::vector<std::string> view = screen.terminal_view();
    for (std::string& row : view)
        row.erase(row.find_last_not_of(' ') + 1);
    return view;
}

std::vector<std::string> numbered(int from, int to) {
    std::vector<std::string> rows;
    for (int r = from; r < to; ++r)
        rows.push_back("row " + std::to_string(r));
    return rows;
}

TEST(TerminalView, AShorterTerminalLeavesOutBlankRowsAtTheBottomThenFrameRowsThenTheBottom) {
    // The editor with its bars: the top frame goes, and nothing else.
    std::vector<std::string> editor = {"bar", kFrame};
    for (const std::string& row : numbered(2, 23))
        editor.push_back("|" + row + "|");
    editor.push_back(kFrame);
    editor.push_back("key bar");
    std::vector<std::string> expected = editor;
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(view_of(editor, 24), expected);

    // A blank last row goes before any frame row.
    std::vector<std::string> without_bar = editor;
    without_bar.back() = "";
    expected = without_bar;
    expected.pop_back();
    EXPECT_EQ(view_of(without_bar, 24), expected);

    // A frame row with a popup's edge on it goes too; a frame with a prompt does not.
    std::vector<std::string> popup = editor;
    popup[1] = "+----+-----+" + std::string(67, '-') + "+";
    popup[23] = "+-- This is the last page. ---+";
    expected = popup;
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(view_of(popup, 24), expected);

    // Text on every row: the bottom is cut.
    const std::vector<std::string> text = numbered(0, 25);
    EXPECT_EQ(view_of(text, 24), numbered(0, 24));
}

}  // namespace
