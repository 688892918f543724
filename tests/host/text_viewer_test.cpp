// The text viewer: its argument text, report files turned into pages, and
// the viewer module paging through a report under a key script.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "host_test_support.h"
#include "hostlibs/shell.h"
#include "report_view.h"

namespace {

using hostapp::render_report;

TEST(ViewerArguments, ReadsSiteTypePathAndTitle) {
    hostapp::ViewerArguments arguments;
    std::string error;
    ASSERT_TRUE(hostapp::parse_viewer_arguments(
        "0000002A 4 \\r\\DATA\\TEMP\\A B.LST \"Device \"Group\"\"", &arguments, &error))
        << error;
    EXPECT_EQ(arguments.site_id, 0x2Au);
    EXPECT_EQ(arguments.job_type, 4);
    EXPECT_EQ(arguments.path, "\\r\\DATA\\TEMP\\A B.LST");
    EXPECT_EQ(arguments.title, "Device \"Group\"");
    // A text cut to its field keeps what is left of the title.
    ASSERT_TRUE(hostapp::parse_viewer_arguments("00000001 4 P \"Tool", &arguments, &error));
    EXPECT_EQ(arguments.title, "Tool");
    for (const char* bad : {"", "2A 4 P \"T\"", "0000002G 4 P", "0000002A x P", "0000002A 4 "}) {
        EXPECT_FALSE(hostapp::parse_viewer_arguments(bad, &arguments, &error)) << bad;
    }
}

TEST(ReportFile, ControlCodesBecomeLinesAndPages) {
    const char raw[] =
        "\x85\x04\x00\x84\x81"
        "Header\x81"
        "Date : 01.02.23\x81"
        "Device Group\x81"
        "row 1\x81\x81"
        "row\x01 3\x81\x82"
        "\x85\x04\x00\x84\x81"
        "page 2\x81\x82"
        "tail without end";
    const std::string bytes(raw, sizeof raw - 1);
    const std::vector<hostapp::ReportPage> pages = render_report(bytes);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0], (hostapp::ReportPage{"", "Header", "Date : 01.02.23", "Device Group",
                                             "row 1", "", "row? 3"}));
    EXPECT_EQ(pages[1], (hostapp::ReportPage{"", "page 2"}));
    EXPECT_EQ(pages[2], (hostapp::ReportPage{"tail without end"}));
    EXPECT_TRUE(render_report("").empty());
    // A setting cut off by the end of the file reads nothing past it.
    EXPECT_TRUE(render_report("\x85\x04").empty());
    EXPECT_EQ(render_report(std::string("a\0b\x81", 4))[0][0], "a b");
}

TEST(TextViewer, PagesThroughAReportFile) {
    hosttest::TempRoot root;
    ASSERT_TRUE(root.made()) << root.error();
    std::string report;
    for (int page = 1; page <= 3; ++page) {
        report += "\x85\x04";
        report.push_back('\0');
        report += "\x84\x81Page " + std::to_string(page) + "\x81";
        for (int line = 1; line <= 30; ++line) {
            report += "line " + std::to_string(page) + "." + std::to_string(line) + "\x81";
        }
        report += "\x82";
    }
    hosttest::write_file(root.file("DATA/TEMP/R1.LST"), report);
    const std::string host_path = hosttest::host_form(root.file("DATA/TEMP/R1.LST"));

    hostapp::HostSession session;
    // Down a screenful within page 1, then on to page 2 and one line down.
    const hostapp::HostOptions options =
        hosttest::headless_options(root.path(), "<PgDn><PgDn><Down>");
    std::string error;
    ASSERT_TRUE(session.open(options, &error)) << error;
    const RunListEntry viewer = hostapp::make_entry("USER", "GENUSER", "TEXTDISP",
                                                    "00000003 4 " + host_path + " \"Toolbank\"");
    EXPECT_EQ(session.call_module(viewer), 0);
    const std::string screen = session.final_screen();
    EXPECT_EQ(screen.substr(0, screen.find('\n')), "Toolbank   (2/3)");
    EXPECT_NE(screen.find("\nPage 2\nline 2.1\n"), std::string::npos) << screen;
    EXPECT_EQ(screen.find('\x81'), std::string::npos);
}

TEST(TextViewer, MissingReportIsToldNotFatal) {
    hosttest::TempRoot root;
    ASSERT_TRUE(root.made()) << root.error();
    hostapp::HostSession session;
    const hostapp::HostOptions options = hosttest::headless_options(root.path(), "");
    std::string error;
    ASSERT_TRUE(session.open(options, &error)) << error;
    // Each is told in a popup; the pager never shows a report.
    for (const std::string& arguments :
         {std::string("00000003 4 \\no\\such.LST \"T\""), std::string("junk"),
          "00000003 4 " + hosttest::host_form(root.file("DATA/TEMP")) + " \"T\""}) {
        EXPECT_EQ(
            session.call_module(hostapp::make_entry("USER", "GENUSER", "TEXTDISP", arguments)), 0);
        EXPECT_EQ(session.final_screen(), "") << arguments;
    }
}

// A report the viewer shows from the root's TEMP folder is the viewer's: it
// goes once shown. A file given from elsewhere, or not a report, stays.
TEST(TextViewer, RemovesAShownReportFromTempOnly) {
    hosttest::TempRoot root;
    ASSERT_TRUE(root.made()) << root.error();
    const std::string report = "Page 1\x81\x82";
    const char* files[] = {"DATA/TEMP/R1.LST", "DATA/SPOOL/R2.LST", "DATA/TEMP/NOTES.TXT"};
    for (const char* file : files) {
        hosttest::write_file(root.file(file), report);
    }
    hostapp::HostSession session;
    std::string error;
    ASSERT_TRUE(session.open(hosttest::headless_options(root.path(), ""), &error)) << error;
    for (const char* file : files) {
        const std::string arguments =
            "00000003 4 " + hosttest::host_form(root.file(file)) + " \"Toolbank\"";
        EXPECT_EQ(
            session.call_module(hostapp::make_entry("USER", "GENUSER", "TEXTDISP", arguments)), 0);
        EXPECT_EQ(session.final_screen().rfind("Toolbank", 0), 0u) << file << " was shown";
    }
    EXPECT_FALSE(std::filesystem::exists(root.file(files[0])));
    EXPECT_TRUE(std::filesystem::exists(root.file(files[1])));
    EXPECT_TRUE(std::filesystem::exists(root.file(files[2])));
}

// Reports that a crash (or a run ended before its viewer) left in TEMP go
// at the next start once a day old; younger ones may still be in use.
TEST(TextViewer, ReportsLeftInTempGoAtTheNextStartOnceADayOld) {
    hosttest::TempRoot root;
    ASSERT_TRUE(root.made()) << root.error();
    namespace fs = std::filesystem;
    const auto now = fs::file_time_type::clock::now();
    const std::pair<const char*, std::chrono::hours> files[] = {
        {"DATA/TEMP/ROLD.LST", std::chrono::hours(25)},
        {"DATA/TEMP/RNEW.LST", std::chrono::hours(23)},
        {"DATA/TEMP/OLD.TXT", std::chrono::hours(25)},
        {"DATA/SPOOL/ROLD.LST", std::chrono::hours(25)},
    };
    for (const auto& [file, age] : files) {
        hosttest::write_file(root.file(file), "x");
        fs::last_write_time(root.file(file), now - age);
    }
    hostapp::HostSession session;
    std::string error;
    ASSERT_TRUE(session.open(hosttest::headless_options(root.path(), ""), &error)) << error;
    EXPECT_FALSE(fs::exists(root.file(files[0].first)));
    for (const auto& [file, age] : {files[1], files[2], files[3]}) {
        EXPECT_TRUE(fs::exists(root.file(file))) << file;
    }
}

}  // namespace
