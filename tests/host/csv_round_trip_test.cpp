// The devices CSV as a backup: whatever bytes the devices file holds,
// `export devices` writes UTF-8 and no control byte raw and `import devices` of its
// output gives every record back byte for byte; files written before the
// escapes import as they did.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "device_csv.h"
#include "host_test_support.h"
#include "hostlibs/host_setup.h"
#include "platform/code_page.h"

namespace {

using Outcome = hosttest::DevgroupOutcome;

std::vector<DeviceRecord> stored_devices(const std::string& root) {
    std::vector<DeviceRecord> records;
    std::string error;
    EXPECT_TRUE(hostlibs::open_host({root, "ADAM", 1, std::nullopt}, &error)) << error;
    EXPECT_TRUE(hostlibs::for_each_device(
        [&](const DeviceRecord& record) { return records.push_back(record), true; }, &error))
        << error;
    hostlibs::close_host();
    return records;
}

// Records whose keys, instruments and groups hold every byte value, and
// keys that are all blanks or end in zeros.
std::vector<DeviceRecord> every_byte() {
    std::vector<DeviceRecord> records;
    for (int i = 0; i < 32; ++i) {
        DeviceRecord record{};
        for (int j = 0; j < 8; ++j) {
            record.key[j] = static_cast<char>(i * 8 + j);
            record.group[j] = static_cast<char>(255 - (i * 8 + j));
        }
        for (int j = 0; j < 30; ++j) {
            record.instrument[j] = static_cast<char>((i * 30 + j) % 256);
        }
        record.status = static_cast<uint16_t>(i * 2049);
        records.push_back(record);
    }
    DeviceRecord blank{};
    std::memset(blank.key, ' ', sizeof blank.key);
    std::memset(blank.instrument, ' ', sizeof blank.instrument);
    std::memcpy(blank.group, "\\x41\\\\  ", 8);  // text that looks like escapes
    records.push_back(blank);
    DeviceRecord zeros{};
    std::memcpy(zeros.key, "Z\0\0\0\0\0\0\0", 8);
    records.push_back(zeros);
    return records;
}

TEST(CsvRoundTrip, EveryStoredByteExportsEscapedAndImportsBackIdentically) {
    hosttest::TempRoot root(false);
    ASSERT_TRUE(root.made()) << root.error();
    const std::vector<DeviceRecord> records = every_byte();
    std::string error;
    ASSERT_TRUE(hostlibs::open_host({root.path(), "ADAM", 1, std::nullopt}, &error)) << error;
    ASSERT_TRUE(hostlibs::put_devices(records, &error)) << error;
    const std::vector<DeviceRecord> before = [&] {
        hostlibs::close_host();
        return stored_devices(root.path());
    }();
    ASSERT_EQ(before.size(), records.size());

    const Outcome exported =
        hosttest::run_devgroup(root.path(), "export devices", root.file("err"));
    ASSERT_EQ(exported.exit_code, 0) << exported.err;
    // UTF-8 throughout, and no control character (C0, DEL, C1) but the line ends.
    for (size_t i = 0, length = 0; i < exported.out.size(); i += length) {
        char32_t code_point = 0;
        ASSERT_TRUE(code_page::decode_utf8(exported.out, i, &code_point, &length))
            << "not UTF-8 at " << i;
        const bool line_end = exported.out.compare(i, 2, "\r\n") == 0 ||
                              (code_point == '\n' && i > 0 && exported.out[i - 1] == '\r');
        const bool control = code_point < 0x20 || (code_point >= 0x7F && code_point < 0xA0);
        ASSERT_TRUE(!control || line_end)
            << "control character " << static_cast<int>(code_point) << " written raw at " << i;
    }
    EXPECT_NE(exported.out.find("\r\n\\x20,,0,\\\\x41\\\\\\\\\r\n"), std::string::npos)
        << "a blank key is written escaped, backslashes doubled";

    // Restored into an emptied file, every record comes back byte for byte.
    ASSERT_TRUE(hostlibs::open_host({root.path(), "ADAM", 1, std::nullopt}, &error)) << error;
    for (const DeviceRecord& record : before) {
        ASSERT_TRUE(hostlibs::delete_device(record.key, &error)) << error;
    }
    hostlibs::close_host();
    hosttest::write_file(root.file("backup.csv"), exported.out);
    const Outcome imported = hosttest::run_devgroup(
        root.path(), "import devices " + root.file("backup.csv"), root.file("err"));
    ASSERT_EQ(imported.exit_code, 0) << imported.err;
    const std::vector<DeviceRecord> after = stored_devices(root.path());
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(std::memcmp(&after[i], &before[i], sizeof(DeviceRecord)), 0) << "record " << i;
    }
}

// A backslash starts an escape only as "\\" or "\x" and two hex digits;
// any other is itself, as it was in files written before the escapes.
TEST(CsvRoundTrip, ABackslashThatStartsNoEscapeIsItself) {
    std::vector<DeviceRecord> records;
    std::string error;
    ASSERT_TRUE(
        hostapp::parse_devices("key,instrument,status,group\r\n"
                               "K1,C:\\TEMP\\new \\x4 \\x1B\\x7e,1,A\\\\B\\\r\n",
                               &records, &error))
        << error;
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(std::string(records[0].instrument, sizeof records[0].instrument),
              "C:\\TEMP\\new \\x4 \x1b~            ");
    EXPECT_EQ(std::string(records[0].group, sizeof records[0].group), "A\\B\\    ");
    EXPECT_EQ(hostapp::device_csv_line(records[0]),
              "K1,C:\\\\TEMP\\\\new \\\\x4 \\x1b~,1,A\\\\B\\\\\r\n");
}

}  // namespace
