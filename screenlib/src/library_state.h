// The library's global state: the backend, the live objects and the stack of
// windows on the screen. shutdown() resets all of it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "screen_model.h"

namespace screenlib::detail {

struct LibraryState {
    std::unique_ptr<Backend> backend;
    std::function<void(const std::string&)> diagnostic_sink;
    std::unordered_map<Screen*, std::unique_ptr<Screen>> screens;
    std::unordered_map<ScreenFile*, std::unique_ptr<ScreenFile>> files;
    std::unordered_map<Menu*, std::unique_ptr<Menu>> menus;
    std::vector<Screen*> shown;  // windows on the screen, bottom first
    // Counts shutdown() calls. A handle kept across one (a host's text window)
    // must not take a later object at the same address for its own.
    uint64_t generation = 0;
    // NO_COLOR: windows are drawn in the attributes of a monochrome display.
    bool monochrome = false;
    // Diagnostics for stderr held back while the terminal shows the screens.
    bool terminal_in_use = false;
    std::vector<std::string> held_diagnostics;
    // Run while a backend waits for a key (set_idle_handler).
    std::function<void()> idle_handler;
    int idle_interval_ms = -1;
};

LibraryState& state();
void diagnose(const std::string& message);

bool is_live(const Screen* screen);
bool is_live(const ScreenFile* file);
bool is_live(const Menu* menu);

Screen* adopt(std::unique_ptr<Screen> screen);
ScreenFile* adopt(std::unique_ptr<ScreenFile> file);
Menu* adopt(std::unique_ptr<Menu> menu);
void destroy(Screen* screen);
void destroy(ScreenFile* file);
std::unique_ptr<Menu> release(Menu* menu);

// The field n of a screen, or null when out of range.
Field* field_at(Screen* screen, int n);

}  // namespace screenlib::detail
