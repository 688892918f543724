// A modal list of records of a data set of any length, one line a record.
// The popup keeps one page of record positions and asks the caller for
// records one at a time, through a fetch callback, as the operator scrolls.
#pragma once

#include <stdint.h>

struct Screen;

// Operations of a fetch callback.
enum ListOperation : int {
    LIST_FIRST = 0,  // the first record of the data set
    LIST_NEXT = 1,   // the record after the one the position variable names
    LIST_PREV = 2,   // the record before the one the position variable names
    LIST_LAST = 3,   // the last record of the data set
};

// Non-zero when it fetched a record; it then has stored the record's position
// into the caller's position variable and its text (data-width characters)
// into the caller's line buffer.
typedef int (*ListFetch)(int operation);

// The caller's window: colours, place, height and the widths of a line's
// columns. Even-numbered columns are blank separators, odd-numbered ones data.
struct ListPopupLayout {
    uint8_t colour1;
    uint8_t colour2;
    uint8_t colour3;
    uint8_t border_colour;
    int32_t row;
    int32_t column;
    uint32_t extra;  // handed to screen_set_extra when not 0
    int32_t height;  // rows of the window, at least 1
    int32_t column_count;
    const int32_t* widths;  // column_count widths, from the left
};

// Sets the layout's colours from the host's popup colours, as every list of
// the module shows them.
void set_list_colours(ListPopupLayout* layout);

// Results of list_popup.
enum ListResult : int {
    LIST_CHOSEN = 0,
    LIST_LEFT = -1,
    LIST_NO_MEMORY = 1,
    LIST_NO_MENU = 2,
    LIST_NO_WINDOW = 3,
    LIST_EMPTY = 4,
};

// Runs the list. On LIST_CHOSEN the position variable holds the chosen
// row's position and the line buffer its data-width characters (no
// terminator is added). `from_end` 0 fills the first page from the first
// record forward, any other value from the last record backward.
int list_popup(ListFetch fetch, uint32_t* position, char* line, const ListPopupLayout* layout,
               int from_end);

// The running list's key handler: scrolling, choosing, and no typing over rows.
int list_special(Screen* window, int key);
