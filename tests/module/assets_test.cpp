// The module's files under the data root: both screen files open with the
// module's own table and lay out the editor's fields; the menu file delivers
// every command the editor knows; the help file answers its contexts.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "dialogs/getpass.h"
#include "dialogs/yesno_popup.h"
#include "entry/editor_screen_table.h"
#include "hostlibs/help.h"
#include "hostlibs/menubar.h"
#include "platform/code_page.h"
#include "platform/screen_library.h"
#include "screenlib/screenlib.h"
#include "services/guard_popups.h"
#include "temp_folder.h"

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// An asset (UTF-8) as a data root holds it, converted to the code page, in a
// folder of the test's own; its path.
std::string laid_asset(const std::string& relative) {
    static const TempFolder folder("toolbank-assets-");
    std::string converted;
    code_page::Refusal refusal;
    EXPECT_TRUE(code_page::from_utf8(read_file(std::string(TOOLBANK_ASSETS) + "/" + relative),
                                     &converted, &refusal))
        << relative << " line " << refusal.line << ": " << refusal.reason;
    std::string name = relative;
    std::replace(name.begin(), name.end(), '/', '_');
    const std::string path = folder.file(name);
    std::ofstream(path, std::ios::binary) << converted;
    return path;
}

class ScreenFiles : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override { screenlib::use_headless(); }
    void TearDown() override { screenlib::shutdown(); }
};

TEST_P(ScreenFiles, HoldTheEditorScreenWithPageGroupAndInstrumentFields) {
    std::string diagnostics;
    screenlib::set_diagnostic_sink([&](const std::string& line) { diagnostics += line + "\n"; });
    ScreenFile* file = screenfile_open(
        laid_asset(std::string("USER/DEVGROUP/") + GetParam()).c_str(), main_functions);
    ASSERT_NE(file, nullptr) << diagnostics;
    Screen* screen = screenfile_load(file, "screen", 0);
    ASSERT_NE(screen, nullptr) << diagnostics;
    EXPECT_EQ(screen_field_count(screen), 41);
    EXPECT_GE(field_length(screen, 0), 1);
    for (int field = 1; field <= 40; ++field) {
        EXPECT_EQ(field_length(screen, field), field % 2 == 1 ? 8 : 30) << "field " << field;
    }
    screen_close(screen);
    screenfile_close(file);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, ScreenFiles,
                         ::testing::Values("TOOLBANK.L01", "TOOLBANK.L02"));

// Each shared popup file opens with the table its caller hands over and holds
// the screen and fields the caller relies on, in both languages.
struct PopupFile {
    const char* name;
    const ScreenFunctionEntry* table;
    const char* screen;
    int fields;
};

class PopupFiles : public ::testing::TestWithParam<std::tuple<PopupFile, const char*>> {
  protected:
    void SetUp() override { screenlib::use_headless(); }
    void TearDown() override { screenlib::shutdown(); }
};

TEST_P(PopupFiles, OpenWithTheirTableAndHoldTheirScreen) {
    const auto& [popup, extension] = GetParam();
    std::string diagnostics;
    screenlib::set_diagnostic_sink([&](const std::string& line) { diagnostics += line + "\n"; });
    const std::string path = laid_asset(std::string("USER/POPUPS/") + popup.name + extension);
    ScreenFile* file = screenfile_open(path.c_str(), popup.table);
    ASSERT_NE(file, nullptr) << diagnostics;
    Screen* screen = screenfile_load(file, popup.screen, 1);
    screenfile_close(file);
    ASSERT_NE(screen, nullptr) << diagnostics;
    EXPECT_EQ(screen_field_count(screen), popup.fields);
    if (popup.table == getpass_table) {
        EXPECT_LE(field_length(screen, 0), 30);
        EXPECT_LE(field_length(screen, 1), 8);
    }
    screen_close(screen);
}

INSTANTIATE_TEST_SUITE_P(
    BothLanguages, PopupFiles,
    ::testing::Combine(::testing::Values(PopupFile{"YESNO", yesno_table, "popup", 6},
                                         PopupFile{"GETPASS", getpass_table, "getpass_screen", 2},
                                         PopupFile{"CHKEXIT", named_popup_table, "popup", 2},
                                         PopupFile{"CHKDOS", named_popup_table, "popup", 2}),
                       ::testing::Values(".L01", ".L02")),
    [](const auto& parameter) {
        std::string name =
            std::string(std::get<0>(parameter.param).name) + std::get<1>(parameter.param);
        name.erase(name.find('.'), 1);
        return name;
    });

TEST(MenuFile, DeliversEveryEditorCommand) {
    hostlibs::MenuFile menu;
    std::string error;
    ASSERT_TRUE(
        hostlibs::parse_menu(read_file(laid_asset("USER/DEVGROUP/TOOLBANK")), &menu, &error))
        << error;
    std::set<int> commands;
    for (const auto& pull_down : menu.menus) {
        for (const auto& item : pull_down.items) {
            if (!item.separator)
                commands.insert(item.command);
        }
    }
    for (const auto& key : menu.keys)
        commands.insert(key.command);
    EXPECT_EQ(commands, (std::set<int>{2, 3, 4, 5, 6, 7, 8, 11, 16, 17, 18, 19, 24}));
}

TEST(HelpFile, AnswersTheEditorsContexts) {
    hostlibs::HelpFile help;
    std::string error;
    ASSERT_TRUE(hostlibs::parse_help(read_file(laid_asset("USER/DEVGROUP/HELP")), &help, &error))
        << error;
    for (int context : {1100, 1101, 1102, 1201}) {
        EXPECT_NE(help.find(context), nullptr) << "context " << context;
    }
}

}  // namespace
