// Host-drawn text windows take part in the window stack like any window but
// never take the cursor from the screen being edited.
#include <memory>

#include "screen_test_support.h"

namespace {

const FieldFunctions kPlainFuncs = {nullptr, nullptr, field_std_key, nullptr, nullptr, 0};

// A bordered popup of one 6-wide field at (row, column).
Screen* open_popup(int row, int column) {
    Menu* menu = menu_open();
    menu_printf(menu, "@p[0,0]@f[######]", nullptr, &kPlainFuncs);
    menu_flush(menu);
    Screen* popup = menu_screen(menu);
    screen_set_border(popup, bd_1);
    screen_set_position(popup, row, column);
    screen_set_popup(popup, 1);
    return popup;
}

using TextWindowTest = ScreenTest;

TEST_F(TextWindowTest, DrawsCutAtItsEdgesAndGivesBackWhatLayBeneath) {
    screen_->put(0, 0, std::vector<screenlib::Cell>(80, {'x', 0x07}).data(), 80);
    {
        screenlib::TextWindow bar(0, 70, 1, 20);  // cut to the screen's 80 columns
        EXPECT_EQ(bar.columns(), 10);
        bar.put_row(0, "File  Edit  Help", 0x70);
        EXPECT_EQ(row(0), std::string(70, 'x') + "File  Edit");
        EXPECT_EQ(screen_->attribute(0, 75), 0x70);
        bar.put(0, 8, "XYZ", 0x1F);  // two of three characters fit
        EXPECT_EQ(row(0), std::string(70, 'x') + "File  EdXY");
        EXPECT_EQ(screen_->attribute(0, 79), 0x1F);
    }
    EXPECT_EQ(row(0), std::string(80, 'x'));
    EXPECT_EQ(screen_->attribute(0, 75), 0x07);
}

TEST_F(TextWindowTest, APopupOverItKeepsWhatItWritesMeanwhileAndTheCursorStaysInThePopup) {
    screenlib::TextWindow status(3, 0, 1, 40);
    status.put_row(0, "status one", 0x70);
    Screen* popup = open_popup(2, 2);
    screen_paint(popup);
    EXPECT_EQ(row(3).substr(0, 2), "st");

    status.put_row(0, "status two", 0x70);  // under the popup: kept for later
    EXPECT_EQ(row(3).substr(0, 3), "st|");
    // A text window made while the popup runs goes on top of it, yet the
    // cursor stays in the popup's field.
    screenlib::TextWindow late(10, 0, 1, 10);
    late.put_row(0, "late", 0x70);
    keys("ab<Esc>");
    screen_run(popup);
    EXPECT_EQ(screen_->cursor_row(), 3);
    EXPECT_EQ(screen_->cursor_column(), 5);
    EXPECT_TRUE(screen_->cursor_visible());
    screen_close(popup);
    EXPECT_EQ(row(3), "status two");
    EXPECT_EQ(row(10), "late");
}

TEST_F(TextWindowTest, OutlivingTheLibraryIsHarmless) {
    screenlib::TextWindow window(0, 0, 2, 10);
    window.put_row(0, "before", 0x07);
    screenlib::shutdown();
    window.put_row(1, "after", 0x07);  // no backend, no screen: nothing happens
    window.flush();
}

// A window kept across shutdown() (a host's status line, say) must leave
// alone the windows of the next session, even one made at its old address.
// The allocator hands a freed block of the same size straight back, so some
// round takes the old address (not under AddressSanitizer, which holds freed
// blocks back).
TEST_F(TextWindowTest, OneKeptPastShutdownLeavesTheNextSessionsWindowsAlone) {
    for (int round = 0; round < 5; ++round) {
        auto kept = std::make_unique<screenlib::TextWindow>(5, 0, 1, 10);
        screenlib::shutdown();
        screen_ = &screenlib::use_headless(25, 80);
        screenlib::TextWindow next(5, 0, 1, 10);
        kept->put_row(0, "stale", 0x07);
        next.put_row(0, "fresh", 0x70);
        kept.reset();
        ASSERT_EQ(row(5), "fresh") << "round " << round;
        next.put_row(0, "still", 0x70);
        ASSERT_EQ(row(5), "still") << "round " << round;
    }
}

TEST_F(TextWindowTest, EveryBackendGivesItsScreenAsText) {
    screen_->put(1, 2, std::vector<screenlib::Cell>(3, {'a', 0x07}).data(), 3);
    screenlib::Backend& backend = *screen_;
    EXPECT_EQ(backend.row_text(1), "  aaa" + std::string(75, ' '));
    EXPECT_EQ(backend.row_text(25), "");
    EXPECT_EQ(backend.text(), "\n  aaa" + std::string(23, '\n'));
    EXPECT_TRUE(backend.input_ended());  // no script: no key will come
    keys("a");
    EXPECT_FALSE(backend.input_ended());
    backend.read_key();
    EXPECT_TRUE(backend.input_ended());
}

}  // namespace
