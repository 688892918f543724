// Drawing windows on the backend. A window's cells are clipped by the windows
// above it: a cell covered by a higher window goes into that window's saved
// background instead, so closing any window brings back what is beneath.
#pragma once

#include "screen_model.h"

namespace screenlib::detail {

// Saves what lies beneath the window and puts it on top; no-op when shown.
// A window that reaches past the screen's edge is moved up or left to fit;
// one larger than the screen is cut at the edge, its inside scrolling to
// keep the current field in view.
void show(Screen* screen);
// Restores what lay beneath the window and takes it off the stack.
void hide(Screen* screen);

// Draws the whole window: class (or plain body), border, every field, cursor.
void draw_window(Screen* screen);
// The window's inside without fields: the picture in the regular colour.
void draw_body(Screen* screen);
enum class FrameStyle { Single, Prompt };
void draw_frame(Screen* screen, FrameStyle style);
void draw_field(Screen* screen, int n);
void draw_prompt(Screen* screen);
void place_cursor(Screen* screen);
// Writes one cell at a screen position for a window, under the windows above it.
void put_window_cell(const Screen* owner, int row, int column, Cell cell);

// The attribute a field is drawn in now.
uint8_t field_attribute(const Screen* screen, int n);
// True when the field lies wholly inside the window and can be brought into
// view (the inside scrolls by rows only).
bool field_reachable(const Screen* screen, int n);
// True when the field is reachable and in view now.
bool field_visible(const Screen* screen, int n);

}  // namespace screenlib::detail
