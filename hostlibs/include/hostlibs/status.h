// The host's status line (the screen's bottom row) as the host program and
// tests see it. Modules use status_show of host_libraries.h.
#pragma once

#include <cstdint>
#include <string>

#include "platform/host_libraries.h"
#include "platform/screen_size.h"

namespace hostlibs {

enum : int { STATUS_ROW = SCREEN_ROWS - 1, STATUS_MAX_TEXT = SCREEN_COLUMNS };

struct StatusShown {
    std::string text;    // the item's text, as many characters as it gives
    uint32_t first = 0;  // the item's words, as handed over
    uint32_t kind = 0;
    uint32_t count = 0;
    int duration = 0;
    int times = 0;  // how many items were shown since the last reset
};

// The last item shown.
HOSTLIB_API StatusShown status_shown();
HOSTLIB_API void reset_status();
// Draws the last item again (after something painted over the bottom row).
HOSTLIB_API void redraw_status();

}  // namespace hostlibs
