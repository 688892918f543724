// The idle handler (set_idle_handler) as the backends run it while they wait
// for a key. Kept apart from library_state.h, whose key names clash with
// ncurses' in the terminal backend.
#pragma once

namespace screenlib::detail {

// The idle handler's interval, or -1 when there is none.
int idle_interval_ms();
// Calls the idle handler, if any.
void run_idle_handler();

}  // namespace screenlib::detail
