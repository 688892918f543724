#include "session/headless_observer.h"

#include "screenlib/screenlib.h"

namespace hostapp {

void HeadlessObserver::module_starting() {
    screen_left_.clear();
}

void HeadlessObserver::keep_screen() {
    if (screenlib::Backend* backend = screenlib::backend()) {
        screen_left_ = backend->text();
    }
}

void HeadlessObserver::module_returned() {
    if (end_screen_kept_) {
        return;
    }
    if (!screen_left_.empty()) {
        final_screen_ = screen_left_;
    }
    end_screen_kept_ = script_ran_out();
}

bool HeadlessObserver::script_used_up() const {
    screenlib::Backend* backend = screenlib::backend();
    return backend != nullptr && backend->input_ended();
}

bool HeadlessObserver::script_ran_out() const {
    screenlib::Backend* backend = screenlib::backend();
    return backend != nullptr && backend->input_ran_out();
}

}  // namespace hostapp
