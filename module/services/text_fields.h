// Fixed-width texts: record and screen texts are padded with blanks and carry
// no terminator, so every helper takes the width it may look at.
#pragma once

// Length of `text` up to and including its last non-blank character, looking
// at no more than `width` characters and stopping at a zero byte.
int blank_length(const char* text, int width);

// Rewrites exactly `width` characters of `buffer`: leading blanks dropped, the
// rest moved to the front up to the first zero byte, blank-padded. Writes no
// terminator.
void left_justify(char* buffer, int width);

// Copies at most `width` characters of `source` (stopping at a zero byte) into
// `target` and blank-pads it to `width`. Writes no terminator.
void copy_padded(char* target, const char* source, int width);
