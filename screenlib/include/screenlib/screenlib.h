// The screen library's C++ face for host programs and tests: choosing a
// backend, the headless backend's key script and screen dump, key-name
// parsing and the diagnostic sink. Modules use the C interface of
// screen_library.h; this header is for the program that hosts them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/screen_size.h"

#if defined(SCREENLIB_BUILDING)
#define SCREENLIB_CXX_API __attribute__((visibility("default")))
#else
#define SCREENLIB_CXX_API
#endif

struct Screen;
struct ScreenFile;
struct ScreenFunctionEntry;

namespace screenlib {

// The bell: the tone of a key that a field cannot take (a character past a
// full field). Recorded by the headless backend like any other tone.
inline constexpr int kBellTone = 1000;
inline constexpr int kBellDuration = 10;

// The least terminal the screens need; a smaller one shows only the notice
// until it is made larger, and keys typed meanwhile are not taken. A terminal
// a row shorter than the screen leaves out a row that holds only frame lines
// (terminal_view.h).
inline constexpr int kNeededRows = 24;
inline constexpr int kNeededColumns = 80;
inline constexpr std::string_view kTooSmallNotice = "terminal too small (needs 80x24)";

// One cell of the screen: a character and a PC attribute byte (low nibble
// foreground, high nibble background).
struct Cell {
    char character = ' ';
    uint8_t attribute = 0x07;
    bool operator==(const Cell&) const = default;
};

// What the library draws on and reads keys from.
class SCREENLIB_CXX_API Backend {
  public:
    virtual ~Backend() = default;
    virtual int rows() const = 0;
    virtual int columns() const = 0;
    // Writes cells starting at (row, column); cells past the edge are dropped.
    virtual void put(int row, int column, const Cell* cells, int count) = 0;
    virtual Cell cell(int row, int column) const = 0;
    // The cells as shown, row after row, where the backend keeps them in
    // memory; null otherwise. Drawing compares against them to write only
    // what changed. Valid until the next put or resize.
    virtual const Cell* shown_cells() const { return nullptr; }
    // Places the cursor; visible false hides it.
    virtual void set_cursor(int row, int column, bool visible) = 0;
    virtual void flush() = 0;
    // The next key code (16 bits: scan code high, character low), or a mouse
    // click (mouse_click_key). -1 when no key will ever come (the key script
    // ran out, or input closed).
    virtual int read_key() = 0;
    virtual void tone(int value, int duration) = 0;
    virtual bool mouse_present() const { return false; }
    // True once no key will come any more (a key script that ran out).
    virtual bool input_ended() const { return false; }
    // True when a key was asked for after input ended, so that the running
    // screens were ended by the end of input rather than by a key.
    virtual bool input_ran_out() const { return false; }

    // One row with its trailing blanks kept (exactly columns() characters);
    // empty for a row out of range.
    std::string row_text(int row) const;
    // The whole screen, rows joined by '\n'; trailing blanks of each row are
    // trimmed (no final newline).
    std::string text() const;
};

// Cells in memory, keys from a script, tones recorded.
class SCREENLIB_CXX_API HeadlessBackend final : public Backend {
  public:
    HeadlessBackend(int rows, int columns);

    int rows() const override { return rows_; }
    int columns() const override { return columns_; }
    void put(int row, int column, const Cell* cells, int count) override;
    Cell cell(int row, int column) const override;
    const Cell* shown_cells() const override { return cells_.data(); }
    void set_cursor(int row, int column, bool visible) override;
    void flush() override {}
    // Script events that a terminal handles itself are taken here and not
    // given on: a resize (resize_key) and Ctrl-L (counted in repaints()).
    int read_key() override;
    void tone(int value, int duration) override;
    bool input_ended() const override { return script_exhausted(); }
    bool input_ran_out() const override { return script_ran_out(); }

    // Replaces the key script (the notation of docs/key-scripts.md). On an
    // unknown or malformed name the script is left empty, false is given and
    // *error names the offending part.
    bool set_script(std::string_view keys, std::string* error);
    // Appends key codes to the script.
    void push_keys(const std::vector<int>& keys);
    // Every key of the script has been read.
    bool script_exhausted() const { return next_key_ >= script_.size(); }
    // A key was asked for after the last one: the running screens were ended
    // by the script's end rather than by a key. Cleared by new keys.
    bool script_ran_out() const { return ran_out_; }

    // 0 for a cell out of range.
    uint8_t attribute(int row, int column) const;
    int cursor_row() const { return cursor_row_; }
    int cursor_column() const { return cursor_column_; }
    bool cursor_visible() const { return cursor_visible_; }
    const std::vector<int>& tones() const { return tones_; }
    // Cells written through put() since creation or the last reset.
    uint64_t cells_written() const { return cells_written_; }
    void reset_cells_written() { cells_written_ = 0; }
    // For each key read (and the end of the script): how many cells differ,
    // in character or colour, from when the key before it was read, that is
    // what the previous key changed on the screen. The first entry counts
    // from a blank screen.
    const std::vector<int>& cells_changed_per_key() const { return changed_per_key_; }

    // The size of the terminal the screen is shown on, at first the screen's
    // own. The screen keeps its size; the terminal shows what fits of it, or
    // only the too-small notice.
    void resize_terminal(int rows, int columns);
    int terminal_rows() const { return terminal_rows_; }
    int terminal_columns() const { return terminal_columns_; }
    // What the terminal shows, a row a line with trailing blanks kept.
    std::vector<std::string> terminal_view() const;
    // The same with each cell's attribute.
    std::vector<std::vector<Cell>> terminal_cells() const;
    int repaints() const { return repaints_; }

  private:
    int rows_;
    int columns_;
    std::vector<Cell> cells_;
    std::vector<int> script_;
    std::size_t next_key_ = 0;
    bool ran_out_ = false;
    std::vector<int> tones_;
    int cursor_row_ = 0;
    int cursor_column_ = 0;
    bool cursor_visible_ = false;
    uint64_t cells_written_ = 0;
    int terminal_rows_;
    int terminal_columns_;
    int repaints_ = 0;
    std::vector<Cell> cells_at_last_key_;
    std::vector<int> changed_per_key_;
    void count_changes();
    void pass_time(int milliseconds);
};

// A window of the library's window stack that the host program fills with
// text itself: the menu bar, the status line, the pager. Made, it goes on top
// of the windows on the screen; windows opened later cover it, and it never
// takes the cursor. Destroyed, it gives back what lay beneath it. One kept
// past shutdown() draws nothing and its destruction touches nothing.
class SCREENLIB_CXX_API TextWindow {
  public:
    // Rows and columns are cut to the screen.
    TextWindow(int row, int column, int rows, int columns);
    ~TextWindow();
    TextWindow(const TextWindow&) = delete;
    TextWindow& operator=(const TextWindow&) = delete;

    int rows() const { return rows_; }
    int columns() const { return columns_; }
    // Writes text from a place inside the window, cut at its right edge.
    void put(int row, int column, std::string_view text, uint8_t attribute);
    // Writes the row: the text from its left edge, then blanks to its right edge.
    void put_row(int row, std::string_view text, uint8_t attribute);
    // Sends what was written to the terminal.
    void flush();

  private:
    bool owns_screen() const;

    ::Screen* screen_;
    uint64_t generation_ = 0;
    int row_;
    int column_;
    int rows_;
    int columns_;
};

// Marks the character at `position` of a field's text as its hot letter: the
// letter colour (red) on the field's background, underlined where there is
// no colour. -1 removes the mark.
SCREENLIB_CXX_API void set_field_hot_letter(::Screen* screen, int field, int position);

// The attribute of a hot letter on cells of `attribute`: red on a light
// background, yellow on a dark one; without colour (NO_COLOR) bold in reverse
// video, else underlined. For text windows that mark letters themselves.
SCREENLIB_CXX_API uint8_t hot_letter_attribute(uint8_t attribute);

// Installs a fresh headless backend (replacing any backend) and returns it;
// it lives until shutdown() or the next use_*.
SCREENLIB_CXX_API HeadlessBackend& use_headless(int rows = SCREEN_ROWS,
                                                int columns = SCREEN_COLUMNS);
// Installs the ncurses backend on the controlling terminal. false, with the
// reason in *error, when there is no usable terminal.
SCREENLIB_CXX_API bool use_terminal(std::string* error);
// Restores the terminal and resets all library state: backend, open screens
// and files, diagnostic sink. Safe to call at any time, any number of times.
SCREENLIB_CXX_API void shutdown();
// The installed backend, or null.
SCREENLIB_CXX_API Backend* backend();

// Where screen-file errors go, one message a call, as "FILE:LINE: message 'NAME'".
// An empty function restores the default: stderr, where messages that come
// while the terminal backend is in use are held until it is released.
SCREENLIB_CXX_API void set_diagnostic_sink(std::function<void(const std::string&)> sink);

// The library's own named objects as a ScreenFunctionTable (class sections
// "$0", "$9", "$10", "$5", "$6", "$1", "$4", "$2", "$8"): its field-function sets
// string_field_funcs, menu_field_funcs and masked_field_funcs, the window class
// sedwin_Class, the borders bd_prompt and bd_1, the mouse handlers
// sedmou_GreedyClick and mouse_default.
SCREENLIB_CXX_API const ScreenFunctionEntry* library_function_table();

// Opens a screen file as screenfile_open does, except that a name the table
// lacks does not fail: the library's stand-in for its role takes its place (a
// key handler that consumes nothing, the library's string field set,
// sedwin_Class, bd_1, mouse_default) and "ROLE 'NAME'" is added to *stand_ins.
// For previewing screen files without the module that owns them.
SCREENLIB_CXX_API ScreenFile* open_screen_file_with_stand_ins(const char* path,
                                                              const ScreenFunctionEntry* table,
                                                              std::vector<std::string>* stand_ins);

// The key code of one key name as the script notation writes it inside angle
// brackets ("Enter", "S-Tab", "F10", "A-p", "C-x", "lt"), or of a single
// character ("a"). -1 for an unknown name.
SCREENLIB_CXX_API int parse_key(std::string_view name);
// The longest key script taken, in bytes: about a million keys.
constexpr std::size_t kMaxKeyScriptBytes = 1 << 20;
// Parses a whole key script. false, with *error naming the offending part,
// on an unknown name, an unterminated '<' or a script over kMaxKeyScriptBytes.
SCREENLIB_CXX_API bool parse_key_script(std::string_view script, std::vector<int>* keys,
                                        std::string* error);
// A mouse click at a screen cell travels through read_key() as a key code
// outside the 16-bit range.
constexpr int kMouseClickFlag = 0x01000000;
constexpr int mouse_click_key(int row, int column) {
    return kMouseClickFlag | ((row & 0xFF) << 8) | (column & 0xFF);
}
constexpr bool is_mouse_click(int key) {
    return key >= 0 && (key & kMouseClickFlag) != 0;
}
constexpr int mouse_click_row(int key) {
    return (key >> 8) & 0xFF;
}
constexpr int mouse_click_column(int key) {
    return key & 0xFF;
}
// A key script's terminal resize (<Resize:ROWS,COLUMNS>), outside the
// 16-bit range like a click; the headless backend takes it itself.
constexpr int kResizeFlag = 0x02000000;
constexpr int resize_key(int rows, int columns) {
    return kResizeFlag | ((rows & 0xFF) << 8) | (columns & 0xFF);
}
constexpr bool is_resize(int key) {
    return key >= 0 && (key & kResizeFlag) != 0;
}
// A key script's pause (<Wait:MS>): the headless backend lets MS
// milliseconds pass, running the idle handler, before it reads on.
constexpr int kWaitFlag = 0x04000000;
constexpr int kMaxWaitMs = 600000;
constexpr int wait_key(int milliseconds) {
    return kWaitFlag | (milliseconds & 0xFFFFF);
}
constexpr bool is_wait(int key) {
    return key >= 0 && (key & kWaitFlag) != 0;
}
constexpr int wait_milliseconds(int key) {
    return key & 0xFFFFF;
}

// Work done while the program waits for a key: a backend waiting for one
// calls `handler` every `interval_ms` milliseconds (the terminal between
// keys, the headless backend during a script's <Wait:MS>). The handler may
// draw; what it draws shows at once. An empty handler, or shutdown(), ends it.
SCREENLIB_CXX_API void set_idle_handler(std::function<void()> handler, int interval_ms);

// The script name of a key code ("<Enter>", "a"); "<0xHHHH>" for one without a name.
SCREENLIB_CXX_API std::string key_name(int key);

}  // namespace screenlib
