// The C interface of screen_library.h. Every entry checks its handles and
// keeps exceptions inside the library.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "drawing.h"
#include "edit_loop.h"
#include "field_ops.h"
#include "library_state.h"
#include "menu_builder.h"
#include "platform/c_boundary.h"
#include "platform/screen_size.h"
#include "screen_file.h"

using namespace screenlib::detail;

namespace {

using platform::guarded;

// Applies a change to a live screen and redraws it when it is on the screen.
template <typename Change>
void change_screen(Screen* screen, Change change) {
    guarded([&] {
        if (!is_live(screen)) {
            return;
        }
        change(*screen);
        if (screen->shown) {
            draw_window(screen);
        }
    });
}

// A change of size or place: the window comes off the screen and, when it
// was shown, goes back at its new place.
template <typename Change>
void reshape_screen(Screen* screen, Change change) {
    guarded([&] {
        if (!is_live(screen)) {
            return;
        }
        const bool was_shown = screen->shown;
        hide(screen);
        change(*screen);
        if (was_shown) {
            draw_window(screen);
        }
    });
}

// Applies a change to field n of a live screen and redraws the field. A
// change that reports false altered nothing, so the field is not redrawn:
// modules set a field's colours and marks on every fill, mostly to what
// they already are.
template <typename Change>
void change_field(Screen* screen, int n, Change change) {
    guarded([&] {
        Field* target = field_at(screen, n);
        if (!target) {
            return;
        }
        if constexpr (std::is_same_v<decltype(change(*target)), bool>) {
            if (!change(*target)) {
                return;
            }
        } else {
            change(*target);
        }
        draw_field(screen, n);
    });
}

char g_no_text[1];  // what field_text gives for a field that does not exist

}  // namespace

extern "C" {

ScreenFile* screenfile_open(const char* path, const ScreenFunctionEntry* table) {
    return guarded<ScreenFile*>(nullptr, [&]() -> ScreenFile* {
        if (!path) {
            return nullptr;
        }
        auto file = read_screen_file(path, table, nullptr);
        return file ? adopt(std::move(file)) : nullptr;
    });
}

}  // extern "C"

ScreenFile* screenlib::open_screen_file_with_stand_ins(const char* path,
                                                       const ScreenFunctionEntry* table,
                                                       std::vector<std::string>* stand_ins) {
    return guarded<ScreenFile*>(nullptr, [&]() -> ScreenFile* {
        if (!path) {
            return nullptr;
        }
        std::vector<std::string> names;
        auto file = read_screen_file(path, table, &names);
        if (stand_ins) {
            *stand_ins = std::move(names);
        }
        return file ? adopt(std::move(file)) : nullptr;
    });
}

extern "C" {

Screen* screenfile_load(ScreenFile* file, const char* name, int mode) {
    return guarded<Screen*>(nullptr, [&]() -> Screen* {
        if (!is_live(file) || !name) {
            return nullptr;
        }
        for (const auto& definition : file->screens) {
            if (definition.name == name) {
                return adopt(build_screen(definition, mode));
            }
        }
        diagnose(file->path + ":0: no screen '" + name + "'");
        return nullptr;
    });
}

void screenfile_close(ScreenFile* file) {
    guarded([&] { destroy(file); });
}

void screen_paint(Screen* screen) {
    screen_update(screen);
    guarded([&] {
        if (!is_live(screen)) {
            return;
        }
        draw_window(screen);
        if (auto* backend = state().backend.get()) {
            backend->flush();
        }
    });
}

int screen_run(Screen* screen) {
    return guarded(0, [&] { return is_live(screen) ? run_screen(screen) : 0; });
}

void screen_close(Screen* screen) {
    guarded([&] {
        destroy(screen);
        if (auto* backend = state().backend.get()) {
            backend->flush();
        }
    });
}

void screen_set_colors(Screen* screen, uint8_t regular, uint8_t second, uint8_t third) {
    change_screen(screen, [&](Screen& s) {
        s.colors.regular = regular;
        s.colors.second = second;
        s.colors.third = third;
    });
}

void screen_set_border_color(Screen* screen, uint8_t attribute) {
    change_screen(screen, [&](Screen& s) { s.colors.border = attribute; });
}

void screen_set_border(Screen* screen, ScreenBorder border) {
    reshape_screen(screen, [&](Screen& s) { s.border = border; });
}

void screen_set_mouse(Screen* screen, ScreenMouseHandler handler) {
    if (is_live(screen)) {
        screen->mouse_handler = handler;
    }
}

void screen_set_special(Screen* screen, ScreenKeyHandler handler) {
    if (is_live(screen)) {
        screen->key_handler = handler;
    }
}

void screen_set_option(Screen* screen, int option) {
    if (is_live(screen)) {
        screen->option = option;
    }
}

void screen_set_popup(Screen* screen, int popup) {
    if (is_live(screen)) {
        screen->popup = popup != 0;
    }
}

void screen_set_height(Screen* screen, int rows) {
    reshape_screen(screen,
                   [&](Screen& s) { s.inner_rows = std::clamp(rows, 0, int{SCREEN_ROWS}); });
}

void screen_set_width(Screen* screen, int columns) {
    reshape_screen(
        screen, [&](Screen& s) { s.inner_columns = std::clamp(columns, 0, int{SCREEN_COLUMNS}); });
}

void screen_set_position(Screen* screen, int row, int column) {
    reshape_screen(screen, [&](Screen& s) {
        s.row = std::clamp(row, 0, SCREEN_ROWS - 1);
        s.column = std::clamp(column, 0, SCREEN_COLUMNS - 1);
    });
}

void screen_set_extra(Screen* screen, uint32_t extra) {
    if (is_live(screen)) {
        screen->extra = extra;
    }
}

void screen_set_mode(Screen* screen, int mode) {
    guarded([&] {
        if (!is_live(screen)) {
            return;
        }
        screen->mode = mode;
        // Set as a field is entered: its text is selected from now on.
        select_current_text(screen,
                            mode == SCREEN_MODE_KEYBOARD_ENTRY || mode == SCREEN_MODE_MOUSE_ENTRY);
    });
}

int screen_field_no(Screen* screen) {
    if (!is_live(screen) || screen->current < 0) {
        return 0;
    }
    return screen->current;
}

int screen_field_count(Screen* screen) {
    return is_live(screen) ? static_cast<int>(screen->fields.size()) : 0;
}

int screen_goto_field(Screen* screen, int field) {
    return guarded(1, [&] { return is_live(screen) ? goto_field(screen, field) : 1; });
}

void screen_prev_field(Screen* screen) {
    guarded([&] {
        if (is_live(screen)) {
            step_field(screen, -1);
        }
    });
}

void screen_next_field(Screen* screen) {
    guarded([&] {
        if (is_live(screen)) {
            step_field(screen, 1);
        }
    });
}

int screen_leave_field(Screen* screen, int /*field*/) {
    return guarded(1, [&] { return is_live(screen) ? leave_current_field(screen) : 1; });
}

void screen_field_enter(Screen* screen) {
    guarded([&] {
        if (!is_live(screen)) {
            return;
        }
        screen->edit_position = 0;
        draw_field(screen, screen->current);
        place_cursor(screen);
    });
}

void screen_field_done(Screen* screen, int field) {
    change_field(screen, field, [](Field& target) { store_variable(target); });
}

void screen_update(Screen* screen) {
    guarded([&] {
        if (!is_live(screen)) {
            return;
        }
        for (int n = 0; n < static_cast<int>(screen->fields.size()) && is_live(screen); ++n) {
            refresh_field(screen, n);
        }
    });
}

void screen_repaint(Screen* screen) {
    guarded([&] {
        if (is_live(screen) && screen->shown) {
            draw_window(screen);
        }
    });
}

void screen_redraw(Screen* screen) {
    screen_repaint(screen);
}

void screen_draw_field(Screen* screen, int field) {
    guarded([&] {
        if (is_live(screen)) {
            draw_field(screen, field);
        }
    });
}

void screen_set_result(Screen* screen, int value) {
    if (is_live(screen)) {
        screen->result = value;
    }
}

void screen_exit(Screen* screen) {
    if (is_live(screen)) {
        screen->exit_requested = true;
    }
}

void screen_set_prompt(Screen* screen, const char* text) {
    guarded([&] {
        if (!is_live(screen)) {
            return;
        }
        screen->prompt = text ? std::string(text, strnlen(text, 256)) : std::string();
        for (char& ch : screen->prompt) {
            ch = shown_character(ch);
        }
        if (screen->shown) {
            draw_prompt(screen);
        }
    });
}

void screen_flush(void) {
    guarded([] {
        if (auto* backend = state().backend.get()) {
            backend->flush();
        }
    });
}

char* field_text(Screen* screen, int field) {
    Field* target = field_at(screen, field);
    if (!target) {
        g_no_text[0] = '\0';
        return g_no_text;
    }
    return target->record.data();
}

int field_length(Screen* screen, int field) {
    Field* target = field_at(screen, field);
    return target ? target->record_length() : 0;
}

void field_set_text(Screen* screen, const char* text, int field) {
    change_field(screen, field, [&](Field& target) {
        const std::size_t limit = static_cast<std::size_t>(target.record_length());
        set_record(target,
                   text ? std::string_view(text, strnlen(text, limit)) : std::string_view());
    });
}

char* field_var(Screen* screen, int field) {
    Field* target = field_at(screen, field);
    return target ? target->variable : nullptr;
}

void field_set_var(Screen* screen, int field, char* buffer) {
    change_field(screen, field, [&](Field& target) {
        target.variable = buffer;
        load_variable(target);
    });
}

void field_set_colors(Screen* screen, int field, uint8_t regular, uint8_t selected) {
    change_field(screen, field, [&](Field& target) {
        const bool changed = target.regular_color != regular || target.selected_color != selected;
        target.regular_color = regular;
        target.selected_color = selected;
        return changed;
    });
}

void field_reset_colors(Screen* screen, int field) {
    change_field(screen, field, [](Field& target) {
        const bool changed = target.regular_color || target.selected_color;
        target.regular_color.reset();
        target.selected_color.reset();
        return changed;
    });
}

void field_mark(Screen* screen, int field) {
    change_field(screen, field, [](Field& target) {
        const bool changed = !target.display_only;
        target.display_only = true;
        return changed;
    });
}

Menu* menu_open(void) {
    return guarded<Menu*>(nullptr, [] { return adopt(std::make_unique<Menu>()); });
}

int menu_printf(Menu* menu, const char* format, ...) {
    if (!is_live(menu) || !format || menu->flushed) {
        return -1;
    }
    va_list arguments;
    va_start(arguments, format);
    const int result = guarded(-1, [&] { return menu_format(menu, format, arguments); });
    va_end(arguments);
    return result;
}

void menu_flush(Menu* menu) {
    if (is_live(menu)) {
        menu->flushed = true;
    }
}

Screen* menu_screen(Menu* menu) {
    return guarded<Screen*>(nullptr, [&]() -> Screen* {
        auto owned = release(menu);
        if (!owned) {
            return nullptr;
        }
        return adopt(screen_from_menu(*owned));
    });
}

int mouse_present(void) {
    auto* backend = state().backend.get();
    return backend && backend->mouse_present() ? 1 : 0;
}

void sound_tone(int value, int duration) {
    guarded([&] {
        if (auto* backend = state().backend.get()) {
            backend->tone(value, duration);
        }
    });
}

}  // extern "C"

void screenlib::set_field_hot_letter(::Screen* screen, int field, int position) {
    change_field(screen, field, [&](Field& target) {
        target.hot_letter = position >= 0 && position < target.record_length() ? position : -1;
    });
}
