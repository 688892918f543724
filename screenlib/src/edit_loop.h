// The edit loop and the cursor's moves between fields.
#pragma once

#include "screen_model.h"

namespace screenlib::detail {

int run_screen(Screen* screen);
// 0 when the cursor now stands on field n; 1 when it cannot (no such field,
// display-only, outside the window, or the current field refused to be left).
int goto_field(Screen* screen, int n);
// Moves to the next (step 1) or previous (step -1) field that can take the
// cursor, wrapping around; stays when there is none.
void step_field(Screen* screen, int step);
// Runs the current field's exit function; its result (1 when it has none).
int leave_current_field(Screen* screen);
void enter_current_field(Screen* screen);

}  // namespace screenlib::detail
