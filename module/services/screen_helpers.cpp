#include "services/screen_helpers.h"

#include "platform/byte_fields.h"
#include "platform/screen_library.h"
#include "services/module_state.h"

namespace {

// A message line holds 40 characters and its terminator.
constexpr int kMessageSize = 41;
constexpr int kToneDuration = 10;

}  // namespace

void show_message(int number, Screen* screen, int mode) {
    char text[kMessageSize] = {};
    // Numbers below 1 name no message: the line is cleared.
    if (number > 0 && host_context != nullptr && host_context->message_text != nullptr) {
        host_context->message_text(number - 1, text, kMessageSize);
        // The host may fill the whole buffer; the line never reads past it.
        text[kMessageSize - 1] = '\0';
    }
    show_prompt(text, screen, mode);
}

void show_prompt(const char* text, Screen* screen, int mode) {
    screen_set_prompt(screen, text);
    sound_message_tone(mode);
}

void sound_message_tone(int mode) {
    const HostSettings* settings = host_context != nullptr ? host_context->settings : nullptr;
    if (settings == nullptr) {
        return;
    }
    if (mode == MESSAGE_FIRST_TONE && settings->first_tone_on != 0) {
        sound_tone(load_i16(settings->first_tone), kToneDuration);
    } else if (mode == MESSAGE_SECOND_TONE && settings->second_tone_on != 0) {
        sound_tone(load_i16(settings->second_tone), kToneDuration);
    }
}

void seek_field_forward(Screen* screen, int first) {
    for (int field = first; field < screen_field_count(screen); ++field) {
        if (screen_goto_field(screen, field) != 1) {
            return;
        }
    }
}
