// Whole-screen snapshots of the editor's first page, text and colour of
// every cell, in English and German, compared exactly with the files under
// tests/module/golden/: the 25-row screen, and what an 80x24 terminal shows
// of it with the bars and the help popup up. DEVGROUP_UPDATE_GOLDEN=1 writes
// the files anew.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/code_page.h"
#include "scenario_support.h"

namespace {

// The screen as a text file: each row between bars, in UTF-8, then each row's
// attribute bytes in hexadecimal.
std::string snapshot(const std::vector<std::string>& rows,
                     const std::vector<std::vector<uint8_t>>& attributes) {
    std::string text = "# text\n";
    for (const std::string& row : rows)
        text += "|" + code_page::to_utf8(row) + "|\n";
    text += "# colours\n";
    for (const std::vector<uint8_t>& row : attributes) {
        for (uint8_t attribute : row) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", attribute);
            text += hex;
        }
        text += "\n";
    }
    return text;
}

class GoldenScreen : public EditorScenario {
  protected:
    void expect_matches(const std::string& name) {
        ASSERT_TRUE(editor_picture.taken);
        ASSERT_EQ(editor_picture.rows.size(), 25u);
        expect_file(name, snapshot(editor_picture.rows, editor_picture.attributes));
    }
    // The terminal of the last popup that closed.
    void expect_view_matches(const std::string& name) {
        ASSERT_EQ(popup_pictures.size(), 1u);
        const ScreenPicture& picture = popup_pictures.back();
        ASSERT_EQ(picture.view.size(), 24u);
        expect_file(name, snapshot(picture.view, picture.view_attributes));
    }
    static void expect_file(const std::string& name, const std::string& actual) {
        const std::string path = std::string(GOLDEN_DIR) + "/" + name;
        if (const char* update = std::getenv("DEVGROUP_UPDATE_GOLDEN"); update && *update == '1') {
            std::ofstream(path, std::ios::binary) << actual;
        }
        std::ifstream file(path, std::ios::binary);
        ASSERT_TRUE(file) << "no snapshot " << path;
        std::ostringstream expected;
        expected << file.rdbuf();
        EXPECT_EQ(actual, expected.str()) << "the editor's screen differs from " << path;
    }
};

TEST_F(GoldenScreen, FirstPageInEnglish) {
    put_numbered(25);
    open("", 1);
    run_editor();
    expect_matches("editor_page1.L01");
}

TEST_F(GoldenScreen, FirstPageInGerman) {
    put_numbered(25);
    open("", 2);
    run_editor();
    expect_matches("editor_page1.L02");
}

TEST_F(GoldenScreen, HelpOnAnEightyByTwentyFourTerminalInEnglish) {
    put_numbered(25);
    open("<Resize:24,80><F1>", 1);
    run_editor();
    expect_view_matches("editor_help_80x24.L01");
}

TEST_F(GoldenScreen, HelpOnAnEightyByTwentyFourTerminalInGerman) {
    put_numbered(25);
    open("<Resize:24,80><F1>", 2);
    run_editor();
    expect_view_matches("editor_help_80x24.L02");
}

}  // namespace
