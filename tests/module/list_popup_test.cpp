// The scrolling list popup over data sets of any length, through the real
// screen library and its headless backend: what the window shows, where the
// cursor stands, what a choice hands back, and how many records it fetches.
#include "dialogs/list_popup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/screen_library.h"
#include "scenario_support.h"
#include "screenlib/screenlib.h"

namespace {

constexpr int kDataWidth = 30;
constexpr int kWindowRow = 3;
constexpr int kWindowColumn = 25;
constexpr int kHeight = 20;
// A record's position is not its index, so the popup must keep positions.
constexpr uint32_t kPositionBase = 5000;

// The data set: record i reads "Record <i>" and sits at position base + 3i.
// Records may be dropped while the list runs, as another process would.
struct DataSet {
    int size = 0;
    int first = 0;          // the record LIST_FIRST gives
    int shrink_after = -1;  // after this many fetches the set shrinks...
    int shrink_to = 0;      // ...to this many records
    std::vector<int> operations;
};

DataSet data;
uint32_t position_variable = 0;
char line_buffer[64];

std::string record_text(int i) {
    return padded("Record " + std::to_string(i), kDataWidth);
}

int fetch_record(int operation) {
    data.operations.push_back(operation);
    if (static_cast<int>(data.operations.size()) == data.shrink_after)
        data.size = data.shrink_to;
    const int current = static_cast<int>(position_variable - kPositionBase) / 3;
    int index = -1;
    switch (operation) {
        case LIST_FIRST:
            index = data.first;
            break;
        case LIST_LAST:
            index = data.size - 1;
            break;
        case LIST_NEXT:
            index = current + 1;
            break;
        case LIST_PREV:
            index = current - 1;
            break;
    }
    if (index < 0 || index >= data.size)
        return 0;
    position_variable = kPositionBase + 3 * static_cast<uint32_t>(index);
    std::memcpy(line_buffer, record_text(index).data(), kDataWidth);
    return 1;
}

class ListPopup : public ::testing::Test {
  protected:
    void SetUp() override {
        screenlib::use_headless();
        static HostContext context{};
        watched_context = &context;  // the closing spy takes a picture of every window
        popup_pictures.clear();
        data = DataSet{};
        position_variable = 0;
        std::memset(line_buffer, '?', sizeof line_buffer);
        widths_ = {1, kDataWidth, 1};
        layout_ = ListPopupLayout{0x1E,          0x1E, 0x70,    0x1F, kWindowRow,
                                  kWindowColumn, 0,    kHeight, 3,    widths_.data()};
    }
    void TearDown() override {
        screenlib::shutdown();
        watched_context = nullptr;
    }

    int run(const std::string& keys, int from_end = 0) {
        std::string error;
        auto* headless = dynamic_cast<screenlib::HeadlessBackend*>(screenlib::backend());
        EXPECT_TRUE(headless->set_script(keys, &error)) << error;
        return list_popup(fetch_record, &position_variable, line_buffer, &layout_, from_end);
    }

    // The list window as it stood when it closed.
    const ScreenPicture& window() const {
        EXPECT_EQ(popup_pictures.size(), 1u);
        static const ScreenPicture none;
        return popup_pictures.empty() ? none : popup_pictures.back();
    }
    // Data characters of row r of the window: inside the frame come a blank
    // column and the separator column.
    std::string shown(int r) const {
        const ScreenPicture& picture = window();
        if (!picture.taken)
            return "";
        return picture.rows.at(kWindowRow + 1 + r).substr(kWindowColumn + 3, kDataWidth);
    }
    std::vector<std::string> shown_rows(int count) const {
        std::vector<std::string> rows;
        for (int r = 0; r < count; ++r)
            rows.push_back(shown(r));
        return rows;
    }
    static std::vector<std::string> records(int from, int count) {
        std::vector<std::string> rows;
        for (int i = from; i < from + count; ++i)
            rows.push_back(record_text(i));
        return rows;
    }
    // The record chosen: its text from the line buffer, checked against its position.
    std::string chosen() const {
        const int index = static_cast<int>(position_variable - kPositionBase) / 3;
        const std::string text(line_buffer, kDataWidth);
        EXPECT_EQ(text, record_text(index)) << "position and line buffer disagree";
        return text;
    }
    int count_of(int operation) const {
        int count = 0;
        for (int op : data.operations)
            count += op == operation ? 1 : 0;
        return count;
    }

    std::vector<int32_t> widths_;
    ListPopupLayout layout_{};
};

TEST_F(ListPopup, OpensOnTheFirstPageWithTheCursorOnTheTopRowAndEscapeChoosesNothing) {
    data.size = 100000;
    EXPECT_EQ(run("<Esc>"), LIST_LEFT);
    EXPECT_EQ(shown_rows(kHeight), records(0, kHeight));
    const ScreenPicture& picture = window();
    ASSERT_TRUE(picture.taken);
    // Frame at the layout's place, 34 columns inside: the 32 of a line and a
    // blank column on either side.
    EXPECT_EQ(picture.rows.at(kWindowRow).substr(kWindowColumn, 1), "+");
    EXPECT_EQ(picture.rows.at(kWindowRow).substr(kWindowColumn + 35, 1), "+");
    EXPECT_NE(picture.rows.at(kWindowRow + kHeight + 1).find("ESC to exit"), std::string::npos);
    EXPECT_EQ(picture.attributes.at(kWindowRow + 2).at(kWindowColumn + 3), 0x1E);
    EXPECT_EQ(picture.attributes.at(kWindowRow).at(kWindowColumn), 0x1F);
    // One page and one failed attempt to put records in front of the first.
    EXPECT_EQ(data.operations.size(), static_cast<size_t>(kHeight + 1));
    EXPECT_EQ(count_of(LIST_PREV), 1);
}

TEST_F(ListPopup, EnterHandsBackTheRowsPositionAndTextWithoutATerminator) {
    data.size = 50;
    EXPECT_EQ(run("<Down><Down><Enter>"), LIST_CHOSEN);
    EXPECT_EQ(position_variable, kPositionBase + 3 * 2);
    EXPECT_EQ(chosen(), record_text(2));
    EXPECT_EQ(line_buffer[kDataWidth], '?');
}

TEST_F(ListPopup, ScrollsLineByLineAndPageByPageThroughALongDataSet) {
    data.size = 100000;
    // Down past the bottom row scrolls one record a key; the cursor stays at the bottom.
    std::string keys;
    for (int i = 0; i < kHeight + 2; ++i)
        keys += "<Down>";
    data.operations.clear();
    EXPECT_EQ(run(keys + "<Enter>"), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(kHeight + 2));
    EXPECT_EQ(shown_rows(kHeight), records(3, kHeight));
    // The first page and its failed centring, then one fetch per line scrolled.
    EXPECT_EQ(data.operations.size(), static_cast<size_t>(kHeight + 1 + 3));

    popup_pictures.clear();
    EXPECT_EQ(run("<PgDn><PgDn><PgDn><PgUp><Down><Enter>"), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(2 * kHeight + 1)) << "page moves put the cursor on top";
    EXPECT_EQ(shown(0), record_text(2 * kHeight));

    popup_pictures.clear();
    EXPECT_EQ(run("<PgDn><Up><Up><Enter>"), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(kHeight - 2)) << "Up on the top row scrolls back";
    EXPECT_EQ(shown(0), record_text(kHeight - 2));
}

TEST_F(ListPopup, EndAndHomeRefillFromEitherEndOfTheDataSet) {
    data.size = 100000;
    EXPECT_EQ(run("<End><Enter>"), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(99999)) << "End puts the cursor on the last record";
    EXPECT_EQ(shown_rows(kHeight), records(100000 - kHeight, kHeight));

    popup_pictures.clear();
    EXPECT_EQ(run("<End><PgDn><Down><Down><Enter>"), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(100000 - kHeight + 2))
        << "Page Down at the end moves nothing but puts the cursor on the top row";

    popup_pictures.clear();
    EXPECT_EQ(run("<End><Up><Home><Down><Enter>"), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(1));
    EXPECT_EQ(shown_rows(kHeight), records(0, kHeight));
}

TEST_F(ListPopup, ADataSetShorterThanThePageShrinksTheWindowAndNeverMoves) {
    data.size = 5;
    EXPECT_EQ(run("<Down><Down><Down><Down><Down><Down><Enter>"), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(4));
    const ScreenPicture& picture = window();
    ASSERT_TRUE(picture.taken);
    EXPECT_NE(picture.rows.at(kWindowRow + 6).find("ESC to exit"), std::string::npos)
        << "the frame closes below the fifth row";
    data.operations.clear();
    popup_pictures.clear();
    EXPECT_EQ(run("<Up><PgUp><PgDn><Enter>"), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(0));
    // The first page (5 fetches, 1 failed next, 1 failed previous), then one
    // failed fetch for Up and one for each page move.
    EXPECT_EQ(data.operations.size(), 10u);
}

TEST_F(ListPopup, AnEmptyDataSetShowsNothing) {
    data.size = 0;
    EXPECT_EQ(run("<Enter>"), LIST_EMPTY);
    const ScreenPicture& picture = window();
    ASSERT_TRUE(picture.taken);
    EXPECT_EQ(picture.rows.at(kWindowRow), std::string(80, ' ')) << "the window was never drawn";
    EXPECT_EQ(data.operations, std::vector<int>{LIST_FIRST});
}

TEST_F(ListPopup, EditingKeysNeverChangeARow) {
    data.size = 30;
    EXPECT_EQ(run("ab<BS><Del><Ins><Right>z<Esc>"), LIST_LEFT);
    EXPECT_EQ(shown_rows(kHeight), records(0, kHeight));
}

TEST_F(ListPopup, FillingFromTheEndStartsOnTheLastRecord) {
    data.size = 1000;
    EXPECT_EQ(run("<Enter>", 1), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(999));
    EXPECT_EQ(shown_rows(kHeight), records(1000 - kHeight, kHeight));
    popup_pictures.clear();
    data.size = 3;
    EXPECT_EQ(run("<Up><Up><Enter>", 1), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(0));
    EXPECT_EQ(shown_rows(3), records(0, 3));
}

TEST_F(ListPopup, AFirstRecordInTheMiddlePutsEarlierOnesInFrontUpToHalfAPage) {
    data.size = 1000;
    data.first = 500;
    EXPECT_EQ(run("<Enter>"), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(500)) << "the cursor starts on the record LIST_FIRST gave";
    EXPECT_EQ(shown(0), record_text(500 - kHeight / 2));
    popup_pictures.clear();
    data.first = 3;
    EXPECT_EQ(run("<Enter>"), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(3)) << "the data set's start stops the centring";
    EXPECT_EQ(shown(0), record_text(0));
}

TEST_F(ListPopup, TwoDataColumnsMakeOneThirtyEightCharacterLineInAFortyThreeColumnWindow) {
    widths_ = {1, 30, 1, 8, 1};
    layout_.widths = widths_.data();
    layout_.column_count = 5;
    data.size = 3;
    EXPECT_EQ(run("<Esc>"), LIST_LEFT);
    const ScreenPicture& picture = window();
    ASSERT_TRUE(picture.taken);
    EXPECT_EQ(picture.rows.at(kWindowRow).substr(kWindowColumn + 44, 1), "+");
    // Inside the frame: the callback's first 30 characters, a blank, then its
    // next 8, with the separators and the blank columns on either side.
    EXPECT_EQ(picture.rows.at(kWindowRow + 1).substr(kWindowColumn + 1, 43),
              "  " + record_text(0) + " " + std::string(8, '?') + "  ");
}

TEST_F(ListPopup, RefillsThatFindTheDataSetShrunkLeaveBlankRowsThatCannotBeChosen) {
    data.size = 100;
    // The set shrinks to 4 records during the first page's fill.
    data.shrink_after = kHeight + 1;
    data.shrink_to = 4;
    // Tab takes the cursor onto the first blank row, where Enter does nothing.
    EXPECT_EQ(run("<Home><Down><Down><Down><Down><Tab><Enter><S-Tab><Enter>"), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(3)) << "Enter on a blank row chose nothing";
    std::vector<std::string> expected = records(0, 4);
    expected.resize(kHeight, std::string(kDataWidth, ' '));
    EXPECT_EQ(shown_rows(kHeight), expected);

    popup_pictures.clear();
    data.size = 100;
    data.operations.clear();
    EXPECT_EQ(run("<End><Down><Enter>"), LIST_CHOSEN);
    EXPECT_EQ(chosen(), record_text(3)) << "End leaves the cursor on the last record";
    EXPECT_EQ(shown_rows(kHeight), expected);
}

}  // namespace
