// The device group report and its submission over the real host libraries:
// the report file's pages, the job queue taking it, the text viewer's
// run-list entry, and the failures that submit nothing.
#include "output/device_report.h"

#include <signal.h>
#include <sys/resource.h>

#include <fstream>
#include <sstream>

#include "editor/device_table.h"
#include "hostlibs/shell.h"
#include "module_test_support.h"
#include "output/job_submission.h"
#include "services/module_state.h"
#include "services/report_writer.h"

namespace {

const std::string kCodes("\x85\x04\x00\x84", 4);  // each page's first line
const std::string kRule = " " + std::string(70, '-');
const std::string kTitles = padded(" Group       Instrument", 71);

std::vector<int> shown_messages;

int record_message(int index, char* buffer, int size) {
    shown_messages.push_back(index + 1);
    std::snprintf(buffer, static_cast<size_t>(size), "message %d", index + 1);
    return 0;
}

// The report's lines, split at line ends; a page end stands alone as "<page>".
std::vector<std::string> lines_of(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : bytes) {
        if (c == '\x81') {
            lines.push_back(line);
            line.clear();
        } else if (c == '\x82') {
            EXPECT_TRUE(line.empty()) << "page end inside a line";
            lines.push_back("<page>");
        } else {
            line += c;
        }
    }
    EXPECT_TRUE(line.empty()) << "bytes after the last line end: " << line;
    return lines;
}

std::string body_line(const std::string& group, const std::string& instrument) {
    return " " + padded(group, 8) + "    " + padded(instrument, 30) + "  ";
}

class DeviceReport : public HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        shown_messages.clear();
        hostlibs::reset_shell();
        device_table.clear();
        context_.settings = &settings_;
        context_.message_text = record_message;
        std::memcpy(user_.name, "ANNA", 4);
        context_.user = &user_;
        host_context = &context_;
    }
    void TearDown() override {
        host_context = nullptr;
        HostFixture::TearDown();
    }

    uint32_t site(uint8_t device_type, const std::string& name = "Printer") {
        hostlibs::SiteInfo info;
        info.site_class = 3;
        info.name = name;
        info.device_type = device_type;
        uint32_t id = 0;
        std::string error;
        EXPECT_TRUE(hostlibs::add_site(info, &id, &error)) << error;
        return id;
    }

    void fill_rows(int count) {
        for (int i = 0; i < count; ++i) {
            DeviceGroupRow& row = device_table.row(i);
            std::memcpy(row.saved_group, padded("G" + std::to_string(i), 8).data(), 8);
            std::memcpy(row.instrument, padded("Instrument " + std::to_string(i), 30).data(), 30);
            std::memcpy(row.group, "EDITED  ", 8);
        }
    }

    // Prints to a printer site and gives the queued report's lines.
    std::vector<std::string> printed_lines() {
        const uint32_t printer = site(1);
        EXPECT_EQ(print_report(printer), SUBMIT_QUEUED);
        const std::vector<hostlibs::JobInfo> jobs = hostlibs::list_jobs();
        EXPECT_EQ(jobs.size(), 1u);
        return jobs.empty() ? std::vector<std::string>() : lines_of(file_bytes(jobs[0].spool_file));
    }

    static size_t count(const std::vector<std::string>& lines, const std::string& line) {
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }

    static std::vector<std::string> temp_files() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(hostlibs::data_path("TEMP")))
            names.push_back(entry.path().filename().string());
        return names;
    }

    HostSettings settings_{};
    UserSession user_{};
    HostContext context_{};
};

TEST_F(DeviceReport, HundredRowsFillThreePagesOfFortyEightFortyEightAndFour) {
    fill_rows(100);
    const std::vector<std::string> lines = printed_lines();
    // Without a template a page header is 3 lines and reports 6; 4 more lines
    // frame the titles, so body lines take page lines 10 to 57.
    const std::string date_line = "Date : 01/01/70 Time : 00:16  " + std::string(25, ' ');
    std::vector<std::string> expected;
    int row = 0;
    for (int page = 1; page <= 3; ++page) {
        expected.insert(expected.end(),
                        {kCodes, date_line + "             Page " + std::to_string(page),
                         "Device Group", "", kRule, kTitles, kRule});
        for (int i = 0; i < (page < 3 ? 48 : 4); ++i, ++row)
            expected.push_back(
                body_line("G" + std::to_string(row), "Instrument " + std::to_string(row)));
        if (page < 3)
            expected.push_back("<page>");
    }
    expected.insert(expected.end(), {"", "End of report", "<page>"});
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(shown_messages, (std::vector<int>{1, 2}));
}

TEST_F(DeviceReport, ExactlyOnePageOfRowsEndsOnThatPage) {
    fill_rows(48);
    const std::vector<std::string> lines = printed_lines();
    EXPECT_EQ(count(lines, "<page>"), 1u);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[lines.size() - 4], body_line("G47", "Instrument 47"));
    EXPECT_EQ(lines[lines.size() - 2], "End of report");
}

TEST_F(DeviceReport, EmptyTableStillPrintsRowZeroAsBlanks) {
    const std::vector<std::string> lines = printed_lines();
    const std::vector<std::string> tail = {kRule, std::string(45, ' '), "", "End of report",
                                           "<page>"};
    ASSERT_GE(lines.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - 5, lines.end()), tail);
    EXPECT_EQ(count(lines, "Device Group"), 1u);
}

TEST_F(DeviceReport, StoredGroupsArePrintedAndTheListEndsAtTheFirstRowWithoutInstrument) {
    fill_rows(5);
    std::memset(device_table.row(3).instrument, ' ', 30);  // rows 3 and 4 are not printed
    std::memcpy(device_table.row(1).saved_group, "AB      ", 8);
    const std::vector<std::string> lines = printed_lines();
    EXPECT_EQ(count(lines, body_line("AB", "Instrument 1")), 1u);
    EXPECT_EQ(count(lines, body_line("G2", "Instrument 2")), 1u);
    EXPECT_EQ(count(lines, body_line("G4", "Instrument 4")), 0u);
    for (const std::string& line : lines)
        EXPECT_EQ(line.find("EDITED"), std::string::npos) << "edited, unsaved name printed";
}

TEST_F(DeviceReport, QueuedReportGoesFromTempToTheSpoolWithItsJobHeader) {
    fill_rows(3);
    const uint32_t printer = site(1, "Main office printer");
    ASSERT_EQ(print_report(printer), SUBMIT_QUEUED);
    const std::string report = native_form(report_file_path());
    EXPECT_FALSE(std::filesystem::exists(report));
    const std::vector<hostlibs::JobInfo> jobs = hostlibs::list_jobs();
    ASSERT_EQ(jobs.size(), 1u);
    const hostlibs::JobInfo& job = jobs[0];
    EXPECT_EQ(job.site_id, printer);
    EXPECT_EQ(job.user, "ANNA");
    EXPECT_EQ(job.title, "Toolbank");
    EXPECT_EQ(job.type, JOB_TYPE_REPORT_FILE);
    EXPECT_EQ(text(job.header.note, 16), std::string(16, ' '));
    EXPECT_EQ(job.header.user_no, 7u);
    EXPECT_EQ(text(job.header.user_id, 8), "TESTER  ");
    EXPECT_EQ(text(job.header.job_name, 8), "Toolbank");
    EXPECT_EQ(job.spool_file,
              hostlibs::data_path("SPOOL/") + report.substr(report.find_last_of('/') + 1));
    EXPECT_TRUE(temp_files().empty());
}

TEST_F(DeviceReport, ViewerSiteGetsTheRunListEntryAndTheFileStays) {
    fill_rows(2);
    const uint32_t viewer = site(SITE_DEVICE_SCREEN_VIEWER, "Screen viewer");
    ASSERT_EQ(print_report(viewer), SUBMIT_VIEWER);
    EXPECT_TRUE(hostlibs::list_jobs().empty());
    const std::vector<RunListEntry> entries = hostlibs::run_list();
    ASSERT_EQ(entries.size(), 1u);
    const RunListEntry& entry = entries[0];
    EXPECT_STREQ(entry.first_dir, "USER");
    EXPECT_STREQ(entry.second_dir, "GENUSER");
    EXPECT_STREQ(entry.module_name, "TEXTDISP");
    EXPECT_EQ(entry.word, 0);
    char id[9];
    std::snprintf(id, sizeof id, "%08X", viewer);
    EXPECT_EQ(std::string(entry.parameters),
              std::string(id) + " 4 " + report_file_path() + " \"Toolbank\"");
    EXPECT_TRUE(std::filesystem::exists(native_form(report_file_path())));
    EXPECT_EQ(shown_messages.back(), 2);
}

TEST_F(DeviceReport, ViewerArgumentTextIsCutToExactly120CharactersEndingInAQuote) {
    const uint32_t viewer = site(SITE_DEVICE_SCREEN_VIEWER);
    ASSERT_EQ(submit_report(0x2A, "P", "T"), SUBMIT_NOTHING) << "no site 0x2A";
    const std::string path = "\\" + std::string(78, 'p');
    ASSERT_EQ(submit_report(viewer, path.c_str(), std::string(60, 't').c_str()), SUBMIT_VIEWER);
    const std::string text = hostlibs::run_list().at(0).parameters;
    EXPECT_EQ(text.size(), 120u);
    EXPECT_EQ(text.back(), '"');
    EXPECT_EQ(text.substr(9, 2 + path.size() + 2), "4 " + path + " \"");
}

TEST_F(DeviceReport, PathLongerThanTheJobBlockIsRefusedRatherThanCut) {
    const uint32_t viewer = site(SITE_DEVICE_SCREEN_VIEWER);
    const std::string path = "\\" + std::string(79, 'p');
    EXPECT_EQ(submit_report(viewer, path.c_str(), "T"), SUBMIT_NOTHING);
    EXPECT_TRUE(hostlibs::run_list().empty());
}

TEST_F(DeviceReport, FailingJobAddRemovesTheReportAndShowsMessageSix) {
    fill_rows(3);
    const uint32_t printer = site(1);
    // The spool folder is a file: the queue cannot take the report over.
    std::filesystem::remove_all(hostlibs::data_path("SPOOL"));
    std::ofstream(hostlibs::data_path("SPOOL")) << "in the way";
    EXPECT_EQ(print_report(printer), SUBMIT_NOTHING);
    EXPECT_TRUE(hostlibs::list_jobs().empty());
    EXPECT_TRUE(temp_files().empty());
    EXPECT_EQ(shown_messages, (std::vector<int>{1, 6}));
}

TEST_F(DeviceReport, UnknownSiteSubmitsNothingAndLeavesTheFileInTemp) {
    fill_rows(3);
    EXPECT_EQ(print_report(4711), SUBMIT_NOTHING);
    EXPECT_EQ(shown_messages.back(), 6);
    EXPECT_TRUE(hostlibs::list_jobs().empty());
    EXPECT_EQ(temp_files().size(), 1u);
}

TEST_F(DeviceReport, ReportThatCannotBeCreatedShowsMessageSix) {
    std::filesystem::remove_all(hostlibs::data_path("TEMP"));
    EXPECT_EQ(print_report(site(1)), SUBMIT_NOTHING);
    EXPECT_EQ(shown_messages, (std::vector<int>{6}));
}

// TEMP or SPOOL replaced by a link while the host is open: the report is
// neither written nor spooled through it.
TEST_F(DeviceReport, AReportFolderReplacedByALinkTakesNoReport) {
    fill_rows(3);
    const uint32_t printer = site(1);
    for (const char* name : {"TEMP", "SPOOL"}) {
        SCOPED_TRACE(name);
        TempFolder outside("devgroup-outside-");
        const std::string folder = hostlibs::data_path(name);
        std::filesystem::rename(folder, folder + ".kept");
        std::filesystem::create_directory_symlink(outside.path(), folder);
        EXPECT_EQ(print_report(printer), SUBMIT_NOTHING);
        EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
        EXPECT_TRUE(hostlibs::list_jobs().empty());
        std::filesystem::remove(folder);
        std::filesystem::rename(folder + ".kept", folder);
    }
}

TEST_F(DeviceReport, ReportThatDidNotReachTheDiskWholeIsRemovedAndNotSubmitted) {
    fill_rows(100);
    const uint32_t printer = site(1);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    sighandler_t previous = signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 512;
    setrlimit(RLIMIT_FSIZE, &limited);
    const int result = print_report(printer);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(result, SUBMIT_NOTHING);
    EXPECT_TRUE(temp_files().empty());
    EXPECT_TRUE(hostlibs::list_jobs().empty());
    EXPECT_EQ(shown_messages, (std::vector<int>{1, 6}));
}

TEST_F(DeviceReport, AReportOnADeepRootIsSubmittedThroughTheShortHostPath) {
    // A root deep enough that its native TEMP\<name>.LST passes the 79
    // characters a job holds: the job gets the host's short path.
    TempFolder deep("toolbank-a-data-root-with-a-long-name-");
    const std::string root = deep.path() + "/and-one-more-folder";
    hostlibs::close_host();
    hostlibs::HostConfiguration configuration;
    configuration.root = root;
    configuration.user_id = "TESTER";
    configuration.fixed_now = 1000;
    std::string error;
    ASSERT_TRUE(hostlibs::open_host(configuration, &error)) << error;
    fill_rows(3);
    ASSERT_EQ(print_report(site(1)), SUBMIT_QUEUED);
    ASSERT_GT(native_form(report_file_path()).size(), 79u);
    EXPECT_LE(std::strlen(report_file_path()), 79u);
    const std::vector<hostlibs::JobInfo> jobs = hostlibs::list_jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_NE(file_bytes(jobs[0].spool_file).find("Device Group"), std::string::npos);
}

}  // namespace
