// Key codes under the names the module and the host use; the codes
// themselves are those of pc_keys.h.
#pragma once

#include "platform/pc_keys.h"

enum KeyCode : int {
    KEY_ESCAPE = pc_key::Escape,
    KEY_BACKSPACE = pc_key::Backspace,
    KEY_TAB = pc_key::Tab,
    KEY_SHIFT_TAB = pc_key::ShiftTab,
    KEY_ENTER = pc_key::Enter,
    KEY_F1 = pc_key::F1,
    KEY_F2 = pc_key::F2,
    KEY_F3 = pc_key::F3,
    KEY_F4 = pc_key::F4,
    KEY_F5 = pc_key::F5,
    KEY_F6 = pc_key::F6,
    KEY_F7 = pc_key::F7,
    KEY_F8 = pc_key::F8,
    KEY_F9 = pc_key::F9,
    KEY_F10 = pc_key::F10,
    KEY_ACCEPT = pc_key::Accept,
    KEY_HOME = pc_key::Home,
    KEY_UP = pc_key::Up,
    KEY_PAGE_UP = pc_key::PageUp,
    KEY_LEFT = pc_key::Left,
    KEY_RIGHT = pc_key::Right,
    KEY_END = pc_key::End,
    KEY_DOWN = pc_key::Down,
    KEY_PAGE_DOWN = pc_key::PageDown,
    KEY_INSERT = pc_key::Insert,
    KEY_DELETE = pc_key::Delete,
    KEY_CLEAR_FIELD = pc_key::CtrlU,
    KEY_REPAINT = pc_key::CtrlL,
};
