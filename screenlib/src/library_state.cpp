#include "library_state.h"

#include <algorithm>
#include <cstdio>

#include "drawing.h"
#include "idle_handler.h"
#include "terminal/terminal_backend.h"

namespace screenlib::detail {

LibraryState& state() {
    static LibraryState instance;
    return instance;
}

void diagnose(const std::string& message) {
    auto& s = state();
    if (s.diagnostic_sink) {
        s.diagnostic_sink(message);
    } else if (s.terminal_in_use) {
        s.held_diagnostics.push_back(message);  // stderr would write over the screen
    } else {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
}

namespace {

template <typename T>
bool contains(const std::unordered_map<T*, std::unique_ptr<T>>& map, const T* object) {
    return object != nullptr && map.count(const_cast<T*>(object)) != 0;
}

}  // namespace

bool is_live(const Screen* screen) {
    return contains(state().screens, screen);
}
bool is_live(const ScreenFile* file) {
    return contains(state().files, file);
}
bool is_live(const Menu* menu) {
    return contains(state().menus, menu);
}

namespace {

template <typename T>
T* adopt_into(std::unordered_map<T*, std::unique_ptr<T>>& map, std::unique_ptr<T> object) {
    T* raw = object.get();
    map.emplace(raw, std::move(object));
    return raw;
}

}  // namespace

Screen* adopt(std::unique_ptr<Screen> screen) {
    return adopt_into(state().screens, std::move(screen));
}
ScreenFile* adopt(std::unique_ptr<ScreenFile> file) {
    return adopt_into(state().files, std::move(file));
}
Menu* adopt(std::unique_ptr<Menu> menu) {
    return adopt_into(state().menus, std::move(menu));
}

void destroy(Screen* screen) {
    if (!is_live(screen)) {
        return;
    }
    hide(screen);
    state().screens.erase(screen);
}

void destroy(ScreenFile* file) {
    if (is_live(file)) {
        state().files.erase(file);
    }
}

std::unique_ptr<Menu> release(Menu* menu) {
    auto found = state().menus.find(menu);
    if (found == state().menus.end()) {
        return nullptr;
    }
    auto owned = std::move(found->second);
    state().menus.erase(found);
    return owned;
}

Field* field_at(Screen* screen, int n) {
    if (!is_live(screen) || n < 0 || n >= static_cast<int>(screen->fields.size())) {
        return nullptr;
    }
    return &screen->fields[static_cast<std::size_t>(n)];
}

}  // namespace screenlib::detail

namespace screenlib {

namespace {
// A new backend starts blank: no window is on it any more (each is drawn
// again by its next paint).
void forget_windows() {
    auto& s = detail::state();
    s.shown.clear();
    for (auto& [raw, screen] : s.screens) {
        screen->shown = false;
        screen->beneath.clear();
    }
}

// Drops the backend, restoring the terminal, then prints what was held back.
void release_backend() {
    auto& s = detail::state();
    s.backend.reset();
    s.terminal_in_use = false;
    for (const auto& message : s.held_diagnostics) {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
    s.held_diagnostics.clear();
}
}  // namespace

HeadlessBackend& use_headless(int rows, int columns) {
    auto& s = detail::state();
    forget_windows();
    release_backend();
    auto backend = std::make_unique<HeadlessBackend>(rows, columns);
    HeadlessBackend& result = *backend;
    s.backend = std::move(backend);
    s.monochrome = detail::no_color_requested();
    return result;
}

bool use_terminal(std::string* error) {
    auto& s = detail::state();
    forget_windows();
    release_backend();
    auto backend = detail::open_terminal_backend(error);
    if (!backend) {
        return false;
    }
    s.backend = std::move(backend);
    s.terminal_in_use = true;
    s.monochrome = detail::no_color_requested();
    return true;
}

void shutdown() {
    auto& s = detail::state();
    ++s.generation;
    s.shown.clear();
    s.screens.clear();
    s.files.clear();
    s.menus.clear();
    release_backend();
    s.diagnostic_sink = nullptr;
    s.idle_handler = nullptr;
    s.idle_interval_ms = -1;
}

Backend* backend() {
    return detail::state().backend.get();
}

void set_diagnostic_sink(std::function<void(const std::string&)> sink) {
    detail::state().diagnostic_sink = std::move(sink);
}

void set_idle_handler(std::function<void()> handler, int interval_ms) {
    auto& s = detail::state();
    s.idle_interval_ms = handler ? std::max(interval_ms, 1) : -1;
    s.idle_handler = std::move(handler);
}

namespace detail {

int idle_interval_ms() {
    return state().idle_interval_ms;
}

void run_idle_handler() {
    auto& s = state();
    if (s.idle_handler) {
        // A copy: the handler may replace itself.
        const std::function<void()> handler = s.idle_handler;
        handler();
    }
}

}  // namespace detail

}  // namespace screenlib
