// The editor as an operator sees it: pages of twenty rows, paging with its
// messages and tones, typing and where it is refused, and the colours of
// changed and two-word names.
#include <cstring>
#include <fstream>
#include <functional>

#include "platform/byte_fields.h"
#include "scenario_support.h"

namespace {

constexpr int kSecondTone = 880;

class Editing : public EditorScenario {
  protected:
    // Opens with the second tone on at a known value and with field colours
    // that differ from each other and from the screen's own.
    void open_editor(const std::string& keys) {
        open(keys, 1);
        HostSettings* settings = session_.context().settings;
        settings->second_tone_on = 1;
        store_u16(settings->second_tone, kSecondTone);
        const uint8_t screen[4] = {0x0B, 0x0F, 0x17, 0x70};  // fields: byte 17
        std::memcpy(settings->screen_colors, screen, sizeof screen);
        const uint8_t fields[7] = {0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27};
        std::memcpy(settings->field_colors, fields, sizeof fields);
    }
    // Rewrites the English screen file line by line.
    void rewrite_screen_file(const std::function<void(std::string&)>& change) {
        const auto l01 = module_dir() / "TOOLBANK.L01";
        std::ifstream in(l01);
        std::string rewritten;
        for (std::string line; std::getline(in, line);) {
            change(line);
            rewritten += line + "\n";
        }
        in.close();
        std::ofstream(l01, std::ios::trunc) << rewritten;
    }
    std::string prompt() const { return cells(kPromptRow, 1, 78); }
    static std::string empty_prompt() { return std::string(78, '-'); }
    std::string page_number() const { return cells(kTitleRow, kPageColumn, 1); }
};

TEST_F(Editing, ShownRecordsFillTheRowsWithoutGapsUpToOneHundred) {
    std::vector<DeviceRecord> records;
    std::vector<std::string> shown;
    for (int i = 0; i < 300; ++i) {
        uint16_t status = 1;
        if (i % 5 == 1)
            status = 3;  // hidden
        if (i % 7 == 2)
            status = 0;  // not shown
        records.push_back(
            device(i, "Instrument " + std::to_string(i), "G" + std::to_string(i), status));
        if (status == 1)
            shown.push_back("Instrument " + std::to_string(i));
    }
    put_devices(records);
    open_editor("<PgDn><PgDn><PgDn><PgDn>");
    run_editor();
    EXPECT_EQ(page_number(), "5");
    for (int r = 0; r < 20; ++r) {
        EXPECT_EQ(instrument_cell(r), padded(shown.at(80 + r), 30)) << "row " << 80 + r;
    }
}

TEST_F(Editing, FirstPageShowsRowsZeroToNineteenAndThePageNumber) {
    put_numbered(25);
    open_editor("");
    run_editor();
    EXPECT_EQ(page_number(), "1");
    EXPECT_EQ(group_cell(0), padded("G0", 8));
    EXPECT_EQ(instrument_cell(19), padded("Instrument 19", 30));
}

TEST_F(Editing, PageDownFromPageTwoShowsRowsFortyToFiftyNineAndClearsThePrompt) {
    put_numbered(100);
    open_editor("<PgUp><PgDn><PgDn>");
    run_editor();
    EXPECT_EQ(page_number(), "3");
    EXPECT_EQ(instrument_cell(0), padded("Instrument 40", 30));
    EXPECT_EQ(instrument_cell(19), padded("Instrument 59", 30));
    EXPECT_EQ(prompt(), empty_prompt());
}

TEST_F(Editing, PageDownCommitsTheFieldBeingEdited) {
    put_numbered(100);
    // Types into row 20's group on page 2, pages on and comes back: the field
    // is refilled from the table, so the name shows only if it was committed.
    open_editor("<PgDn><Right>xy<PgDn><PgUp>");
    run_editor();
    EXPECT_EQ(page_number(), "2");
    EXPECT_EQ(group_cell(0), padded("Gxy20", 8));
}

TEST_F(Editing, PageUpOnTheFirstPageShowsMessageFourWithTheSecondTone) {
    put_numbered(5);
    open_editor("<PgUp>");
    run_editor();
    EXPECT_EQ(page_number(), "1");
    const std::string message = session_.message(4);
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(prompt().substr(0, message.size()), message);
    EXPECT_EQ(headless().tones(), std::vector<int>{kSecondTone});
}

TEST_F(Editing, PageDownOnTheLastPageShowsMessageFive) {
    put_numbered(5);
    open_editor("<PgDn><PgDn><PgDn><PgDn><PgDn>");
    run_editor();
    EXPECT_EQ(page_number(), "5");
    const std::string message = session_.message(5);
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(prompt().substr(0, message.size()), message);
    EXPECT_EQ(headless().tones(), std::vector<int>{kSecondTone});
}

TEST_F(Editing, TypingIntoARowWithoutAnInstrumentChangesNothing) {
    put_numbered(2);
    open_editor("<Down><Down>x<Down>");  // row 2 has no instrument
    run_editor();
    EXPECT_EQ(group_cell(2), std::string(8, ' '));
    EXPECT_EQ(group_attribute(2), 0x0B) << "marked as changed";
}

TEST_F(Editing, EscapeIsSwallowedAndHomeAndEndReachTheGroupFields) {
    put_numbered(20);
    open_editor("<Esc><End>e<Home>h<Down>");
    run_editor();
    EXPECT_EQ(group_cell(19), padded("e", 8));
    EXPECT_EQ(group_cell(0), padded("h", 8));
}

// The name of the field the cursor enters is selected: typing replaces it,
// an arrow key first drops the selection, Backspace and Ctrl-U clear it.
TEST_F(Editing, TypingOnEntryReplacesTheNameAndArrowsEditInPlace) {
    put_devices({device(0, "Oven", "PRESS"), device(1, "Scale", "PRESS"),
                 device(2, "Lamp", "PRESS"), device(3, "Fan", "PRESS"),
                 device(4, "Pump", "PRESS")});
    open_editor("PUMPS<Down><Right>U<Down><BS><Down><Right><C-u><Down><PgDn><PgUp>");
    run_editor();
    EXPECT_EQ(group_cell(0), "PUMPS   ");
    EXPECT_EQ(group_cell(1), "PURESS  ");
    EXPECT_EQ(group_cell(2), std::string(8, ' '));
    EXPECT_EQ(group_cell(3), std::string(8, ' '));
    EXPECT_EQ(group_cell(4), "PRESS   ");
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(group_attribute(r), field_color(FIELD_COLOR_MODIFIED_REGULAR)) << "row " << r;
    EXPECT_EQ(group_attribute(4), 0x0B) << "entered but not edited";
    EXPECT_TRUE(headless().tones().empty());
}

TEST_F(Editing, ANinthCharacterSoundsTheBellAndIsNotTaken) {
    put_devices({device(0, "Oven", "PRESS"), device(1, "Scale", "")});
    open_editor("ABCDEFGHI<Down><PgDn><PgUp>");
    run_editor();
    EXPECT_EQ(group_cell(0), "ABCDEFGH");
    EXPECT_EQ(headless().tones(), std::vector<int>{screenlib::kBellTone});
}

TEST_F(Editing, BackspaceInAnEmptyGroupMarksTheRowModified) {
    put_devices({device(0, "Oven", ""), device(1, "Scale", ""), device(2, "Lamp", "")});
    open_editor("<Backspace><Down>");
    run_editor();
    EXPECT_EQ(group_cell(0), std::string(8, ' '));
    EXPECT_EQ(group_attribute(0), field_color(FIELD_COLOR_MODIFIED_REGULAR));
    EXPECT_EQ(group_attribute(2), 0x0B) << "an untouched field in the screen's colour";
}

TEST_F(Editing, ATwoWordNameIsDrawnInTheInvalidChangedColours) {
    put_devices({device(0, "Oven", ""), device(1, "Scale", ""), device(2, "Lamp", "")});
    // Row 0 gets two words; row 1 too, then its first word is deleted, which
    // clears the mark again. A page step redraws both.
    open_editor("a b<Down>x y<Down><Up><Left><Delete><Delete><Down><PgDn><PgUp>");
    run_editor();
    EXPECT_EQ(group_cell(0), padded("a b", 8));
    EXPECT_EQ(group_attribute(0), field_color(FIELD_COLOR_BOTH_REGULAR));
    EXPECT_EQ(group_cell(1), padded("y", 8));
    EXPECT_EQ(group_attribute(1), field_color(FIELD_COLOR_MODIFIED_REGULAR));
    EXPECT_EQ(attribute(kFirstDataRow, kInstrumentColumn), field_color(FIELD_COLOR_INSTRUMENT));
}

TEST_F(Editing, ATwoWordNameShowsItsInvalidColoursAsSoonAsTheCursorLeaves) {
    put_devices({device(0, "Oven", ""), device(1, "Scale", "")});
    open_editor("a b<Tab>");  // no page step redraws it
    run_editor();
    EXPECT_EQ(group_attribute(0), field_color(FIELD_COLOR_BOTH_REGULAR));
    EXPECT_EQ(group_cell(0), padded("a b", 8));
}

TEST_F(Editing, ANameTypedWithLeadingBlanksIsStoredLeftJustified) {
    put_devices({device(0, "Oven", ""), device(1, "Scale", "")});
    open_editor("  abcde<Down><PgDn><PgUp>");
    run_editor();
    EXPECT_EQ(group_cell(0), "abcde   ");
    EXPECT_EQ(group_attribute(0), field_color(FIELD_COLOR_MODIFIED_REGULAR));
}

// A host message that fills the whole buffer without a terminator.
int unterminated_message(int, char* buffer, int size) {
    for (int i = 0; i < size; ++i)
        buffer[i] = 'M';
    return 0;
}

TEST_F(Editing, AnUnterminatedHostMessageIsCutToTheLine) {
    put_numbered(1);
    open_editor("<PgUp>");
    session_.context().message_text = unterminated_message;
    run_editor();
    EXPECT_EQ(prompt(), std::string(40, 'M') + std::string(38, '-'));
}

// The screen file may make the group fields wider than the table's 8
// characters; the name is cut, and the instrument beside it stays whole.
TEST_F(Editing, AWiderGroupFieldInTheScreenFileIsCutToEightCharacters) {
    // "|  ________   ___..." becomes "|  __________ ___...": 10-wide groups.
    rewrite_screen_file([](std::string& line) {
        if (line.rfind("|  ________   _", 0) == 0)
            line.replace(3, 11, "__________ ");
    });
    put_devices({device(0, "Oven", ""), device(1, "Scale", "")});
    open_editor("abcdefghij<Down><PgDn><PgUp>");
    run_editor();
    EXPECT_EQ(group_cell(0), "abcdefgh");
    EXPECT_EQ(cells(kFirstDataRow, kGroupColumn + 8, 2), "  ");
    EXPECT_EQ(instrument_cell(0), padded("Oven", 30)) << "the name ran into the instrument";
}

// The module keeps the instrument fields display-only itself, even where a
// screen file leaves them open: Down goes from group to group.
TEST_F(Editing, InstrumentFieldsStayOutOfReachWhereTheScreenFileLeavesThemOpen) {
    rewrite_screen_file([](std::string& line) {
        const auto display = line.find(" display");
        if (line.rfind("field ", 0) == 0 && line.rfind("field 0 ", 0) != 0 &&
            display != std::string::npos)
            line.erase(display);
    });
    put_numbered(3);
    open_editor("<Down>x<Down>");
    run_editor();
    EXPECT_EQ(group_cell(1), padded("xG1", 8));
    EXPECT_EQ(instrument_cell(0), padded("Instrument 0", 30));
}

}  // namespace
