// The status-line library: shows an item's text at the right end of the
// bottom row and keeps it for the host and tests.
#include <algorithm>
#include <vector>

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

}  // namespace

StatusShown status_shown() {
    return shown();
}

void reset_status() {
    shown() = StatusShown{};
}

void redraw_status() {
    screenlib::Backend* backend = screenlib::backend();
    const std::string& text = shown().text;
    if (backend == nullptr || text.empty() || STATUS_ROW >= backend->rows()) {
        return;
    }
    const int width = std::min<int>(static_cast<int>(text.size()), backend->columns());
    std::vector<screenlib::Cell> cells;
    for (int i = 0; i < width; ++i) {
        cells.push_back({text[static_cast<size_t>(i)], kStatusAttribute});
    }
    backend->put(STATUS_ROW, backend->columns() - width, cells.data(), width);
    backend->flush();
}

}  // namespace hostlibs

static int show_status(const StatusItem* item, int duration) {
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

// The C interface: nothing thrown inside gets out.
int status_show(const StatusItem* item, int duration) {
    return hostlibs::detail::guarded(1, [&] { return show_status(item, duration); });
}
