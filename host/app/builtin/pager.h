// A full-screen text pager for the host's own viewers: a title row, the
// text, and a key row. PgUp/PgDn turn pages (or scroll a long page),
// Up/Down scroll a line, Home/End jump, Escape (or the end of input) leaves.
#pragma once

#include <string>
#include <vector>

namespace hostapp {

struct PagerText {
    std::string title;
    std::vector<std::vector<std::string>> pages;
    std::string keys_hint;
    std::string empty_text;  // shown when there are no lines at all
};

// Runs until the operator leaves; the number of keys read. The screen as it
// stood when the operator left goes to *last_screen.
int run_pager(const PagerText& text, std::string* last_screen = nullptr);

}  // namespace hostapp
