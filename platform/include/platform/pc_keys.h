// PC key codes: 16 bits, the scan code in the high byte and the character in
// the low byte. The names clash with none of curses' KEY_ macros, so this
// header can stand beside ncurses.h; key_codes.h gives the same codes the
// names the module uses.
#pragma once

namespace pc_key {

inline constexpr int Escape = 0x011B;
inline constexpr int Backspace = 0x0E08;
inline constexpr int Tab = 0x0F09;
inline constexpr int ShiftTab = 0x0F00;
inline constexpr int Enter = 0x1C0D;
inline constexpr int F1 = 0x3B00;  // F2 to F10 follow, one scan code apart
inline constexpr int F2 = 0x3C00;
inline constexpr int F3 = 0x3D00;
inline constexpr int F4 = 0x3E00;
inline constexpr int F5 = 0x3F00;
inline constexpr int F6 = 0x4000;
inline constexpr int F7 = 0x4100;
inline constexpr int F8 = 0x4200;
inline constexpr int F9 = 0x4300;
inline constexpr int F10 = 0x4400;
inline constexpr int Accept = 0x4606;  // Ctrl-Break position; accepts a popup like Enter
inline constexpr int Home = 0x4700;
inline constexpr int Up = 0x4800;
inline constexpr int PageUp = 0x4900;
inline constexpr int Left = 0x4B00;
inline constexpr int Right = 0x4D00;
inline constexpr int End = 0x4F00;
inline constexpr int Down = 0x5000;
inline constexpr int PageDown = 0x5100;
inline constexpr int Insert = 0x5200;
inline constexpr int Delete = 0x5300;
inline constexpr int CtrlL = 0x260C;
inline constexpr int CtrlU = 0x1615;

}  // namespace pc_key
