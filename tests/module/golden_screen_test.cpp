// Whole-screen snapshots of the editor's first page, text and colour of
// every cell, in English and German, compared exactly with the files under
// tests/module/golden/. DEVGROUP_UPDATE_GOLDEN=1 writes the files anew.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "scenario_support.h"

namespace {

// The screen as a text file: each row between bars, then each row's
// attribute bytes in hexadecimal.
std::string snapshot(const ScreenPicture& picture) {
    std::string text = "# text\n";
    for (const std::string& row : picture.rows)
        text += "|" + row + "|\n";
    text += "# colours\n";
    for (const std::vector<uint8_t>& row : picture.attributes) {
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
        const std::string actual = snapshot(editor_picture);
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

}  // namespace
