// The report writer over the real host libraries: the report file's bytes
// for the header template's cases, the page header's line count, and the
// failures that leave no usable report.
#include "services/report_writer.h"

#include <signal.h>
#include <sys/resource.h>

#include <fstream>
#include <sstream>

#include "module_test_support.h"
#include "services/module_state.h"

namespace {

// Host clock 1000: 1970-01-01 00:16.
const std::string kDateLine = "Date : 01/01/70 Time : 00:16  ";
const std::string kStart("\x85\x04\x00\x84\x81", 5);

class ReportWriter : public HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        std::memset(&settings_, 0, sizeof settings_);
        context_.settings = &settings_;
        host_context = &context_;
    }
    void TearDown() override {
        report_close();
        host_context = nullptr;
        HostFixture::TearDown();
    }

    // The header template: the 16-bit field, then the given lines, each
    // padded to 80 characters; `raw` is appended as it stands.
    void put_template(const std::vector<std::string>& lines, const std::string& raw = "") {
        std::string bytes("\x07\x00", 2);
        for (const std::string& line : lines)
            bytes += padded(line, 80);
        bytes += raw;
        std::ofstream(hostlibs::data_path("rephead.dat"), std::ios::binary) << bytes;
    }

    void set_title(const char* title, size_t length) {
        std::memcpy(settings_.report_title, title, length);
    }

    // Opens a report, runs `write`, closes it, and gives the file's bytes.
    template <typename Write>
    std::string report(Write write) {
        EXPECT_NE(report_open(), nullptr);
        write();
        EXPECT_EQ(report_close(), 0);
        return file_bytes(native_form(report_file_path()));
    }

    HostSettings settings_{};
    HostContext context_{};
};

TEST_F(ReportWriter, TwoTemplateLinesAndPageThree) {
    put_template({"First template line", "Second"});
    set_title("Tool", 4);  // then zero bytes: printed in 20 places
    int lines = 0;
    const std::string bytes = report([&] { lines = report_page_header("Device Group", 3); });
    EXPECT_EQ(lines, 8);
    const std::string expected = kStart + padded("First template line", 80) + "\x81" +
                                 padded("Second", 80) + "\x81" + kDateLine + padded("Tool", 20) +
                                 "     " + "             Page 3\x81" + "Device Group\x81";
    EXPECT_EQ(bytes, expected);
}

TEST_F(ReportWriter, TrailingBlankTemplateLinesAreDroppedInnerOnesKept) {
    put_template({"one", "", "three", "", "", "", "", ""});
    int lines = 0;
    const std::string bytes = report([&] { lines = report_page_header(nullptr, 0); });
    EXPECT_EQ(lines, 3 + 5);
    EXPECT_EQ(bytes, kStart + padded("one", 80) + "\x81" + std::string(80, ' ') + "\x81" +
                         padded("three", 80) + "\x81" + kDateLine + std::string(20, ' ') +
                         "     \x81");
}

TEST_F(ReportWriter, TemplateLineEndsAtItsFirstZeroByteForTheBlankTestButIsWrittenWhole) {
    // Line 2 holds only a zero byte and text behind it: it counts as blank.
    std::string line2 = std::string(1, '\0') + "hidden";
    put_template({"kept"}, padded(line2, 80));
    const std::string bytes = report([&] { EXPECT_EQ(report_page_header(nullptr, 1), 6); });
    EXPECT_EQ(bytes.substr(0, 5 + 81), kStart + padded("kept", 80) + "\x81");
    EXPECT_EQ(bytes.substr(86, kDateLine.size()), kDateLine);
}

TEST_F(ReportWriter, WithoutTemplatePagesStartWithTheDateLine) {
    set_title("Workshop report     ", 20);
    int lines = 0;
    const std::string bytes = report([&] {
        lines = report_page_header("Device Group", 12);
        report_text("body");
        report_newline();
        report_newpage();
    });
    EXPECT_EQ(lines, 6);
    EXPECT_EQ(bytes, kStart + kDateLine + "Workshop report          " +
                         "             Page 12\x81"
                         "Device Group\x81" +
                         "body\x81\x82");
}

TEST_F(ReportWriter, ShortTemplateLeavesTheUnreadPartBlank) {
    put_template({}, "half a line");
    const std::string bytes = report([] { report_page_header(nullptr, 0); });
    EXPECT_EQ(bytes.substr(5, 81), padded("half a line", 80) + "\x81");
}

TEST_F(ReportWriter, ChangedTemplateShowsOnTheNextReport) {
    put_template({"old"});
    report([] { report_page_header(nullptr, 0); });
    put_template({});
    const std::string bytes = report([] { report_page_header(nullptr, 0); });
    EXPECT_EQ(bytes.substr(0, 5 + kDateLine.size()), kStart + kDateLine);
}

TEST_F(ReportWriter, EachReportIsANewFileInTempNamedWithItsExtension) {
    report([] { report_text("a"); });
    const std::string first = report_file_path();
    report([] { report_text("b"); });
    const std::string second = report_file_path();
    EXPECT_NE(first, second);
    const std::string temp = hostlibs::data_path("TEMP/");
    for (const std::string& path : {first, second}) {
        EXPECT_EQ(native_form(path).substr(0, temp.size()), temp);
        EXPECT_EQ(native_form(path).size() - temp.size(), 11u + 4u) << path;
        EXPECT_EQ(path.substr(path.size() - 4), ".LST");
    }
    EXPECT_EQ(file_bytes(native_form(first)), "a");
    EXPECT_EQ(file_bytes(native_form(second)), "b");
}

TEST_F(ReportWriter, ClosedWriterDropsWritesButStillCountsHeaderLines) {
    report([] { report_text("kept"); });
    report_text("dropped");
    report_newline();
    EXPECT_EQ(report_page_header("Device Group", 1), 6);
    EXPECT_EQ(file_bytes(native_form(report_file_path())), "kept");
}

TEST_F(ReportWriter, NoFileCanBeCreatedGivesNoStreamAndAnEmptyPath) {
    report([] {});
    std::filesystem::remove_all(hostlibs::data_path("TEMP"));
    EXPECT_EQ(report_open(), nullptr);
    EXPECT_STREQ(report_file_path(), "");
    // Without a host there is no file name at all.
    hostlibs::close_host();
    EXPECT_EQ(report_open(), nullptr);
    EXPECT_STREQ(report_file_path(), "");
}

// A file size limit makes the report's writes fail as a full disk would.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previous_);
    }

  private:
    rlimit saved_{};
    sighandler_t previous_ = SIG_DFL;
};

TEST_F(ReportWriter, FailedWritesMakeTheCloseFail) {
    ASSERT_NE(report_open(), nullptr);
    {
        FileSizeLimit limit(64);
        for (int i = 0; i < 1000; ++i) {
            report_text("a line of a report that does not fit on the disk");
            report_newline();
        }
        EXPECT_NE(report_close(), 0);
    }
    // The next report starts afresh.
    ASSERT_NE(report_open(), nullptr);
    report_text("fine");
    EXPECT_EQ(report_close(), 0);
}

}  // namespace
