// Keeps the editor's last picture: the module closes its screen before it
// returns, and closing restores what was beneath. These definitions come
// first in the module's symbol lookup; each notes its call in the teardown
// log, screen_close copies the headless screen, then the library's own runs.
#include <dlfcn.h>

#include "platform/host_libraries.h"
#include "platform/screen_library.h"
#include "scenario_support.h"

HostContext* watched_context = nullptr;
EditorPicture editor_picture;
std::vector<EditorPicture> popup_pictures;
std::vector<ScreenPicture> closed_pictures;
std::function<void()> before_screen_close;
std::vector<std::string> teardown_calls;

namespace {

// The library's own definition of `name`.
template <typename Function>
Function library_function(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

#define SPY_API extern "C" __attribute__((visibility("default")))

SPY_API void screen_close(Screen* screen) {
    static const auto library_close = library_function<void (*)(Screen*)>("screen_close");
    if (watched_context != nullptr) {
        closed_pictures.push_back(picture_of_screen());
        if (screen == watched_context->current_screen) {
            editor_picture = closed_pictures.back();
        } else {
            popup_pictures.push_back(closed_pictures.back());
        }
    }
    teardown_calls.push_back("screen_close");
    if (before_screen_close) {
        before_screen_close();
    }
    library_close(screen);
}

SPY_API void screenfile_close(ScreenFile* file) {
    static const auto library_close = library_function<void (*)(ScreenFile*)>("screenfile_close");
    teardown_calls.push_back("screenfile_close");
    library_close(file);
}

SPY_API void menubar_close(void) {
    static const auto library_close = library_function<void (*)(void)>("menubar_close");
    teardown_calls.push_back("menubar_close");
    library_close();
}

SPY_API void host_leave(void) {
    static const auto library_leave = library_function<void (*)(void)>("host_leave");
    teardown_calls.push_back("host_leave");
    library_leave();
}
