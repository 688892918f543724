// A copy of the headless screen's cells, taken while a window is still up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "screenlib/screenlib.h"

struct ScreenPicture {
    bool taken = false;
    std::vector<std::string> rows;
    std::vector<std::vector<uint8_t>> attributes;
    // What the terminal showed, at its size then (the screen, or the notice
    // of a terminal too small).
    std::vector<std::string> view;
    std::vector<std::vector<uint8_t>> view_attributes;
};

// The headless backend's screen as it stands; not taken under another backend.
inline ScreenPicture picture_of_screen() {
    ScreenPicture picture;
    auto* headless = dynamic_cast<screenlib::HeadlessBackend*>(screenlib::backend());
    if (headless == nullptr)
        return picture;
    picture.taken = true;
    for (int r = 0; r < headless->rows(); ++r) {
        picture.rows.push_back(headless->row_text(r));
        std::vector<uint8_t> attributes;
        for (int c = 0; c < headless->columns(); ++c)
            attributes.push_back(headless->attribute(r, c));
        picture.attributes.push_back(std::move(attributes));
    }
    picture.view = headless->terminal_view();
    for (const std::vector<screenlib::Cell>& row : headless->terminal_cells()) {
        std::vector<uint8_t>& attributes = picture.view_attributes.emplace_back();
        for (const screenlib::Cell& cell : row)
            attributes.push_back(cell.attribute);
    }
    return picture;
}
