// The screen library as host modules see it: screen files, screens, fields,
// menus and key dispatch. Every screen, field and menu operation takes the
// screen (or menu) it works on first; fields are numbered from 0.
#pragma once

#include <stdint.h>

#include "platform/key_codes.h"
#include "platform/screen_size.h"

#if defined(_WIN32)
#define SCREENLIB_API __declspec(dllimport)
#elif defined(SCREENLIB_BUILDING)
#define SCREENLIB_API __attribute__((visibility("default")))
#else
#define SCREENLIB_API
#endif

struct Screen;
struct ScreenFile;
struct Menu;

extern "C" {

// ---------------------------------------------------------------- callbacks

// Key handler of a screen (screen_set_special): non-zero when it consumed the key.
typedef int (*ScreenKeyHandler)(Screen* screen, int key);
// Mouse handler: a click at a screen cell; non-zero when it consumed the click.
typedef int (*ScreenMouseHandler)(Screen* screen, int row, int column);
// Border: draws the frame of a window (and, for bd_prompt, its prompt line).
typedef void (*ScreenBorder)(Screen* screen);
// Window class: the drawing behaviour of a window.
typedef void (*ScreenWindowClass)(Screen* screen);

// Field functions of a field-function set.
typedef void (*FieldEntryFn)(Screen* screen);            // the cursor enters the field
typedef uint8_t (*FieldExitFn)(Screen* screen);          // the cursor leaves the field
typedef int (*FieldKeyFn)(Screen* screen, int key);      // non-zero when it consumed the key
typedef void (*FieldFillFn)(Screen* screen, int field);  // the field's text is refreshed

// A field-function set: six members, in this order.
struct FieldFunctions {
    FieldEntryFn entry;
    FieldExitFn exit;
    FieldKeyFn key;
    FieldFillFn fill;
    void* reserved;  // always null
    unsigned int id;
};

// The identifier of a field-function set of string fields.
constexpr unsigned int STRING_FIELD_SET_ID = 0xFFF1;

// screen_set_mode values an entry function sets as the cursor enters a field.
// Both select the field's whole text, so that the first typed character
// replaces it; with the mouse present a click also puts the cursor where the
// click was.
constexpr int SCREEN_MODE_MOUSE_ENTRY = 2;
constexpr int SCREEN_MODE_KEYBOARD_ENTRY = 5;

// Any function, as a ScreenFunctionTable entry holds it.
typedef void (*AnyFunction)(void);

// One entry of a ScreenFunctionTable. "$<class>" with null function and data
// opens a class section; a null name ends the table. Class 0: field-function
// sets (data); 2: key handlers; 5: borders; 6: mouse handlers; 10: window
// classes (function).
struct ScreenFunctionEntry {
    const char* name;
    AnyFunction function;
    const void* data;
};

// ---------------------------------------------------------------- named objects

SCREENLIB_API void sedwin_Class(Screen* screen);
SCREENLIB_API void bd_prompt(Screen* screen);
SCREENLIB_API void bd_1(Screen* screen);
SCREENLIB_API int sedmou_GreedyClick(Screen* screen, int row, int column);
SCREENLIB_API int mouse_default(Screen* screen, int row, int column);

// The library's own field functions. field_std_exit is the common exit
// function of every field kind; field_std_key the standard key function of
// string fields (ordinary editing within the field).
SCREENLIB_API void string_field_entry(Screen* screen);
SCREENLIB_API uint8_t field_std_exit(Screen* screen);
SCREENLIB_API int field_std_key(Screen* screen, int key);
SCREENLIB_API void string_field_fill(Screen* screen, int field);
SCREENLIB_API void menu_field_entry(Screen* screen);
SCREENLIB_API int menu_field_key(Screen* screen, int key);
SCREENLIB_API int masked_field_key(Screen* screen, int key);
SCREENLIB_API void masked_field_fill(Screen* screen, int field);

// The library's own field-function sets (string, menu choice, masked).
SCREENLIB_API extern const FieldFunctions string_field_funcs;
SCREENLIB_API extern const FieldFunctions menu_field_funcs;
SCREENLIB_API extern const FieldFunctions masked_field_funcs;

// ---------------------------------------------------------------- files and screens

// Opens a screen file; 0 when it is missing, does not parse, or names an
// object the table lacks (the reason goes to the diagnostic sink).
SCREENLIB_API ScreenFile* screenfile_open(const char* path, const ScreenFunctionEntry* table);
// Loads a named screen; mode 0 for full screens, 1 for popups. 0 when missing.
SCREENLIB_API Screen* screenfile_load(ScreenFile* file, const char* name, int mode);
SCREENLIB_API void screenfile_close(ScreenFile* file);

SCREENLIB_API void screen_paint(Screen* screen);
// Runs the edit loop until screen_exit or the operator leaves; gives the value
// last set by screen_set_result, or the value of a chosen menu-choice field.
// Escape ends the run with 0.
SCREENLIB_API int screen_run(Screen* screen);
SCREENLIB_API void screen_close(Screen* screen);

// ---------------------------------------------------------------- set-up

SCREENLIB_API void screen_set_colors(Screen* screen, uint8_t regular, uint8_t second,
                                     uint8_t third);
SCREENLIB_API void screen_set_border_color(Screen* screen, uint8_t attribute);
SCREENLIB_API void screen_set_border(Screen* screen, ScreenBorder border);
SCREENLIB_API void screen_set_mouse(Screen* screen, ScreenMouseHandler handler);
SCREENLIB_API void screen_set_special(Screen* screen, ScreenKeyHandler handler);
SCREENLIB_API void screen_set_option(Screen* screen, int option);
SCREENLIB_API void screen_set_popup(Screen* screen, int popup);
SCREENLIB_API void screen_set_height(Screen* screen, int rows);
SCREENLIB_API void screen_set_width(Screen* screen, int columns);
SCREENLIB_API void screen_set_position(Screen* screen, int row, int column);
SCREENLIB_API void screen_set_extra(Screen* screen, uint32_t extra);
SCREENLIB_API void screen_set_mode(Screen* screen, int mode);

// ---------------------------------------------------------------- control

SCREENLIB_API int screen_field_no(Screen* screen);
SCREENLIB_API int screen_field_count(Screen* screen);
// Moves the cursor to field n. 1 when the field cannot hold the cursor
// (display-only, or no such field), so a field walk goes on; 0 when the
// cursor now stands on it.
SCREENLIB_API int screen_goto_field(Screen* screen, int field);
SCREENLIB_API void screen_prev_field(Screen* screen);
SCREENLIB_API void screen_next_field(Screen* screen);
// Runs the exit function of the current field (field n), as leaving it would.
SCREENLIB_API int screen_leave_field(Screen* screen, int field);
SCREENLIB_API void screen_field_enter(Screen* screen);
SCREENLIB_API void screen_field_done(Screen* screen, int field);
// Calls every field's fill function.
SCREENLIB_API void screen_update(Screen* screen);
SCREENLIB_API void screen_repaint(Screen* screen);
SCREENLIB_API void screen_redraw(Screen* screen);
SCREENLIB_API void screen_draw_field(Screen* screen, int field);
SCREENLIB_API void screen_set_result(Screen* screen, int value);
SCREENLIB_API void screen_exit(Screen* screen);
// Sets the prompt line; null clears it.
SCREENLIB_API void screen_set_prompt(Screen* screen, const char* text);
SCREENLIB_API void screen_flush(void);

// ---------------------------------------------------------------- fields

// The field's record text: field_length characters and a terminator.
SCREENLIB_API char* field_text(Screen* screen, int field);
SCREENLIB_API int field_length(Screen* screen, int field);
// Sets the record text; a longer text is cut, a shorter one blank-padded.
SCREENLIB_API void field_set_text(Screen* screen, const char* text, int field);
SCREENLIB_API char* field_var(Screen* screen, int field);
// Binds the field's variable: a buffer of field_length characters that the
// field shows and that editing writes back to.
SCREENLIB_API void field_set_var(Screen* screen, int field, char* buffer);
SCREENLIB_API void field_set_colors(Screen* screen, int field, uint8_t regular, uint8_t selected);
SCREENLIB_API void field_reset_colors(Screen* screen, int field);
// Makes the field display-only.
SCREENLIB_API void field_mark(Screen* screen, int field);

// ---------------------------------------------------------------- menus

SCREENLIB_API Menu* menu_open(void);
// Formats text into the menu. "@p[row,column]" places what follows;
// "@f[template]" defines a field whose record positions are the '#'
// characters of the template and takes two arguments: the field's variable
// (char*, may be null) and its field-function set (const FieldFunctions*).
SCREENLIB_API int menu_printf(Menu* menu, const char* format, ...);
SCREENLIB_API void menu_flush(Menu* menu);
// A window made of the menu, or 0; the window owns the menu from then on.
SCREENLIB_API Screen* menu_screen(Menu* menu);

// ---------------------------------------------------------------- other

// The character of a key code (its low byte), 0 for keys without one.
SCREENLIB_API int key_char(int key);
SCREENLIB_API int mouse_present(void);
SCREENLIB_API void sound_tone(int value, int duration);

}  // extern "C"
