// A titled text in a popup of the screen library, scrolled when long.
#include <algorithm>

#include "hostlibs/help.h"
#include "hostlibs/menubar.h"
#include "platform/screen_library.h"

namespace hostlibs {
namespace {

constexpr int kMaxWidth = 72;
constexpr int kMaxRows = 16;
constexpr uint8_t kRegular = 0x70;
constexpr uint8_t kBorder = 0x70;

struct TextRun {
    const std::vector<std::string>* lines = nullptr;
    int rows = 0;
    int first = 0;
};

TextRun* g_text = nullptr;

void show_lines(Screen* screen) {
    for (int row = 0; row < g_text->rows; ++row) {
        const size_t index = static_cast<size_t>(g_text->first) + static_cast<size_t>(row);
        const std::string& line = index < g_text->lines->size() ? (*g_text->lines)[index] : "";
        field_set_text(screen, line.c_str(), row);
    }
}

int text_keys(Screen* screen, int key) {
    const int last_first = std::max(0, static_cast<int>(g_text->lines->size()) - g_text->rows);
    int first = g_text->first;
    switch (key) {
        case KEY_ENTER:
        case KEY_ESCAPE:
            screen_exit(screen);
            return 1;
        case KEY_DOWN:
            first += 1;
            break;
        case KEY_UP:
            first -= 1;
            break;
        case KEY_PAGE_DOWN:
            first += g_text->rows;
            break;
        case KEY_PAGE_UP:
            first -= g_text->rows;
            break;
        case KEY_HOME:
            first = 0;
            break;
        case KEY_END:
            first = last_first;
            break;
        default:
            return 1;
    }
    g_text->first = std::clamp(first, 0, last_first);
    show_lines(screen);
    return 1;
}

}  // namespace

void show_text_popup(const std::string& title, const std::vector<std::string>& text) {
    if (g_text != nullptr) {
        return;
    }
    size_t width = title.size();
    for (const std::string& line : text) {
        width = std::max(width, line.size());
    }
    width = std::clamp<size_t>(width, 20, kMaxWidth);
    const std::vector<std::string> lines = wrap_lines(text, width);
    TextRun run{&lines, std::clamp(static_cast<int>(lines.size()), 1, kMaxRows), 0};
    Menu* menu = menu_open();
    if (menu == nullptr) {
        return;
    }
    menu_printf(menu, "@p[0,0]%s", menu_literal(title.substr(0, width)).c_str());
    for (int row = 0; row < run.rows; ++row) {
        menu_add_field(menu, row + 2, 0, static_cast<int>(width), nullptr, &string_field_funcs);
    }
    menu_flush(menu);
    Screen* screen = menu_screen(menu);
    if (screen == nullptr) {
        return;
    }
    const int outer_rows = run.rows + 4;
    const int outer_columns = static_cast<int>(width) + 2;
    screen_set_border(screen, bd_1);
    screen_set_position(screen, std::max(1, (SCREEN_ROWS - outer_rows) / 2),
                        (SCREEN_COLUMNS - outer_columns) / 2);
    screen_set_popup(screen, 1);
    screen_set_colors(screen, kRegular, kRegular, kRegular);
    screen_set_border_color(screen, kBorder);
    screen_set_special(screen, &text_keys);
    for (int row = 0; row < run.rows; ++row) {
        field_mark(screen, row);
    }
    g_text = &run;
    show_lines(screen);
    screen_run(screen);
    g_text = nullptr;
    screen_close(screen);
}

}  // namespace hostlibs
