#include "builtin/pager.h"

#include <algorithm>

#include "platform/key_codes.h"
#include "screenlib/screenlib.h"

namespace hostapp {
namespace {

constexpr uint8_t kBarAttribute = 0x70;
constexpr uint8_t kTextAttribute = 0x07;

struct Position {
    size_t page = 0;
    size_t first_line = 0;
};

class Pager {
  public:
    Pager(screenlib::TextWindow& window, const PagerText& text)
        : window_(window), text_(text), body_rows_(std::max(1, window.rows() - 2)) {}

    void draw() const {
        std::string title = text_.title;
        if (text_.pages.size() > 1) {
            title += "   (" + std::to_string(at_.page + 1) + "/" +
                     std::to_string(text_.pages.size()) + ")";
        }
        window_.put_row(0, title, kBarAttribute);
        const std::vector<std::string>* lines =
            text_.pages.empty() ? nullptr : &text_.pages[at_.page];
        for (int row = 0; row < body_rows_; ++row) {
            const size_t index = at_.first_line + static_cast<size_t>(row);
            std::string line;
            if (lines != nullptr && index < lines->size()) {
                line = (*lines)[index];
            } else if (row == 0 && empty()) {
                line = text_.empty_text;
            }
            window_.put_row(row + 1, line, kTextAttribute);
        }
        window_.put_row(window_.rows() - 1, text_.keys_hint, kBarAttribute);
        window_.flush();
    }

    // False when the key leaves the pager.
    bool handle(int key) {
        switch (key) {
            case KEY_PAGE_DOWN:
                if (at_.first_line + step() < page_lines()) {
                    at_.first_line += step();
                } else if (at_.page + 1 < text_.pages.size()) {
                    at_ = {at_.page + 1, 0};
                }
                return true;
            case KEY_PAGE_UP:
                if (at_.first_line > 0) {
                    at_.first_line -= std::min(at_.first_line, step());
                } else if (at_.page > 0) {
                    at_ = {at_.page - 1, 0};
                }
                return true;
            case KEY_DOWN:
                if (at_.first_line + step() < page_lines()) {
                    ++at_.first_line;
                }
                return true;
            case KEY_UP:
                at_.first_line -= at_.first_line > 0 ? 1 : 0;
                return true;
            case KEY_HOME:
                at_ = {};
                return true;
            case KEY_END:
                at_ = {text_.pages.empty() ? 0 : text_.pages.size() - 1, 0};
                return true;
            case KEY_ESCAPE:
            case KEY_ENTER:
                return false;
            default:
                return true;
        }
    }

  private:
    size_t step() const { return static_cast<size_t>(body_rows_); }
    size_t page_lines() const { return text_.pages.empty() ? 0 : text_.pages[at_.page].size(); }
    bool empty() const {
        return std::all_of(text_.pages.begin(), text_.pages.end(),
                           [](const auto& page) { return page.empty(); });
    }

    screenlib::TextWindow& window_;
    const PagerText& text_;
    int body_rows_;
    Position at_;
};

}  // namespace

int run_pager(const PagerText& text, std::string* last_screen) {
    screenlib::Backend* backend = screenlib::backend();
    if (backend == nullptr) {
        return 0;
    }
    // The pager covers the whole screen; closing its window gives back what
    // lay beneath.
    screenlib::TextWindow window(0, 0, backend->rows(), backend->columns());
    backend->set_cursor(0, 0, false);
    Pager pager(window, text);
    int keys = 0;
    for (;;) {
        pager.draw();
        const int key = backend->read_key();
        if (key < 0) {
            break;
        }
        ++keys;
        if (!pager.handle(key)) {
            break;
        }
    }
    if (last_screen != nullptr) {
        *last_screen = backend->text();
    }
    return keys;
}

}  // namespace hostapp
