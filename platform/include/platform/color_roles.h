// The colour bytes of HostSettings decoded into the roles the screen library
// takes. Everything that colours a window or a field from the settings reads
// them through here.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/host_records.h"

// The arguments of screen_set_colors (regular, second, third) and of
// screen_set_border_color.
struct WindowColors {
    uint8_t regular;
    uint8_t second;
    uint8_t third;
    uint8_t border;
};

// Both four-byte groups hold second, border, regular, third in that order.
constexpr WindowColors window_colors(const uint8_t (&bytes)[4]) {
    return WindowColors{bytes[2], bytes[0], bytes[3], bytes[1]};
}

// Full screens: bytes 17 to 20.
inline WindowColors screen_window_colors(const HostSettings& settings) {
    return window_colors(settings.screen_colors);
}

// Popups: bytes 28 to 31.
inline WindowColors popup_window_colors(const HostSettings& settings) {
    return window_colors(settings.popup_colors);
}

// The editor's field colours, named by their byte position in HostSettings.
enum FieldColorByte : int {
    FIELD_COLOR_INVALID_REGULAR = 21,  // unchanged group field, invalid name
    FIELD_COLOR_INVALID_SELECTED = 22,
    FIELD_COLOR_MODIFIED_REGULAR = 23,  // changed group field, valid name
    FIELD_COLOR_MODIFIED_SELECTED = 24,
    FIELD_COLOR_BOTH_REGULAR = 25,  // changed group field, invalid name
    FIELD_COLOR_BOTH_SELECTED = 26,
    FIELD_COLOR_INSTRUMENT = 27,  // regular and selected of every instrument field
};

inline uint8_t field_color(const HostSettings& settings, FieldColorByte byte) {
    return settings.field_colors[byte - offsetof(HostSettings, field_colors)];
}
