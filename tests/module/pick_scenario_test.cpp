// Picking a group from the devices file on the editor's group field (F4):
// which records the list offers, how it scrolls over many records, and what
// a pick does to the row.
#include "scenario_support.h"

namespace {

// The list's window: frame at row 3, column 12; inside it a blank column and
// a separator come before the 30-character instrument, a separator before
// the 8-character group.
constexpr int kListRow = 3;
constexpr int kListColumn = 12;
constexpr int kListInstrumentColumn = kListColumn + 3;
constexpr int kListGroupColumn = kListInstrumentColumn + 31;

class PickList : public EditorScenario {
  protected:
    void pick(const std::string& keys) {
        open(keys, 1);
        run_editor();
    }
    // The list as it closed: the first window that closed during the run.
    const ScreenPicture& list_window() const {
        static const ScreenPicture none;
        EXPECT_GE(closed_pictures.size(), 2u) << "the list never opened";
        return closed_pictures.size() >= 2 ? closed_pictures.front() : none;
    }
    std::string listed(int r) const {
        const ScreenPicture& picture = list_window();
        if (!picture.taken)
            return "";
        const std::string& line = picture.rows.at(kListRow + 1 + r);
        return line.substr(kListInstrumentColumn, 30) + "|" + line.substr(kListGroupColumn, 8);
    }
    static std::string entry(const std::string& instrument, const std::string& group) {
        return padded(instrument, 30) + "|" + padded(group, 8);
    }
};

TEST_F(PickList, OffersRecordsWithStatusBitZeroOrAGroupInKeyOrderAndShrinksToThem) {
    put_devices({
        device(0, "Shown with group", "ALPHA"),
        device(1, "Neither bit nor group", "", 0),
        device(2, "Group without bit", "OLD", 0),
        device(3, "Bit without group", "", 1),
        device(4, "Hidden from the editor", "", 3),
    });
    pick("<F4><Esc>");
    EXPECT_EQ(listed(0), entry("Shown with group", "ALPHA"));
    EXPECT_EQ(listed(1), entry("Group without bit", "OLD"));
    EXPECT_EQ(listed(2), entry("Bit without group", ""));
    EXPECT_EQ(listed(3), entry("Hidden from the editor", ""));
    const ScreenPicture& picture = list_window();
    ASSERT_TRUE(picture.taken);
    EXPECT_EQ(picture.rows.at(kListRow).substr(kListColumn, 1), "+");
    EXPECT_EQ(picture.rows.at(kListRow).substr(kListColumn + 44, 1), "+") << "43 columns inside";
    EXPECT_EQ(picture.rows.at(kListRow + 5).substr(kListColumn, 1), "+") << "four rows";
    // Escape picked nothing: the row is as it was, and not marked changed.
    EXPECT_EQ(group_cell(0), padded("ALPHA", 8));
    EXPECT_EQ(group_attribute(0), group_attribute(1));
}

TEST_F(PickList, EnterCopiesThePickedGroupIntoTheRowAndMarksItChanged) {
    put_devices({device(0, "Pump", "PUMPS"), device(1, "Valve", "VALVES"),
                 device(2, "Spare", "SPARES", 0)});
    // Row 1's group field, then the list's third record.
    pick("<Down><F4><Down><Down><Enter>");
    EXPECT_EQ(group_cell(1), padded("SPARES", 8));
    EXPECT_EQ(group_cell(0), padded("PUMPS", 8));
    EXPECT_EQ(group_attribute(1), field_color(FIELD_COLOR_MODIFIED_REGULAR));
}

TEST_F(PickList, PickingTheSameNameStillMarksTheRowChanged) {
    put_devices({device(0, "Pump", "PUMPS"), device(1, "Valve", "VALVES")});
    pick("<F4><Enter>");
    EXPECT_EQ(group_cell(0), padded("PUMPS", 8));
    EXPECT_EQ(group_attribute(0), field_color(FIELD_COLOR_MODIFIED_REGULAR));
}

TEST_F(PickList, DoesNotOpenOnTheGroupFieldOfARowWithoutAnInstrument) {
    put_devices({device(0, "Pump", "PUMPS")});
    pick("<Down><F4><Enter>x");
    ASSERT_EQ(closed_pictures.size(), 1u) << "only the editor closed";
    EXPECT_EQ(group_cell(1), padded("", 8));
}

TEST_F(PickList, ScrollsByLineAndPageInBothDirectionsOverManyRecords) {
    put_numbered(500);
    // Down beyond the bottom row scrolls; the pick is the 41st record.
    std::string keys = "<F4>";
    for (int i = 0; i < 40; ++i)
        keys += "<Down>";
    pick(keys + "<Enter>");
    EXPECT_EQ(group_cell(0), padded("G40", 8));
}

TEST_F(PickList, PagesAndEndAndUpReachEveryPartOfTheFile) {
    put_numbered(500);
    std::string keys = "<F4><PgDn><PgDn><PgUp><PgUp><Down><Down><Enter><Down><F4><End>";
    for (int i = 0; i < 40; ++i)
        keys += "<Up>";
    pick(keys + "<Enter>");
    EXPECT_EQ(group_cell(0), padded("G2", 8)) << "two pages down and back";
    EXPECT_EQ(group_cell(1), padded("G459", 8)) << "40 records up from the last";
}

TEST_F(PickList, ARecordGoneBeforeItIsReadAgainIsNotPicked) {
    put_devices({device(0, "Pump", "PUMPS"), device(1, "Valve", "VALVES")});
    open("<F4><Down><Enter>", 1);
    before_screen_close = [this] {
        before_screen_close = nullptr;
        std::string error;
        EXPECT_TRUE(hostlibs::delete_device(key_of(1).data(), &error)) << error;
    };
    run_editor();
    EXPECT_EQ(group_cell(0), padded("PUMPS", 8));
    EXPECT_EQ(group_attribute(0), group_attribute(1)) << "the row is not marked changed";
}

}  // namespace
