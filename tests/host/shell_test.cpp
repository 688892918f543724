// The shell's run list: a stack of copies, with the edits the host watches,
// hot keys and the shell menu; and how the host runs it.
#include "hostlibs/shell.h"

#include <gtest/gtest.h>

#include <cstring>

#include "host_test_support.h"

namespace {

RunListEntry entry(const char* first, const char* second, const char* name,
                   const char* parameters = "") {
    return hostapp::make_entry(first, second, name, parameters);
}

std::vector<std::string> names() {
    std::vector<std::string> result;
    for (const RunListEntry& e : hostlibs::run_list()) {
        result.push_back(hostlibs::describe_entry(e) +
                         (e.parameters[0] ? std::string(" ") + e.parameters : ""));
    }
    return result;
}

class Shell : public ::testing::Test {
  protected:
    void SetUp() override { hostlibs::reset_shell(); }
    void TearDown() override { hostlibs::reset_shell(); }
};

TEST_F(Shell, PushKeepsItsOwnTerminatedCopy) {
    RunListEntry local = entry("USER", "GENUSER", "TEXTDISP", "0000002A 4 X \"T\"");
    ASSERT_EQ(filelist_push(&local), 0);
    std::memset(&local, 'Z', sizeof local);  // the caller's record dies after the call
    // Names without a terminator within their 9 bytes are cut to 8 characters.
    RunListEntry unterminated;
    std::memset(&unterminated, 'A', sizeof unterminated);
    ASSERT_EQ(filelist_push(&unterminated), 0);
    EXPECT_EQ(names(),
              (std::vector<std::string>{"USER\\GENUSER\\TEXTDISP 0000002A 4 X \"T\"",
                                        "AAAAAAAA\\AAAAAAAA\\AAAAAAAA " + std::string(120, 'A')}));
    EXPECT_NE(filelist_push(nullptr), 0);
}

TEST_F(Shell, PopClearAndTheEditsTheHostSees) {
    EXPECT_EQ(filelist_pop(), 0) << "nothing to go back to";
    EXPECT_EQ(hostlibs::run_list_edits(), 0u);
    RunListEntry a = entry("USER", "A", "A");
    RunListEntry b = entry("USER", "B", "B");
    filelist_push(&a);
    filelist_push(&b);
    EXPECT_NE(filelist_pop(), 0);
    EXPECT_EQ(names(), std::vector<std::string>{"USER\\A\\A"});
    EXPECT_EQ(hostlibs::run_list_edits(), 3u);
    EXPECT_FALSE(hostlibs::quit_requested());

    filelist_clear();
    EXPECT_TRUE(hostlibs::run_list().empty());
    EXPECT_TRUE(hostlibs::quit_requested()) << "an emptied list after clear is a quit";
    filelist_push(&a);
    EXPECT_FALSE(hostlibs::quit_requested()) << "clear then push is a hand-off";
    filelist_pop();
    EXPECT_FALSE(hostlibs::quit_requested()) << "popping the last entry is not a quit";

    // The host's own edits do not count as a module's.
    const uint64_t edits = hostlibs::run_list_edits();
    hostlibs::host_push(a);
    hostlibs::host_pop();
    hostlibs::host_clear();
    EXPECT_EQ(hostlibs::run_list_edits(), edits);
    EXPECT_FALSE(hostlibs::quit_requested());
}

TEST_F(Shell, ListIsBounded) {
    RunListEntry a = entry("USER", "A", "A");
    for (int i = 0; i < hostlibs::SHELL_MAX_ENTRIES; ++i) {
        ASSERT_EQ(filelist_push(&a), 0);
    }
    EXPECT_NE(filelist_push(&a), 0);
    EXPECT_EQ(dohotkey(0), 0);
    EXPECT_EQ(shellbar_doit(), 0);
    EXPECT_EQ(hostlibs::run_list().size(), static_cast<size_t>(hostlibs::SHELL_MAX_ENTRIES));
}

TEST_F(Shell, HotKeysShellMenuAndSignOn) {
    ASSERT_TRUE(hostlibs::set_hot_key(0, entry("USER", "ERRORLOG", "ERRORLOG")));
    ASSERT_TRUE(hostlibs::set_hot_key(19, entry("USER", "SIGNON", "SIGNON")));
    EXPECT_FALSE(hostlibs::set_hot_key(20, entry("USER", "X", "X")));
    EXPECT_EQ(dohotkey(1), 0) << "unmapped";
    EXPECT_EQ(dohotkey(-1), 0);
    EXPECT_EQ(dohotkey(20), 0);
    EXPECT_TRUE(hostlibs::run_list().empty());
    EXPECT_NE(dohotkey(19), 0);
    EXPECT_NE(dohotkey(0), 0);
    EXPECT_NE(shellbar_doit(), 0);
    EXPECT_EQ(names(), (std::vector<std::string>{"USER\\SIGNON\\SIGNON", "USER\\ERRORLOG\\ERRORLOG",
                                                 "USER\\SHELL\\SHELL"}));
    shellbar_set_tech();
    shellbar_set_tech();
    EXPECT_EQ(hostlibs::technician_sign_ons(), 2);
    hostlibs::reset_shell();
    EXPECT_EQ(dohotkey(0), 0) << "reset forgets hot keys";
    EXPECT_EQ(hostlibs::technician_sign_ons(), 0);
}

TEST_F(Shell, SameModuleIgnoresCaseAndParameters) {
    EXPECT_TRUE(hostlibs::same_module(entry("user", "devgroup", "toolbank", "x"),
                                      entry("USER", "DEVGROUP", "TOOLBANK")));
    EXPECT_FALSE(hostlibs::same_module(entry("USER", "DEVGROUP", "TOOLBAN"),
                                       entry("USER", "DEVGROUP", "TOOLBANK")));
}

// The host's run: hot keys from host.conf, the shell menu when the list
// empties, a quit from the shell menu ending the program.
TEST(HostRun, ShellMenuComesUpWhenTheListEmptiesAndQuitEndsIt) {
    hosttest::TempRoot root;
    ASSERT_TRUE(root.made()) << root.error();
    hostapp::HostSession session;
    // The tiny module queues the error-log viewer (Escape leaves it), the
    // module runs again and leaves the list alone; the shell menu comes up
    // and its last entry, Quit, is chosen with End and Enter, and granted
    // to ADAM's password.
    const hostapp::HostOptions options = hosttest::headless_options(
        root.path(), "<Esc><End><Enter>ADAM<Tab>secret<F10>", TINY_MODULE_PATH);
    std::string error;
    ASSERT_TRUE(session.open(options, &error)) << error;
    EXPECT_NE(dohotkey(0), 0) << "host.conf's hot keys are installed";
    EXPECT_EQ(names(), std::vector<std::string>{"USER\\ERRORLOG\\ERRORLOG"});
    ASSERT_EQ(session.run(), 0);
    std::vector<std::string> run;
    for (const RunListEntry& e : session.modules_run()) {
        run.push_back(hostlibs::describe_entry(e));
    }
    EXPECT_EQ(run, (std::vector<std::string>{"USER\\DEVGROUP\\TOOLBANK", "USER\\ERRORLOG\\ERRORLOG",
                                             "USER\\DEVGROUP\\TOOLBANK", "USER\\SHELL\\SHELL"}));
    EXPECT_TRUE(hostlibs::run_list().empty());
    EXPECT_TRUE(hostlibs::quit_requested());
}

TEST(HostRun, ShellMenuChoosesTheNextModule) {
    hosttest::TempRoot root;
    ASSERT_TRUE(root.made()) << root.error();
    hostapp::HostSession session;
    // Shell menu: "e" picks the error log, which Escape leaves; then the
    // shell menu again, where Escape at the bottom of the list quits once
    // the quit rights are granted.
    const hostapp::HostOptions options = hosttest::headless_options(
        root.path(), "e<Esc><Esc>ADAM<Tab>secret<F10>", TINY_MODULE_PATH);
    std::string error;
    ASSERT_TRUE(session.open(options, &error)) << error;
    hostlibs::host_push(hostlibs::shell_menu_entry());
    ASSERT_EQ(session.call_module(hostlibs::shell_menu_entry()), 0);
    EXPECT_EQ(names(), std::vector<std::string>{"USER\\ERRORLOG\\ERRORLOG"});
    session.call_module(hostlibs::run_list().back());
    hostlibs::host_clear();
    hostlibs::host_push(hostlibs::shell_menu_entry());
    session.call_module(hostlibs::shell_menu_entry());
    EXPECT_TRUE(hostlibs::quit_requested());
}

// Quit and Escape at the bottom of the list end the program only with the
// quit rights, under the editor's rules: the password prompt, unless the
// user holds the rights and granted a password within the interval, or
// the interval is 0.
TEST(HostRun, TheShellMenuEndsTheProgramOnlyWithTheQuitRights) {
    hosttest::TempRoot root;
    ASSERT_TRUE(root.made()) << root.error();
    struct Case {
        const char* user;
        const char* keys;
        bool password_fresh;
        uint32_t interval;
        bool quits;
    };
    const Case cases[] = {
        {"CARL", "<End><Enter>CARL<Tab>guest<F10><Esc>", false, 300, false},
        {"CARL", "<Esc><Esc>", false, 300, false},
        {"CARL", "<Esc>", true, 300, false},
        {"ADAM", "<End><Enter>ADAM<Tab>secret<F10>", false, 300, true},
        {"ADAM", "<Esc>", true, 300, true},
        {"CARL", "<End><Enter>", false, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.user) + " " + c.keys);
        hostapp::HostSession session;
        hostapp::HostOptions options =
            hosttest::headless_options(root.path(), c.keys, TINY_MODULE_PATH);
        options.user = c.user;
        std::string error;
        ASSERT_TRUE(session.open(options, &error)) << error;
        session.context().settings->password_interval = c.interval;
        if (c.password_fresh) {
            session.context().user->password_time = 1700000000 - 10;
        }
        hostlibs::host_push(hostlibs::shell_menu_entry());
        ASSERT_EQ(session.call_module(hostlibs::shell_menu_entry()), 0);
        EXPECT_EQ(hostlibs::quit_requested(), c.quits);
        EXPECT_EQ(hostlibs::run_list().size(), c.quits ? 0u : 1u);
    }
}

}  // namespace

// A headless run prints the screen on which its key script ran out, and
// nothing runs after that: the tiny module below, showing its menu bar
// whenever it runs, stands for the editor under a module it queued.
class EndScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root_.made()) << root_.error();
        setenv("TINY_MODULE_MENU",
               hosttest::host_form(root_.file("USER/DEVGROUP/TOOLBANK")).c_str(), 1);
    }
    void TearDown() override {
        session_.close();
        unsetenv("TINY_MODULE_MENU");
        unsetenv("TINY_MODULE_PUSH");
    }

    // Runs the host with the tiny module queueing `pushed` under `keys`;
    // gives the modules run, by name.
    std::vector<std::string> run(const std::string& pushed, const std::string& keys) {
        if (!pushed.empty()) {
            setenv("TINY_MODULE_PUSH", pushed.c_str(), 1);
        }
        std::string error;
        EXPECT_TRUE(
            session_.open(hosttest::headless_options(root_.path(), keys, TINY_MODULE_PATH), &error))
            << error;
        EXPECT_EQ(session_.run(), 0);
        std::vector<std::string> run;
        for (const RunListEntry& e : session_.modules_run()) {
            run.push_back(hostlibs::describe_entry(e));
        }
        return run;
    }

    std::string report_entry() {
        std::string report = "\x85\x04";
        report.push_back('\0');
        report += "\x84\x81Page 1\x81\x82Page 2\x81\x82";
        hosttest::write_file(root_.file("DATA/TEMP/R1.LST"), report);
        return "USER GENUSER TEXTDISP 00000003 4 " +
               hosttest::host_form(root_.file("DATA/TEMP/R1.LST")) + " \"Toolbank\"";
    }

    static constexpr const char* kModuleBar = "  File  Edit  Help";
    hosttest::TempRoot root_;
    hostapp::HostSession session_;
};

TEST_F(EndScreen, ScriptEndingInAModuleAboveTheEditorPrintsThatModule) {
    // A hot key's module (the error-log viewer) and the shell menu.
    EXPECT_EQ(run("", ""),
              (std::vector<std::string>{"USER\\DEVGROUP\\TOOLBANK", "USER\\ERRORLOG\\ERRORLOG"}));
    EXPECT_EQ(session_.final_screen().rfind("Error log\n", 0), 0u) << session_.final_screen();
    session_.close();
    EXPECT_EQ(run("USER SHELL SHELL", "<Down>"),
              (std::vector<std::string>{"USER\\DEVGROUP\\TOOLBANK", "USER\\SHELL\\SHELL"}));
    EXPECT_NE(session_.final_screen().find("| Quit"), std::string::npos) << session_.final_screen();
    EXPECT_EQ(session_.final_screen().find(kModuleBar), std::string::npos);
}

TEST_F(EndScreen, TextViewerOrTheModuleAfterIt) {
    EXPECT_EQ(run(report_entry(), "<PgDn>").size(), 2u);
    EXPECT_EQ(session_.final_screen().rfind("Toolbank   (2/2)\nPage 2", 0), 0u)
        << session_.final_screen();
    session_.close();
    // Escape closes the viewer before the script ends: the module runs again
    // and its screen is the last. (The viewer removed the report it showed.)
    EXPECT_EQ(run(report_entry(), "<Esc>"),
              (std::vector<std::string>{"USER\\DEVGROUP\\TOOLBANK", "USER\\GENUSER\\TEXTDISP",
                                        "USER\\DEVGROUP\\TOOLBANK"}));
    EXPECT_EQ(session_.final_screen().rfind(kModuleBar, 0), 0u) << session_.final_screen();
}
