// Start-up and its failures: screen files in either language, the error log,
// the run list and the host's leave call on every path.
#include <fstream>

#include "hostlibs/shell.h"
#include "scenario_support.h"

namespace {

void expect_only_error_log_viewer() {
    const auto list = hostlibs::run_list();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0].first_dir, "USER");
    EXPECT_STREQ(list[0].second_dir, "ERRORLOG");
    EXPECT_STREQ(list[0].module_name, "ERRORLOG");
    EXPECT_STREQ(list[0].parameters, "");
    EXPECT_EQ(list[0].word, 0);
}

class StartUp : public EditorScenario {
  protected:
    // A run that must end at once; gives the host's return flag.
    int32_t run_expecting_failure() {
        session_.context().return_flag = 77;
        EXPECT_EQ(run_editor(), 0);
        EXPECT_EQ(hostlibs::host_leave_count(), 1);
        EXPECT_FALSE(editor_picture.taken);
        return session_.context().return_flag;
    }
};

TEST_F(StartUp, OpensInTheUsersLanguageAndLeavesOnce) {
    put_numbered(3);
    open("", 2);
    session_.context().return_flag = 77;
    EXPECT_EQ(run_editor(), 0);
    EXPECT_NE(row(kTitleRow).find("Ger\xE4tegruppen"), std::string::npos) << row(kTitleRow);
    EXPECT_EQ(instrument_cell(2), padded("Instrument 2", 30));
    EXPECT_EQ(hostlibs::host_leave_count(), 1);
    EXPECT_EQ(session_.context().return_flag, 0);
    EXPECT_TRUE(hostlibs::read_error_log().empty());
    EXPECT_EQ(teardown, (std::vector<std::string>{"menubar_close", "screen_close",
                                                  "screenfile_close", "host_leave"}));
}

TEST_F(StartUp, FallsBackToTheFallbackLanguageWithoutAnErrorRecord) {
    std::filesystem::remove(module_dir() / "TOOLBANK.L02");
    put_numbered(1);
    open("", 2);
    EXPECT_EQ(run_editor(), 0);
    EXPECT_NE(row(kTitleRow).find("Device groups"), std::string::npos) << row(kTitleRow);
    EXPECT_TRUE(hostlibs::read_error_log().empty());
    EXPECT_EQ(hostlibs::host_leave_count(), 1);
}

TEST_F(StartUp, LanguageSevenOpensTheL07File) {
    std::filesystem::rename(module_dir() / "TOOLBANK.L01", module_dir() / "TOOLBANK.L07");
    std::filesystem::remove(module_dir() / "TOOLBANK.L02");
    put_numbered(1);
    open("", 1);
    session_.context().user->language = 7;
    EXPECT_EQ(run_editor(), 0);
    EXPECT_EQ(instrument_cell(0), padded("Instrument 0", 30));
    EXPECT_TRUE(hostlibs::read_error_log().empty());
}

TEST_F(StartUp, NoScreenFileReportsTheFallbackPathAndQueuesTheErrorLogViewer) {
    std::filesystem::remove(module_dir() / "TOOLBANK.L01");
    std::filesystem::remove(module_dir() / "TOOLBANK.L02");
    open("", 2);
    EXPECT_EQ(run_expecting_failure(), 0);
    const auto log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, 0x80007530u);
    EXPECT_EQ(log[0].source, "TOOLBANK");
    EXPECT_EQ(log[0].text, host_root() + "USER\\DEVGROUP\\TOOLBANK.L01");
    expect_only_error_log_viewer();
    EXPECT_EQ(teardown, std::vector<std::string>{"host_leave"});
}

TEST_F(StartUp, MissingScreenReportsTheFilesPath) {
    const std::string l01 = (module_dir() / "TOOLBANK.L01").string();
    std::ofstream(l01, std::ios::trunc) << "screen other\nwindow sedwin_Class\nborder bd_prompt\n"
                                           "picture\n|  nothing here  |\nend\nend screen\n";
    open("", 1);
    EXPECT_EQ(run_expecting_failure(), 0);
    const auto log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, 0x80007531u);
    EXPECT_EQ(log[0].text, host_root() + "USER\\DEVGROUP\\TOOLBANK.L01");
    expect_only_error_log_viewer();
    EXPECT_EQ(teardown, (std::vector<std::string>{"screenfile_close", "host_leave"}));
}

// The menu bar logs why the menu failed; the module adds no record of its own.
TEST_F(StartUp, FailedMenuIsLoggedByTheMenuBarAloneAndQueuesTheViewer) {
    std::filesystem::remove(module_dir() / "TOOLBANK");
    open("", 1);
    EXPECT_EQ(run_expecting_failure(), 0);
    const std::vector<hostlibs::ErrorLogEntry> log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].source, "MENUBAR");
    EXPECT_NE(log[0].text.find("TOOLBANK"), std::string::npos) << log[0].text;
    expect_only_error_log_viewer();
    EXPECT_EQ(teardown,
              (std::vector<std::string>{"screen_close", "screenfile_close", "host_leave"}));
}

// The module's paths are built in buffers of 100 bytes on the root the host
// hands it, a short drive; so the real root may be as long as the system allows.
class LongRoot : public StartUp {
  protected:
    void SetUp() override {
        std::string root = root_.path();
        while (root.size() < 4000) {
            root += "/" + std::string(std::min<size_t>(200, 3999 - root.size()), 'r');
        }
        make_root(root);
    }
};

TEST_F(LongRoot, TheEditorStartsOnARootOfFourThousandBytes) {
    ASSERT_EQ(root_path_.size(), 4000u);
    open("", 1);
    EXPECT_EQ(run_editor(), 0);
    EXPECT_EQ(cells(kTitleRow, kPageColumn, 1), "1");
    EXPECT_TRUE(hostlibs::read_error_log().empty());
}

}  // namespace
