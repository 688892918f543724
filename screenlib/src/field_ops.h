// Operations on one field: its record text, its variable and its editing.
#pragma once

#include <string_view>

#include "screen_model.h"

namespace screenlib::detail {

// Sets the record text: cut to the record length, blank-padded, and written
// through to the variable when one is bound. Non-printable characters become blanks.
void set_record(Field& field, std::string_view text);
// Copies the bound variable (up to its terminator or the record length) into the record.
void load_variable(Field& field);
// Writes the record to the bound variable (record length characters, no terminator).
void store_variable(const Field& field);
// Refreshes the field's text: its fill function, or else its variable.
void refresh_field(Screen* screen, int n);

// Ordinary editing of the current field: printable characters (insert or
// overwrite), Backspace, Delete, Left, Right, Home, End, Insert, Ctrl-U
// (clear). While the text is selected, a character replaces it, Backspace
// and Delete clear it, and any other of these keys drops the selection
// first. A character that does not fit sounds the bell. True when the key
// was one of these.
bool edit_current_field(Screen* screen, int key);
// Selects or deselects the current field's whole text, redrawing the field.
// Only a running screen's editable field can hold a selection.
void select_current_text(Screen* screen, bool selected);

// A field that can take the cursor: visible and not display-only.
bool can_take_cursor(const Screen* screen, int n);

}  // namespace screenlib::detail
