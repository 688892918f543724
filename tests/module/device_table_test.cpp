// The device group table: its field arithmetic, the rows in use, the change
// marks that decide what saving writes, and its load from the real devices
// file.
#include "editor/device_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "module_test_support.h"
#include "platform/host_libraries.h"

namespace {

void set_text(char* field, const std::string& value, size_t width) {
    std::memcpy(field, padded(value, width).data(), width);
}

// A table of `in_use` rows with instruments and groups as loaded.
DeviceTable table_of(int in_use) {
    DeviceTable table;
    table.clear();
    for (int i = 0; i < in_use; ++i) {
        set_text(table.row(i).instrument, "Instrument " + std::to_string(i), 30);
        set_text(table.row(i).saved_group, "G" + std::to_string(i), 8);
        set_text(table.row(i).group, "G" + std::to_string(i), 8);
    }
    return table;
}

TEST(DeviceTableFields, RowOfFieldMapsFieldsOfEachPageToRows) {
    struct Case {
        int page, field, row;
    };
    DeviceTable table;
    for (const Case c : {Case{1, 1, 0}, Case{1, 2, 0}, Case{1, 40, 19}, Case{5, 40, 99},
                         Case{3, 39, 59}, Case{2, 1, 20}, Case{1, 0, 0}}) {
        table.set_page(c.page);
        EXPECT_EQ(table.row_of_field(c.field), c.row) << "page " << c.page << " field " << c.field;
    }
}

TEST(DeviceTableFields, RowForFieldGivesNoRowOutsideTheEditorsFields) {
    DeviceTable table;
    table.set_page(5);
    EXPECT_EQ(table.row_for_field(40), &table.row(99));
    EXPECT_EQ(table.row_for_field(41), nullptr);  // a screen with more fields than rows
    EXPECT_EQ(table.row_for_field(0), nullptr);
    EXPECT_EQ(table.row_for_field(-3), nullptr);
    table.set_page(6);
    EXPECT_EQ(table.row_for_field(1), nullptr);
}

TEST(DeviceTableFields, LocateGivesTheGroupFieldAndPageOfARow) {
    struct Case {
        int row, field, page;
    };
    DeviceTable table;
    for (const Case c :
         {Case{0, 1, 1}, Case{59, 39, 3}, Case{99, 39, 5}, Case{20, 1, 2}, Case{41, 3, 3}}) {
        const RowLocation location = DeviceTable::locate(c.row);
        EXPECT_EQ(location.field, c.field) << "row " << c.row;
        EXPECT_EQ(location.page, c.page) << "row " << c.row;
        table.set_page(location.page);
        EXPECT_EQ(table.row_of_field(location.field), c.row);
    }
}

TEST(DeviceTableFields, ColumnBitIsBitZeroForGroupFieldsBitOneForInstrumentFields) {
    EXPECT_EQ(DeviceTable::column_bit(1), 1);
    EXPECT_EQ(DeviceTable::column_bit(39), 1);
    EXPECT_EQ(DeviceTable::column_bit(2), 2);
    EXPECT_EQ(DeviceTable::column_bit(0), 0);
}

// Rows in use run from row 0 to the first blank instrument: a row after a
// gap is not in use, and a full table has all 100.
TEST(DeviceTableRows, RowsInUseEndAtTheFirstBlankInstrument) {
    EXPECT_EQ(table_of(0).rows_in_use(), 0);
    EXPECT_EQ(table_of(kTableRows).rows_in_use(), kTableRows);
    DeviceTable table = table_of(10);
    set_text(table.row(4).instrument, "", 30);
    EXPECT_EQ(table.rows_in_use(), 4);
    EXPECT_FALSE(table.has_instrument(4));
    EXPECT_TRUE(table.has_instrument(5));
    // An instrument of blanks and a zero byte counts as blank.
    table.row(0).instrument[0] = '\0';
    std::memcpy(table.row(0).instrument + 1, "behind", 6);
    EXPECT_FALSE(table.has_instrument(0));
}

// Only the group field of a row with an instrument takes a name; the page
// decides which row a field shows.
TEST(DeviceTableRows, OnlyGroupFieldsOfRowsWithAnInstrumentTakeAName) {
    DeviceTable table = table_of(25);
    table.set_page(1);
    EXPECT_TRUE(table.takes_name(1));
    EXPECT_TRUE(table.takes_name(39));
    EXPECT_FALSE(table.takes_name(0));
    EXPECT_FALSE(table.takes_name(2));
    EXPECT_FALSE(table.takes_name(41));
    table.set_page(2);
    EXPECT_TRUE(table.takes_name(9));    // row 24
    EXPECT_FALSE(table.takes_name(11));  // row 25 has no instrument
}

// A mark sets the row's bit and the table's flag, which a load clears; saving
// writes only marked rows whose name differs in more than letter case.
TEST(DeviceTableChanges, MarksDecideChangedAndWhatSavingWrites) {
    DeviceTable table = table_of(3);
    EXPECT_FALSE(table.changed());
    DeviceGroupRow& typed_back = table.row(0);
    table.mark_changed(typed_back);
    EXPECT_TRUE(table.changed());
    EXPECT_EQ(typed_back.modified_bits, kGroupColumnBit);
    EXPECT_FALSE(DeviceTable::needs_store(typed_back)) << "the same name is not written";

    DeviceGroupRow& other_case = table.row(1);
    set_text(other_case.group, "g1", 8);
    table.mark_changed(other_case);
    EXPECT_FALSE(DeviceTable::needs_store(other_case)) << "letter case alone is no change";

    DeviceGroupRow& renamed = table.row(2);
    set_text(renamed.group, "PUMPS", 8);
    EXPECT_FALSE(DeviceTable::needs_store(renamed)) << "an unmarked row is not written";
    table.mark_changed(renamed);
    EXPECT_TRUE(DeviceTable::needs_store(renamed));
}

TEST(DeviceTableChanges, FirstInvalidRowLooksOnlyAtRowsInUse) {
    DeviceTable table = table_of(30);
    EXPECT_EQ(table.first_invalid_row(), -1);
    table.row(40).invalid_bits = kGroupColumnBit;  // not in use
    EXPECT_EQ(table.first_invalid_row(), -1);
    table.row(27).invalid_bits = kGroupColumnBit;
    table.row(12).invalid_bits = kGroupColumnBit;
    EXPECT_EQ(table.first_invalid_row(), 12);
}

class LoadTable : public HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        rs_bind(&table_.record());
    }
    DeviceTable table_;
};

TEST_F(LoadTable, SkipsHiddenRecordsWithoutGapsAndStopsAtOneHundred) {
    std::vector<DeviceRecord> records;
    for (int i = 0; i < 240; ++i) {
        // Every third record is hidden (bit 1), every fourth not shown (bit 0 clear).
        uint16_t status = DEVICE_STATUS_SHOWN;
        if (i % 3 == 2)
            status = DEVICE_STATUS_SHOWN | DEVICE_STATUS_HIDDEN;
        if (i % 4 == 3)
            status = 0;
        records.push_back(
            device(i, "Instrument " + std::to_string(i), "GRP" + std::to_string(i), status));
    }
    put(records);
    table_.mark_changed(table_.row(0));
    table_.set_page(3);
    table_.load();

    int row = 0;
    for (int i = 0; i < 240 && row < kTableRows; ++i) {
        if (i % 3 == 2 || i % 4 == 3)
            continue;
        const DeviceGroupRow& r = table_.row(row);
        EXPECT_EQ(text(r.key, 8), key_of(i)) << "row " << row;
        EXPECT_EQ(text(r.instrument, 30), padded("Instrument " + std::to_string(i), 30));
        EXPECT_EQ(text(r.group, 8), padded("GRP" + std::to_string(i), 8));
        EXPECT_EQ(text(r.saved_group, 8), text(r.group, 8));
        EXPECT_EQ(r.modified_bits, 0);
        EXPECT_EQ(r.invalid_bits, 0);
        ++row;
    }
    EXPECT_EQ(row, kTableRows);
    EXPECT_FALSE(table_.changed());
    EXPECT_EQ(table_.page(), 3) << "the callers set the page";
}

TEST_F(LoadTable, BlanksEveryRowAndClearsMarksOfAnEarlierLoad) {
    put({device(1, "Only one", "G", 1)});
    table_.load();
    table_.row(0).modified_bits = 1;
    table_.row(0).invalid_bits = 1;
    std::memcpy(table_.row(5).instrument, "stale", 5);
    table_.load();
    EXPECT_EQ(table_.row(0).modified_bits, 0);
    EXPECT_EQ(table_.row(0).invalid_bits, 0);
    EXPECT_EQ(text(table_.row(5).instrument, 30), std::string(30, ' '));
    EXPECT_EQ(text(table_.row(5).key, 8), std::string(8, ' '));
    EXPECT_EQ(table_.rows_in_use(), 1);
}

TEST_F(LoadTable, EmptyFileLeavesBlankRows) {
    table_.mark_changed(table_.row(0));
    table_.load();
    for (int i = 0; i < kTableRows; ++i) {
        ASSERT_EQ(text(table_.row(i).instrument, 30), std::string(30, ' '));
        ASSERT_EQ(text(table_.row(i).group, 8), std::string(8, ' '));
    }
    EXPECT_FALSE(table_.changed());
}

}  // namespace
