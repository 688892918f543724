#include "edit_loop.h"

#include "drawing.h"
#include "field_ops.h"
#include "library_state.h"

namespace screenlib::detail {

int leave_current_field(Screen* screen) {
    const int n = screen->current;
    Field* field = field_at(screen, n);
    if (!field || !field->functions || !field->functions->exit) {
        return 1;
    }
    const int result = field->functions->exit(screen);
    // What the exit function made of the text (a name checked, a colour
    // changed) shows at once: the field is refreshed through its fill
    // function. A field the exit function keeps is left as typed.
    field = is_live(screen) ? field_at(screen, n) : nullptr;
    if (result != 0 && field && field->functions && field->functions->fill) {
        field->functions->fill(screen, n);
    }
    return result;
}

void enter_current_field(Screen* screen) {
    Field* field = field_at(screen, screen->current);
    if (!field) {
        return;
    }
    screen->edit_position = 0;
    screen->text_selected = false;  // the entry function's screen_set_mode selects it
    if (field->functions && field->functions->entry) {
        field->functions->entry(screen);
    }
    place_cursor(screen);
}

namespace {

// Moves the cursor from the current field to field n, which can take it.
bool move_cursor(Screen* screen, int n) {
    if (screen->current == n) {
        return true;
    }
    if (screen->running) {
        // A field's exit function may keep the cursor where it is.
        if (screen->current >= 0 && leave_current_field(screen) == 0) {
            return false;
        }
        if (!is_live(screen)) {
            return false;
        }
    }
    const int previous = screen->current;
    screen->text_selected = false;
    screen->current = n;
    screen->edit_position = 0;
    draw_field(screen, previous);
    draw_field(screen, n);
    if (screen->running) {
        enter_current_field(screen);
    }
    place_cursor(screen);
    return true;
}

}  // namespace

int goto_field(Screen* screen, int n) {
    if (!can_take_cursor(screen, n)) {
        return 1;
    }
    return move_cursor(screen, n) ? 0 : 1;
}

void step_field(Screen* screen, int step) {
    const int count = static_cast<int>(screen->fields.size());
    if (count == 0) {
        return;
    }
    int n = screen->current < 0 ? (step > 0 ? -1 : count) : screen->current;
    for (int tries = 0; tries < count; ++tries) {
        n = ((n + step) % count + count) % count;
        if (can_take_cursor(screen, n)) {
            move_cursor(screen, n);
            return;
        }
    }
}

namespace {

bool is_accept(int key) {
    return key == KEY_ENTER || key == KEY_ACCEPT;
}

// The library's own handling of a key nobody else consumed.
void navigate(Screen* screen, int key) {
    Field* field = field_at(screen, screen->current);
    if (key == KEY_ESCAPE) {
        screen->result = 0;
        screen->exit_requested = true;
    } else if (is_accept(key) && field && field->kind == FieldKind::Choice &&
               !field->display_only) {
        screen->result = field->value;
        screen->exit_requested = true;
    } else if (is_accept(key) || key == KEY_TAB || key == KEY_DOWN) {
        step_field(screen, 1);
    } else if (key == KEY_SHIFT_TAB || key == KEY_UP) {
        step_field(screen, -1);
    }
}

void dispatch_key(Screen* screen, int key) {
    if (is_mouse_click(key)) {
        const int row = mouse_click_row(key);
        const int column = mouse_click_column(key);
        if (screen->mouse_handler) {
            screen->mouse_handler(screen, row, column);
        } else {
            mouse_default(screen, row, column);
        }
        return;
    }
    if (screen->key_handler && screen->key_handler(screen, key) != 0) {
        return;
    }
    if (!is_live(screen) || screen->exit_requested) {
        return;
    }
    Field* field = field_at(screen, screen->current);
    if (field && field->functions && field->functions->key &&
        field->functions->key(screen, key) != 0) {
        return;
    }
    if (!is_live(screen) || screen->exit_requested) {
        return;
    }
    navigate(screen, key);
}

}  // namespace

int run_screen(Screen* screen) {
    auto& s = state();
    if (!s.backend) {
        return 0;
    }
    draw_window(screen);
    // A run starts on the current field, or the first that can take the cursor.
    if (!can_take_cursor(screen, screen->current)) {
        screen->current = -1;
        for (int n = 0; n < static_cast<int>(screen->fields.size()); ++n) {
            if (can_take_cursor(screen, n)) {
                screen->current = n;
                break;
            }
        }
    }
    const bool outer_running = screen->running;
    screen->running = true;
    screen->exit_requested = false;
    screen->result = 0;
    draw_field(screen, screen->current);
    enter_current_field(screen);

    while (is_live(screen) && !screen->exit_requested) {
        if (!s.backend) {
            break;
        }
        place_cursor(screen);
        s.backend->flush();
        const int key = s.backend->read_key();
        if (key < 0) {  // no more input: the run ends as if closed
            screen->result = 0;
            break;
        }
        dispatch_key(screen, key);
    }
    if (!is_live(screen)) {
        return 0;  // closed from inside its own run
    }
    screen->running = outer_running;
    screen->exit_requested = false;
    screen->text_selected = false;
    draw_field(screen, screen->current);
    return screen->result;
}

}  // namespace screenlib::detail
