// The editor in the host's terminal: the menu bar and the key bar in the
// user's language, a terminal made too small and large again.
#include <sstream>

#include "hostlibs/menubar.h"
#include "scenario_support.h"

namespace {

class TerminalScenario : public EditorScenario {
  protected:
    // A row of the screen as it stood when the module closed its menu (its
    // window still up), trailing blanks cut.
    static std::string closing_row(size_t r) {
        std::istringstream lines(hostlibs::menubar_closing_screen());
        std::string line;
        for (size_t i = 0; i <= r && std::getline(lines, line); ++i) {
        }
        return line;
    }
    static bool holds(const std::vector<std::string>& rows, const std::string& text) {
        for (const std::string& r : rows) {
            if (r.find(text) != std::string::npos)
                return true;
        }
        return false;
    }
};

TEST_F(TerminalScenario, ATooSmallTerminalShowsOnlyTheNotice) {
    put_numbered(25);
    open("<Resize:20,60>");
    run_editor();
    const std::vector<std::string>& view = editor_picture.view;
    ASSERT_EQ(view.size(), 20u);
    for (const std::string& r : view)
        EXPECT_EQ(r.size(), 60u) << "drawn past the terminal's edge";
    EXPECT_TRUE(holds(view, "terminal too small (needs 80x24)"));
    EXPECT_FALSE(holds(view, "Instrument 0")) << "the screen shows through the notice";
}

TEST_F(TerminalScenario, MadeLargeAgainTheTerminalShowsTheWholeScreenAsItIsNow) {
    put_numbered(25);
    // Keys typed at the notice do not reach the hidden form; Ctrl-L still repaints.
    open("<Resize:20,60>W<Tab>X<C-l><Resize:30,100>PUMPS");
    run_editor();
    EXPECT_EQ(headless().repaints(), 3);
    EXPECT_EQ(group_cell(1), "G1      ") << "a key typed at the notice moved the cursor";
    const std::vector<std::string>& view = editor_picture.view;
    ASSERT_EQ(view.size(), 30u);
    for (size_t r = 0; r < view.size(); ++r) {
        const std::string expected = r < editor_picture.rows.size()
                                         ? editor_picture.rows[r] + std::string(20, ' ')
                                         : std::string(100, ' ');
        EXPECT_EQ(view[r], expected) << "row " << r;
    }
    EXPECT_EQ(group_cell(0), "PUMPS   ");
    EXPECT_FALSE(holds(view, "terminal too small"));
}

// An 80x24 terminal leaves out the form's top frame: the menu bar, all
// twenty rows of the page, the bottom frame with the prompt line and the key
// bar show, and so do the pick list and help whole, hints and bottom edges.
TEST_F(TerminalScenario, An80x24TerminalShowsThePageTheKeyBarAndEveryPopupWhole) {
    put_numbered(25);
    open("<Resize:24,80><F4><Esc><F1>", 1);  // the help popup, left open when the script ends
    run_editor();
    ASSERT_EQ(popup_pictures.size(), 2u);
    for (const ScreenPicture& picture : popup_pictures) {
        ASSERT_EQ(picture.rows.size(), 25u);
        std::vector<std::string> expected = picture.rows;
        expected.erase(expected.begin() + 1);
        EXPECT_EQ(picture.view, expected);
    }
    const ScreenPicture& list = popup_pictures[0];
    const ScreenPicture& help = popup_pictures[1];
    EXPECT_NE(list.view[23].find("+ESC to exit---"), std::string::npos) << list.view[23];
    EXPECT_NE(help.view[0].find("File  Edit  Help"), std::string::npos);
    EXPECT_NE(help.view[21].find("Instrument 19"), std::string::npos) << "row 20 of the page";
    EXPECT_EQ(help.view[22][0], '+');
    EXPECT_EQ(help.view[23].substr(0, 52), " F1 Help  F2 Save  F4 Pick  F10 Menu  PgUp/PgDn Page");
    EXPECT_TRUE(holds(help.view, "Save the changes with F2.")) << "the help's last line";
}

TEST_F(TerminalScenario, TheKeyBarListsTheMenuFilesKeysAndTheHosts) {
    put_numbered(25);
    open("<F10>", 1);  // the File pull-down, left open when the script ends
    run_editor();
    const std::string bar = " F1 Help  F2 Save  F4 Pick  F10 Menu  PgUp/PgDn Page";
    EXPECT_EQ(closing_row(24), bar);
    ASSERT_FALSE(popup_pictures.empty());
    // Each entry's key in a column after the longest entry ("Back to previous module").
    EXPECT_TRUE(holds(popup_pictures[0].rows, "| Save changes             F2 |"));
    EXPECT_TRUE(holds(popup_pictures[0].rows, "| Back to previous module     |"));
}

TEST_F(TerminalScenario, AGermanUserSeesGermanMenusAndKeys) {
    put_numbered(25);
    open("<A-d>", 2);
    run_editor();
    EXPECT_EQ(closing_row(0), "  Datei  Bearbeiten  Hilfe");
    EXPECT_EQ(closing_row(24).substr(0, 54),
              " F1 Hilfe  F2 Speichern  F4 Auswahl  F10 Men\xFC  PgUp/Pg");
    ASSERT_FALSE(popup_pictures.empty()) << "Alt and the German title's letter opens it";
    EXPECT_TRUE(holds(popup_pictures[0].rows, "Speichern"));
    // "Anmelde~modul": the marked m stands out, not the first one.
    const ScreenPicture& pull_down = popup_pictures[0];
    int found = 0;
    for (size_t r = 0; r < pull_down.rows.size(); ++r) {
        const size_t at = pull_down.rows[r].find("Anmeldemodul");
        if (at == std::string::npos)
            continue;
        const std::vector<uint8_t>& colours = pull_down.attributes[r];
        EXPECT_NE(colours[at + 7], colours[at + 6]) << "the hot letter";
        EXPECT_EQ(colours[at + 2], colours[at + 6]) << "the other m";
        ++found;
    }
    EXPECT_EQ(found, 1);
}

TEST_F(TerminalScenario, TheMenusFollowASignOnThatChangesTheLanguage) {
    put_numbered(25);
    open("<A-f>oBERTA<Tab>geheim<F10>", 1);
    put_users();
    run_editor();
    EXPECT_EQ(session_.language(), 2);
    EXPECT_EQ(closing_row(0), "  Datei  Bearbeiten  Hilfe");
    EXPECT_EQ(closing_row(24).substr(0, 10), " F1 Hilfe ");
}

}  // namespace
