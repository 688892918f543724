// The menu bar under the headless backend: menu files, the bar on the top
// row, F10 and Alt-letter pull-downs and direct keys turned into commands.
#include <gtest/gtest.h>

#include <set>

#include "host_test_support.h"
#include "hostlibs/menubar.h"
#include "hostlibs/status.h"
#include "platform/key_codes.h"
#include "screenlib/screenlib.h"

namespace {

constexpr const char* kMenu =
    "# test menu\n"
    "menu ~File\n"
    "item ~Save changes <F2> 2\n"
    "separator\n"
    "item ~Print 8\n"
    "item Print to ~screen 19\n"
    "menu ~Edit\n"
    "item ~Pick a group <F4> 11\n"
    "item ~First page 16\n"
    "menu ~Help\n"
    "item ~Help <F1> 4\n"
    "key <C-x> 7\n";

std::vector<int> g_received;

void receive(int command) {
    g_received.push_back(command);
}

class MenuBar : public ::testing::Test {
  protected:
    void SetUp() override {
        g_received.clear();
        hostlibs::reset_menubar();
        hostlibs::reset_status();  // another test's status text would stand over the key bar
        headless_ = &screenlib::use_headless();
        dir_ = root_.path();
        hosttest::write_file(dir_ + "/MENU", kMenu);
    }
    void TearDown() override {
        menubar_close();
        screenlib::shutdown();
    }

    // Host-form path of a file in the temporary folder.
    std::string host_path(const std::string& name) const {
        return hosttest::host_form(dir_ + "/" + name);
    }

    void script(const std::string& keys) {
        std::string error;
        ASSERT_TRUE(headless_->set_script(keys, &error)) << error;
    }

    hosttest::TempRoot root_{false};
    std::string dir_;
    screenlib::HeadlessBackend* headless_ = nullptr;
};

TEST_F(MenuBar, OpensAndDrawsTheBarOnTheTopRow) {
    ASSERT_EQ(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 1);
    EXPECT_EQ(headless_->row_text(0).substr(0, 20), "  File  Edit  Help  ");
    EXPECT_EQ(headless_->attribute(0, 2), 0x74) << "the Alt letter stands out";
    EXPECT_EQ(headless_->attribute(0, 3), 0x70);
    EXPECT_TRUE(hostlibs::menubar_installed());
}

// Without colour a terminal shows no red: the Alt letters of every title and
// the key bar's keys are bold (bright) in the bar's reverse video instead.
TEST_F(MenuBar, WithoutColourTheAltLettersAndKeysStayMarked) {
    setenv("NO_COLOR", "1", 1);
    headless_ = &screenlib::use_headless();
    unsetenv("NO_COLOR");
    ASSERT_EQ(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 1);
    for (const int column : {2, 8, 14}) {
        EXPECT_EQ(headless_->attribute(0, column), 0x78) << column;
        EXPECT_EQ(headless_->attribute(0, column + 1), 0x70) << column;
    }
    EXPECT_EQ(headless_->attribute(hostlibs::KEY_BAR_ROW, 1), 0x78);
    EXPECT_EQ(headless_->attribute(hostlibs::KEY_BAR_ROW, 4), 0x70);
}

TEST_F(MenuBar, DirectKeysDeliverTheirCommands) {
    ASSERT_NE(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 0);
    EXPECT_EQ(menubar_key(KEY_F2), 1);
    EXPECT_EQ(menubar_key(KEY_F1), 1);
    EXPECT_EQ(menubar_key(screenlib::parse_key("C-x")), 1);
    EXPECT_EQ(menubar_key(KEY_F4), 1);
    EXPECT_EQ(menubar_key('a'), 0);
    EXPECT_EQ(menubar_key(KEY_PAGE_DOWN), 0);
    EXPECT_EQ(g_received, (std::vector<int>{2, 4, 7, 11}));
    EXPECT_EQ(hostlibs::menubar_commands(), g_received);
}

TEST_F(MenuBar, HostHotKeysWorkInEveryMenuAfterTheModulesOwnKeys) {
    hostlibs::set_host_keys({{screenlib::parse_key("C-e"), 80}, {KEY_F2, 99}});
    ASSERT_NE(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 0);
    EXPECT_EQ(menubar_key(screenlib::parse_key("C-e")), 1);
    EXPECT_EQ(menubar_key(KEY_F2), 1);
    EXPECT_EQ(g_received, (std::vector<int>{80, 2}));
    menubar_close();
    EXPECT_EQ(menubar_key(screenlib::parse_key("C-e")), 0) << "only while a menu is installed";
}

TEST_F(MenuBar, F10OpensTheFirstPullDownAndEnterChooses) {
    ASSERT_NE(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 0);
    // Down skips the separator: Save, Print.
    script("<Down><Enter>");
    EXPECT_EQ(menubar_key(KEY_F10), 1);
    EXPECT_EQ(g_received, std::vector<int>{8});
    // After the pull-down closes the bar and the screen below are back.
    EXPECT_EQ(headless_->row_text(0).substr(0, 20), "  File  Edit  Help  ");
    EXPECT_EQ(headless_->row_text(2), std::string(80, ' '));
}

TEST_F(MenuBar, AltLetterOpensItsPullDownAndLettersChoose) {
    ASSERT_NE(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 0);
    script("f");
    EXPECT_EQ(menubar_key(screenlib::parse_key("A-e")), 1);
    // "p" is Print's alone; "s" is shared by Save and Print to screen, so it
    // moves the cursor on to the next of them.
    script("p");
    EXPECT_EQ(menubar_key(screenlib::parse_key("A-f")), 1);
    script("s<Enter>");
    EXPECT_EQ(menubar_key(screenlib::parse_key("A-f")), 1);
    script("ss<Enter>");
    EXPECT_EQ(menubar_key(screenlib::parse_key("A-f")), 1);
    EXPECT_EQ(g_received, (std::vector<int>{16, 8, 19, 2}));
    EXPECT_EQ(menubar_key(screenlib::parse_key("A-z")), 0) << "no such menu";
}

TEST_F(MenuBar, LeftAndRightWalkThePullDownsAndEscapeDeliversNothing) {
    ASSERT_NE(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 0);
    // File -> Left wraps to Help -> Right back to File -> Right to Edit.
    script("<Left><Right><Right><Enter>");
    EXPECT_EQ(menubar_key(KEY_F10), 1);
    script("<Esc>");
    EXPECT_EQ(menubar_key(KEY_F10), 1);
    script("");  // the script runs out: the pull-down closes as if left
    EXPECT_EQ(menubar_key(KEY_F10), 1);
    EXPECT_EQ(g_received, std::vector<int>{11});
}

TEST_F(MenuBar, MissingOrBrokenFilesFailToOpen) {
    EXPECT_EQ(menubar_open(host_path("NOMENU").c_str(), &receive) & 0xFF, 0);
    EXPECT_NE(hostlibs::menubar_error().find("NOMENU"), std::string::npos);
    hosttest::write_file(dir_ + "/BROKEN", "menu ~File\nitem ~Save <F99> 2\n");
    EXPECT_EQ(menubar_open(host_path("BROKEN").c_str(), &receive) & 0xFF, 0);
    EXPECT_NE(hostlibs::menubar_error().find("line 2"), std::string::npos)
        << hostlibs::menubar_error();
    EXPECT_EQ(menubar_open(nullptr, &receive) & 0xFF, 0);
    EXPECT_EQ(menubar_key(KEY_F2), 0) << "no menu installed";
}

struct BadMenu {
    const char* text;
    const char* reason;
};

TEST(MenuFile, RefusesBadFilesNamingTheLine) {
    const BadMenu cases[] = {
        {"item ~Save 2\n", "line 1: an entry before the first menu"},
        {"menu ~File\nitem ~Save\n", "line 2: expected a command number at the end"},
        {"menu ~File\nitem ~Save 2x\n", "line 2: expected a command number at the end"},
        {"menu ~File\nitem ~Save <Nope> 2\n", "line 2: unknown key <Nope>"},
        {"menu ~File\nitem A <F2> 2\nitem B <F2> 3\n", "line 3: key given twice"},
        {"menu ~File\nitem A 1\nmenu ~Fold\nitem B 2\n", "line 3: the menu needs a letter"},
        {"menu ~File\nitem ~A~B 1\n", "line 2: more than one '~' mark"},
        {"menu File\n", "menu 'File' has no entries"},
        {"frobnicate\n", "line 1: unknown directive 'frobnicate'"},
        {"# nothing\n", "no menus and no keys"},
        {"label 2 ~Datei\nmenu ~File\nitem A 1\n", "line 1: a label follows a menu or an item"},
        {"menu ~File\nseparator\nlabel 2 x\n", "line 3: a label follows a menu or an item"},
        {"menu ~File\nlabel 0 ~Datei\n", "line 2: expected: label LANGUAGE TEXT"},
        {"menu ~File\nlabel 2\n", "line 2: expected: label LANGUAGE TEXT"},
        {"menu ~File\nlabel 2 ~Datei\nlabel 2 ~Akte\n", "line 3: label given twice"},
        {"menu ~File\nitem A 1\nmenu ~Edit\nlabel 2 ~Dinge\nitem B 2\nmenu ~Help\n"
         "label 2 ~Datei\nitem C 3\n",
         "language 2: the menu 'Datei' needs a letter of its own"},
    };
    for (const BadMenu& bad : cases) {
        hostlibs::MenuFile menu;
        std::string error;
        EXPECT_FALSE(hostlibs::parse_menu(bad.text, &menu, &error)) << bad.text;
        EXPECT_EQ(error.rfind(bad.reason, 0), 0u) << bad.text << " gave: " << error;
    }
    hostlibs::MenuFile menu;
    std::string error;
    EXPECT_FALSE(
        hostlibs::parse_menu("menu ~File\nitem " + std::string(41, 'x') + " 1\n", &menu, &error));
    std::string wide;
    for (char c = 'A'; c <= 'L'; ++c) {
        wide += std::string("menu ~") + c + "-very-long-title\nitem x 1\n";
    }
    EXPECT_FALSE(hostlibs::parse_menu(wide, &menu, &error));
    EXPECT_EQ(error, "the menu titles do not fit on the bar");
}

TEST(MenuFile, TheEditorsMenuDeliversEveryCommandItHandles) {
    hostlibs::MenuFile menu;
    std::string error;
    ASSERT_TRUE(hostlibs::parse_menu(
        hosttest::read_file(hostapp::assets_dir() + "/root/USER/DEVGROUP/TOOLBANK"), &menu, &error))
        << error;
    std::set<int> commands;
    for (const hostlibs::MenuPullDown& pull : menu.menus) {
        for (const hostlibs::MenuItem& item : pull.items) {
            commands.insert(item.command);
        }
    }
    for (int command : {2, 3, 4, 5, 6, 7, 8, 11, 16, 17, 18, 19, 24}) {
        EXPECT_EQ(commands.count(command), 1u) << command;
    }
}

TEST(MenuFile, ReadsEntriesKeysAndLetters) {
    hostlibs::MenuFile menu;
    std::string error;
    ASSERT_TRUE(hostlibs::parse_menu(kMenu, &menu, &error)) << error;
    ASSERT_EQ(menu.menus.size(), 3u);
    const hostlibs::MenuPullDown& file = menu.menus[0];
    EXPECT_EQ(file.title, "File");
    EXPECT_EQ(file.letter, 'F');
    EXPECT_EQ(file.column, 2);
    ASSERT_EQ(file.items.size(), 4u);
    EXPECT_EQ(file.items[0].text, "Save changes");
    EXPECT_EQ(file.items[0].key, KEY_F2);
    EXPECT_EQ(file.items[0].command, 2);
    EXPECT_TRUE(file.items[1].separator);
    EXPECT_EQ(file.items[3].letter, 'S');
    EXPECT_EQ(menu.menus[1].column, 8);
    ASSERT_EQ(menu.keys.size(), 1u);
    EXPECT_EQ(menu.keys[0].command, 7);
}

// One file carries every language: a language without a label keeps the
// first texts, and the titles are laid out anew for each.
TEST(MenuFile, LabelsGiveEachLanguageItsTexts) {
    hostlibs::MenuFile menu;
    std::string error;
    ASSERT_TRUE(
        hostlibs::parse_menu("menu ~File\n"
                             "label 2 ~Datei\n"
                             "item ~Save changes <F2> 2\n"
                             "label 2 ~Speichern\n"
                             "item ~Print 8\n"
                             "menu ~Help\n"
                             "label 2 H~ilfe\n"
                             "item ~Help 4\n",
                             &menu, &error))
        << error;
    const hostlibs::MenuFile german = hostlibs::menu_in_language(menu, 2);
    EXPECT_EQ(german.menus[0].title, "Datei");
    EXPECT_EQ(german.menus[0].items[0].text, "Speichern");
    EXPECT_EQ(german.menus[0].items[0].key, KEY_F2);
    EXPECT_EQ(german.menus[0].items[1].text, "Print") << "no label: the first text";
    EXPECT_EQ(german.menus[1].title, "Hilfe");
    EXPECT_EQ(german.menus[1].letter, 'I');
    EXPECT_EQ(german.menus[1].column, 9);
    const hostlibs::MenuFile other = hostlibs::menu_in_language(menu, 7);
    EXPECT_EQ(other.menus[0].title, "File");
    EXPECT_EQ(other.menus[1].column, 8);
    EXPECT_EQ(menu.menus[0].title, "File") << "parsed in the first texts";
}

TEST_F(MenuBar, TheKeyBarListsTheMenusKeysThenTheHostsAndGoesWithTheMenu) {
    hostlibs::set_key_bar_host_keys({{"F10", "Menu"}, {"PgUp/PgDn", "Page"}});
    ASSERT_NE(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 0);
    const std::string bar = " F1 Help  F2 Save  F4 Pick  F10 Menu  PgUp/PgDn Page";
    EXPECT_EQ(headless_->row_text(hostlibs::KEY_BAR_ROW), bar + std::string(80 - bar.size(), ' '));
    EXPECT_EQ(headless_->attribute(hostlibs::KEY_BAR_ROW, 1), 0x74) << "the key stands out";
    EXPECT_EQ(headless_->attribute(hostlibs::KEY_BAR_ROW, 4), 0x70);
    // The language changes the entries' words, not the keys.
    std::string german = kMenu;
    german.insert(german.find("key <C-x>"), "label 2 ~Hilfe\n");
    hosttest::write_file(dir_ + "/MENU", german);
    menubar_close();
    EXPECT_EQ(headless_->row_text(hostlibs::KEY_BAR_ROW), std::string(80, ' '));
    hostlibs::set_menu_language(2);
    ASSERT_NE(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 0);
    EXPECT_EQ(headless_->row_text(hostlibs::KEY_BAR_ROW).substr(0, 10), " F1 Hilfe ");
    hostlibs::set_menu_language(1);
    EXPECT_EQ(headless_->row_text(hostlibs::KEY_BAR_ROW).substr(0, 10), " F1 Help  ");
}

TEST(MenuFile, KeysAreNamedAsOperatorsWriteThem) {
    EXPECT_EQ(hostlibs::key_label(KEY_F10), "F10");
    EXPECT_EQ(hostlibs::key_label(screenlib::parse_key("C-q")), "Ctrl-Q");
    EXPECT_EQ(hostlibs::key_label(screenlib::parse_key("A-p")), "Alt-P");
    EXPECT_EQ(hostlibs::key_label(KEY_PAGE_DOWN), "PgDn");
}

// The status line stands over the key bar where it needs the row, whichever
// came first, and the bar is whole again once the status text goes.
TEST_F(MenuBar, TheKeyBarGivesWayToTheStatusLineAndComesBackAfter) {
    hostlibs::set_key_bar_host_keys({{"F10", "Menu"}});
    const std::string bar = " F1 Help  F2 Save  F4 Pick  F10 Menu";
    const std::string text(60, 'S');
    const StatusItem item = {0, 0, 0, static_cast<uint32_t>(text.size()), text.c_str()};
    ASSERT_EQ(status_show(&item, 2000), 0);
    ASSERT_NE(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 0);
    EXPECT_EQ(headless_->row_text(hostlibs::KEY_BAR_ROW), bar.substr(0, 20) + text);
    hostlibs::reset_status();
    EXPECT_EQ(headless_->row_text(hostlibs::KEY_BAR_ROW), bar + std::string(80 - bar.size(), ' '));
}

}  // namespace
