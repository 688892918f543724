// What a headless run keeps of its screens while the session runs modules:
// the screen each module leaves, and the one a run under a key script ends
// on. Internal to the host program.
#pragma once

#include <string>
#include <utility>

namespace hostapp {

class HeadlessObserver {
  public:
    // A module is about to run: what the one before left is forgotten.
    void module_starting();
    // The module's last screen, just before its windows close; a module
    // that draws its own (a pager, a popup) writes it here.
    std::string* screen_left() { return &screen_left_; }
    void leave_screen(std::string screen) { screen_left_ = std::move(screen); }
    // The screen as it stands now is the one the module leaves.
    void keep_screen();
    // A module has returned. The final screen is the one left by the module
    // during which the key script ran out, which is known only now.
    void module_returned();

    // Every key of the script has been read.
    bool script_used_up() const;
    // A key was asked for past the script's end.
    bool script_ran_out() const;
    // See HostSession::final_screen.
    const std::string& final_screen() const { return final_screen_; }

  private:
    std::string screen_left_;
    std::string final_screen_;
    bool end_screen_kept_ = false;
};

}  // namespace hostapp
