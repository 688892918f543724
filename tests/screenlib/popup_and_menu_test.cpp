// Popups over screens (the background comes back) and windows built from menus.
#include <cstring>

#include "screen_test_support.h"

namespace {

const char* const kScreens =
    "screen editor\n"
    "border bd_prompt\n"
    "at 1 0\n"
    "colors 1F 70 1E 1B\n"
    "picture\n"
    "|Page _                                                                        |\n"
    "| Group ________  Instrument ______________________________                    |\n"
    "| Group ________  Instrument ______________________________                    |\n"
    "end\n"
    "field 0 string - display text \"1\"\n"
    "field 1 string -\n"
    "field 2 string - display text \"Scale\"\n"
    "field 3 string -\n"
    "field 4 string - display text \"Pump\"\n"
    "end screen\n"
    "screen popup\n"
    "border bd_1\n"
    "at 2 20\n"
    "colors 4F 4E 2F 4F\n"
    "picture\n"
    "| Save the changes?  |\n"
    "|   ____     ____    |\n"
    "end\n"
    "field 0 choice - value 1 text \"Yes\"\n"
    "field 1 choice - value 2 text \"No\"\n"
    "end screen\n"
    "screen small\n"
    "border bd_1\n"
    "at 3 25\n"
    "picture\n"
    "| again? ___ |\n"
    "end\n"
    "field 0 choice - value 3 text \"ok\"\n"
    "end screen\n";

struct Snapshot {
    std::string text;
    std::vector<uint8_t> attributes;
    bool operator==(const Snapshot&) const = default;
};

class PopupTest : public ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        file_ = screenfile_open(write_file("POPUPS.L01", kScreens).c_str(),
                                screenlib::library_function_table());
        ASSERT_NE(file_, nullptr) << (diagnostics_.empty() ? "" : diagnostics_[0]);
    }
    void TearDown() override {
        screenfile_close(file_);
        ScreenTest::TearDown();
    }
    Snapshot snapshot() const {
        Snapshot shot{screen_->text(), {}};
        for (int r = 0; r < screen_->rows(); ++r) {
            for (int c = 0; c < screen_->columns(); ++c)
                shot.attributes.push_back(screen_->attribute(r, c));
        }
        return shot;
    }
    ScreenFile* file_ = nullptr;
};

// Draws a host line on row 0 straight through the backend.
void draw_host_line(screenlib::Backend& backend) {
    const std::string text = " File  Edit  Print";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const screenlib::Cell cell{text[i], 0x30};
        backend.put(0, static_cast<int>(i), &cell, 1);
    }
}

ScreenFile* g_file = nullptr;
Screen* g_popup = nullptr;
int g_popup_result = -1;
TEST_F(PopupTest, PopupRestoresEveryCellBeneathWhenItCloses) {
    draw_host_line(*screen_);
    Screen* editor = screenfile_load(file_, "editor", 0);
    ASSERT_NE(editor, nullptr);
    screen_paint(editor);
    screen_set_prompt(editor, "Editing");
    const Snapshot before = snapshot();

    g_popup = screenfile_load(file_, "popup", 1);
    ASSERT_NE(g_popup, nullptr);
    screen_paint(g_popup);
    EXPECT_EQ(row(3),
              "| Group           In| Save the changes?  |                                     |");
    EXPECT_EQ(screen_->attribute(3, 22), 0x4F);
    screen_close(g_popup);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(PopupTest, PopupRunFromAKeyHandlerLeavesTheScreenAsItWas) {
    Screen* editor = screenfile_load(file_, "editor", 0);
    ASSERT_NE(editor, nullptr);
    screen_set_special(editor, [](Screen* screen, int key) {
        if (key != KEY_F10)
            return 0;
        Screen* popup = screenfile_load(g_file, "popup", 1);
        screen_set_popup(popup, 1);
        screen_paint(popup);
        g_popup_result = screen_run(popup);
        screen_close(popup);
        field_set_text(screen, "answered", 1);
        return 1;
    });
    g_file = file_;
    screen_paint(editor);
    keys("abc<F2>");  // F2 does nothing: takes a snapshot point below
    screen_run(editor);
    const Snapshot before = snapshot();
    keys("<F10><Right><Enter><Esc>");
    g_popup_result = -1;
    EXPECT_EQ(screen_run(editor), 0);
    EXPECT_EQ(g_popup_result, 2);
    Snapshot after = snapshot();
    EXPECT_NE(after.text.find("answered"), std::string::npos);
    field_set_text(editor, "abc", 1);  // put back the one change the handler made
    EXPECT_EQ(snapshot(), before);
}

TEST_F(PopupTest, DrawingBeneathAPopupShowsWhenItCloses) {
    Screen* editor = screenfile_load(file_, "editor", 0);
    screen_paint(editor);
    Screen* popup = screenfile_load(file_, "popup", 1);
    screen_paint(popup);
    Screen* small = screenfile_load(file_, "small", 1);
    screen_paint(small);
    // The editor's field 4 lies under both popups; its change must not show yet.
    field_set_text(editor, "HIDDEN", 4);
    EXPECT_EQ(screen_->text().find("HIDDEN"), std::string::npos);
    screen_close(popup);  // closed out of order: the small popup stays whole
    EXPECT_NE(row(4).find("| again? ok  |"), std::string::npos) << screen_->text();
    screen_close(small);
    EXPECT_NE(row(3).find("Instrument Scale"), std::string::npos);
    EXPECT_NE(row(4).find("Instrument HIDDEN"), std::string::npos);
}

const FieldFunctions kListFuncs = {nullptr, nullptr, field_std_key,
                                   nullptr, nullptr, STRING_FIELD_SET_ID};

TEST_F(PopupTest, MenuBuildsOneFieldPerDirectiveWithTheTemplatesRecordWidth) {
    Menu* menu = menu_open();
    ASSERT_NE(menu, nullptr);
    const char* const line_template = "@f[ ##### ###]";
    for (int n = 0; n < 4; ++n) {
        EXPECT_GE(menu_printf(menu, "@p[%d,1]", n), 0);
        EXPECT_GE(menu_printf(menu, line_template, nullptr, &kListFuncs), 0);
    }
    menu_flush(menu);
    Screen* list = menu_screen(menu);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(screen_field_count(list), 4);
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(field_length(list, n), 8);
    screen_set_border(list, bd_prompt);
    screen_set_position(list, 5, 10);
    screen_set_width(list, static_cast<int>(std::strlen(line_template)) - 2);
    field_set_text(list, "AlphaOne", 0);
    field_set_text(list, "BetaTwo!", 1);
    field_set_text(list, "GammaThreeAndMore", 2);
    screen_set_height(list, 3);  // the fourth row is not shown
    screen_set_popup(list, 1);
    screen_paint(list);
    screen_set_prompt(list, "ESC to exit");
    EXPECT_EQ(row(5), "          +------------+");
    EXPECT_EQ(row(6), "          |  Alpha One |");
    EXPECT_EQ(row(7), "          |  BetaT wo! |");
    EXPECT_EQ(row(8), "          |  Gamma Thr |");
    EXPECT_EQ(row(9), "          +ESC to exit-+");
    EXPECT_EQ(screen_goto_field(list, 3), 1);
    // Typing overwrites the record positions only; the template's blanks stay.
    keys("<Down><Down><Ins>XYZ12<Right>3<Esc>");
    EXPECT_EQ(screen_run(list), 0);
    EXPECT_STREQ(field_text(list, 2), "XYZ12T3r");
    EXPECT_EQ(row(8), "          |  XYZ12 T3r |");
    EXPECT_EQ(screen_->cursor_row(), 8);
    screen_close(list);
    EXPECT_EQ(screen_->text(), std::string(24, '\n'));  // every row blank again
}

TEST_F(PopupTest, MenuTextConversionsAndBadDirectives) {
    Menu* menu = menu_open();
    EXPECT_EQ(menu_printf(menu, "@p[0,2]%s %03d%%", "Total", 7), 10);
    EXPECT_EQ(menu_printf(menu, "@p[x,1]"), -1);
    EXPECT_EQ(menu_printf(menu, "@f[###", nullptr, &kListFuncs), -1);
    EXPECT_EQ(menu_printf(menu, "%q"), -1);
    EXPECT_EQ(menu_printf(nullptr, "text"), -1);
    // "@@" is a literal '@', also before "f[", and converted text stays text.
    EXPECT_EQ(menu_printf(menu, "@p[1,0]a@@f[#]%s", "\x01\x05@@"), 8);
    Screen* window = menu_screen(menu);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(menu_screen(menu), nullptr);  // the window owns the menu now
    screen_paint(window);
    EXPECT_EQ(row(0), "  Total 007%");
    EXPECT_EQ(row(1), "a@f[#] @");
    EXPECT_EQ(screen_field_count(window), 0);
    keys("a<Enter><Esc>");
    EXPECT_EQ(screen_run(window), 0);
    screen_close(window);
}

}  // namespace

namespace {

TEST_F(PopupTest, AWindowPastTheScreenEdgeMovesBackOntoIt) {
    Menu* menu = menu_open();
    ASSERT_GE(menu_printf(menu, "@p[0,0]A window that does not fit@p[1,0]@f[##########]", nullptr,
                          nullptr),
              0);
    Screen* window = menu_screen(menu);
    ASSERT_NE(window, nullptr);
    screen_set_border(window, bd_1);
    screen_set_position(window, 23, 70);
    screen_paint(window);
    // Four rows and 28 columns: the window ends on the last row and column.
    EXPECT_EQ(row(21), std::string(52, ' ') + "+--------------------------+");
    EXPECT_EQ(row(22), std::string(52, ' ') + "|A window that does not fit|");
    EXPECT_EQ(row(24), std::string(52, ' ') + "+--------------------------+");
    EXPECT_EQ(screen_goto_field(window, 0), 0);
    keys("abc<Esc>");
    EXPECT_EQ(screen_run(window), 0);
    EXPECT_EQ(row(23), std::string(52, ' ') + "|abc                       |");
    screen_close(window);
    EXPECT_EQ(screen_->text(), std::string(24, '\n'));
}

// A window taller than the screen keeps its place, is cut at the bottom
// edge with its border on screen, and scrolls its inside to the cursor.
TEST_F(PopupTest, AWindowTallerThanTheScreenScrollsToTheCurrentField) {
    Menu* menu = menu_open();
    for (int r = 0; r < 25; ++r) {
        const std::string line = "@p[" + std::to_string(r) + ",0]row " + (r < 10 ? "0" : "") +
                                 std::to_string(r) + " @f[####]";
        ASSERT_GE(menu_printf(menu, line.c_str(), nullptr, nullptr), 0);
    }
    Screen* window = menu_screen(menu);
    ASSERT_NE(window, nullptr);
    screen_set_border(window, bd_1);
    screen_set_position(window, 3, 10);  // 27 rows from row 3 on a screen of 25
    draw_host_line(*screen_);
    keys("<Up>x<Esc>");
    EXPECT_EQ(screen_run(window), 0);
    EXPECT_EQ(row(0), " File  Edit  Print") << "the screen above stays";
    EXPECT_EQ(row(3), std::string(10, ' ') + "+-----------+");
    EXPECT_EQ(row(24), std::string(10, ' ') + "+-----------+");
    // Up from the first field wraps to the last, row 24 of the inside: the
    // inside scrolls so that it is the last row in view, with its text.
    EXPECT_EQ(screen_field_no(window), 24);
    EXPECT_EQ(screen_->cursor_row(), 23);
    EXPECT_EQ(row(23), std::string(10, ' ') + "|row 24 x   |");
    EXPECT_EQ(row(4), std::string(10, ' ') + "|row 05     |");
    // Back to the first field: the inside scrolls back.
    keys("<Down><Esc>");
    screen_run(window);
    EXPECT_EQ(screen_->cursor_row(), 4);
    EXPECT_EQ(row(4), std::string(10, ' ') + "|row 00     |");
    EXPECT_EQ(row(23), std::string(10, ' ') + "|row 19     |");
    // Nothing was drawn off the screen: closing leaves the screen as it was.
    screen_close(window);
    EXPECT_EQ(row(0), " File  Edit  Print");
    EXPECT_EQ(screen_->text(), " File  Edit  Print" + std::string(24, '\n'));
}

TEST_F(PopupTest, ClosingAScreenFromItsOwnKeyHandlerEndsTheRun) {
    Screen* popup = screenfile_load(file_, "popup", 1);
    ASSERT_NE(popup, nullptr);
    screen_set_special(popup, [](Screen* screen, int key) {
        if (key == KEY_F8)
            screen_close(screen);
        return key == KEY_F8 ? 1 : 0;
    });
    screen_paint(popup);
    keys("<F8><Enter>");
    EXPECT_EQ(screen_run(popup), 0);
    EXPECT_EQ(screen_->text(), std::string(24, '\n'));
    EXPECT_EQ(screen_field_count(popup), 0);  // the handle is dead, and harmless
}

}  // namespace

namespace {

struct SignOnForm {
    char name[31];
    char password[9];
    bool accepted;
} g_form;

int accept_on_f10(Screen* screen, int key) {
    if (key != KEY_F10)
        return 0;
    screen_leave_field(screen, screen_field_no(screen));
    g_form.accepted = true;
    screen_exit(screen);
    return 1;
}

TEST_F(PopupTest, AMenuFormRunsAgainAfterARefusedEntry) {
    std::memset(&g_form, 0, sizeof g_form);
    std::memset(g_form.name, ' ', 30);
    std::memset(g_form.password, ' ', 8);
    Menu* menu = menu_open();
    menu_printf(menu, "@p[0,1]Name:");
    menu_printf(menu, "@p[0,12]@f[##############################]", g_form.name,
                &string_field_funcs);
    menu_printf(menu, "@p[1,1]Password:");
    menu_printf(menu, "@p[1,12]@f[########]", g_form.password, &masked_field_funcs);
    Screen* screen = menu_screen(menu);
    ASSERT_NE(screen, nullptr);
    screen_set_border(screen, bd_prompt);
    screen_set_special(screen, accept_on_f10);
    keys("BERTA<Tab>wrong<F10>geheim<F10>");
    std::vector<std::string> passwords;
    for (int attempt = 0; attempt < 3; ++attempt) {
        g_form.accepted = false;
        screen_run(screen);
        if (!g_form.accepted)
            break;
        passwords.emplace_back(g_form.password, 8);
        std::memset(g_form.password, ' ', 8);
        field_set_text(screen, g_form.password, 1);
        screen_goto_field(screen, 1);
    }
    EXPECT_EQ(std::string(g_form.name, 30), "BERTA" + std::string(25, ' '));
    EXPECT_EQ(passwords, (std::vector<std::string>{"wrong   ", "geheim  "}));
    screen_close(screen);
}

}  // namespace

namespace {

TEST_F(PopupTest, ANewBackendStartsBlankAndScreensPaintOnIt) {
    Screen* popup = screenfile_load(file_, "popup", 1);
    screen_paint(popup);
    screenlib::HeadlessBackend& fresh = screenlib::use_headless(25, 80);
    EXPECT_EQ(fresh.text(), std::string(24, '\n'));
    screen_paint(popup);
    EXPECT_NE(fresh.text().find("Save the changes?"), std::string::npos);
    screen_close(popup);
    EXPECT_EQ(fresh.text(), std::string(24, '\n'));
}

}  // namespace
