// Prompt-line messages with their tones, and the forward field walk.
#pragma once

struct Screen;

// Tone chosen by a message's mode; any other value sounds nothing.
enum MessageMode : int {
    MESSAGE_SILENT = 0,
    MESSAGE_FIRST_TONE = 1,
    MESSAGE_SECOND_TONE = 2,
};

// Shows host message `number` (0: the empty text) on the prompt line of `screen`.
void show_message(int number, Screen* screen, int mode);
// Shows `text` on the prompt line of `screen`, then sounds the tone of `mode`.
void show_prompt(const char* text, Screen* screen, int mode);
// Sounds the tone of `mode` when the host has that tone switched on.
void sound_message_tone(int mode);
// Moves the cursor to field `first`, or on to the next field for as long as
// the library reports that the cursor cannot stand where it was sent.
void seek_field_forward(Screen* screen, int first);
