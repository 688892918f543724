#include "field_ops.h"

#include <algorithm>
#include <cstring>

#include "drawing.h"
#include "library_state.h"
#include "platform/code_page.h"

namespace screenlib::detail {

bool Field::masked() const {
    return kind == FieldKind::Masked ||
           (functions != nullptr &&
            (functions->key == masked_field_key || functions->fill == masked_field_fill));
}

void set_record(Field& field, std::string_view text) {
    const int length = field.record_length();
    for (int i = 0; i < length; ++i) {
        const auto index = static_cast<std::size_t>(i);
        field.record[index] = index < text.size() ? shown_character(text[index]) : ' ';
    }
    field.record[static_cast<std::size_t>(length)] = '\0';
    store_variable(field);
}

void load_variable(Field& field) {
    if (!field.variable) {
        return;
    }
    const std::size_t length = static_cast<std::size_t>(field.record_length());
    const std::size_t used = strnlen(field.variable, length);
    for (std::size_t i = 0; i < length; ++i) {
        field.record[i] = i < used ? shown_character(field.variable[i]) : ' ';
    }
}

void store_variable(const Field& field) {
    if (field.variable) {
        std::memcpy(field.variable, field.record.data(),
                    static_cast<std::size_t>(field.record_length()));
    }
}

void refresh_field(Screen* screen, int n) {
    Field* field = field_at(screen, n);
    if (!field) {
        return;
    }
    if (field->functions && field->functions->fill) {
        field->functions->fill(screen, n);
    } else {
        load_variable(*field);
        draw_field(screen, n);
    }
}

bool can_take_cursor(const Screen* screen, int n) {
    if (n < 0 || n >= static_cast<int>(screen->fields.size())) {
        return false;
    }
    return !screen->fields[static_cast<std::size_t>(n)].display_only && field_reachable(screen, n);
}

namespace {

// The length of the text without trailing blanks.
int text_length(const Field& field) {
    int length = field.record_length();
    while (length > 0 && field.record[static_cast<std::size_t>(length - 1)] == ' ') {
        --length;
    }
    return length;
}

}  // namespace

void select_current_text(Screen* screen, bool selected) {
    const Field* field = field_at(screen, screen->current);
    selected = selected && field != nullptr && !field->display_only && screen->running;
    if (screen->text_selected == selected) {
        return;
    }
    screen->text_selected = selected;
    draw_field(screen, screen->current);
}

namespace {

// A character of the code page: typing puts it into the field.
bool is_printable(int ch) {
    return ch >= 0 && ch <= 0xFF && code_page::is_character(static_cast<unsigned char>(ch));
}

bool is_editing_key(int key) {
    switch (key) {
        case KEY_BACKSPACE:
        case KEY_DELETE:
        case KEY_LEFT:
        case KEY_RIGHT:
        case KEY_HOME:
        case KEY_END:
        case KEY_INSERT:
        case KEY_CLEAR_FIELD:
            return true;
        default:
            return is_printable(key_char(key));
    }
}

// Blanks the whole text and puts the cursor at its start.
void clear_text(Field& field, int& at) {
    std::memset(field.record.data(), ' ', static_cast<std::size_t>(field.record_length()));
    at = 0;
}

// Puts a typed character at the cursor; false when it does not fit.
bool type_character(Screen* screen, Field& field, int ch) {
    char* text = field.record.data();
    const int length = field.record_length();
    int& at = screen->edit_position;
    // Typed text never grows past the field.
    if (at >= length || (screen->insert_mode && text[length - 1] != ' ')) {
        return false;
    }
    if (screen->insert_mode) {
        std::memmove(text + at + 1, text + at, static_cast<std::size_t>(length - at - 1));
    }
    text[at] = static_cast<char>(ch);
    ++at;
    return true;
}

}  // namespace

bool edit_current_field(Screen* screen, int key) {
    Field* field = field_at(screen, screen->current);
    if (!field || field->display_only || !is_editing_key(key)) {
        return false;
    }
    char* text = field->record.data();
    const int length = field->record_length();
    int& at = screen->edit_position;
    at = std::clamp(at, 0, length);
    const int ch = key_char(key);
    bool changed = false;

    if (screen->text_selected) {
        // The selection goes before the key acts: typing, Backspace and
        // Delete take the whole text with it, other keys keep the text.
        const bool replaces = is_printable(ch) || key == KEY_BACKSPACE || key == KEY_DELETE;
        screen->text_selected = false;
        if (replaces) {
            clear_text(*field, at);
            changed = true;
            if (!is_printable(ch)) {
                key = KEY_CLEAR_FIELD;
            }
        } else {
            draw_field(screen, screen->current);
        }
    }

    if (key == KEY_CLEAR_FIELD) {
        clear_text(*field, at);
        changed = true;
    } else if (key == KEY_BACKSPACE) {
        if (at > 0) {
            std::memmove(text + at - 1, text + at, static_cast<std::size_t>(length - at));
            text[length - 1] = ' ';
            --at;
            changed = true;
        }
    } else if (key == KEY_DELETE) {
        if (at < length) {
            std::memmove(text + at, text + at + 1, static_cast<std::size_t>(length - at - 1));
            text[length - 1] = ' ';
            changed = true;
        }
    } else if (key == KEY_LEFT) {
        if (at > 0) {
            --at;
        }
    } else if (key == KEY_RIGHT) {
        if (at < length - 1) {
            ++at;
        }
    } else if (key == KEY_HOME) {
        at = 0;
    } else if (key == KEY_END) {
        at = std::min(text_length(*field), std::max(0, length - 1));
    } else if (key == KEY_INSERT) {
        screen->insert_mode = !screen->insert_mode;
    } else if (type_character(screen, *field, ch)) {
        changed = true;
    } else if (auto* backend = state().backend.get()) {
        backend->tone(screenlib::kBellTone, screenlib::kBellDuration);
    }
    if (changed) {
        store_variable(*field);
        draw_field(screen, screen->current);
    }
    place_cursor(screen);
    return true;
}

}  // namespace screenlib::detail
