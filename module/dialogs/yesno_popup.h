// The yes/no confirmation: up to four lines of text and a yes or a no.
#pragma once

#include "platform/screen_library.h"

enum YesNoResult : int {
    YESNO_NO = 0,  // no, Escape, or any other way out
    YESNO_YES = 1,
    YESNO_NOT_SHOWN = 2,  // the screen file or its screen is missing (reported)
};

extern const ScreenFunctionEntry* const yesno_table;

// Shows the four zero-terminated lines (empty for a line not needed) with
// the cursor first on `start_field`, and waits for the answer.
int yesno_popup(const char* line1, const char* line2, const char* line3, const char* line4,
                int start_field);
