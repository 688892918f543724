// The shared popup screen files (yes/no, password, guards): finding the file
// in the user's or the fallback language, loading its screen, and the popup
// colours, tone and key handler they have in common.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/color_roles.h"
#include "platform/screen_library.h"
#include "services/host_paths.h"

// Every popup path is built in a buffer of this size; a longer path is a
// missing file, never a cut one.
constexpr size_t kPopupPathSize = kLongPathSize;

enum class PopupLoad {
    kLoaded,
    kFileMissing,    // reported as 0x80007530 with the fallback-language path
    kScreenMissing,  // reported as 0x80007531 with the path of the opened file
};

// Formats "<popup_dir><name>" into `base` (kPopupPathSize bytes). False when
// it does not fit; `base` then holds a cut text for reporting.
bool popup_base_path(char* base, const char* name);

// Opens "<base_path>.Lnn" with `table` in the user's language, else in the
// host's fallback language, loads screen `name` in `mode` and closes the file
// at once. Failures are reported under the host user's id; *screen is set
// only when the screen was loaded.
PopupLoad load_popup_screen(const char* base_path, const ScreenFunctionEntry* table,
                            const char* name, int mode, Screen** screen);

// Report of a popup file that cannot be named: 0x80007530 with the cut path.
void report_missing_popup(const char* path);

// The popup colours of HostSettings (bytes 28 to 31).
WindowColors popup_colors();
// The popup's window colours and its border colour.
void set_popup_colors(Screen* screen);

// Key handler of the choice popups: consumes nothing, so every key gets the
// screen library's own handling.
int popup_special(Screen* screen, int key);
