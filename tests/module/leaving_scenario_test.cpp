// Commands that leave the editor, page or help, as the menu bar delivers
// them: the exit guard before unsaved changes go, the password and both
// guards before quitting, help contexts, pages and hot keys.
#include <cstring>
#include <fstream>

#include "hostlibs/help.h"
#include "hostlibs/shell.h"
#include "hostlibs/status.h"
#include "platform/byte_fields.h"
#include "scenario_support.h"

namespace {

constexpr uint32_t kNow = 1000;
constexpr int kSecondTone = 880;

bool queued(const char* module_name) {
    for (const RunListEntry& entry : hostlibs::run_list()) {
        if (std::strcmp(entry.module_name, module_name) == 0)
            return true;
    }
    return false;
}

// Makes another screen than the editor current once message `number` is
// asked for: the commands after it run "elsewhere".
int switch_at_message = -1;
MessageTextFn host_message_text = nullptr;
HostContext* switched_context = nullptr;

int message_switching_screen(int index, char* buffer, int size) {
    if (index + 1 == switch_at_message)
        switched_context->current_screen = nullptr;
    return host_message_text(index, buffer, size);
}

class Leaving : public EditorScenario {
  protected:
    void open_editor(const std::string& keys, int language = 0) {
        put_numbered(30);
        open(keys, language);
        HostSettings* settings = session_.context().settings;
        settings->second_tone_on = 1;
        store_u16(settings->second_tone, kSecondTone);
        settings->password_interval = 300;
        put_users();
    }
    void switch_screen_at_message(int number) {
        switch_at_message = number;
        switched_context = &session_.context();
        host_message_text = session_.context().message_text;
        session_.context().message_text = message_switching_screen;
    }
    static bool shows(const EditorPicture& picture, const std::string& text) {
        for (const std::string& r : picture.rows) {
            if (r.find(text) != std::string::npos)
                return true;
        }
        return false;
    }
    // The module's popups closed, in order, each told by a line only it holds
    // (the menu bar's pull-downs are left out).
    std::vector<std::string> popups_seen() const {
        std::vector<std::string> seen;
        for (const EditorPicture& picture : popup_pictures) {
            if (shows(picture, "Password:"))
                seen.push_back("GETPASS");
            else if (shows(picture, "not saved") || shows(picture, "nicht"))
                seen.push_back("CHKEXIT");
            else if (shows(picture, "Quit to the system?"))
                seen.push_back("CHKDOS");
        }
        return seen;
    }
};

TEST_F(Leaving, ShellMenuWithUnsavedChangesAsksAndNoKeepsTheEditor) {
    open_editor("x<A-f>m<Enter><Down>");
    run_editor();
    EXPECT_EQ(popups_seen(), std::vector<std::string>{"CHKEXIT"}) << "Enter takes the first: No";
    EXPECT_FALSE(queued("SHELL"));
    EXPECT_EQ(group_cell(0), padded("x", 8)) << "the edit stays";
    EXPECT_EQ(headless().tones(), std::vector<int>{kSecondTone}) << "one tone, the guard's";
}

TEST_F(Leaving, ShellMenuWithConsentQueuesTheShellAndEndsTheEditor) {
    open_editor("x<A-f>my<Enter><Down>y");
    run_editor();
    EXPECT_EQ(popups_seen(), std::vector<std::string>{"CHKEXIT"});
    EXPECT_TRUE(queued("SHELL"));
    EXPECT_EQ(group_cell(1), padded("G1", 8)) << "keys after leaving reached the editor";
}

TEST_F(Leaving, ShellMenuWithoutChangesLeavesWithoutAsking) {
    open_editor("<A-f>m");
    run_editor();
    EXPECT_TRUE(popups_seen().empty());
    EXPECT_TRUE(queued("SHELL"));
}

TEST_F(Leaving, SignOnModuleBackAndHotKeysEachAskFirst) {
    for (const char* keys : {"x<A-f>d<Esc>", "x<A-f>b<Esc>", "x<C-e><Esc>"}) {
        SCOPED_TRACE(keys);
        hostlibs::reset_shell();
        open_editor(keys);
        run_editor();
        EXPECT_EQ(popups_seen(), std::vector<std::string>{"CHKEXIT"});
        EXPECT_TRUE(hostlibs::run_list().empty());
        session_.close();
    }
}

TEST_F(Leaving, SignOnModuleWithConsentQueuesOnlySignOn) {
    open_editor("x<A-f>dy<Enter>");
    hostlibs::host_push(session_.module_entry());
    run_editor();
    const auto list = hostlibs::run_list();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0].module_name, "SIGNON");
}

TEST_F(Leaving, HotKeyNCallsDohotkeyN) {
    // Hot key 2 of host.conf (Ctrl-W) queues the shell menu.
    open_editor("<C-w>");
    run_editor();
    EXPECT_TRUE(queued("SHELL"));
}

TEST_F(Leaving, QuitAsksPasswordThenExitGuardThenQuitGuardAndEmptiesTheRunList) {
    open_editor("x<A-f>qADAM<Tab>secret<F10>y<Enter>y<Enter>");
    hostlibs::host_push(session_.module_entry());
    run_editor();
    EXPECT_EQ(popups_seen(), (std::vector<std::string>{"GETPASS", "CHKEXIT", "CHKDOS"}));
    EXPECT_TRUE(hostlibs::run_list().empty());
    EXPECT_TRUE(hostlibs::quit_requested());
}

TEST_F(Leaving, SignOnAlwaysShowsThePasswordPromptAndLeavesNothing) {
    open_editor("x<A-f>oCARL<Tab>guest<F10><Down>y");
    session_.context().user->password_time = kNow;  // fresh, yet asked
    run_editor();
    EXPECT_EQ(popups_seen(), std::vector<std::string>{"GETPASS"});
    EXPECT_EQ(text(session_.context().user->user_code, 4), "CA03");
    EXPECT_EQ(group_cell(0), padded("x", 8)) << "the editor stays, with its edit";
    EXPECT_EQ(group_cell(1), padded("y", 8));
}

TEST_F(Leaving, QuitStopsAtTheFirstRefusal) {
    const char* scripts[] = {"x<A-f>q<Esc>", "x<A-f>qADAM<Tab>secret<F10><Esc>",
                             "x<A-f>qADAM<Tab>secret<F10>y<Enter><Enter>"};
    const std::vector<std::string> expected[] = {
        {"GETPASS"}, {"GETPASS", "CHKEXIT"}, {"GETPASS", "CHKEXIT", "CHKDOS"}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(scripts[i]);
        open_editor(scripts[i]);
        hostlibs::host_push(session_.module_entry());
        run_editor();
        EXPECT_EQ(popups_seen(), expected[i]);
        EXPECT_EQ(hostlibs::run_list().size(), 1u);
        EXPECT_FALSE(hostlibs::quit_requested());
        session_.close();
    }
}

// The modules a session ran, by name.
std::vector<std::string> modules_run(hostapp::HostSession& session) {
    std::vector<std::string> names;
    for (const RunListEntry& entry : session.modules_run())
        names.push_back(entry.module_name);
    return names;
}

// However a user signs on (the editor's prompt, the sign-on module by its
// hot key or from the shell menu), the status line names that user's code,
// the code of the user the host then works for.
TEST_F(Leaving, EverySignOnNamesTheNewUserOnTheStatusLine) {
    const char* scripts[] = {"<A-f>oBERTA<Tab>geheim<F10><C-n>CARL<Tab>guest<F10>",
                             "<C-n>CARL<Tab>guest<F10>", "<C-w>sCARL<Tab>guest<F10>"};
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        open_editor(script);
        ASSERT_EQ(session_.run(), 0);
        EXPECT_EQ(hostlibs::status_shown().text, "CA03");
        EXPECT_EQ(std::string(host_user_id(), 8), "CARL    ");
        session_.close();
    }
}

// The shell menu's ways out of the program ask the rights the editor's Quit
// asks: CARL, who has none, is refused and the menu comes back (Escape
// there returns to the editor); ADAM's password ends the program.
TEST_F(Leaving, TheShellMenuEndsTheProgramOnlyWithTheQuitRights) {
    open_editor("<A-f>oCARL<Tab>guest<F10><C-w><End><Enter>CARL<Tab>guest<F10><Esc><Esc>");
    ASSERT_EQ(session_.run(), 0);
    EXPECT_EQ(modules_run(session_), (std::vector<std::string>{"TOOLBANK", "SHELL", "TOOLBANK"}));
    EXPECT_FALSE(hostlibs::quit_requested());
    EXPECT_NE(session_.final_screen().find("Instrument 0"), std::string::npos)
        << session_.final_screen();
    session_.close();

    open_editor("<C-w><End><Enter>ADAM<Tab>secret<F10>");
    ASSERT_EQ(session_.run(), 0);
    EXPECT_EQ(modules_run(session_), (std::vector<std::string>{"TOOLBANK", "SHELL"}));
    EXPECT_TRUE(hostlibs::quit_requested());
}

TEST_F(Leaving, MissingGuardFilesReportTheFallbackPathAndKeepTheEditor) {
    const auto popups = std::filesystem::path(root_path_) / "USER" / "POPUPS";
    std::filesystem::remove(popups / "CHKEXIT.L01");
    std::filesystem::remove(popups / "CHKEXIT.L02");
    open_editor("x<A-d>h", 2);
    run_editor();
    EXPECT_TRUE(popups_seen().empty());
    EXPECT_FALSE(queued("SHELL"));
    const auto log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, 0x80007530u);
    EXPECT_EQ(log[0].text, host_root() + "USER\\POPUPS\\CHKEXIT.L01");
    EXPECT_EQ(log[0].source, "ADAM");
    EXPECT_EQ(headless().tones(), std::vector<int>{}) << "no tone without a popup";
}

TEST_F(Leaving, APopupPathTooLongForItsBufferIsAMissingFileNotACutPath) {
    const std::string long_dir = host_root() + std::string(250, 'P') + "\\";
    open_editor("x<A-f>m");
    session_.context().popup_dir = long_dir.c_str();
    run_editor();
    EXPECT_TRUE(popups_seen().empty());
    EXPECT_FALSE(queued("SHELL"));
    const auto log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, 0x80007530u);
    EXPECT_EQ(log[0].text.substr(log[0].text.size() - 3), "...") << log[0].text;
}

TEST_F(Leaving, AQuitGuardWithoutItsScreenRefusesAndKeepsTheRunList) {
    const auto chkdos = std::filesystem::path(root_path_) / "USER" / "POPUPS" / "CHKDOS.L01";
    std::ofstream(chkdos, std::ios::trunc) << "screen other\nwindow sedwin_Class\nborder bd_1\n"
                                              "picture\n|x|\nend\nend screen\n";
    open_editor("<A-f>qADAM<Tab>secret<F10>");
    hostlibs::host_push(session_.module_entry());
    run_editor();
    EXPECT_EQ(hostlibs::run_list().size(), 1u);
    const auto log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, 0x80007531u);
    EXPECT_EQ(log[0].text, host_root() + "USER\\POPUPS\\CHKDOS.L01");
}

TEST_F(Leaving, HelpOpensTheContextOfTheFieldOrOfAnotherScreen) {
    open_editor("<F1>");
    run_editor();
    EXPECT_EQ(hostlibs::help_shown().context, 1101);
    EXPECT_TRUE(hostlibs::help_shown().found);
    session_.close();

    open_editor("<PgUp><F1>");
    switch_screen_at_message(4);
    run_editor();
    EXPECT_EQ(hostlibs::help_shown().context, 1201);
}

TEST_F(Leaving, FirstAndLastPageCommandsShowPagesOneAndFive) {
    open_editor("<A-e>l");
    run_editor();
    EXPECT_EQ(cells(kTitleRow, kPageColumn, 1), "5");
    session_.close();
    open_editor("<PgDn><PgDn><A-e>f");
    run_editor();
    EXPECT_EQ(cells(kTitleRow, kPageColumn, 1), "1");
    EXPECT_EQ(group_cell(0), padded("G0", 8));
}

TEST_F(Leaving, AGermanUserSeesTheGermanPopupsAndFallsBackToEnglish) {
    open_editor("x<A-d>hj<Enter>", 2);
    run_editor();
    ASSERT_EQ(popups_seen(), std::vector<std::string>{"CHKEXIT"});
    EXPECT_TRUE(shows(popup_pictures.back(), "Trotzdem verlassen?"));
    EXPECT_TRUE(queued("SHELL")) << "J is yes";
    session_.close();

    std::filesystem::remove(std::filesystem::path(root_path_) / "USER" / "POPUPS" / "CHKEXIT.L02");
    open_editor("x<A-d>h<Esc>", 2);
    run_editor();
    EXPECT_EQ(popups_seen(), std::vector<std::string>{"CHKEXIT"});
    EXPECT_TRUE(hostlibs::read_error_log().empty());
}

}  // namespace
