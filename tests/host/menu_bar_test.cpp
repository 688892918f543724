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

    // From now on the screen is kept as it stands at a script's <Wait:1>,
    // while a popup is up.
    void keep_screen_at_wait() {
        screenlib::set_idle_handler(
            [this] {
                const screenlib::Cell* cells = headless_->shown_cells();
                kept_.assign(cells, cells + headless_->rows() * headless_->columns());
            },
            1);
    }
    const screenlib::Cell& kept(int row, int column) const {
        return kept_.at(static_cast<size_t>(row * headless_->columns() + column));
    }
    std::string kept_row(int row) const {
        std::string text;
        for (int column = 0; column < headless_->columns(); ++column) {
            text += kept(row, column).character;
        }
        return text;
    }

    hosttest::TempRoot root_{false};
    std::string dir_;
    screenlib::HeadlessBackend* headless_ = nullptr;
    std::vector<screenlib::Cell> kept_;
};

TEST_F(MenuBar, OpensAndDrawsTheBarOnTheTopRow) {
    ASSERT_EQ(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 1);
    EXPECT_EQ(headless_->row_text(0).substr(0, 20), "  File  Edit  Help  ");
    EXPECT_EQ(headless_->attribute(0, 2), 0x74) << "the Alt letter stands out";
    EXPECT_EQ(headless_->attribute(0, 3), 0x70);
    EXPECT_TRUE(hostlibs::menubar_installed());
}

TEST_F(MenuBar, TheTitlesMarkedLetterStandsOutNotAnEarlierOneLikeIt) {
    hosttest::write_file(dir_ + "/REPEAT", "menu Rep~eat\nitem ~Again 1\n");
    ASSERT_EQ(menubar_open(host_path("REPEAT").c_str(), &receive) & 0xFF, 1);
    EXPECT_EQ(headless_->row_text(0).substr(0, 10), "  Repeat  ");
    EXPECT_EQ(headless_->attribute(0, 3), 0x70) << "the first e is not the marked one";
    EXPECT_EQ(headless_->attribute(0, 5), 0x74);
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
    ASSERT_NE(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 0);
    EXPECT_EQ(hostlibs::menubar_error(), "");
}

// A pull-down hangs under its title, which shows open meanwhile: entries
// with their keys in a column of their own, letters marked, the cursor's
// entry in the host's colours; the bar is as before once it closes.
TEST_F(MenuBar, APullDownHangsUnderItsOpenTitle) {
    hostlibs::ChoicePopup style;
    style.third = 0x4E;
    hostlibs::set_pull_down_style(style);
    ASSERT_NE(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 0);
    keep_screen_at_wait();
    script("<Wait:1><Esc>");
    EXPECT_EQ(menubar_key(screenlib::parse_key("A-e")), 1);
    ASSERT_FALSE(kept_.empty());
    EXPECT_EQ(kept_row(0).substr(0, 20), "  File  Edit  Help  ");
    EXPECT_EQ(kept_row(1).substr(0, 28), "       +------------------+ ");
    EXPECT_EQ(kept_row(2).substr(0, 28), "       | Pick a group  F4 | ");
    EXPECT_EQ(kept_row(3).substr(0, 28), "       | First page       | ");
    EXPECT_EQ(kept(0, 8).attribute, 0x1F) << "the open title";
    EXPECT_EQ(kept(2, 9).attribute, 0x4E) << "the cursor's entry";
    EXPECT_EQ(kept(3, 9).attribute, 0x74) << "the letter of First page";
    EXPECT_EQ(kept(3, 10).attribute, 0x70);
    EXPECT_EQ(headless_->attribute(0, 8), 0x74) << "closed again";
    EXPECT_EQ(headless_->attribute(0, 9), 0x70);

    script("<Wait:1><Esc>");
    EXPECT_EQ(menubar_key(KEY_F10), 1);
    EXPECT_EQ(kept_row(2).substr(0, 25), " | Save changes     F2 | ");
    EXPECT_EQ(kept_row(5).substr(0, 25), " | Print to screen     | ");
    EXPECT_EQ(kept(5, 12).attribute, 0x74) << "the letter of Print to screen";
    EXPECT_TRUE(g_received.empty());
}

// A menu of direct keys alone has no pull-down to open.
TEST_F(MenuBar, AMenuOfKeysAloneOpensNoPullDown) {
    hosttest::write_file(dir_ + "/KEYS", "key <F3> 7\n");
    ASSERT_NE(menubar_open(host_path("KEYS").c_str(), &receive) & 0xFF, 0);
    EXPECT_EQ(menubar_key(KEY_F10), 0);
    EXPECT_EQ(menubar_key(screenlib::parse_key("A-f")), 0);
    EXPECT_EQ(menubar_key(KEY_F3), 1);
    EXPECT_EQ(g_received, std::vector<int>{7});
}

// The key bar shows function keys first in their order, then other keys as
// the file has them, and only entries that fit whole, up to the last column.
TEST_F(MenuBar, TheKeyBarShowsFunctionKeysFirstAndOnlyWholeEntries) {
    hosttest::write_file(dir_ + "/KEYS",
                         "menu ~File\nitem Bee <C-b> 1\nitem Three <F3> 2\nitem Ay <C-a> 3\n"
                         "item One <F1> 4\n");
    // " F1 One  F3 Three  Ctrl-B Bee  Ctrl-A Ay  " leaves 80 - 42 columns
    // for "PgUp " and its label.
    const std::string fits(38 - 5, 'x');
    hostlibs::set_key_bar_host_keys({{"PgUp", fits}});
    ASSERT_NE(menubar_open(host_path("KEYS").c_str(), &receive) & 0xFF, 0);
    const std::string bar = " F1 One  F3 Three  Ctrl-B Bee  Ctrl-A Ay  PgUp " + fits;
    EXPECT_EQ(headless_->row_text(hostlibs::KEY_BAR_ROW), bar);
    hostlibs::set_key_bar_host_keys({{"PgUp", fits + "x"}});
    EXPECT_EQ(headless_->row_text(hostlibs::KEY_BAR_ROW), bar.substr(0, 40) + std::string(40, ' '));
}

// Choice popups: separators are never chosen, started on or landed on; a
// popup that does not go sideways keeps Left and Right; keys no entry has
// change nothing.
TEST_F(MenuBar, AChoicePopupChoosesOnlyEntries) {
    hostlibs::ChoicePopup popup;
    popup.entries = {"", "Alpha", "Beta", ""};
    popup.letters = {'A', 'A', 'B', 'B'};
    std::string shown;
    popup.last_screen = &shown;
    script("<End><Enter>");
    EXPECT_EQ(hostlibs::run_choice_popup(popup), 2);
    script("<End><Home><Enter>");
    EXPECT_EQ(hostlibs::run_choice_popup(popup), 1);
    script("a");
    EXPECT_EQ(hostlibs::run_choice_popup(popup), 1) << "a separator's letter counts for nothing";
    script("<Right><Left>z<Enter>");
    EXPECT_EQ(hostlibs::run_choice_popup(popup), 1) << "started off the separator";
    EXPECT_NE(shown.find("| Alpha |"), std::string::npos) << shown;
    popup.start = 9;
    script("<Enter>");
    EXPECT_EQ(hostlibs::run_choice_popup(popup), 2) << "a start past the end is the last";
    popup.start = 3;
    popup.entries.push_back("Gamma");
    script("<Enter>");
    EXPECT_EQ(hostlibs::run_choice_popup(popup), 4) << "a start on a separator moves on";
}

// A popup stays on the screen: a wide one is cut to 76 columns inside its
// frame, one at the right edge moves left; it shows at most 22 entries.
TEST_F(MenuBar, AChoicePopupStaysOnTheScreen) {
    hostlibs::ChoicePopup popup;
    popup.column = 79;
    popup.entries = {"Short", std::string(100, 'w')};
    for (int n = 0; n < 30; ++n) {
        popup.entries.push_back("Entry " + std::to_string(n));
    }
    keep_screen_at_wait();
    script("<Wait:1><End><Enter>");
    EXPECT_EQ(hostlibs::run_choice_popup(popup), 21);
    EXPECT_EQ(kept_row(1), "  +" + std::string(76, '-') + "+");
    EXPECT_EQ(kept_row(3), "  | " + std::string(75, 'w') + "|");
    EXPECT_EQ(kept_row(23).substr(2, 12), "| Entry 19  ");
    EXPECT_EQ(kept_row(24), "  +" + std::string(76, '-') + "+");
}

// Neither a choice popup nor the menu bar runs inside one that is up: keys
// the menu bar is given meanwhile do nothing.
TEST_F(MenuBar, PopupsDoNotNest) {
    ASSERT_NE(menubar_open(host_path("MENU").c_str(), &receive) & 0xFF, 0);
    int inner = 0, bar_keys = 0;
    screenlib::set_idle_handler(
        [&] {
            hostlibs::ChoicePopup other;
            other.entries = {"Inner"};
            inner = hostlibs::run_choice_popup(other);
            bar_keys = menubar_key(KEY_F2) + menubar_key(KEY_F10);
        },
        1);
    script("<Wait:1><Enter>");
    EXPECT_EQ(menubar_key(KEY_F10), 1);
    EXPECT_EQ(inner, hostlibs::CHOICE_NONE);
    EXPECT_EQ(bar_keys, 0);
    EXPECT_EQ(g_received, std::vector<int>{2}) << "Enter reached the pull-down";
}

// A text made literal shows as it stands, '@' and all, where menu_printf
// would take "@p[...]" as a placement.
TEST_F(MenuBar, ALiteralShowsAsItStands) {
    const std::string text = "mail@p[3,3]home 100%";
    Menu* menu = menu_open();
    ASSERT_NE(menu, nullptr);
    menu_printf(menu, "@p[0,0]%s", hostlibs::menu_literal(text).c_str());
    menu_flush(menu);
    Screen* screen = menu_screen(menu);
    ASSERT_NE(screen, nullptr);
    screen_paint(screen);
    EXPECT_EQ(headless_->row_text(0).substr(0, text.size()), text);
    screen_close(screen);
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
        {"menu ~File\nitem ~-x 1\n", "line 2: '~' must stand before a letter or digit"},
        {"menu ~File\nseparator x\n", "line 2: separator takes nothing after it"},
        {"menu ~File\nitem A <F2> 2\nkey <F2> 7\n", "line 3: key given twice"},
        {"key Save <F3> 7\n", "line 1: expected: key <Name> COMMAND"},
        {"menu ~File\nitem A 1\nkey <F3> 7\nlabel 2 x\n",
         "line 4: a label follows a menu or an item"},
        {"menu ~File\nlabel 100 ~Datei\n", "line 2: expected: label LANGUAGE TEXT"},
        {"menu ~File\nitem Next> 1\n", "line 2: a key is written in angle brackets"},
        {"menu ~File\nitem Next <> 1\n", "line 2: a key is written in angle brackets"},
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

// What the limits allow is taken: a text of 40 characters, languages 1 and
// 99, titles that fill the bar to its last column (one more does not fit).
TEST(MenuFile, TakesTextsAndBarsUpToTheirLimits) {
    hostlibs::MenuFile menu;
    std::string error;
    const std::string forty(40, 'x');
    EXPECT_TRUE(hostlibs::parse_menu(
        "menu ~File\nlabel 1 ~Datei\nlabel 99 ~Akte\nitem " + forty + " 1\n", &menu, &error))
        << error;
    // Each title takes its length and two blanks from column 1 on: 40 + 39.
    const std::string full = "menu ~A" + std::string(37, 'a') + "\nitem x 1\nmenu ~B" +
                             std::string(36, 'b') + "\nitem y 2\n";
    ASSERT_TRUE(hostlibs::parse_menu(full, &menu, &error)) << error;
    EXPECT_EQ(menu.menus[1].column, 42);
    std::string over = full;
    over.insert(over.find("\nitem y"), "b");
    EXPECT_FALSE(hostlibs::parse_menu(over, &menu, &error));
    EXPECT_EQ(error, "the menu titles do not fit on the bar");
}

// An entry's letter stands where the '~' marks it, else on its first letter
// or digit, whatever comes before.
TEST(MenuFile, LettersStandWhereMarkedElseOnTheFirstLetterOrDigit) {
    hostlibs::MenuFile menu;
    std::string error;
    ASSERT_TRUE(hostlibs::parse_menu("menu ~File\nitem Sa~ve 1\nitem (quit) 2\nitem 2nd ~page 3\n",
                                     &menu, &error))
        << error;
    const std::vector<hostlibs::MenuItem>& items = menu.menus[0].items;
    EXPECT_EQ(items[0].text, "Save");
    EXPECT_EQ(items[0].letter, 'V');
    EXPECT_EQ(items[0].letter_position, 2);
    EXPECT_EQ(items[1].letter, 'Q');
    EXPECT_EQ(items[1].letter_position, 1);
    EXPECT_EQ(items[2].letter, 'P');
    EXPECT_EQ(items[2].letter_position, 4);
    ASSERT_TRUE(hostlibs::parse_menu("menu ~File\nitem 2nd page 3\n", &menu, &error)) << error;
    EXPECT_EQ(menu.menus[0].items[0].letter, '2');
    EXPECT_EQ(menu.menus[0].items[0].letter_position, 0);
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
