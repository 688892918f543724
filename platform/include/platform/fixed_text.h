// Fixed-width texts: record and screen texts are padded with blanks and carry
// no terminator, so every helper takes the width it may look at. Whoever
// reads or writes such a field (the module, the host, its libraries) uses
// these.
#pragma once

#include <stddef.h>

#include <string_view>

// Length of `text` up to and including its last non-blank character, looking
// at no more than `width` characters and stopping at a zero byte. 0 for null.
int blank_length(const char* text, int width);

// Rewrites exactly `width` characters of `buffer`: leading blanks dropped, the
// rest moved to the front up to the first zero byte, blank-padded. Writes no
// terminator.
void left_justify(char* buffer, int width);

// Copies at most `width` characters of `source` (stopping at a zero byte; null
// is the empty text) into `target` and blank-pads it to `width`. Writes no
// terminator.
void copy_padded(char* target, const char* source, int width);

// Copies at most `width` bytes of `bytes`, zero bytes included, into `target`
// and blank-pads it to `width`. Writes no terminator.
void copy_padded_bytes(char* target, std::string_view bytes, int width);

// The text of a fixed-width field: up to its first zero byte within `width`,
// trailing blanks dropped.
std::string_view fixed_text(const char* field, size_t width);
