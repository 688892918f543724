#include "terminal_backend.h"

#include <langinfo.h>
#include <ncurses.h>
#include <poll.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "escape_sequences.h"
#include "idle_handler.h"
#include "platform/code_page.h"
#include "platform/pc_keys.h"
#include "platform/screen_size.h"
#include "terminal_painter.h"
#include "terminal_view.h"

namespace screenlib::detail {

namespace {

namespace pc = pc_key;

// Bytes of one escape sequence arrive together; a longer gap ends it.
constexpr int kSequenceGapMs = 30;

// What read_character() gives for a character the code page lacks, or
// bytes that are no character of the locale; above every ncurses key code.
constexpr int kForeignCharacter = 0x200000;

// A typed character beyond ASCII, its first byte (0x80 to 0xFF) read: the
// rest of its bytes arrive with it (a German keyboard's ä in a UTF-8
// terminal is two bytes). Decoded in the locale's character set, it gives
// its code-page byte, or kForeignCharacter. Bytes are read one by one, so
// that a byte that starts no character costs that key alone.
int read_character(int first) {
    char bytes[MB_LEN_MAX];
    std::size_t count = 0;
    bytes[count++] = static_cast<char>(first);
    for (;;) {
        std::mbstate_t state{};
        wchar_t character = 0;
        const std::size_t used = std::mbrtowc(&character, bytes, count, &state);
        if (used == static_cast<std::size_t>(-2) && count < sizeof bytes) {
            timeout(kSequenceGapMs);
            const int next = getch();
            timeout(-1);
            if (next >= 0x80 && next <= 0xFF) {
                bytes[count++] = static_cast<char>(next);
                continue;
            }
            if (next != ERR) {
                ungetch(next);  // a key of its own: the character before it was cut short
            }
            return kForeignCharacter;
        }
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
            return kForeignCharacter;
        }
        const int byte = code_page::from_unicode(static_cast<char32_t>(character));
        return byte >= 0 && code_page::is_character(static_cast<unsigned char>(byte))
                   ? byte
                   : kForeignCharacter;
    }
}

volatile std::sig_atomic_t g_terminal_open = 0;
constexpr std::array<int, 4> kRestoringSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// What the painter writes before ncurses ends the terminal, kept where a
// signal handler can reach it without allocating.
char g_restoring[128];
std::size_t g_restoring_length = 0;

void end_terminal() {
    if (g_terminal_open) {
        if (::write(STDOUT_FILENO, g_restoring, g_restoring_length) < 0) {
            g_restoring_length = 0;  // the terminal is gone: nothing more to send it
        }
        endwin();
        g_terminal_open = 0;
    }
}

// Restores the terminal on the signals that end a program, then lets the
// signal do what it would.
extern "C" void restore_on_signal(int signal_number) {
    end_terminal();
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

extern "C" void restore_at_exit() {
    end_terminal();
}

// Ctrl-Z and fg: ncurses suspends and resumes the terminal, but on resuming
// redraws only its own (blank) idea of the screen, and goes on waiting for a
// key. Continuing, the program sets a flag and a one-off alarm whose handler
// (without restarting) ends that wait, so the screen is drawn again at once.
volatile std::sig_atomic_t g_resumed = 0;

extern "C" void end_wait_for_key(int /*signal_number*/) {}

extern "C" void note_resumed(int /*signal_number*/) {
    g_resumed = 1;
    itimerval soon{};
    soon.it_value.tv_usec = 1000;
    setitimer(ITIMER_REAL, &soon, nullptr);
}

// Installs a handler that does not restart what it interrupts; returns the previous one.
struct sigaction install_handler(int signal_number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    sigaction(signal_number, &action, &previous);
    return previous;
}

class TerminalBackend final : public Backend {
  public:
    // The screen is never smaller than the host's, whatever the terminal
    // is now: a terminal made larger later shows all of it.
    explicit TerminalBackend(SCREEN* terminal)
        : terminal_(terminal),
          shadow_(std::max<int>(LINES, SCREEN_ROWS), std::max<int>(COLS, SCREEN_COLUMNS)),
          painter_(STDOUT_FILENO, has_colors() && !no_color_requested(), nl_langinfo(CODESET)) {
        const std::string& restoring = painter_.restoring_bytes();
        g_restoring_length = std::min(restoring.size(), sizeof g_restoring);
        std::memcpy(g_restoring, restoring.data(), g_restoring_length);
        mouse_ = mousemask(BUTTON1_CLICKED | BUTTON1_PRESSED, nullptr) != 0;
        too_small_ = terminal_too_small(LINES, COLS);
        // ncurses has just cleared the terminal.
        painter_.resize(LINES, COLS, true);
        if (too_small_) {
            repaint();
        }
    }
    ~TerminalBackend() override {
        end_terminal();
        delscreen(terminal_);
        for (std::size_t i = 0; i < kRestoringSignals.size(); ++i) {
            std::signal(kRestoringSignals[i], previous_handlers_[i]);
        }
        sigaction(SIGCONT, &previous_continue_, nullptr);
        sigaction(SIGALRM, &previous_alarm_, nullptr);
    }
    TerminalBackend(const TerminalBackend&) = delete;
    TerminalBackend& operator=(const TerminalBackend&) = delete;

    void set_previous_handlers(const std::array<void (*)(int), 4>& handlers) {
        previous_handlers_ = handlers;
    }

    int rows() const override { return shadow_.rows(); }
    int columns() const override { return shadow_.columns(); }

    // Cells go to the shadow always, to the terminal only where they fit on
    // it and while it is large enough; a repaint brings the rest. On a
    // terminal shorter than the screen the rows it shows depend on what the
    // screen holds, so flush lays out the whole terminal from the shadow.
    void put(int row, int column, const Cell* cells, int count) override {
        shadow_.put(row, column, cells, count);
        if (too_small_ || folded()) {
            return;
        }
        for (int i = 0; i < count; ++i) {
            painter_.put(row, column + i, cells[i]);
        }
    }

    Cell cell(int row, int column) const override { return shadow_.cell(row, column); }
    const Cell* shown_cells() const override { return shadow_.shown_cells(); }

    void set_cursor(int row, int column, bool visible) override {
        cursor_row_ = row;
        cursor_column_ = column;
        cursor_visible_ = visible;
    }

    void flush() override {
        if (too_small_ || !folded()) {
            painter_.update(cursor_row_, cursor_column_, cursor_visible_ && !too_small_);
            return;
        }
        // The painter writes only the cells that differ from what the terminal shows.
        paint_terminal(shadow_, LINES, COLS,
                       [this](int row, int column, Cell cell) { painter_.put(row, column, cell); });
        shown_ = rows_shown(shadow_, LINES);
        // A cursor on a row left out is hidden.
        const auto at = std::find(shown_.begin(), shown_.end(), cursor_row_);
        const bool on_terminal = at != shown_.end();
        painter_.update(on_terminal ? static_cast<int>(at - shown_.begin()) : 0, cursor_column_,
                        cursor_visible_ && on_terminal);
    }

    int read_key() override {
        flush();  // whatever was drawn shows before the wait for a key
        // ncurses keeps the failure of an interrupted read as one more ERR to give.
        bool interrupted = false;
        for (;;) {
            // With an idle handler the wait is cut into its intervals.
            const int interval = idle_interval_ms();
            timeout(interval);
            errno = 0;
            int key = getch();
            if (key == ERR && interval >= 0 && errno != EINTR && !interrupted) {
                if (!input_waiting()) {  // the interval passed without a key
                    run_idle_handler();
                    flush();
                    continue;
                }
                // A byte or the end of input is there: read it as without a handler.
                timeout(-1);
                errno = 0;
                key = getch();
            }
            if (g_resumed) {
                g_resumed = 0;
                repaint();
            }
            if (key == ERR && (errno == EINTR || interrupted)) {
                interrupted = errno == EINTR;
                continue;  // a signal interrupted the wait; input is still open
            }
            if (key == ERR) {
                return -1;
            }
            interrupted = false;
            if (too_small_ && key != KEY_RESIZE && key != kCtrlL) {
                continue;  // the form is hidden behind the notice: its keys wait for a terminal
            }
            // that shows it
            if (key == KEY_RESIZE || key == kCtrlL) {
                // Whatever the terminal shows now, all of it is drawn again.
                refresh();  // ncurses settles its own (blank) idea of the screen first
                repaint();
                continue;
            }
            if (key == KEY_MOUSE) {
                MEVENT event;
                if (getmouse(&event) == OK &&
                    (event.bstate & (BUTTON1_CLICKED | BUTTON1_PRESSED)) &&
                    screen_row(event.y) >= 0) {
                    return mouse_click_key(screen_row(event.y), event.x);
                }
                continue;
            }
            if (key == 27) {
                const int code = read_after_escape();
                if (code >= 0) {
                    return code;
                }
                continue;
            }
            if (key >= 0x80 && key <= 0xFF) {
                // A character of the page has no scan code of a US keyboard; one
                // the records cannot hold is not taken.
                const int character = read_character(key);
                if (character != kForeignCharacter) {
                    return character;
                }
                beep();
                continue;
            }
            const int code = translate_curses_key(key, false);
            if (code >= 0) {
                return code;
            }
        }
    }

    void tone(int /*value*/, int /*duration*/) override { beep(); }
    bool mouse_present() const override { return mouse_; }

  private:
    static constexpr int kCtrlL = 0x0C;

    // The terminal shows fewer rows than the screen has (and is not too small).
    bool folded() const { return !too_small_ && LINES < shadow_.rows(); }

    // The screen row a terminal row shows, as last laid out.
    int screen_row(int terminal_row) const {
        if (!folded()) {
            return terminal_row;
        }
        return terminal_row >= 0 && terminal_row < static_cast<int>(shown_.size())
                   ? shown_[static_cast<std::size_t>(terminal_row)]
                   : -1;
    }

    // Draws the whole terminal anew at its present size: the screen, or the
    // too-small notice.
    void repaint() {
        too_small_ = terminal_too_small(LINES, COLS);
        painter_.resize(LINES, COLS, false);
        paint_terminal(shadow_, LINES, COLS,
                       [this](int row, int column, Cell cell) { painter_.put(row, column, cell); });
        flush();
    }

    // After an Escape: Escape alone (or twice, both count), a sequence of a
    // common terminal that the terminal description lacks, Alt and a digit
    // for F1 to F10, or Alt and a letter. Only bytes that arrive with the
    // Escape belong to it, so an Escape typed by hand acts at once and a
    // digit typed after it stays a digit. -1 when the bytes are no key: they
    // are dropped, with the rest of a sequence, so they do not arrive as typing.
    static int read_after_escape() {
        timeout(kSequenceGapMs);
        std::string sequence;
        int code = -1;
        for (;;) {
            const int next = getch();
            if (next == ERR || next > 0xFF) {
                code = sequence.empty()       ? pc::Escape
                       : sequence.size() == 1 ? translate_curses_key(sequence[0], true)
                                              : -1;
                break;
            }
            if (next == 27 && sequence.empty()) {
                ungetch(next);
                code = pc::Escape;
                break;
            }
            sequence.push_back(static_cast<char>(next));
            code = decode_escape_sequence(sequence);
            if (code != kIncomplete) {
                if (code < 0 && sequence.size() == 1) {
                    code = translate_curses_key(next, true);
                } else if (code < 0 && sequence[0] == '[' && !final_byte(next)) {
                    drain_escape_sequence();
                }
                break;
            }
        }
        timeout(-1);
        return code;
    }

    // Whether the terminal's input holds a byte, or its end, right now.
    static bool input_waiting() {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        return poll(&input, 1, 0) > 0;
    }

    static bool final_byte(int ch) { return ch >= 0x40 && ch <= 0x7E; }

    // Drops the rest of an unknown CSI sequence, up to its final byte.
    static void drain_escape_sequence() {
        for (int count = 0; count < 16; ++count) {
            const int ch = getch();
            if (ch == ERR || final_byte(ch)) {
                break;
            }
        }
    }

    SCREEN* terminal_;
    HeadlessBackend shadow_;  // the screen, cell by cell, whatever the terminal's size
    TerminalPainter painter_;
    bool mouse_ = false;
    bool too_small_ = false;
    std::vector<int> shown_;  // on a folded terminal: the screen row of each terminal row
    int cursor_row_ = 0;
    int cursor_column_ = 0;
    bool cursor_visible_ = false;
    std::array<void (*)(int), 4> previous_handlers_{SIG_DFL, SIG_DFL, SIG_DFL, SIG_DFL};
    struct sigaction previous_continue_ = install_handler(SIGCONT, note_resumed);
    struct sigaction previous_alarm_ = install_handler(SIGALRM, end_wait_for_key);
};

}  // namespace

bool no_color_requested() {
    const char* no_color = std::getenv("NO_COLOR");
    return no_color != nullptr && *no_color != '\0';
}

int translate_curses_key(int key, bool alt) {
    if (alt) {
        if (key >= 'a' && key <= 'z') {
            return parse_key(std::string(1, static_cast<char>(key))) & 0xFF00;
        }
        if (key >= 'A' && key <= 'Z') {
            return parse_key(std::string(1, static_cast<char>(key + 32))) & 0xFF00;
        }
        return -1;
    }
    switch (key) {
        case '\n':
        case '\r':
        case KEY_ENTER:
            return pc::Enter;
        case '\t':
            return pc::Tab;
        case KEY_BTAB:
            return pc::ShiftTab;
        case KEY_BACKSPACE:
        case 127:
        case 8:
            return pc::Backspace;
        case KEY_UP:
            return pc::Up;
        case KEY_DOWN:
            return pc::Down;
        case KEY_LEFT:
            return pc::Left;
        case KEY_RIGHT:
            return pc::Right;
        case KEY_HOME:
            return pc::Home;
        case KEY_END:
            return pc::End;
        case KEY_PPAGE:
            return pc::PageUp;
        case KEY_NPAGE:
            return pc::PageDown;
        case KEY_IC:
            return pc::Insert;
        case KEY_DC:
            return pc::Delete;
        default:
            break;
    }
    if (key >= KEY_F(1) && key <= KEY_F(10)) {
        return pc::F1 + ((key - KEY_F(1)) << 8);
    }
    if (key >= 0x20 && key <= 0x7E) {
        return parse_key(std::string(1, static_cast<char>(key)));
    }
    if (key >= 1 && key <= 26) {
        return parse_key(std::string("C-") + static_cast<char>('a' + key - 1));
    }
    return -1;
}

std::unique_ptr<Backend> open_terminal_backend(std::string* error) {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
        if (error) {
            *error = "standard input and output must be a terminal";
        }
        return nullptr;
    }
    const char* term = std::getenv("TERM");
    if (!term || !*term) {
        if (error) {
            *error = "TERM is not set";
        }
        return nullptr;
    }
    // Keys and the painted cells follow the locale's character set.
    std::setlocale(LC_CTYPE, "");
    SCREEN* terminal = newterm(nullptr, stdout, stdin);
    if (!terminal) {
        if (error) {
            *error = std::string("the terminal type '") + term + "' is not known";
        }
        return nullptr;
    }
    // A terminal that cannot place the cursor (dumb, a printing terminal)
    // would get a broken stream; it is refused instead.
    const char* cursor_address = tigetstr(const_cast<char*>("cup"));
    if (cursor_address == nullptr || reinterpret_cast<std::intptr_t>(cursor_address) == -1) {
        endwin();
        delscreen(terminal);
        if (error) {
            *error = std::string("the terminal type '") + term +
                     "' cannot place the cursor; run in a full-screen terminal (xterm, tmux, "
                     "screen, linux console)";
        }
        return nullptr;
    }
    g_terminal_open = 1;
    static bool exit_hook = false;
    if (!exit_hook) {
        std::atexit(restore_at_exit);
        exit_hook = true;
    }
    std::array<void (*)(int), 4> previous{};
    for (std::size_t i = 0; i < kRestoringSignals.size(); ++i) {
        previous[i] = std::signal(kRestoringSignals[i], restore_on_signal);
        if (previous[i] == SIG_ERR) {
            previous[i] = SIG_DFL;
        }
    }
    cbreak();  // Ctrl-C stays a signal, so it always restores the terminal
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    set_escdelay(30);
    // No look for typeahead: ncurses draws nothing after the clear below.
    typeahead(-1);
    if (has_colors() && !no_color_requested()) {
        start_color();
        // ncurses clears in the terminal's own colours, which what no window
        // covers keeps.
        use_default_colors();
    }
    // ncurses clears the terminal now and keeps its own screen untouched from
    // here on, so reading keys never redraws over what the painter shows.
    refresh();
    auto backend = std::make_unique<TerminalBackend>(terminal);
    backend->set_previous_handlers(previous);
    return backend;
}

}  // namespace screenlib::detail
