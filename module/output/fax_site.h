// The popup in which the operator types a FAX number, and the new site made
// of it in the site directory that the destination choice holds open.
#pragma once

#include <stdint.h>

#include "platform/screen_library.h"

// The ScreenFunctionTable of the LOOKUP screen file.
extern const ScreenFunctionEntry* const lookup_table;

// Runs the popup; the new site's id, or 0 when none was made.
uint32_t create_fax_site();
// The popup's key handler: Enter in the number field moves to the confirming
// field, Enter there stores the site; Up and Down move between fields.
int lookup_special(Screen* screen, int key);
// Stores a site for the number in field 2: 1 when it was stored, else 0.
int add_fax_site(Screen* screen);
