// The edit loop: key dispatch order, field editing, navigation, field
// functions, variables, colours and the end of a run.
#include <cstring>

#include "screen_test_support.h"

namespace {

// A record of what the library called, in order.
std::vector<std::string> g_calls;

int recording_keys(Screen* screen, int key) {
    g_calls.push_back("handler " + screenlib::key_name(key) + " on " +
                      std::to_string(screen_field_no(screen)));
    if (key == KEY_F2) {  // the handler's own key
        screen_set_result(screen, 42);
        screen_exit(screen);
        return 1;
    }
    return 0;
}
void recording_entry(Screen* screen) {
    g_calls.push_back("entry " + std::to_string(screen_field_no(screen)));
}
uint8_t recording_exit(Screen* screen) {
    g_calls.push_back("exit " + std::to_string(screen_field_no(screen)));
    return field_std_exit(screen);
}
int recording_key(Screen* screen, int key) {
    if (key == KEY_F3) {
        g_calls.push_back("field key F3");
        return 1;
    }
    return field_std_key(screen, key);
}
void recording_fill(Screen* screen, int field) {
    g_calls.push_back("fill " + std::to_string(field));
    field_set_text(screen, ("filled" + std::to_string(field)).c_str(), field);
}
uint8_t refusing_exit(Screen*) {
    return 0;
}
// The mode an entry function sets, as the editor's group fields do.
int g_entry_mode = 5;
void mode_entry(Screen* screen) {
    screen_field_enter(screen);
    screen_set_mode(screen, g_entry_mode);
}

const FieldFunctions kRecordingFuncs = {recording_entry, recording_exit, recording_key,
                                        recording_fill,  nullptr,        0};
const FieldFunctions kRefusingFuncs = {nullptr, refusing_exit, field_std_key, nullptr, nullptr, 0};
const FieldFunctions kModeFuncs = {mode_entry, field_std_exit, field_std_key, nullptr, nullptr, 0};

const ScreenFunctionEntry* table() {
    static FunctionTable table;
    static const ScreenFunctionEntry* entries =
        table.add(0, "recording_funcs", nullptr, &kRecordingFuncs)
            .add(0, "refusing_funcs", nullptr, &kRefusingFuncs)
            .add(0, "mode_funcs", nullptr, &kModeFuncs)
            .add(2, "recording_keys", any_function(recording_keys), nullptr)
            .get();
    return entries;
}

// Fields: 0 string, 1 display-only, 2 string, 3 masked, 4 and 5 choices.
const char* const kForm =
    "screen form\n"
    "window sedwin_Class\n"
    "border bd_prompt\n"
    "colors 07 70 1E 07\n"
    "picture\n"
    "|A ________ B ____ C ______|\n"
    "|P ____       [___] [__]   |\n"
    "end\n"
    "field 0 string -\n"
    "field 1 string - display text \"ro\"\n"
    "field 2 string -\n"
    "field 3 masked -\n"
    "field 4 choice - value 5 text \"Yes\"\n"
    "field 5 choice - value 9 text \"No\"\n"
    "end screen\n"
    "screen recorded\n"
    "keys recording_keys\n"
    "picture\n"
    "|____ ____ ____|\n"
    "end\n"
    "field 0 string recording_funcs\n"
    "field 1 string - display\n"
    "field 2 string refusing_funcs\n"
    "end screen\n"
    "screen entry\n"
    "picture\n"
    "|________ ________|\n"
    "end\n"
    "field 0 string mode_funcs\n"
    "field 1 string mode_funcs\n"
    "end screen\n";

class EditLoopTest : public ScreenTest {
  protected:
    Screen* load(const char* name) {
        file_ = screenfile_open(write_file("FORM.L01", kForm).c_str(), table());
        EXPECT_NE(file_, nullptr) << (diagnostics_.empty() ? "" : diagnostics_[0]);
        Screen* screen = file_ ? screenfile_load(file_, name, 0) : nullptr;
        g_calls.clear();
        return screen;
    }
    void TearDown() override {
        if (file_)
            screenfile_close(file_);
        ScreenTest::TearDown();
    }
    ScreenFile* file_ = nullptr;
};

TEST_F(EditLoopTest, TypingEditsStringFieldsAndTabSkipsDisplayOnlyFields) {
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    screen_paint(screen);
    // Field 0: type, move left, delete, backspace, insert in the middle.
    // Tab passes field 1 (display-only) to field 2; Shift-Tab comes back to 0.
    keys(
        "hello<Left><Left><Del><BS>X<Home>>"
        "<Tab>abc<S-Tab><End>!<Tab><Tab>xyz<Esc>");
    EXPECT_EQ(screen_run(screen), 0);
    EXPECT_STREQ(field_text(screen, 0), ">heXo!  ");
    EXPECT_STREQ(field_text(screen, 1), "ro  ");
    EXPECT_STREQ(field_text(screen, 2), "abc   ");
    EXPECT_STREQ(field_text(screen, 3), "xyz ");
    EXPECT_EQ(row(1), "|A >heXo!   B ro   C abc   |");
    EXPECT_EQ(row(2), "|P ***        [Yes] [No]   |");  // masked: no typed character shows
}

TEST_F(EditLoopTest, TypedTextNeverExceedsTheFieldAndInsertTogglesOverwrite) {
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    keys("abcdefghijk<Home><Ins>XY<Ins>Z<Esc>");
    screen_run(screen);
    EXPECT_STREQ(field_text(screen, 0), "XYcdefgh");  // the full field refused Z in insert mode
    keys("<Del><Home>Q<Esc>");
    screen_run(screen);
    EXPECT_STREQ(field_text(screen, 0), "QYcdefgh");  // Insert was toggled back on
}

TEST_F(EditLoopTest, EnterOnAChoiceEndsWithItsValueAndEscapeWithZero) {
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    keys("<Up><Enter>");  // Up from field 0 wraps to the last field, the "No" choice
    EXPECT_EQ(screen_run(screen), 9);
    ASSERT_EQ(screen_goto_field(screen, 4), 0);
    keys("<Accept>");
    EXPECT_EQ(screen_run(screen), 5);
    ASSERT_EQ(screen_goto_field(screen, 4), 0);
    keys("<Right><Enter>");
    EXPECT_EQ(screen_run(screen), 9);
    ASSERT_EQ(screen_goto_field(screen, 5), 0);
    keys("y<Enter>");  // a letter moves to the choice it starts
    EXPECT_EQ(screen_run(screen), 5);
    screen_set_result(screen, 17);
    keys("<Tab>ab<Esc>");
    EXPECT_EQ(screen_run(screen), 0);
}

TEST_F(EditLoopTest, GotoFieldRefusesDisplayOnlyAndMissingFields) {
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen_goto_field(screen, 1), 1);
    EXPECT_EQ(screen_goto_field(screen, -1), 1);
    EXPECT_EQ(screen_goto_field(screen, 6), 1);
    EXPECT_EQ(screen_goto_field(screen, 2), 0);
    EXPECT_EQ(screen_field_no(screen), 2);
    field_mark(screen, 0);
    EXPECT_EQ(screen_goto_field(screen, 0), 1);
    // A field walk forward from 0 stops on the first field that takes the cursor.
    int n = 0;
    while (n < screen_field_count(screen) && screen_goto_field(screen, n) == 1)
        ++n;
    EXPECT_EQ(n, 2);
}

TEST_F(EditLoopTest, KeyHandlerFirstThenFieldKeyFunctionThenNavigation) {
    Screen* screen = load("recorded");
    ASSERT_NE(screen, nullptr);
    screen_paint(screen);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"fill 0"}));  // painting refreshes every field
    g_calls.clear();
    keys("<F3><Del>a<Tab><F2>");
    EXPECT_EQ(screen_run(screen), 42);
    // Leaving the field refreshes it through its fill function after its
    // exit function, so the fill's text replaces what was typed.
    EXPECT_EQ(g_calls, (std::vector<std::string>{"entry 0", "handler <F3> on 0", "field key F3",
                                                 "handler <Del> on 0", "handler a on 0",
                                                 "handler <Tab> on 0", "exit 0", "fill 0",
                                                 "handler <F2> on 2"}));
    EXPECT_STREQ(field_text(screen, 0), "fill");
}

TEST_F(EditLoopTest, ExitFunctionCanKeepTheCursorAndLeaveFieldRunsIt) {
    Screen* screen = load("recorded");
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(screen_goto_field(screen, 2), 0);
    keys("<Tab><Tab><S-Tab><F2>");
    EXPECT_EQ(screen_run(screen), 42);
    EXPECT_EQ(screen_field_no(screen), 2);  // the refusing exit function kept it there
    g_calls.clear();
    // screen_leave_field runs the current field's exit function without moving.
    keys("<F9>");
    screen_set_special(screen, [](Screen* s, int key) {
        if (key == KEY_F9) {
            g_calls.push_back("leave gave " +
                              std::to_string(screen_leave_field(s, screen_field_no(s))));
            // A goto is refused too: the field's exit function keeps the cursor.
            g_calls.push_back("goto gave " + std::to_string(screen_goto_field(s, 0)));
            screen_exit(s);
            return 1;
        }
        return 0;
    });
    screen_run(screen);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"leave gave 0", "goto gave 1"}));
    EXPECT_EQ(screen_field_no(screen), 2);
}

TEST_F(EditLoopTest, UpdateCallsEveryFillFunctionAndOthersLoadTheirVariables) {
    Screen* screen = load("recorded");
    ASSERT_NE(screen, nullptr);
    char buffer[5] = "wxyz";
    field_set_var(screen, 2, buffer);
    EXPECT_STREQ(field_text(screen, 2), "wxyz");
    std::memcpy(buffer, "1234", 4);
    screen_update(screen);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"fill 0"}));
    EXPECT_STREQ(field_text(screen, 0), "fill");
    EXPECT_STREQ(field_text(screen, 2), "1234");
}

TEST_F(EditLoopTest, EditingWritesThroughToTheBoundVariable) {
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    char name[8];
    char secret[4];
    field_set_var(screen, 0, name);
    field_set_var(screen, 3, secret);
    std::memset(name, ' ', sizeof name);
    std::memset(secret, ' ', sizeof secret);
    screen_paint(screen);
    keys("Ann<Tab><Tab>pw<Esc>");
    screen_run(screen);
    EXPECT_EQ(std::string(name, sizeof name), "Ann     ");
    EXPECT_EQ(std::string(secret, sizeof secret), "pw  ");
    EXPECT_EQ(field_var(screen, 3), secret);
    // A shorter, terminated variable shows up to its terminator.
    char short_line[] = "Hi";
    field_set_var(screen, 2, short_line);
    EXPECT_STREQ(field_text(screen, 2), "Hi    ");
}

TEST_F(EditLoopTest, ColoursOfWindowFieldsAndTheCurrentField) {
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    screen_set_colors(screen, 0x17, 0x2F, 0x4E);
    field_set_colors(screen, 2, 0x5A, 0x6B);
    screen_paint(screen);
    EXPECT_EQ(screen_->attribute(1, 1), 0x17);
    EXPECT_EQ(screen_->attribute(1, 3), 0x2F);
    EXPECT_EQ(screen_->attribute(1, 21), 0x5A);
    screen_set_special(screen, [](Screen* s, int key) {
        if (key == KEY_F5) {
            EXPECT_EQ(screenlib::backend()->cell(1, 3).attribute, 0x2F);
            EXPECT_EQ(screenlib::backend()->cell(1, 21).attribute,
                      0x6B);  // current, own selected colour
            field_reset_colors(s, 2);
            EXPECT_EQ(screenlib::backend()->cell(1, 21).attribute, 0x4E);
            field_set_colors(s, 2, 0x5A, 0x3C);  // shown at once, without a redraw
            EXPECT_EQ(screenlib::backend()->cell(1, 21).attribute, 0x3C);
            field_mark(s, 2);  // display-only: no longer drawn as the current field
            EXPECT_EQ(screenlib::backend()->cell(1, 21).attribute, 0x5A);
        }
        return 0;
    });
    keys("<Tab><F5><Esc>");
    screen_run(screen);
    EXPECT_EQ(screen_->attribute(1, 21), 0x5A);  // after the run no field is selected
}

// NO_COLOR: the current field in reverse video, states in bold or
// underline, everything else plain.
TEST_F(EditLoopTest, WithoutColourTheCurrentFieldIsReverseAndStatesAreBoldOrUnderlined) {
    setenv("NO_COLOR", "1", 1);
    screen_ = &screenlib::use_headless(25, 80);
    unsetenv("NO_COLOR");
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    screen_set_colors(screen, 0x17, 0x2F, 0x4E);
    field_set_colors(screen, 2, 0x1A, 0x6B);  // a changed name
    field_set_colors(screen, 3, 0x4F, 0x4E);  // an invalid one
    screen_set_special(screen, [](Screen*, int key) {
        if (key == KEY_F5) {
            const screenlib::Backend& b = *screenlib::backend();
            EXPECT_EQ(b.cell(1, 1).attribute, 0x07) << "window text";
            EXPECT_EQ(b.cell(0, 0).attribute, 0x07) << "border";
            EXPECT_EQ(b.cell(1, 3).attribute, 0x70) << "the current field";
            EXPECT_EQ(b.cell(1, 21).attribute, 0x0F) << "changed: bold";
            EXPECT_EQ(b.cell(2, 3).attribute, 0x09) << "invalid: bold and underlined";
            EXPECT_EQ(b.cell(2, 14).attribute, 0x07) << "a field without a state";
        }
        return 0;
    });
    keys("<F5><Esc>");
    screen_run(screen);
    EXPECT_EQ(screen_->attribute(1, 3), 0x07);
}

// The screen sees only real changes: a repaint of an unchanged window writes
// nothing (the body does not blank the fields before they are drawn), and
// a key changes just the cells it edits.
TEST_F(EditLoopTest, ARepaintWritesNothingAndAKeyOnlyTheCellsItChanges) {
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    field_set_text(screen, "hello", 0);
    screen_paint(screen);
    screen_->reset_cells_written();
    screen_repaint(screen);
    EXPECT_EQ(screen_->cells_written(), 0u);
    keys("x<Esc>");
    screen_run(screen);
    const std::vector<int>& changed = screen_->cells_changed_per_key();
    ASSERT_GE(changed.size(), 2u);
    // "hello" becomes "xhello": six cells, of which the third "l" stays.
    EXPECT_EQ(changed[changed.size() - 1], 5);
}

TEST_F(EditLoopTest, PromptShowsInTheBottomBorderAndCanBeCleared) {
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    screen_paint(screen);
    screen_set_prompt(screen, "Press F10 to accept");
    EXPECT_EQ(row(3), "+Press F10 to accept-------+");
    screen_set_prompt(screen, "A prompt far longer than the window is wide");
    EXPECT_EQ(row(3), "+A prompt far longer than t+");
    screen_set_prompt(screen, nullptr);
    EXPECT_EQ(row(3), "+--------------------------+");
}

TEST_F(EditLoopTest, FieldNumbersOutOfRangeAreIgnored) {
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    field_set_text(screen, "x", 99);
    field_set_text(screen, "x", -1);
    field_set_colors(screen, 99, 1, 2);
    field_reset_colors(screen, -5);
    field_mark(screen, 6);
    field_set_var(screen, 7, nullptr);
    screen_draw_field(screen, 50);
    screen_field_done(screen, 50);
    EXPECT_STREQ(field_text(screen, 99), "");
    EXPECT_EQ(field_length(screen, 99), 0);
    EXPECT_EQ(field_var(screen, -1), nullptr);
    field_set_text(screen, "a text much longer than the field", 0);
    EXPECT_STREQ(field_text(screen, 0), "a text m");
    field_set_text(screen, nullptr, 0);
    EXPECT_STREQ(field_text(screen, 0), "        ");
}

TEST_F(EditLoopTest, RunsEndWhenTheScriptRunsOut) {
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    Screen* inner = screenfile_load(file_, "recorded", 1);
    ASSERT_NE(inner, nullptr);
    static Screen* s_inner;
    s_inner = inner;
    screen_set_special(screen, [](Screen*, int key) {
        if (key == KEY_F4) {
            EXPECT_EQ(screen_run(s_inner), 0);  // the script ends inside the popup
            return 1;
        }
        return 0;
    });
    screen_set_result(screen, 3);
    keys("ab<F4>x");
    EXPECT_EQ(screen_run(screen), 0);  // the outer run ends too
    EXPECT_TRUE(screen_->script_exhausted());
    EXPECT_EQ(screen_run(screen), 0);  // and later runs return at once
    screen_close(inner);
}

TEST_F(EditLoopTest, ResultSetAfterExitStillCounts) {
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    screen_set_special(screen, [](Screen* s, int key) {
        if (key == KEY_ENTER) {
            screen_exit(s);
            screen_set_result(s, 7);
            return 1;
        }
        return 0;
    });
    keys("<Tab><Tab><Tab><Enter>");  // Enter on the "Yes" choice, taken by the handler
    EXPECT_EQ(screen_run(screen), 7);
}

// Fields whose entry sets a mode: 5 (and 2) select the text on entry.
class EntryModeTest : public EditLoopTest {
  protected:
    Screen* load_entry(int mode, const char* first, const char* second) {
        g_entry_mode = mode;
        Screen* screen = load("entry");
        if (screen) {
            field_set_text(screen, first, 0);
            field_set_text(screen, second, 1);
        }
        return screen;
    }
    void TearDown() override {
        g_entry_mode = 5;
        EditLoopTest::TearDown();
    }
};

TEST_F(EntryModeTest, TheSelectedTextGoesOnTypingWhileOtherEditingKeysKeepIt) {
    struct Case {
        int mode;
        const char* keys;
        const char* text;
    };
    const Case cases[] = {
        {5, "PUMPS", "PUMPS   "},         // the first character replaces the whole text
        {5, "<Right>U", "PURESS  "},      // an arrow drops the selection, then edits in place
        {5, "<Left>U", "UPRESS  "},       //
        {5, "<End>U", "PRESSU  "},        // End and Home likewise
        {5, "<Home><Ins>U", "URESS   "},  // Insert too (then overwriting)
        {5, "<BS>", "        "},          // Backspace and Delete clear a selected text
        {5, "<Del>", "        "},         //
        {5, "<Right><BS>", "RESS    "},   // unselected they take one character
        {5, "<Right><C-u>", "        "},  // Ctrl-U clears the field whatever is selected
        {2, "PUMPS", "PUMPS   "},         // with a mouse, keyboard entry selects as well
        {0, "U", "UPRESS  "},             // other modes select nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("mode ") + std::to_string(c.mode) + " keys " + c.keys);
        Screen* screen = load_entry(c.mode, "PRESS", "");
        ASSERT_NE(screen, nullptr);
        keys(std::string(c.keys) + "<Esc>");
        screen_run(screen);
        EXPECT_STREQ(field_text(screen, 0), c.text);
        screenfile_close(file_);
        file_ = nullptr;
        screen_close(screen);
    }
}

TEST_F(EntryModeTest, TheSelectionShowsInSwappedColoursUntilAKeyDropsIt) {
    Screen* screen = load_entry(5, "PRESS", "abc");
    ASSERT_NE(screen, nullptr);
    screen_set_colors(screen, 0x07, 0x70, 0x1E);
    static std::vector<std::vector<uint8_t>> seen;  // the first field's 7 cells at each F5
    seen.clear();
    screen_set_special(screen, [](Screen*, int key) {
        if (key == KEY_F5) {
            std::vector<uint8_t> cells;
            for (int c = 0; c < 7; ++c)
                cells.push_back(screenlib::backend()->cell(0, c).attribute);
            seen.push_back(cells);
        }
        return 0;
    });
    keys("<F5><Right><F5><Tab><S-Tab><F5><Esc>");
    screen_run(screen);
    const std::vector<uint8_t> selected = {0x61, 0x61, 0x61, 0x61, 0x61, 0x1E, 0x1E};
    const std::vector<uint8_t> plain(7, 0x1E);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], selected) << "the text, not the blanks after it, is selected on entry";
    EXPECT_EQ(seen[1], plain) << "Right dropped the selection";
    EXPECT_EQ(seen[2], selected) << "entering the field again selects it again";
    EXPECT_EQ(screen_->attribute(0, 0), 0x70) << "a finished run shows no selection";
}

TEST_F(EntryModeTest, ACharacterThatDoesNotFitSoundsTheBell) {
    Screen* screen = load_entry(5, "", "abcdefgh");
    ASSERT_NE(screen, nullptr);
    // Nine characters into eight places; then into a full field in insert
    // mode; an overwrite at the last place still fits.
    keys("123456789<Tab><Right>X<Ins><End>Y<Esc>");
    screen_run(screen);
    EXPECT_STREQ(field_text(screen, 0), "12345678");
    EXPECT_STREQ(field_text(screen, 1), "abcdefgY");
    EXPECT_EQ(screen_->tones(), (std::vector<int>{screenlib::kBellTone, screenlib::kBellTone}));
}

TEST_F(EntryModeTest, WithTheMouseAClickPutsTheCursorWhereItWas) {
    Screen* screen = load_entry(2, "PRESS", "abcdef");
    ASSERT_NE(screen, nullptr);
    screen_set_mouse(screen, mouse_default);
    // A click on the second field's fourth cell, then on the first field's
    // second cell, which is entered again and so placed too.
    keys("<Click:0,12>X<Click:0,1>Y<Esc>");
    screen_run(screen);
    EXPECT_STREQ(field_text(screen, 1), "abcXdef ");
    EXPECT_STREQ(field_text(screen, 0), "PYRESS  ");
}

TEST_F(EditLoopTest, MouseClickMovesTheCursorToAField) {
    Screen* screen = load("form");
    ASSERT_NE(screen, nullptr);
    screen_set_mouse(screen, mouse_default);
    keys("<Click:1,22>q<Click:1,15>r<Esc>");
    screen_run(screen);
    EXPECT_STREQ(field_text(screen, 2),
                 "qr    ");  // field 1 is display-only, the click did not move
    EXPECT_EQ(mouse_present(), 0);
}

}  // namespace
