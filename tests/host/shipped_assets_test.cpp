// Every file the data root ships is read by its format's reader and kept
// within the limits docs/ gives for that format, in both languages: screen
// files and popups, the menu file, the help file and the message catalogues.
// A file of no known kind fails, so a new asset cannot go unchecked. The
// assets are UTF-8; the files checked are those a new root holds, in the
// code page, so every width counts characters.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "host_test_support.h"
#include "hostapp/host_app.h"
#include "hostlibs/help.h"
#include "hostlibs/menubar.h"
#include "message_catalogue.h"
#include "platform/code_page.h"
#include "platform/screen_library.h"
#include "screenlib/screenlib.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLanguages[] = {1, 2};   // English, German
constexpr size_t kHelpLineWidth = 72;  // docs/help-files.md
constexpr size_t kMessageWidth = 40;   // the catalogues' own header

fs::path shipped_root() {
    return fs::path(hostapp::assets_dir()) / "root";
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The names of a screen file's screens, in order.
std::vector<std::string> screen_names(const std::string& text) {
    std::vector<std::string> names;
    static const std::regex heading("^screen +(\\S+)");
    for (const std::string& line : lines_of(text)) {
        std::smatch match;
        if (std::regex_search(line, match, heading))
            names.push_back(match[1]);
    }
    return names;
}

class ShippedAssets : public ::testing::Test {
  protected:
    void SetUp() override {
        screenlib::use_headless();
        ASSERT_TRUE(root_.made()) << root_.error();
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(shipped_root())) {
            if (!entry.is_regular_file())
                continue;
            const fs::path laid =
                fs::path(root_.path()) / fs::relative(entry.path(), shipped_root());
            // The root holds each asset converted to the code page, nothing else changed.
            std::string converted;
            code_page::Refusal refusal;
            EXPECT_TRUE(
                code_page::from_utf8(hosttest::read_file(entry.path()), &converted, &refusal))
                << entry.path() << " line " << refusal.line << ": " << refusal.reason;
            EXPECT_EQ(hosttest::read_file(laid), converted) << laid;
            files_.push_back(laid);
        }
        ASSERT_FALSE(files_.empty()) << shipped_root();
    }
    void TearDown() override {
        screenlib::set_diagnostic_sink({});
        screenlib::shutdown();
    }

    // A screen file opens (its reader holds the documented limits: line
    // length, picture width and height, a window within the 80x25 screen) and
    // every screen in it loads; the module's names stand in as the library's.
    static void check_screen_file(const fs::path& path) {
        std::string diagnostics;
        screenlib::set_diagnostic_sink(
            [&](const std::string& line) { diagnostics += line + "\n"; });
        std::vector<std::string> stand_ins;
        ScreenFile* file = screenlib::open_screen_file_with_stand_ins(
            path.c_str(), screenlib::library_function_table(), &stand_ins);
        ASSERT_NE(file, nullptr) << diagnostics;
        const std::vector<std::string> names = screen_names(hosttest::read_file(path));
        EXPECT_FALSE(names.empty()) << path;
        for (const std::string& name : names) {
            Screen* screen = screenfile_load(file, name.c_str(), 1);
            EXPECT_NE(screen, nullptr) << path << ": " << name << "\n" << diagnostics;
            if (screen != nullptr)
                screen_close(screen);
        }
        screenfile_close(file);
    }

    hosttest::TempRoot root_{false};
    std::vector<fs::path> files_;
};

TEST_F(ShippedAssets, EveryFileKeepsItsFormatsLimitsInBothLanguages) {
    std::map<std::string, std::set<std::string>> screen_languages;  // file stem -> extensions
    int checked = 0;
    for (const fs::path& path : files_) {
        const std::string name = path.filename().string();
        const std::string text = hosttest::read_file(path);
        SCOPED_TRACE(path.string());
        if (path.extension() == ".DLL") {
            continue;  // drivers stand in as files that exist; their bytes are not read
        }
        ++checked;
        if (name.rfind("MESSAGES.L", 0) == 0) {
            int line_number = 0;
            for (const std::string& line : lines_of(text)) {
                ++line_number;
                if (line.empty() || line[0] == '#')
                    continue;
                const size_t blank = line.find(' ');
                EXPECT_NE(blank, std::string::npos) << "line " << line_number;
                EXPECT_LE(line.size() - blank - 1, kMessageWidth) << "line " << line_number;
            }
            continue;
        }
        if (name == "HELP") {
            hostlibs::HelpFile help;  // titles of at most 60 characters
            std::string error;
            EXPECT_TRUE(hostlibs::parse_help(text, &help, &error)) << error;
            for (const hostlibs::HelpTopic& topic : help.topics) {
                for (const std::string& line : topic.lines)
                    EXPECT_LE(line.size(), kHelpLineWidth) << topic.title << ": " << line;
            }
            continue;
        }
        if (path.extension().empty()) {
            // Menu files: texts of 40 characters at most, the titles on the bar
            // in every language; each title and entry has its German label.
            hostlibs::MenuFile menu;
            std::string error;
            ASSERT_TRUE(hostlibs::parse_menu(text, &menu, &error)) << error;
            for (const hostlibs::MenuPullDown& pull_down : menu.menus) {
                EXPECT_EQ(pull_down.labels.count(2), 1u) << pull_down.title;
                for (const hostlibs::MenuItem& item : pull_down.items)
                    EXPECT_TRUE(item.separator || item.labels.count(2) == 1) << item.text;
            }
            continue;
        }
        if (std::regex_match(path.extension().string(), std::regex("\\.L[0-9][0-9]"))) {
            check_screen_file(path);
            screen_languages[(path.parent_path() / path.stem()).string()].insert(
                path.extension().string());
            continue;
        }
        ADD_FAILURE() << "a shipped file of no known format";
    }
    EXPECT_GE(checked, 10);
    for (const auto& [stem, extensions] : screen_languages)
        EXPECT_EQ(extensions, (std::set<std::string>{".L01", ".L02"})) << stem;
    // The two catalogues give the same messages.
    std::set<int> numbers[2];
    for (int i = 0; i < 2; ++i) {
        const std::string path = root_.file("MESSAGES.L0" + std::to_string(kLanguages[i]));
        for (const auto& [number, message] :
             hostapp::MessageCatalogue::parse(hosttest::read_file(path)))
            numbers[i].insert(number);
    }
    EXPECT_FALSE(numbers[0].empty());
    EXPECT_EQ(numbers[0], numbers[1]);
}

}  // namespace
