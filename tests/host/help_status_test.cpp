// Help topics by context number, the "no help" text, and the status line.
#include <gtest/gtest.h>

#include "host_test_support.h"
#include "hostlibs/help.h"
#include "hostlibs/status.h"
#include "screenlib/screenlib.h"

namespace {

constexpr const char* kHelp =
    "# help of the test module\n"
    "[1100] Page number\n"
    "The page shown.\n"
    "\n"
    "[1101, 1102] Fields\n"
    "\n"
    "Type a group name.\n"
    "  Indented line kept.\n"
    "\n";

class Help : public ::testing::Test {
  protected:
    void SetUp() override {
        hostlibs::reset_help();
        screenlib::use_headless();
        hosttest::write_file(root_.file("HELP"), kHelp);
    }
    void TearDown() override { screenlib::shutdown(); }
    hosttest::TempRoot root_{false};
};

TEST_F(Help, ShowsTheTopicOfAContext) {
    EXPECT_EQ(guidebook_go(hosttest::host_form(root_.file("HELP")).c_str(), 1102), 0);
    const hostlibs::HelpShown shown = hostlibs::help_shown();
    EXPECT_TRUE(shown.found);
    EXPECT_EQ(shown.context, 1102);
    EXPECT_EQ(shown.title, "Fields");
    EXPECT_EQ(shown.lines,
              (std::vector<std::string>{"Type a group name.", "  Indented line kept."}));
    EXPECT_EQ(shown.times, 1);
}

TEST_F(Help, MissingTopicOrFileShowsNoHelp) {
    EXPECT_NE(guidebook_go(hosttest::host_form(root_.file("HELP")).c_str(), 1201), 0);
    hostlibs::HelpShown shown = hostlibs::help_shown();
    EXPECT_FALSE(shown.found);
    ASSERT_FALSE(shown.lines.empty());
    EXPECT_EQ(shown.lines[0], "No help for this place (context 1201).");
    EXPECT_NE(guidebook_go(hosttest::host_form(root_.file("NOHELP")).c_str(), 1100), 0);
    shown = hostlibs::help_shown();
    EXPECT_FALSE(shown.found);
    // The file is named as it stands on disk, with the system's reason.
    EXPECT_EQ(shown.lines[1],
              "cannot read " + root_.file("NOHELP") + ": No such file or directory");
    EXPECT_NE(guidebook_go(nullptr, 1100), 0);
    EXPECT_EQ(hostlibs::help_shown().times, 3);
}

// A line wider than the popup goes on in the rows below it, broken between
// words, and every word of it shows whole.
TEST_F(Help, TheTopicsLinesWrapBetweenWordsInThePopup) {
    hosttest::write_file(root_.file("HELP"), "[7] Wide\n" + std::string(60, 'x') +
                                                 " the rest of a line far wider than the popup\n");
    screenlib::HeadlessBackend& headless = screenlib::use_headless();
    std::string error;
    ASSERT_TRUE(headless.set_script("<Wait:1><Esc>", &error)) << error;
    std::string shown;
    screenlib::set_idle_handler([&] { shown = headless.text(); }, 1);
    EXPECT_EQ(guidebook_go(hosttest::host_form(root_.file("HELP")).c_str(), 7), 0);
    screenlib::set_idle_handler({}, 0);
    EXPECT_NE(shown.find("|" + std::string(60, 'x') + " the rest of|"), std::string::npos) << shown;
    EXPECT_NE(shown.find("|a line far wider than the popup" + std::string(41, ' ') + "|"),
              std::string::npos)
        << shown;
}

TEST(WrapLines, BreaksBetweenWordsAndCutsOnlyWordsWiderThanTheWidth) {
    struct Case {
        std::vector<std::string> lines;
        size_t width;
        std::vector<std::string> wrapped;
    };
    const Case cases[] = {
        {{"fits as it stands", "", "  kept"}, 17, {"fits as it stands", "", "  kept"}},
        {{"one two three four five six"}, 10, {"one two", "three four", "five six"}},
        {{"abc def"}, 3, {"abc", "def"}},
        {{"abcdefghijklmnop qr"}, 5, {"abcde", "fghij", "klmno", "p qr"}},
        {{"  alpha beta gamma delta"}, 12, {"  alpha beta", "  gamma", "  delta"}},
        {{"        deep indent"}, 10, {"        de", "ep indent"}},
        {{"trailing blanks at a break            next"},
         20,
         {"trailing blanks at a", "break", "next"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hostlibs::wrap_lines(c.lines, c.width), c.wrapped)
            << c.lines[0] << " at width " << c.width;
    }
}

TEST(HelpFile, RefusesBadHeadingsNamingTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"text first\n[1] A\n", "line 1: text before the first topic"},
        {"[1 A\n", "line 1: a topic heading needs its closing ']'"},
        {"[] A\n", "line 1: a topic needs at least one context number"},
        {"[1, x] A\n", "line 1: 'x' is not a context number (0 to 65535)"},
        {"[70000] A\n", "line 1: '70000' is not a context number (0 to 65535)"},
        {"[1] A\n[2, 1] B\n", "line 2: context 1 given twice"},
    };
    for (const auto& [text, reason] : cases) {
        hostlibs::HelpFile help;
        std::string error;
        EXPECT_FALSE(hostlibs::parse_help(text, &help, &error)) << text;
        EXPECT_EQ(error, reason) << text;
    }
}

TEST(HelpFile, TheModulesHelpFileCoversItsContexts) {
    const std::string text =
        hosttest::read_file(hostapp::assets_dir() + "/root/USER/DEVGROUP/HELP");
    hostlibs::HelpFile help;
    std::string error;
    ASSERT_TRUE(hostlibs::parse_help(text, &help, &error)) << error;
    for (int context : {1100, 1101, 1102, 1201}) {
        EXPECT_NE(help.find(context), nullptr) << context;
    }
}

TEST(StatusLine, ShowsTheItemAtTheEndOfTheBottomRow) {
    hostlibs::reset_status();
    screenlib::HeadlessBackend& headless = screenlib::use_headless();
    const char code[4] = {'A', 'D', '0', '1'};  // not terminated
    StatusItem item{7, 2, 1, 4, code};
    EXPECT_EQ(status_show(&item, 2000), 0);
    EXPECT_EQ(headless.row_text(hostlibs::STATUS_ROW).substr(76), "AD01");
    const hostlibs::StatusShown shown = hostlibs::status_shown();
    EXPECT_EQ(shown.text, "AD01");
    EXPECT_EQ(shown.first, 7u);
    EXPECT_EQ(shown.kind, 2u);
    EXPECT_EQ(shown.count, 1u);
    EXPECT_EQ(shown.duration, 2000);
    EXPECT_EQ(shown.times, 1);

    const char shorter[4] = {'B', 'E', '\0', 'x'};
    StatusItem cut{0, 2, 1, 4, shorter};
    EXPECT_EQ(status_show(&cut, 2000), 0);
    EXPECT_EQ(hostlibs::status_shown().text, "BE") << "a zero byte ends the text";
    StatusItem missing{0, 2, 1, 4, nullptr};
    EXPECT_NE(status_show(&missing, 2000), 0);
    EXPECT_NE(status_show(nullptr, 2000), 0);
    EXPECT_EQ(hostlibs::status_shown().times, 2);
    screenlib::shutdown();
}

}  // namespace
