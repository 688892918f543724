#include "screen_model.h"

#include <algorithm>
#include <cstdlib>

namespace {

// attr packs the foreground (bits 0-8, 256 = default), the background
// (bits 9-17) and the rendition flags above them.
constexpr uint32_t kDefaultColour = 256;
constexpr uint32_t kDefaultAttr = kDefaultColour | (kDefaultColour << 9);
constexpr uint32_t kFlagShift = 18;
constexpr uint32_t kLineDrawing = 1u << 30;

uint32_t with_foreground(uint32_t attr, uint32_t colour) {
    return (attr & ~0x1ffu) | colour;
}

uint32_t with_background(uint32_t attr, uint32_t colour) {
    return (attr & ~(0x1ffu << 9)) | (colour << 9);
}

}  // namespace

ScreenModel::ScreenModel(int columns, int rows)
    : columns_(columns),
      rows_(rows),
      cells_(static_cast<size_t>(columns * rows)),
      bottom_(rows - 1),
      attr_(kDefaultAttr) {
    for (ScreenCell& cell : cells_)
        cell.attr = kDefaultAttr;
}

int ScreenModel::feed(const char* bytes, size_t count, uint32_t watched) {
    int seen = 0;
    for (size_t i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        switch (state_) {
            case State::ground:
                if (utf8_left_ > 0 && (byte & 0xc0) == 0x80) {
                    utf8_ = (utf8_ << 6) | (byte & 0x3f);
                    if (--utf8_left_ == 0)
                        print(utf8_);
                } else if (byte >= 0xc0 && byte < 0xf8) {
                    utf8_left_ = byte >= 0xf0 ? 3 : byte >= 0xe0 ? 2 : 1;
                    utf8_ = byte & (0x3f >> utf8_left_);
                } else if (byte == 0x1b) {
                    state_ = State::escape;
                } else if (byte < 0x20 || byte == 0x7f) {
                    control(byte);
                } else {
                    utf8_left_ = 0;
                    if (watched != 0 && byte == watched)
                        ++seen;
                    print(byte);
                }
                break;
            case State::escape:
                escape(byte);
                break;
            case State::charset:
                line_drawing_ = byte == '0';
                state_ = State::ground;
                break;
            case State::csi:
                if (byte >= 0x40 && byte <= 0x7e) {
                    csi(byte);
                    state_ = State::ground;
                } else {
                    params_.push_back(static_cast<char>(byte));
                }
                break;
            case State::osc:
                if (byte == 0x07)
                    state_ = State::ground;
                if (byte == 0x1b)
                    state_ = State::osc_escape;
                break;
            case State::osc_escape:
                state_ = byte == '\\' ? State::ground : State::osc;
                break;
        }
    }
    return seen;
}

std::string ScreenModel::row_text(int row) const {
    std::string text;
    for (int c = 0; c < columns_; ++c) {
        const uint32_t ch = cells_[static_cast<size_t>(row * columns_ + c)].ch;
        text.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
    }
    return text;
}

bool ScreenModel::shows(const std::string& text) const {
    for (int r = 0; r < rows_; ++r) {
        if (row_text(r).find(text) != std::string::npos)
            return true;
    }
    return false;
}

int ScreenModel::changed_cells(const std::vector<ScreenCell>& before,
                               const std::vector<ScreenCell>& after) {
    int changed = 0;
    for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
        if (!(before[i] == after[i]))
            ++changed;
    }
    return changed;
}

namespace {

int digits(int n) {
    return n >= 100 ? 3 : n >= 10 ? 2 : 1;
}

// "ESC [ row ; column H", or "ESC [ column G" within the row.
int move_bytes(std::pair<int, int> from, std::pair<int, int> to) {
    if (from == to)
        return 0;
    if (from.first == to.first)
        return 3 + digits(to.second + 1);
    return 4 + digits(to.first + 1) + digits(to.second + 1);
}

int colour_bytes(uint32_t colour) {
    if (colour == kDefaultColour)
        return 0;
    if (colour < 16)
        return 3;                                 // ";3N", ";9N" and the like
    return 6 + digits(static_cast<int>(colour));  // ";38;5;N"
}

// One "ESC [ ... m" that sets the whole look from scratch.
int rendition_bytes(uint32_t attr) {
    int bytes = 4;  // ESC [ 0 m
    for (uint32_t flag = 1; flag < 12; ++flag) {
        if (attr & (1u << (kFlagShift + flag)))
            bytes += 2;
    }
    return bytes + colour_bytes(attr & 0x1ffu) + colour_bytes((attr >> 9) & 0x1ffu);
}

int character_bytes(uint32_t ch) {
    return ch < 0x80 ? 1 : ch < 0x800 ? 2 : ch < 0x10000 ? 3 : 4;
}

}  // namespace

int ScreenModel::needed_bytes(const std::vector<ScreenCell>& before,
                              const std::vector<ScreenCell>& after,
                              std::pair<int, int> cursor_before, std::pair<int, int> cursor) const {
    const auto cell = [this](const std::vector<ScreenCell>& cells, int row, int column) {
        return cells[static_cast<size_t>(row * columns_ + column)];
    };
    std::pair<int, int> at = cursor_before;
    uint32_t look = ~0u;  // unknown: the first changed cell sets it
    int bytes = 0;
    for (int row = 0; row < rows_; ++row) {
        for (int column = 0; column < columns_; ++column) {
            const ScreenCell wanted = cell(after, row, column);
            if (cell(before, row, column) == wanted)
                continue;
            // Rewriting a short unchanged gap on the same row costs its characters.
            const std::pair<int, int> here{row, column};
            int gap = 0;
            if (at.first == row && at.second < column) {
                for (int c = at.second; c < column; ++c) {
                    const ScreenCell kept = cell(after, row, c);
                    gap = kept.attr == look ? gap + character_bytes(kept.ch) : 1 << 20;
                }
            }
            bytes += std::min(move_bytes(at, here), gap);
            if (wanted.attr != look) {
                bytes += rendition_bytes(wanted.attr);
                look = wanted.attr;
            }
            bytes += character_bytes(wanted.ch);
            at = {row, std::min(column + 1, columns_ - 1)};
        }
    }
    return bytes + move_bytes(at, cursor);
}

void ScreenModel::print(uint32_t ch) {
    if (wrap_pending_) {
        wrap_pending_ = false;
        column_ = 0;
        line_feed();
    }
    at(row_, column_) = ScreenCell{ch, attr_ | (line_drawing_ ? kLineDrawing : 0)};
    last_printed_ = ch;
    if (column_ + 1 < columns_) {
        ++column_;
    } else {
        wrap_pending_ = true;
    }
}

void ScreenModel::control(unsigned char byte) {
    switch (byte) {
        case '\r':
            column_ = 0;
            break;
        case '\n':
        case '\v':
        case '\f':
            line_feed();
            break;
        case '\b':
            if (column_ > 0)
                --column_;
            break;
        case '\t':
            column_ = std::min(columns_ - 1, (column_ / 8 + 1) * 8);
            break;
        case 0x0e:
            line_drawing_ = true;
            break;
        case 0x0f:
            line_drawing_ = false;
            break;
        default:
            return;
    }
    wrap_pending_ = false;
}

void ScreenModel::escape(unsigned char byte) {
    state_ = State::ground;
    switch (byte) {
        case '[':
            params_.clear();
            state_ = State::csi;
            break;
        case ']':
            state_ = State::osc;
            break;
        case '(':
        case ')':
        case '*':
        case '+':
            state_ = State::charset;
            break;
        case '7':
            saved_row_ = row_;
            saved_column_ = column_;
            break;
        case '8':
            row_ = saved_row_;
            column_ = saved_column_;
            break;
        case 'D':
            line_feed();
            break;
        case 'E':
            column_ = 0;
            line_feed();
            break;
        case 'M':
            if (row_ == top_) {
                scroll_down(top_, bottom_, 1);
            } else if (row_ > 0) {
                --row_;
            }
            break;
        default:
            break;
    }
}

int ScreenModel::param(size_t index, int fallback) const {
    size_t start = 0;
    for (size_t i = 0; i < index; ++i) {
        start = params_.find(';', start);
        if (start == std::string::npos)
            return fallback;
        ++start;
    }
    const size_t end = params_.find(';', start);
    const std::string text = params_.substr(start, end == std::string::npos ? end : end - start);
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return fallback;
    return std::atoi(text.c_str());
}

void ScreenModel::csi(unsigned char final_byte) {
    if (!params_.empty() && (params_[0] == '?' || params_[0] == '>' || params_[0] == '=')) {
        return;  // private modes: cursor visibility, keypad and the like
    }
    wrap_pending_ = false;
    const int n = std::max(1, param(0, 1));
    switch (final_byte) {
        case 'H':
        case 'f':
            row_ = std::clamp(param(0, 1) - 1, 0, rows_ - 1);
            column_ = std::clamp(param(1, 1) - 1, 0, columns_ - 1);
            break;
        case 'A':
            row_ = std::max(0, row_ - n);
            break;
        case 'B':
            row_ = std::min(rows_ - 1, row_ + n);
            break;
        case 'C':
            column_ = std::min(columns_ - 1, column_ + n);
            break;
        case 'D':
            column_ = std::max(0, column_ - n);
            break;
        case 'E':
            row_ = std::min(rows_ - 1, row_ + n);
            column_ = 0;
            break;
        case 'F':
            row_ = std::max(0, row_ - n);
            column_ = 0;
            break;
        case 'G':
        case '`':
            column_ = std::clamp(n - 1, 0, columns_ - 1);
            break;
        case 'd':
            row_ = std::clamp(n - 1, 0, rows_ - 1);
            break;
        case 'K': {
            const int start = row_ * columns_;
            const int mode = param(0, 0);
            if (mode == 0)
                erase(start + column_, start + columns_);
            if (mode == 1)
                erase(start, start + column_ + 1);
            if (mode == 2)
                erase(start, start + columns_);
            break;
        }
        case 'J': {
            const int here = row_ * columns_ + column_;
            const int mode = param(0, 0);
            if (mode == 0)
                erase(here, rows_ * columns_);
            if (mode == 1)
                erase(0, here + 1);
            if (mode >= 2)
                erase(0, rows_ * columns_);
            break;
        }
        case 'X':
            erase(row_ * columns_ + column_, row_ * columns_ + std::min(columns_, column_ + n));
            break;
        case '@': {
            const int last = columns_ - 1;
            for (int c = last; c >= column_; --c) {
                at(row_, c) = c - n >= column_ ? at(row_, c - n) : ScreenCell{' ', attr_};
            }
            break;
        }
        case 'P':
            for (int c = column_; c < columns_; ++c) {
                at(row_, c) = c + n < columns_ ? at(row_, c + n) : ScreenCell{' ', attr_};
            }
            break;
        case 'L':
            if (row_ >= top_ && row_ <= bottom_)
                scroll_down(row_, bottom_, n);
            break;
        case 'M':
            if (row_ >= top_ && row_ <= bottom_)
                scroll_up(row_, bottom_, n);
            break;
        case 'S':
            scroll_up(top_, bottom_, n);
            break;
        case 'T':
            scroll_down(top_, bottom_, n);
            break;
        case 'b':
            for (int i = 0; i < n; ++i)
                print(last_printed_);
            break;
        case 'r':
            top_ = std::clamp(param(0, 1) - 1, 0, rows_ - 1);
            bottom_ = std::clamp(param(1, rows_) - 1, top_, rows_ - 1);
            row_ = 0;
            column_ = 0;
            break;
        case 's':
            saved_row_ = row_;
            saved_column_ = column_;
            break;
        case 'u':
            row_ = saved_row_;
            column_ = saved_column_;
            break;
        case 'm':
            select_graphic_rendition();
            break;
        default:
            break;
    }
}

void ScreenModel::select_graphic_rendition() {
    std::vector<int> codes;
    size_t start = 0;
    while (true) {
        const size_t end = params_.find(';', start);
        codes.push_back(std::atoi(params_.substr(start, end - start).c_str()));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    for (size_t i = 0; i < codes.size(); ++i) {
        const int p = codes[i];
        if (p == 0) {
            attr_ = kDefaultAttr;
        } else if (p >= 1 && p <= 9) {
            attr_ |= 1u << (kFlagShift + static_cast<uint32_t>(p));
        } else if (p >= 21 && p <= 29) {
            attr_ &= ~(1u << (kFlagShift + static_cast<uint32_t>(p - 20)));
        } else if (p >= 30 && p <= 37) {
            attr_ = with_foreground(attr_, static_cast<uint32_t>(p - 30));
        } else if (p == 39) {
            attr_ = with_foreground(attr_, kDefaultColour);
        } else if (p >= 40 && p <= 47) {
            attr_ = with_background(attr_, static_cast<uint32_t>(p - 40));
        } else if (p == 49) {
            attr_ = with_background(attr_, kDefaultColour);
        } else if ((p == 38 || p == 48) && i + 2 < codes.size() && codes[i + 1] == 5) {
            const auto colour = static_cast<uint32_t>(std::clamp(codes[i + 2], 0, 255));
            attr_ = p == 38 ? with_foreground(attr_, colour) : with_background(attr_, colour);
            i += 2;
        } else if (p >= 90 && p <= 97) {
            attr_ = with_foreground(attr_, static_cast<uint32_t>(p - 90 + 8));
        } else if (p >= 100 && p <= 107) {
            attr_ = with_background(attr_, static_cast<uint32_t>(p - 100 + 8));
        }
    }
}

void ScreenModel::line_feed() {
    wrap_pending_ = false;
    if (row_ == bottom_) {
        scroll_up(top_, bottom_, 1);
    } else if (row_ + 1 < rows_) {
        ++row_;
    }
}

void ScreenModel::scroll_up(int top, int bottom, int lines) {
    for (int r = top; r <= bottom; ++r) {
        for (int c = 0; c < columns_; ++c) {
            at(r, c) = r + lines <= bottom ? at(r + lines, c) : ScreenCell{' ', attr_};
        }
    }
}

void ScreenModel::scroll_down(int top, int bottom, int lines) {
    for (int r = bottom; r >= top; --r) {
        for (int c = 0; c < columns_; ++c) {
            at(r, c) = r - lines >= top ? at(r - lines, c) : ScreenCell{' ', attr_};
        }
    }
}

void ScreenModel::erase(int from, int to) {
    for (int i = std::max(0, from); i < to && i < rows_ * columns_; ++i) {
        cells_[static_cast<size_t>(i)] = ScreenCell{' ', (attr_ & (0x1ffu << 9)) | kDefaultColour};
    }
}
