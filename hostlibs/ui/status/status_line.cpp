// The status-line library: shows an item's text at the right end of the
// bottom row and keeps it for the host and tests.
#include <algorithm>
#include <memory>

#include "core/c_boundary.h"
#include "hostlibs/status.h"
#include "screenlib/screenlib.h"

namespace hostlibs {
namespace {

constexpr uint8_t kStatusAttribute = 0x70;  // black on light grey

StatusShown& shown() {
    static StatusShown state;
    return state;
}

// The window the text stands in; first used after the screen library's state
// exists, so it goes before that state at exit.
std::unique_ptr<screenlib::TextWindow>& status_window() {
    static std::unique_ptr<screenlib::TextWindow> window;
    return window;
}

}  // namespace

StatusShown status_shown() {
    return shown();
}

void reset_status() {
    shown() = StatusShown{};
    status_window().reset();
}

void redraw_status() {
    screenlib::Backend* backend = screenlib::backend();
    if (backend == nullptr) {
        return;
    }
    // The old text's window goes first, giving back what lay beneath it; the
    // new one goes on top of every window on the screen.
    status_window().reset();
    const std::string& text = shown().text;
    if (text.empty() || STATUS_ROW >= backend->rows()) {
        return;
    }
    const int width = std::min<int>(static_cast<int>(text.size()), backend->columns());
    status_window() =
        std::make_unique<screenlib::TextWindow>(STATUS_ROW, backend->columns() - width, 1, width);
    status_window()->put(0, 0, text, kStatusAttribute);
    status_window()->flush();
}

}  // namespace hostlibs

namespace {

int show_status(const StatusItem* item, int duration) {
    if (item == nullptr || (item->text == nullptr && item->length != 0)) {
        return 1;
    }
    hostlibs::StatusShown& state = hostlibs::shown();
    const size_t length = std::min<size_t>(item->length, hostlibs::STATUS_MAX_TEXT);
    std::string text(item->text == nullptr ? "" : std::string(item->text, length));
    // The text is fixed-width and need not be terminated; a zero byte ends it early.
    text.resize(std::min(text.size(), text.find('\0')));
    state.text = text;
    state.first = item->first;
    state.kind = item->kind;
    state.count = item->count;
    state.duration = duration;
    ++state.times;
    hostlibs::redraw_status();
    return 0;
}

}  // namespace

// The C interface: nothing thrown inside gets out.
int status_show(const StatusItem* item, int duration) {
    return hostlibs::detail::guarded(1, [&] { return show_status(item, duration); });
}
