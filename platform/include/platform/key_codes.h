// Key codes: 16 bits, the PC scan code in the high byte and the character in
// the low byte.
#pragma once

enum KeyCode : int {
    KEY_ESCAPE = 0x011B,
    KEY_BACKSPACE = 0x0E08,
    KEY_TAB = 0x0F09,
    KEY_SHIFT_TAB = 0x0F00,
    KEY_ENTER = 0x1C0D,
    KEY_F1 = 0x3B00,
    KEY_F2 = 0x3C00,
    KEY_F3 = 0x3D00,
    KEY_F4 = 0x3E00,
    KEY_F5 = 0x3F00,
    KEY_F6 = 0x4000,
    KEY_F7 = 0x4100,
    KEY_F8 = 0x4200,
    KEY_F9 = 0x4300,
    KEY_F10 = 0x4400,
    KEY_ACCEPT = 0x4606,  // Ctrl-Break position; accepts a popup like Enter
    KEY_HOME = 0x4700,
    KEY_UP = 0x4800,
    KEY_PAGE_UP = 0x4900,
    KEY_LEFT = 0x4B00,
    KEY_RIGHT = 0x4D00,
    KEY_END = 0x4F00,
    KEY_DOWN = 0x5000,
    KEY_PAGE_DOWN = 0x5100,
    KEY_INSERT = 0x5200,
    KEY_DELETE = 0x5300,
};
