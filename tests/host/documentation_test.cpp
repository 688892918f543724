// What the program says of itself, written from its own tables: --help, the
// manual pages and the README's tables; and the default root they describe.
#include "hostapp/documentation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

#include "command_line.h"
#include "editor_keys.h"
#include "host_config.h"
#include "hostapp/host_app.h"

namespace {

std::string roff_name(std::string text) {
    std::string out;
    for (char c : text) {
        out += c == '-' ? std::string("\\-") : std::string(1, c);
    }
    return out;
}

TEST(ManualPage, TablesComeInRoffThatNoLineOfTextCanBreak) {
    std::string page;
    std::string error;
    ASSERT_TRUE(hostapp::fill_manual_page(
        ".TH T 1\n.\\\" table: options\n.\\\" table: commands\n.\\\" table: keys\n"
        ".\\\" table: config\n.SH END\n",
        &page, &error))
        << error;
    for (const hostapp::OptionHelp& option : hostapp::options()) {
        EXPECT_NE(page.find("\\fB" + roff_name(option.name) + "\\fR"), std::string::npos)
            << option.name;
    }
    for (const hostapp::ConfigKeyHelp& key : hostapp::config_keys()) {
        EXPECT_NE(page.find("\\fB" + roff_name(key.name) + "\\fR = \\fI"), std::string::npos)
            << key.name;
    }
    EXPECT_NE(page.find("\\fBstore init\\fR"), std::string::npos);
    EXPECT_NE(page.find("\\fBCtrl\\-C\\fR"), std::string::npos);
    // Only the template's requests and the tables' .TP start a line with a
    // dot, and every '-' is the minus sign options are typed with.
    std::istringstream lines(page);
    for (std::string line; std::getline(lines, line);) {
        if (line.front() == '.') {
            EXPECT_TRUE(line == ".TP" || line == ".TH T 1" || line == ".SH END") << line;
        }
        for (size_t at = line.find('-'); at != std::string::npos; at = line.find('-', at + 1)) {
            EXPECT_TRUE(at > 0 && line[at - 1] == '\\') << line;
        }
    }
}

TEST(ManualPage, AnUnknownTableIsNamed) {
    std::string page;
    std::string error;
    EXPECT_FALSE(hostapp::fill_manual_page(".\\\" table: colours\n", &page, &error));
    EXPECT_EQ(error, "no table named 'colours'");
}

TEST(ReadmeTables, AStaleTableIsReplacedAndTheRestKeptAsItWas) {
    const std::string before = "# Title\n\ntext | with a bar\n<!-- table: options -->\n";
    const std::string after = "<!-- end of table -->\n\nmore `text`\n";
    std::string filled;
    std::string error;
    ASSERT_TRUE(hostapp::fill_readme(before + "| STALE | ROW |\n" + after, &filled, &error))
        << error;
    ASSERT_EQ(filled.substr(0, before.size()), before);
    ASSERT_EQ(filled.substr(filled.size() - after.size()), after);
    const std::string table =
        filled.substr(before.size(), filled.size() - before.size() - after.size());
    EXPECT_EQ(table.find("STALE"), std::string::npos);
    EXPECT_NE(table.find("| `--root DIR` | an existing data root"), std::string::npos) << table;
    EXPECT_NE(table.find("| `--help, -h` |"), std::string::npos) << table;
    // Filling a filled README changes nothing.
    std::string again;
    ASSERT_TRUE(hostapp::fill_readme(filled, &again, &error));
    EXPECT_EQ(again, filled);
}

TEST(ReadmeTables, AnUnknownOrUnclosedTableIsRefusedWithItsLine) {
    std::string filled;
    std::string error;
    EXPECT_FALSE(hostapp::fill_readme("a\n<!-- table: colours -->\n", &filled, &error));
    EXPECT_EQ(error, "line 2: no table named 'colours'");
    EXPECT_FALSE(hostapp::fill_readme("<!-- table: keys -->\n| a | b |\n", &filled, &error));
    EXPECT_EQ(error, "line 1: the table keys has no <!-- end of table -->");
}

TEST(ReadmeTables, KeyNotationIsNotTakenForMarkup) {
    std::string filled;
    std::string error;
    ASSERT_TRUE(
        hostapp::fill_readme("<!-- table: config -->\n<!-- end of table -->\n", &filled, &error));
    // In the hotkey line's text, <C-e> would be read as an HTML tag and vanish.
    EXPECT_NE(filled.find("such as \\<C-e>"), std::string::npos) << filled;
    EXPECT_NE(filled.find("`hotkey = N FIRST SECOND MODULE [<KEY>]`"), std::string::npos);
}

TEST(HelpText, NamesEveryOptionAndKeyOnLinesOfATerminal) {
    const std::string help = hostapp::help_text();
    for (const hostapp::OptionHelp& option : hostapp::options()) {
        const std::string name =
            std::string(option.name) + (option.alias ? std::string(", ") + option.alias : "");
        EXPECT_NE(help.find("  " + name + " "), std::string::npos) << name;
    }
    for (const hostapp::KeyHelp& key : hostapp::editor_keys()) {
        EXPECT_NE(help.find(std::string("  ") + key.keys), std::string::npos) << key.keys;
    }
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 79u) << line;
    }
}

// The default root: $DEVGROUP_ROOT, else $XDG_DATA_HOME/devgroup when that is
// absolute, else ~/.local/share/devgroup.
class DefaultRoot : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
        setenv("HOME", "/home/ada", 1);
        unsetenv("DEVGROUP_ROOT");
        unsetenv("XDG_DATA_HOME");
    }
    void TearDown() override {
        for (size_t i = 0; i < saved_.size(); ++i) {
            saved_[i] ? setenv(kNames[i], saved_[i]->c_str(), 1) : unsetenv(kNames[i]);
        }
    }
    static constexpr const char* kNames[] = {"HOME", "DEVGROUP_ROOT", "XDG_DATA_HOME"};
    std::vector<std::optional<std::string>> saved_;
};

TEST_F(DefaultRoot, FollowsTheXdgDataFolder) {
    EXPECT_EQ(hostapp::default_root(), "/home/ada/.local/share/devgroup");
    setenv("XDG_DATA_HOME", "/data/ada", 1);
    EXPECT_EQ(hostapp::default_root(), "/data/ada/devgroup");
    // An empty or relative XDG_DATA_HOME is none.
    for (const char* ignored : {"", "data"}) {
        setenv("XDG_DATA_HOME", ignored, 1);
        EXPECT_EQ(hostapp::default_root(), "/home/ada/.local/share/devgroup") << ignored;
    }
    setenv("XDG_DATA_HOME", "/data/ada", 1);
    setenv("DEVGROUP_ROOT", "/srv/root", 1);
    EXPECT_EQ(hostapp::default_root(), "/srv/root");
}

}  // namespace
