// The error record and the request that carries it, as the host's error log
// receives them.
#include "services/error_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hostlibs/host_setup.h"
#include "module_test_support.h"
#include "platform/byte_fields.h"

namespace {

class ReportError : public HostFixture {
  protected:
    // The only entry of the log, after exactly one report.
    hostlibs::ErrorLogEntry only_entry() {
        const auto log = hostlibs::read_error_log();
        EXPECT_EQ(log.size(), 1u);
        return log.empty() ? hostlibs::ErrorLogEntry{} : log.front();
    }
    static std::string bytes(const std::vector<uint8_t>& record, size_t at, size_t count) {
        return std::string(reinterpret_cast<const char*>(record.data()) + at, count);
    }
};

TEST_F(ReportError, WritesTheRecordBytesTheHostReads) {
    report_error("ABC", 0x80007530, "  missing file");
    const auto entry = only_entry();
    ASSERT_EQ(entry.record.size(), sizeof(ErrorRecord));
    const auto& r = entry.record;
    EXPECT_EQ(load_i16(r.data()), 5);
    EXPECT_EQ(bytes(r, 2, 8), "ABC     ");
    EXPECT_EQ(r[10], 0);
    EXPECT_EQ(r[11], 0);
    EXPECT_EQ(load_u32(r.data() + 12), 0x80007530u);
    EXPECT_EQ(bytes(r, 16, 4), "    ");
    EXPECT_EQ(bytes(r, 20, 128), padded("missing file", 128));
    EXPECT_EQ(entry.user_id, "TESTER");
}

TEST_F(ReportError, KeepsTheLastCharactersOfALongText) {
    std::string long_text;
    for (int i = 0; i < 200; ++i)
        long_text += static_cast<char>('A' + i % 26);
    report_error("MODULE", 1, long_text.c_str());
    report_error("MODULE", 2, std::string(128, 'x').c_str());
    report_error("MODULE", 3, nullptr);
    report_error("MODULE", 4, "");
    const auto log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(bytes(log[0].record, 20, 128), long_text.substr(72));
    EXPECT_EQ(bytes(log[1].record, 20, 128), std::string(128, 'x'));
    EXPECT_EQ(bytes(log[2].record, 20, 128), std::string(128, ' '));
    EXPECT_EQ(bytes(log[3].record, 20, 128), std::string(128, ' '));
    for (const auto& entry : log) {
        EXPECT_EQ(entry.record[10], 0);
        EXPECT_EQ(entry.record[11], 0);
    }
}

TEST_F(ReportError, SourceOfEightCharactersIsNotTerminated) {
    const char source[8] = {'T', 'O', 'O', 'L', 'B', 'A', 'N', 'K'};
    report_error(source, 0x80004E27, "Invalid Field Number");
    const auto entry = only_entry();
    EXPECT_EQ(bytes(entry.record, 2, 8), "TOOLBANK");
    EXPECT_EQ(entry.text, "Invalid Field Number");
}

TEST_F(ReportError, LeavesTheRequestsUserIdZeroWhenTheHostHasNone) {
    open_as("");
    report_error("ABC", 0x80007531, "x");
    const auto entry = only_entry();
    EXPECT_EQ(entry.user_id, "");
    EXPECT_EQ(entry.code, 0x80007531u);
}

}  // namespace
