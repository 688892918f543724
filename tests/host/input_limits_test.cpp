// Every reader stops at its limits while it reads: an endless or huge input
// is refused with the file, the line and the reason, and nothing is loaded.
#include <gtest/gtest.h>

#include <cstdio>

#include "builtin/report_view.h"
#include "host_test_support.h"
#include "hostlibs/help.h"
#include "hostlibs/menubar.h"
#include "platform/bounded_read.h"
#include "root/host_config.h"
#include "screenlib/screenlib.h"

namespace {

struct Read {
    bool ok = false;
    std::string text;
    ReadFailure failure;
};

Read read(const std::string& path, ReadLimits limits) {
    Read result;
    result.ok = read_bounded_file(path.c_str(), limits, &result.text, &result.failure);
    return result;
}

TEST(BoundedRead, LimitsHoldAtTheirEdgeAndAcrossChunks) {
    TempFolder folder;
    const std::string path = folder.file("text");
    hosttest::write_file(path, "abc\nabcd\r\nabcde\n");
    EXPECT_TRUE(read(path, {16, 5}).ok);
    Read over = read(path, {16, 4});
    EXPECT_FALSE(over.ok);
    EXPECT_EQ(over.failure.line, 2);
    EXPECT_EQ(over.failure.reason, "line longer than 4 characters");
    EXPECT_TRUE(over.text.empty());
    over = read(path, {15, 0});
    EXPECT_FALSE(over.ok);
    EXPECT_EQ(over.failure.line, 0);
    EXPECT_EQ(over.failure.reason, "the file is larger than 15 bytes");

    // A line is counted whole, however the reads cut it.
    hosttest::write_file(path, "short\n" + std::string(200000, 'x') + "\nshort\n");
    EXPECT_TRUE(read(path, {1 << 20, 200000}).ok);
    over = read(path, {1 << 20, 199999});
    EXPECT_FALSE(over.ok);
    EXPECT_EQ(over.failure.line, 2);
}

TEST(BoundedRead, EndlessInputsAndFoldersStop) {
    Read endless = read("/dev/zero", {1 << 20, 1024});
    EXPECT_FALSE(endless.ok);
    EXPECT_EQ(endless.failure.line, 1);
    endless = read("/dev/zero", {1 << 20, 0});
    EXPECT_FALSE(endless.ok);
    EXPECT_EQ(endless.failure.reason, "the file is larger than 1 MiB");
    TempFolder folder;
    EXPECT_EQ(read(folder.path(), {1 << 20, 0}).failure.reason, "Is a directory");
    EXPECT_EQ(read(folder.file("none"), {1 << 20, 0}).failure.reason, "No such file or directory");
}

// host.conf, the menu file and the help file refuse a line over 1024
// characters even where it would only be a comment.
TEST(HostReaders, AnOverlongLineIsRefusedNamingFileAndLine) {
    TempFolder folder;
    const std::string comment = "# " + std::string(2000, 'x') + "\n";
    const std::string expected = ": line 2: line longer than 1024 characters";

    hosttest::write_file(folder.file("host.conf"), "user = A A 1 1 0\n" + comment);
    hostapp::HostConfig config;
    std::string error;
    EXPECT_FALSE(hostapp::load_host_config(folder.path(), &config, &error));
    EXPECT_EQ(error, "host.conf line 2: line longer than 1024 characters");
    EXPECT_TRUE(config.users.empty());

    screenlib::use_headless();
    hostlibs::reset_menubar();
    hosttest::write_file(folder.file("MENU"), "menu ~File\n" + comment + "item ~Save 2\n");
    EXPECT_EQ(menubar_open(hosttest::host_form(folder.file("MENU")).c_str(), nullptr) & 0xFF, 0);
    EXPECT_EQ(hostlibs::menubar_error(), "menu file: " + folder.file("MENU") + expected);

    hostlibs::reset_help();
    hosttest::write_file(folder.file("HELP"), "[1] Topic\n" + comment + "text\n");
    EXPECT_NE(guidebook_go(hosttest::host_form(folder.file("HELP")).c_str(), 1), 0);
    const hostlibs::HelpShown shown = hostlibs::help_shown();
    EXPECT_FALSE(shown.found);
    ASSERT_EQ(shown.lines.size(), 2u);
    EXPECT_EQ(shown.lines[1], folder.file("HELP") + expected);
    screenlib::shutdown();
}

// A report is shown whole or not at all, never cut at the limit as if whole.
TEST(HostReaders, AReportOverSixteenMebibytesIsRefused) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::tmpfile(), &std::fclose);
    ASSERT_TRUE(file);
    const std::string line(1 << 20, 'x');
    for (int i = 0; i < 16; ++i) {
        ASSERT_EQ(std::fwrite(line.data(), 1, line.size(), file.get()), line.size());
    }
    std::rewind(file.get());
    std::string bytes;
    std::string reason;
    EXPECT_TRUE(hostapp::read_report_file(file.get(), &bytes, &reason)) << reason;
    EXPECT_EQ(bytes.size(), 16u << 20);
    std::fseek(file.get(), 0, SEEK_END);
    std::fputc('x', file.get());
    std::rewind(file.get());
    EXPECT_FALSE(hostapp::read_report_file(file.get(), &bytes, &reason));
    EXPECT_EQ(reason, "the file is larger than 16 MiB");
    EXPECT_TRUE(bytes.empty());
}

}  // namespace
