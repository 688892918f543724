// The editor screen's behaviour: its key handler and the field functions of
// `my_string_funcs`, which tie the twenty rows of a page to the table.
#pragma once

#include <stdint.h>

struct Screen;

// Navigation, paging and change marks; 1 when the key was consumed.
int editor_key_handler(Screen* screen, int key);
// Gives field `field` its text and colours from the table.
void fill_field(Screen* screen, int field);
void group_field_entry(Screen* screen);
// Takes the typed group name into the table and checks it for a second word.
uint8_t group_field_exit(Screen* screen);
// Refills every field after a page change and clears the prompt line.
void refresh_page(Screen* screen);
// Colours field `field` from its row's change and validity marks.
void set_field_colors(Screen* screen, int field);
