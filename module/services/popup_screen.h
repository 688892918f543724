// Popup screens (yes/no, password, guards, the new FAX site): finding the file
// in the user's or the fallback language, loading its screen for one run and
// closing it on every way out, and the popup colours, tone and key handler
// they have in common.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/color_roles.h"
#include "platform/screen_library.h"
#include "services/host_paths.h"
#include "services/screen_files.h"

// Every popup path is built in a buffer of this size; a longer path is a
// missing file, never a cut one.
constexpr size_t kPopupPathSize = kLongPathSize;

// A popup's screen file without its language extension. A path that did not
// fit holds the cut text, for reporting.
struct PopupPath {
    char text[kPopupPathSize];
    bool fits;
};

// "<folder><name>".
PopupPath popup_path(const char* folder, const char* name);
// "<popup_dir><name>": the shared popup screen files.
PopupPath shared_popup_path(const char* name);

enum class PopupLoad {
    kLoaded,
    kFileMissing,    // reported as 0x80007530 with the fallback-language path (or the cut one)
    kScreenMissing,  // reported as 0x80007531 with the path of the opened file
};

// One run of a popup screen. Loading opens "<path>.Lnn" with `table` in the
// user's language, else in the host's fallback language, loads screen `name`
// in `mode`, closes the file at once and gives the screen the popup colours
// and the popup flag; failures are reported under the host user's id. The
// screen is closed when the run goes, or by close().
class PopupRun {
  public:
    // Cursor placement of paint() that keeps the screen file's own.
    static constexpr int kKeepCursor = -1;

    PopupRun(const PopupPath& path, const ScreenFunctionEntry* table, const char* name, int mode);
    PopupRun(const PopupRun&) = delete;
    PopupRun& operator=(const PopupRun&) = delete;

    PopupLoad status() const { return status_; }
    bool loaded() const { return status_ == PopupLoad::kLoaded; }
    // The loaded screen; null unless loaded and not yet closed.
    Screen* screen() const { return screen_.get(); }

    // Puts the cursor on `start_field` (unless kKeepCursor) and paints.
    void paint(int start_field);
    // The screen's edit loop; what the run gave.
    int run();
    void close() { screen_.reset(); }

  private:
    OpenScreen screen_;
    PopupLoad status_ = PopupLoad::kFileMissing;
};

// The popup colours of HostSettings (bytes 28 to 31).
WindowColors popup_colors();

// Key handler of the choice popups: consumes nothing, so every key gets the
// screen library's own handling.
int popup_special(Screen* screen, int key);
