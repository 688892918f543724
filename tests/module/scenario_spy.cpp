// Keeps the editor's last picture: the module closes its screen before it
// returns, and closing restores what was beneath. This definition of
// screen_close comes first in the module's symbol lookup; it copies the
// headless screen, then calls the library's own.
#include <dlfcn.h>

#include "scenario_support.h"
#include "screen_library.h"

HostContext* watched_context = nullptr;
EditorPicture editor_picture;

namespace {

void take_picture() {
    auto* headless = dynamic_cast<screenlib::HeadlessBackend*>(screenlib::backend());
    if (headless == nullptr)
        return;
    editor_picture = {};
    editor_picture.taken = true;
    for (int r = 0; r < headless->rows(); ++r) {
        editor_picture.rows.push_back(headless->row_text(r));
        std::vector<uint8_t> attributes;
        for (int c = 0; c < headless->columns(); ++c)
            attributes.push_back(headless->attribute(r, c));
        editor_picture.attributes.push_back(std::move(attributes));
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void screen_close(Screen* screen) {
    using Close = void (*)(Screen*);
    static const Close library_close = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "screen_close"));
    if (watched_context != nullptr && screen == watched_context->current_screen) {
        take_picture();
    }
    library_close(screen);
}
