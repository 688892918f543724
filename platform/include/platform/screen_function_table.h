// Building a ScreenFunctionTable from the objects a screen file may name.
// The builder writes what every table shares: the class markers in the order
// the screen library reads them, each present even when its section is empty,
// every object in its class's section (in the order given), and the null
// entry that ends the table. The entries are filled when the table is made,
// so a table at namespace scope is complete once its library is loaded.
#pragma once

#include <stddef.h>

#include <array>

#include "platform/screen_library.h"

// Classes of the objects a table names.
enum ScreenClass : int {
    SCREEN_CLASS_FIELD_SETS = 0,
    SCREEN_CLASS_KEY_HANDLERS = 2,
    SCREEN_CLASS_BORDERS = 5,
    SCREEN_CLASS_MOUSE_HANDLERS = 6,
    SCREEN_CLASS_WINDOW_CLASSES = 10,
};

// Every class section of a table, in the order the screen library reads them.
inline constexpr int kScreenClassOrder[] = {0, 9, 10, 5, 6, 1, 4, 2, 8};
inline constexpr const char* kScreenClassMarkers[] = {"$0", "$9", "$10", "$5", "$6",
                                                      "$1", "$4", "$2",  "$8"};
inline constexpr size_t kScreenClassCount = sizeof kScreenClassOrder / sizeof kScreenClassOrder[0];

// One named object of a table and its class.
struct ScreenObject {
    int screen_class;
    ScreenFunctionEntry entry;
};

inline ScreenObject table_field_set(const char* name, const FieldFunctions& set) {
    return {SCREEN_CLASS_FIELD_SETS, {name, nullptr, &set}};
}
inline ScreenObject table_key_handler(const char* name, ScreenKeyHandler handler) {
    return {SCREEN_CLASS_KEY_HANDLERS, {name, reinterpret_cast<AnyFunction>(handler), nullptr}};
}
inline ScreenObject table_border(const char* name, ScreenBorder function) {
    return {SCREEN_CLASS_BORDERS, {name, reinterpret_cast<AnyFunction>(function), nullptr}};
}
inline ScreenObject table_mouse_handler(const char* name, ScreenMouseHandler handler) {
    return {SCREEN_CLASS_MOUSE_HANDLERS, {name, reinterpret_cast<AnyFunction>(handler), nullptr}};
}
inline ScreenObject table_window_class(const char* name, ScreenWindowClass function) {
    return {SCREEN_CLASS_WINDOW_CLASSES, {name, reinterpret_cast<AnyFunction>(function), nullptr}};
}
// A name alone, with neither function nor data.
inline ScreenObject table_bare_name(int screen_class, const char* name) {
    return {screen_class, {name, nullptr, nullptr}};
}

// The table of `N` objects; converts to the entry pointer that
// screenfile_open takes. Objects of a class without a marker are left out.
template <size_t N>
class ScreenFunctionTable {
  public:
    explicit ScreenFunctionTable(const ScreenObject (&objects)[N]) {
        size_t at = 0;
        for (size_t section = 0; section < kScreenClassCount; ++section) {
            entries_[at++] = ScreenFunctionEntry{kScreenClassMarkers[section], nullptr, nullptr};
            for (const ScreenObject& object : objects) {
                if (object.screen_class == kScreenClassOrder[section]) {
                    entries_[at++] = object.entry;
                }
            }
        }
        entries_[at] = ScreenFunctionEntry{nullptr, nullptr, nullptr};
    }

    const ScreenFunctionEntry* entries() const { return entries_.data(); }
    operator const ScreenFunctionEntry*() const { return entries_.data(); }

  private:
    std::array<ScreenFunctionEntry, kScreenClassCount + N + 1> entries_{};
};
