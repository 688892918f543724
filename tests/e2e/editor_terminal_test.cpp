// The host program in a real terminal of 80x25 (or 80x24): tmux runs it,
// send-keys types, capture-pane reads the screen back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "hostapp/host_app.h"
#include "hostlibs/host_setup.h"
#include "module_test_support.h"
#include "platform/host_libraries.h"

namespace {

// Output of a shell command, or nothing when it fails.
std::string run(const std::string& command, bool* ok = nullptr) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (ok)
            *ok = false;
        return output;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    const int status = pclose(pipe);
    if (ok)
        *ok = status == 0;
    return output;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// One tmux server of our own (its own socket), ended with the test. Every
// instance gets a socket of its own: a server being killed may still hold the
// last one's name while the next one starts.
class Terminal {
  public:
    explicit Terminal(const std::string& socket)
        : socket_(socket + "_" + std::to_string(next_instance_++)) {}
    ~Terminal() { run(tmux() + " kill-server 2>/dev/null"); }
    bool start(const std::string& command, int rows = 25) {
        bool ok = false;
        run(tmux() + " new-session -d -x 80 -y " + std::to_string(rows) + " -s editor " +
                quoted(command),
            &ok);
        return ok;
    }
    void keys(const std::string& names) { run(tmux() + " send-keys -t editor " + names); }
    void resize(int columns, int rows) {
        run(tmux() + " resize-window -t editor -x " + std::to_string(columns) + " -y " +
            std::to_string(rows));
    }
    void type(const std::string& text) { run(tmux() + " send-keys -t editor -l " + quoted(text)); }
    std::string screen() { return run(tmux() + " capture-pane -p -t editor"); }
    // The screen's lines, as many as the terminal has rows.
    std::vector<std::string> lines() {
        std::vector<std::string> rows;
        std::istringstream text(screen());
        for (std::string line; std::getline(text, line);)
            rows.push_back(line);
        return rows;
    }
    // The screen with its attributes as SGR escape sequences.
    std::string screen_with_attributes() { return run(tmux() + " capture-pane -e -p -t editor"); }
    bool running() {
        bool ok = false;
        run(tmux() + " has-session -t editor 2>/dev/null", &ok);
        return ok;
    }
    // Waits until the screen holds `text`; false after the timeout.
    bool wait_for(const std::string& text,
                  std::chrono::seconds timeout = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (screen().find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

  private:
    std::string tmux() const { return "tmux -L " + socket_ + " -f /dev/null"; }
    static inline int next_instance_ = 0;
    std::string socket_;
};

bool have_tmux() {
    bool found = false;
    run("command -v tmux >/dev/null 2>&1", &found);
    return found;
}

// A root with 30 instruments "Meter <i>" without groups (the first one's is
// `first_group`), and ADAM (rights to save and quit) with the password "secret".
void make_root(const std::string& root, const std::string& first_group = "") {
    std::string error;
    ASSERT_TRUE(hostapp::create_root(root, false, &error)) << error;
    hostlibs::HostConfiguration configuration;
    configuration.root = root;
    configuration.user_id = "E2E";
    ASSERT_TRUE(hostlibs::open_host(configuration, &error)) << error;
    std::vector<DeviceRecord> records;
    for (int i = 0; i < 30; ++i) {
        records.push_back(device(i, "Meter " + std::to_string(i), i == 0 ? first_group : ""));
    }
    PasswordRecord adam{};
    std::memcpy(adam.name, padded("ADAM", 30).data(), 30);
    std::memcpy(adam.password, padded("secret", 8).data(), 8);
    std::memcpy(adam.user_code, "AD01", 4);
    const uint8_t rights[4] = {0x00, 0x00, 0x00, 0x82};
    std::memcpy(adam.rights, rights, 4);
    adam.language = 1;
    const bool put = hostlibs::put_devices(records, &error) && hostlibs::put_password(adam, &error);
    hostlibs::close_host();
    ASSERT_TRUE(put) << error;
}

// The screen line that holds `text`, or nothing.
std::string line_with(const std::string& screen, const std::string& text) {
    size_t at = screen.find(text);
    if (at == std::string::npos)
        return {};
    const size_t start = screen.rfind('\n', at) + 1;
    return screen.substr(start, screen.find('\n', at) - start);
}

// F2, ADAM's name and password typed into the prompt (never shown) and
// accepted with `accept` (a tmux key name), then yes to the confirmation.
void save_as_adam(Terminal& terminal, const std::string& accept) {
    terminal.keys("F2");
    ASSERT_TRUE(terminal.wait_for("Password:")) << terminal.screen();
    terminal.type("ADAM");
    terminal.keys("Tab");
    terminal.type("secret");
    ASSERT_TRUE(terminal.wait_for("******")) << terminal.screen();
    EXPECT_EQ(terminal.screen().find("secret"), std::string::npos) << terminal.screen();
    terminal.keys(accept);
    ASSERT_TRUE(terminal.wait_for("Please confirm")) << terminal.screen();
    EXPECT_EQ(terminal.screen().find("secret"), std::string::npos) << terminal.screen();
    terminal.type("y");
    terminal.keys("Enter");
    ASSERT_TRUE(terminal.wait_for("Page 1")) << terminal.screen();
}

std::string editor_command(const std::string& environment, const std::string& root) {
    return environment + " " + quoted(DEVGROUP_PROGRAM) + " --root " + quoted(root) + " --lang 1";
}

// Every test runs only where tmux is, over a root of its own under `root`,
// which the test makes (make_root) as it needs it.
class EditorInATerminal : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!have_tmux())
            GTEST_SKIP() << "tmux is not installed";
    }
    // A name for a tmux server of this process.
    static std::string socket() { return "toolbank_e2e_" + std::to_string(getpid()); }

    TempFolder folder{"toolbank_e2e"};
    const std::string root = folder.path() + "/root";
};

TEST_F(EditorInATerminal, PagesDownAndShowsATypedGroupName) {
    make_root(root);

    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start(editor_command("TERM=xterm", root)));
    ASSERT_TRUE(terminal.wait_for("Meter 0")) << terminal.screen();

    terminal.keys("NPage");
    ASSERT_TRUE(terminal.wait_for("Meter 20")) << terminal.screen();
    terminal.type("LAB7");
    ASSERT_TRUE(terminal.wait_for("LAB7")) << terminal.screen();

    // The name stands in the group column of page 2's first row.
    const std::string line = line_with(terminal.screen(), "Meter 20");
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.substr(3, 8), "LAB7    ") << line;
}

// The first run on the operator's own root makes it, and says so before the
// editor takes the screen: the editor waits for Enter.
TEST_F(EditorInATerminal, TheFirstRunSaysItMadeTheOwnRootBeforeTheEditorStarts) {
    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start(
        "env -u DEVGROUP_ROOT -u XDG_DATA_HOME HOME=" + quoted(folder.path() + "/home") +
        " TERM=xterm " + quoted(DEVGROUP_PROGRAM) + " --lang 1"));
    ASSERT_TRUE(terminal.wait_for("Press Enter")) << terminal.screen();
    EXPECT_NE(terminal.screen().find("devgroup: made a data root with the demo data at"),
              std::string::npos)
        << terminal.screen();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(terminal.screen().find("Pressure gauge PG-101"), std::string::npos)
        << terminal.screen();
    terminal.keys("Enter");
    ASSERT_TRUE(terminal.wait_for("Pressure gauge PG-101")) << terminal.screen();
}

// Where the function keys do not reach the program, Alt and a digit stands
// for F1 to F10: terminals send it as Escape and the digit together. Escape
// typed on its own acts at once, and a digit typed after it is a digit.
TEST_F(EditorInATerminal, AltAndADigitIsAFunctionKeyWhileALoneEscapeActsAtOnce) {
    ASSERT_NO_FATAL_FAILURE(make_root(root, "PUMPS"));
    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start(editor_command("TERM=xterm", root)));
    ASSERT_TRUE(terminal.wait_for("Meter 0")) << terminal.screen();
    terminal.keys("M-4");
    ASSERT_TRUE(terminal.wait_for("ESC to exit")) << terminal.screen();
    terminal.keys("Escape");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (terminal.screen().find("ESC to exit") != std::string::npos &&
           std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(terminal.screen().find("ESC to exit"), std::string::npos) << terminal.screen();
    // Escape on the editor itself does nothing; the digit after it is typed.
    terminal.keys("Escape");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    terminal.type("7");
    ASSERT_TRUE(terminal.wait_for("7")) << terminal.screen();
    EXPECT_NE(line_with(terminal.screen(), "Meter 0 ").substr(3, 8).find('7'), std::string::npos)
        << terminal.screen();
}

// On the common 80x24 terminal the editor leaves out its top frame: the page's
// twenty rows, the key bar, and the pick list and help with their bottom
// edges all show.
TEST_F(EditorInATerminal, An80x24TerminalShowsThePageTheKeyBarThePickListAndHelpWhole) {
    ASSERT_NO_FATAL_FAILURE(make_root(root, "PUMPS"));
    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start(editor_command("TERM=xterm", root), 24));
    ASSERT_TRUE(terminal.wait_for("PgUp/PgDn")) << terminal.screen();
    std::vector<std::string> lines = terminal.lines();
    ASSERT_EQ(lines.size(), 24u) << terminal.screen();
    EXPECT_NE(lines[21].find("Meter 19"), std::string::npos) << terminal.screen();
    EXPECT_EQ(lines[22].substr(0, 3), "+--") << terminal.screen();
    EXPECT_EQ(lines[23].find(" F1 Help"), 0u) << terminal.screen();
    EXPECT_NE(lines[23].find("F10 Menu"), std::string::npos) << terminal.screen();

    terminal.keys("F4");
    ASSERT_TRUE(terminal.wait_for("ESC to exit")) << terminal.screen();
    lines = terminal.lines();
    EXPECT_NE(lines.at(23).find("+ESC to exit---"), std::string::npos) << terminal.screen();
    terminal.keys("Escape");
    ASSERT_TRUE(terminal.wait_for("F2 Save")) << terminal.screen();

    terminal.keys("F1");
    ASSERT_TRUE(terminal.wait_for("Save the changes with F2.")) << terminal.screen();
    lines = terminal.lines();
    size_t last = 0;
    while (last < lines.size() && lines[last].find("Save the changes") == std::string::npos)
        ++last;
    ASSERT_LT(last + 1, lines.size());
    EXPECT_NE(lines[last + 1].find("+-------"), std::string::npos) << terminal.screen();
    EXPECT_NE(lines[23].find("F10 Menu"), std::string::npos) << terminal.screen();
}

// An operator types a name, saves with F2 through the password prompt and
// the confirmation, quits through the guards, and finds the name stored.
TEST_F(EditorInATerminal, SavesThroughThePasswordPromptAndQuits) {
    make_root(root);

    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start(editor_command("TERM=xterm", root)));
    ASSERT_TRUE(terminal.wait_for("Meter 0")) << terminal.screen();
    terminal.type("PUMPS");
    ASSERT_TRUE(terminal.wait_for("PUMPS")) << terminal.screen();
    ASSERT_NO_FATAL_FAILURE(save_as_adam(terminal, "F10"));

    // Quit: the password is still fresh and nothing is unsaved, so only the
    // quit guard asks.
    terminal.keys("M-f");
    ASSERT_TRUE(terminal.wait_for("Quit to the system")) << terminal.screen();
    terminal.type("q");
    ASSERT_TRUE(terminal.wait_for("Quit to the system?")) << terminal.screen();
    terminal.type("y");
    terminal.keys("Enter");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (terminal.running() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_FALSE(terminal.running()) << "the host did not end:\n" << terminal.screen();

    bool exported = false;
    const std::string csv =
        run(quoted(DEVGROUP_PROGRAM) + " --root " + quoted(root) + " export devices", &exported);
    ASSERT_TRUE(exported);
    EXPECT_NE(csv.find("K0000000,Meter 0,1,PUMPS\r\n"), std::string::npos) << csv;
}

// In a UTF-8 terminal the page's letters show as themselves, and a typed ä
// (two bytes from the keyboard) is stored as one byte of the code page.
TEST_F(EditorInATerminal, AUtf8TerminalShowsAndTakesGermanLetters) {
    ASSERT_NO_FATAL_FAILURE(make_root(root, "GR\xDCN"));
    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start(editor_command("LANG=C.UTF-8 TERM=xterm", root)));
    ASSERT_TRUE(terminal.wait_for("GRÜN")) << terminal.screen();
    terminal.type("äß");
    ASSERT_TRUE(terminal.wait_for("äß ")) << terminal.screen();
    // On the password, Enter accepts as F10 does.
    ASSERT_NO_FATAL_FAILURE(save_as_adam(terminal, "Enter"));

    bool exported = false;
    const std::string csv =
        run(quoted(DEVGROUP_PROGRAM) + " --root " + quoted(root) + " export devices", &exported);
    ASSERT_TRUE(exported);
    EXPECT_NE(csv.find("K0000000,Meter 0,1,äß\r\n"), std::string::npos) << csv;
}

// In the C locale the two bytes of a UTF-8 ä are no character: they sound
// the bell and are not taken, and the keys after them are.
TEST_F(EditorInATerminal, BytesThatAreNoCharacterOfTheLocaleAreRefusedAlone) {
    ASSERT_NO_FATAL_FAILURE(make_root(root, "PRESS"));
    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start(editor_command("LC_ALL=C TERM=xterm", root)));
    ASSERT_TRUE(terminal.wait_for("PRESS")) << terminal.screen();
    terminal.type("ä");
    terminal.type("cd");
    ASSERT_TRUE(terminal.wait_for("cd ")) << terminal.screen();
    EXPECT_EQ(line_with(terminal.screen(), "Meter 0 ").substr(3, 8), "cd      ");
    EXPECT_TRUE(terminal.running());
}

// An operator picks a group with F4, saves it, prints the Device Group report
// to the screen viewer, pages through it and comes back to the editor.
TEST_F(EditorInATerminal, PicksSavesAndPrintsToTheScreenViewer) {
    make_root(root);
    {
        // 60 instruments make a report of two pages; Meter 1's group is
        // there to be picked. The screen viewer is the only printer site,
        // and saving asks for no password.
        hostlibs::HostConfiguration configuration;
        configuration.root = root;
        configuration.user_id = "E2E";
        std::string error;
        ASSERT_TRUE(hostlibs::open_host(configuration, &error)) << error;
        std::vector<DeviceRecord> records;
        for (int i = 0; i < 60; ++i)
            records.push_back(device(i, "Meter " + std::to_string(i), i == 1 ? "PUMPS" : ""));
        hostlibs::SiteInfo viewer;
        viewer.site_class = 3;
        viewer.name = "Screen viewer";
        viewer.device_type = SITE_DEVICE_SCREEN_VIEWER;
        const bool put =
            hostlibs::put_devices(records, &error) && hostlibs::add_site(viewer, nullptr, &error);
        hostlibs::close_host();
        ASSERT_TRUE(put) << error;
        std::string conf = run("cat " + quoted(root + "/host.conf"));
        const size_t interval = conf.find("password_interval = 300");
        ASSERT_NE(interval, std::string::npos);
        conf.replace(interval, 23, "password_interval = 0");
        std::ofstream(root + "/host.conf") << conf;
    }

    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start(editor_command("TERM=xterm", root)));
    ASSERT_TRUE(terminal.wait_for("Meter 0")) << terminal.screen();

    // Whether some screen line holds `text` at `column`; waits up to 20 s.
    auto wait_for_at = [&terminal](const std::string& text, size_t column) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            std::istringstream lines(terminal.screen());
            for (std::string line; std::getline(lines, line);) {
                if (line.size() >= column + text.size() &&
                    line.compare(column, text.size(), text) == 0)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };
    // On row 0's group field F4 opens the list, whose instruments stand one
    // column right of the editor's; its second record is Meter 1's.
    terminal.keys("F4");
    ASSERT_TRUE(wait_for_at("Meter 0 ", 15)) << terminal.screen();
    terminal.keys("Down");
    terminal.keys("Enter");
    ASSERT_TRUE(wait_for_at("PUMPS      Meter 0 ", 3)) << terminal.screen();
    terminal.keys("F2");
    ASSERT_TRUE(terminal.wait_for("Please confirm")) << terminal.screen();
    terminal.type("y");
    terminal.keys("Enter");
    ASSERT_TRUE(terminal.wait_for("Page 1")) << terminal.screen();

    terminal.keys("M-f");
    ASSERT_TRUE(terminal.wait_for("Print to spool")) << terminal.screen();
    terminal.type("p");
    ASSERT_TRUE(terminal.wait_for("Toolbank   (1/2)")) << terminal.screen();
    // The saved pick is in the report, and no control code shows.
    EXPECT_NE(terminal.screen().find("\n PUMPS       Meter 0\n"), std::string::npos)
        << terminal.screen();
    EXPECT_EQ(terminal.screen().find('\x81'), std::string::npos);
    // Page Down scrolls through the long page, then turns to page 2.
    terminal.keys("NPage NPage NPage");
    ASSERT_TRUE(terminal.wait_for("Toolbank   (2/2)")) << terminal.screen();
    EXPECT_NE(terminal.screen().find("\n             Meter 45"), std::string::npos);
    terminal.keys("NPage");
    ASSERT_TRUE(terminal.wait_for("End of report")) << terminal.screen();
    // Page Up scrolls back to the page's top, then turns back to page 1.
    terminal.keys("PPage PPage");
    ASSERT_TRUE(terminal.wait_for("Toolbank   (1/2)")) << terminal.screen();

    // Escape leaves the viewer; the editor comes back with the saved name.
    terminal.keys("Escape");
    ASSERT_TRUE(terminal.wait_for("Meter 19")) << terminal.screen();
    const std::string screen = terminal.screen();
    EXPECT_EQ(screen.find("Toolbank   ("), std::string::npos) << screen;
    EXPECT_EQ(line_with(screen, "Meter 0 ").substr(3, 8), "PUMPS   ") << screen;
    EXPECT_TRUE(std::filesystem::is_empty(root + "/DATA/TEMP")) << "the viewer removed its report";
}

// Inside tmux the program may run with TERM=screen or with the outer
// terminal's TERM=xterm-256color; the keys work either way.
TEST_F(EditorInATerminal, KeysWorkUnderScreenXtermAndVt100TerminalTypes) {
    ASSERT_NO_FATAL_FAILURE(make_root(root));
    for (const char* term : {"screen", "xterm-256color"}) {
        SCOPED_TRACE(term);
        Terminal terminal(socket());
        ASSERT_TRUE(terminal.start(editor_command(std::string("TERM=") + term, root)));
        ASSERT_TRUE(terminal.wait_for("Meter 0")) << terminal.screen();
        terminal.keys("End");
        terminal.type("EE");
        ASSERT_TRUE(terminal.wait_for("EE")) << terminal.screen();
        EXPECT_EQ(line_with(terminal.screen(), "Meter 19").substr(3, 2), "EE");
        terminal.keys("Home");
        terminal.type("HH");
        ASSERT_TRUE(terminal.wait_for("HH")) << terminal.screen();
        EXPECT_EQ(line_with(terminal.screen(), "Meter 0 ").substr(3, 2), "HH");
        terminal.keys("NPage");
        ASSERT_TRUE(terminal.wait_for("Meter 20")) << terminal.screen();
        terminal.keys("F10");
        ASSERT_TRUE(terminal.wait_for("Save changes")) << terminal.screen();
    }
    // A description with padding marks (vt100's "$<5>"): none of them shows.
    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start(editor_command("TERM=vt100", root)));
    ASSERT_TRUE(terminal.wait_for("Meter 0")) << terminal.screen();
    terminal.type("VV");
    ASSERT_TRUE(terminal.wait_for("VV")) << terminal.screen();
    EXPECT_EQ(terminal.screen().find("$<"), std::string::npos) << terminal.screen();
}

TEST_F(EditorInATerminal, WithoutColourTheCurrentFieldIsInReverseVideo) {
    ASSERT_NO_FATAL_FAILURE(make_root(root));
    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start(editor_command("NO_COLOR=1 TERM=xterm-256color", root)));
    ASSERT_TRUE(terminal.wait_for("Meter 0")) << terminal.screen();
    const std::string screen = terminal.screen_with_attributes();
    const std::string first_row = line_with(screen, "Meter 0");
    EXPECT_NE(first_row.find("\x1b[7m"), std::string::npos) << first_row;
    EXPECT_EQ(line_with(screen, "Meter 1 ").find("\x1b[7m"), std::string::npos);
    // No colour is set; only the resets to the default colours (39, 49) appear.
    std::string without_resets = screen;
    for (const std::string reset : {"\x1b[39m", "\x1b[49m"}) {
        for (size_t at = without_resets.find(reset); at != std::string::npos;
             at = without_resets.find(reset))
            without_resets.erase(at, reset.size());
    }
    for (const char* colour : {"\x1b[3", "\x1b[4", ";3", ";4"})
        EXPECT_EQ(without_resets.find(colour), std::string::npos) << "a colour in\n" << screen;
}

TEST_F(EditorInATerminal, ATerminalThatCannotPlaceTheCursorIsRefused) {
    ASSERT_NO_FATAL_FAILURE(make_root(root));
    for (const char* term : {"dumb", "no-such-terminal"}) {
        SCOPED_TRACE(term);
        Terminal terminal(socket());
        ASSERT_TRUE(terminal.start(editor_command(std::string("TERM=") + term, root) +
                                   "; echo exit=$?; sleep 30"));
        ASSERT_TRUE(terminal.wait_for("exit=")) << terminal.screen();
        EXPECT_NE(terminal.screen().find("exit=1"), std::string::npos) << terminal.screen();
        EXPECT_NE(terminal.screen().find(std::string("terminal type '") + term + "'"),
                  std::string::npos)
            << terminal.screen();
    }
}

TEST_F(EditorInATerminal, TypingOverANameReplacesIt) {
    ASSERT_NO_FATAL_FAILURE(make_root(root, "PRESS"));
    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start(editor_command("TERM=xterm", root)));
    ASSERT_TRUE(terminal.wait_for("PRESS")) << terminal.screen();
    terminal.type("PUMPS");
    ASSERT_TRUE(terminal.wait_for("PUMPS")) << terminal.screen();
    EXPECT_EQ(line_with(terminal.screen(), "Meter 0 ").substr(3, 8), "PUMPS   ");
}

// Made too small the terminal shows the notice; made large again it shows
// exactly what it showed before, cell by cell and colour by colour.
TEST_F(EditorInATerminal, ResizedDownAndBackTheScreenIsAsFreshlyDrawn) {
    ASSERT_NO_FATAL_FAILURE(make_root(root));
    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start(editor_command("TERM=xterm-256color", root)));
    ASSERT_TRUE(terminal.wait_for("PgUp/PgDn")) << terminal.screen();
    const std::string fresh = terminal.screen_with_attributes();
    terminal.resize(60, 20);
    ASSERT_TRUE(terminal.wait_for("terminal too small (needs 80x24)")) << terminal.screen();
    EXPECT_EQ(terminal.screen().find("Meter"), std::string::npos) << terminal.screen();
    terminal.type("W");  // not taken by the form behind the notice
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    terminal.resize(80, 25);
    ASSERT_TRUE(terminal.wait_for("Meter 19")) << terminal.screen();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(terminal.screen_with_attributes(), fresh);
}

TEST_F(EditorInATerminal, SuspendedAndContinuedTheScreenComesBackAndKeysStillWork) {
    ASSERT_NO_FATAL_FAILURE(make_root(root));
    Terminal terminal(socket());
    ASSERT_TRUE(terminal.start("bash --norc --noprofile"));
    terminal.type(editor_command("TERM=xterm-256color", root));
    terminal.keys("Enter");
    ASSERT_TRUE(terminal.wait_for("PgUp/PgDn")) << terminal.screen();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string before = terminal.screen_with_attributes();
    terminal.keys("C-z");
    ASSERT_TRUE(terminal.wait_for("Stopped")) << terminal.screen();
    terminal.type("fg");
    terminal.keys("Enter");
    ASSERT_TRUE(terminal.wait_for("PgUp/PgDn")) << terminal.screen();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(terminal.screen_with_attributes(), before);
    terminal.type("ZZ");
    ASSERT_TRUE(terminal.wait_for("ZZ")) << terminal.screen();
    EXPECT_EQ(line_with(terminal.screen(), "Meter 0 ").substr(3, 2), "ZZ");
}

}  // namespace
