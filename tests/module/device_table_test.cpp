// Field arithmetic of the device group table, and its load from the real
// devices file.
#include "editor/device_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "module_test_support.h"
#include "platform/host_libraries.h"

namespace {

TEST(RowOfField, MapsFieldsOfEachPageToRows) {
    struct Case {
        int page, field, row;
    };
    for (const Case c : {Case{1, 1, 0}, Case{1, 2, 0}, Case{1, 40, 19}, Case{5, 40, 99},
                         Case{3, 39, 59}, Case{2, 1, 20}, Case{1, 0, 0}}) {
        current_page = c.page;
        EXPECT_EQ(row_of_field(c.field), c.row) << "page " << c.page << " field " << c.field;
    }
    current_page = 1;
}

TEST(RowForField, GivesNoRowOutsideTheEditorsFields) {
    current_page = 5;
    EXPECT_EQ(row_for_field(40), &device_table[99]);
    EXPECT_EQ(row_for_field(41), nullptr);  // a screen with more fields than rows
    EXPECT_EQ(row_for_field(0), nullptr);
    EXPECT_EQ(row_for_field(-3), nullptr);
    current_page = 6;
    EXPECT_EQ(row_for_field(1), nullptr);
    current_page = 1;
}

TEST(LocateRow, GivesTheGroupFieldAndPageOfARow) {
    struct Case {
        int row, field, page;
    };
    for (const Case c :
         {Case{0, 1, 1}, Case{59, 39, 3}, Case{99, 39, 5}, Case{20, 1, 2}, Case{41, 3, 3}}) {
        const RowLocation location = locate_row(c.row);
        EXPECT_EQ(location.field, c.field) << "row " << c.row;
        EXPECT_EQ(location.page, c.page) << "row " << c.row;
        current_page = location.page;
        EXPECT_EQ(row_of_field(location.field), c.row);
    }
    current_page = 1;
}

TEST(ColumnBit, GroupFieldsAreBitZeroInstrumentFieldsBitOne) {
    EXPECT_EQ(column_bit(1), 1);
    EXPECT_EQ(column_bit(39), 1);
    EXPECT_EQ(column_bit(2), 2);
    EXPECT_EQ(column_bit(0), 0);
}

class LoadTable : public HostFixture {};

TEST_F(LoadTable, SkipsHiddenRecordsWithoutGapsAndStopsAtOneHundred) {
    std::vector<DeviceRecord> records;
    for (int i = 0; i < 240; ++i) {
        // Every third record is hidden (bit 1), every fourth not shown (bit 0 clear).
        uint16_t status = 1;
        if (i % 3 == 2)
            status = 3;
        if (i % 4 == 3)
            status = 0;
        records.push_back(
            device(i, "Instrument " + std::to_string(i), "GRP" + std::to_string(i), status));
    }
    put(records);
    rs_bind(&device_record);
    table_changed = true;
    load_table();

    int row = 0;
    for (int i = 0; i < 240 && row < kTableRows; ++i) {
        if (i % 3 == 2 || i % 4 == 3)
            continue;
        const DeviceGroupRow& r = device_table[row];
        EXPECT_EQ(text(r.key, 8), key_of(i)) << "row " << row;
        EXPECT_EQ(text(r.instrument, 30), padded("Instrument " + std::to_string(i), 30));
        EXPECT_EQ(text(r.group, 8), padded("GRP" + std::to_string(i), 8));
        EXPECT_EQ(text(r.saved_group, 8), text(r.group, 8));
        EXPECT_EQ(r.modified_bits, 0);
        EXPECT_EQ(r.invalid_bits, 0);
        ++row;
    }
    EXPECT_EQ(row, kTableRows);
    EXPECT_FALSE(table_changed);
}

TEST_F(LoadTable, BlanksEveryRowAndClearsMarksOfAnEarlierLoad) {
    put({device(1, "Only one", "G", 1)});
    rs_bind(&device_record);
    load_table();
    device_table[0].modified_bits = 1;
    device_table[0].invalid_bits = 1;
    std::memcpy(device_table[5].instrument, "stale", 5);
    load_table();
    EXPECT_EQ(device_table[0].modified_bits, 0);
    EXPECT_EQ(device_table[0].invalid_bits, 0);
    EXPECT_EQ(text(device_table[5].instrument, 30), std::string(30, ' '));
    EXPECT_EQ(text(device_table[5].key, 8), std::string(8, ' '));
}

TEST_F(LoadTable, EmptyFileLeavesBlankRows) {
    rs_bind(&device_record);
    table_changed = true;
    load_table();
    for (const DeviceGroupRow& r : device_table) {
        ASSERT_EQ(text(r.instrument, 30), std::string(30, ' '));
        ASSERT_EQ(text(r.group, 8), std::string(8, ' '));
    }
    EXPECT_FALSE(table_changed);
}

}  // namespace
