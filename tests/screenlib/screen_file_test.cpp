// Reading screen files: names resolved through the table, and every kind of
// broken file failing cleanly with file, line and name.
#include "screen_test_support.h"

namespace {

int count_key_calls = 0;
int counting_keys(Screen*, int) {
    ++count_key_calls;
    return 0;
}

const FieldFunctions kMyStringFuncs = {string_field_entry, field_std_exit, field_std_key,
                                       string_field_fill,  nullptr,        STRING_FIELD_SET_ID};

const ScreenFunctionEntry* table() {
    static FunctionTable table;
    static const ScreenFunctionEntry* entries =
        table.add(0, "my_string_funcs", nullptr, &kMyStringFuncs)
            .add(2, "counting_keys", any_function(counting_keys), nullptr)
            .get();
    return entries;
}

const char* const kGoodFile =
    "# two screens\n"
    "screen main\n"
    "window sedwin_Class\n"
    "border bd_1\n"
    "keys counting_keys\n"
    "at 3 5   # below the bar\n"
    "   # an indented comment\n"
    "colors 1F 70 1E 1B\n"
    "picture\n"
    "|Name: ______  a\\_b ___|\n"
    "|Code: ____            |\n"
    "end\n"
    "field 0 string my_string_funcs text \"A much too long text\"\n"
    "field 1 string - display text \"x\\\"y\"\n"
    "field 2 choice - value 7 text \"OK\"\n"
    "end screen\n"
    "\n"
    "screen other\n"
    "picture\n"
    "|plain|\n"
    "end\n"
    "end screen\n";

class ScreenFileTest : public ScreenTest {};

TEST_F(ScreenFileTest, LoadsScreensWithFieldsAsPainted) {
    ScreenFile* file = screenfile_open(write_file("GOOD.L01", kGoodFile).c_str(), table());
    ASSERT_NE(file, nullptr) << (diagnostics_.empty() ? "" : diagnostics_[0]);
    Screen* screen = screenfile_load(file, "main", 0);
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(screen_field_count(screen), 3);
    EXPECT_EQ(field_length(screen, 0), 6);
    EXPECT_EQ(field_length(screen, 1), 3);
    EXPECT_EQ(field_length(screen, 2), 4);
    EXPECT_STREQ(field_text(screen, 0), "A much");  // cut to the field
    EXPECT_STREQ(field_text(screen, 1), "x\"y");
    screen_paint(screen);
    EXPECT_EQ(row(3), "     +----------------------+");
    EXPECT_EQ(row(4), "     |Name: A much  a_b x\"y |");
    EXPECT_EQ(row(5), "     |Code: OK              |");
    EXPECT_EQ(screen_->attribute(4, 6), 0x1F);   // window text
    EXPECT_EQ(screen_->attribute(4, 12), 0x70);  // a field
    EXPECT_EQ(screen_->attribute(3, 5), 0x1B);   // border
    EXPECT_NE(screenfile_load(file, "other", 1), nullptr);
    screen_close(screen);
    screenfile_close(file);
    EXPECT_TRUE(diagnostics_.empty());
}

TEST_F(ScreenFileTest, MisspeltFieldSetFailsNamingFileLineAndName) {
    std::string text = kGoodFile;
    text.replace(text.find("my_string_funcs"), 15, "my_strng_funcs");
    const std::string path = write_file("TYPO.L01", text);
    EXPECT_EQ(screenfile_open(path.c_str(), table()), nullptr);
    ASSERT_EQ(diagnostics_.size(), 1u);
    EXPECT_EQ(diagnostics_[0], path + ":13: unknown field-function set 'my_strng_funcs'");
}

TEST_F(ScreenFileTest, MissingScreenGivesNullAndSaysSo) {
    const std::string path = write_file("GOOD.L01", kGoodFile);
    ScreenFile* file = screenfile_open(path.c_str(), table());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(screenfile_load(file, "popup", 1), nullptr);
    ASSERT_EQ(diagnostics_.size(), 1u);
    EXPECT_NE(diagnostics_[0].find("no screen 'popup'"), std::string::npos);
    screenfile_close(file);
    EXPECT_EQ(screenfile_load(file, "main", 0), nullptr);  // a closed file is no file
}

struct BrokenCase {
    const char* what;
    std::string text;
    std::string expected;  // the diagnostic after "PATH:"
};

TEST_F(ScreenFileTest, BrokenFilesFailCleanly) {
    const std::string head = "screen s\nborder bd_1\npicture\n|ab __ cd|\nend\n";
    const std::vector<BrokenCase> cases = {
        {"name in the wrong section", "screen s\nkeys bd_1\npicture\n|x|\nend\nend screen\n",
         "2: unknown key handler 'bd_1'"},
        {"unknown window class", "screen s\nwindow sedwin_class\npicture\n|x|\nend\nend screen\n",
         "2: unknown window class 'sedwin_class'"},
        {"unknown border", "screen s\nborder bd_2\npicture\n|x|\nend\nend screen\n",
         "2: unknown border 'bd_2'"},
        {"over-long line", "screen s\n" + std::string(5000, 'x') + "\n",
         "2: line longer than 1024 characters"},
        {"picture wider than the screen",
         "screen s\npicture\n|" + std::string(81, ' ') + "|\nend\nend screen\n",
         "3: picture line wider than the screen in screen 's'"},
        {"window past the screen",
         "screen s\nborder bd_1\nat 24 0\npicture\n|x|\nend\nend screen\n",
         "7: window goes past the 80x25 screen in screen 's'"},
        {"bad number", "screen s\nat x 3\n", "2: bad number 'x'"},
        {"number out of range", "screen s\nat 3 99\n", "2: number out of range '99'"},
        {"bad colour", "screen s\ncolors 1F 70 GG 1B\n", "2: bad colour byte 'GG'"},
        {"field line count mismatch", head + "end screen\n",
         "6: the picture has 1 fields but there are 0 field lines in screen 's'"},
        {"too many field lines", head + "field 0 string -\nfield 1 string -\n",
         "7: more field lines than fields in the picture of screen 's'"},
        {"field out of order", head + "field 3 string -\n",
         "6: field line out of order, expected field 0 '3'"},
        {"unknown kind", head + "field 0 number -\n", "6: unknown field kind 'number'"},
        {"unterminated screen", head + "field 0 string -\n", "1: unterminated screen 's'"},
        {"unterminated picture", "screen s\npicture\n|x|\n",
         "3: unterminated picture in screen 's'"},
        {"unframed picture line", "screen s\npicture\n|x\nend\n",
         "3: picture line not framed by '|' in screen 's'"},
        {"unterminated quote", head + "field 0 string - text \"abc\n",
         "6: unterminated quoted text"},
        {"second screen of one name", "screen s\npicture\n|x|\nend\nend screen\nscreen s\n",
         "6: second screen named 's'"},
        {"stray word", "picture\n", "1: expected 'screen NAME' 'picture'"},
        {"field before picture", "screen s\nfield 0 string -\n",
         "2: field line before the picture of screen 's'"},
    };
    for (const BrokenCase& broken : cases) {
        diagnostics_.clear();
        const std::string path = write_file("BROKEN.L01", broken.text);
        EXPECT_EQ(screenfile_open(path.c_str(), table()), nullptr) << broken.what;
        ASSERT_EQ(diagnostics_.size(), 1u) << broken.what;
        EXPECT_EQ(diagnostics_[0], path + ":" + broken.expected) << broken.what;
    }
}

TEST_F(ScreenFileTest, MissingFileAndNullArgumentsFailCleanly) {
    // A missing file is the caller's to tell of (it may try another language).
    EXPECT_EQ(screenfile_open((folder_ / "NONE.L01").c_str(), table()), nullptr);
    EXPECT_TRUE(diagnostics_.empty());
    // A folder opens as a stream but cannot be read: no file, not a file without screens.
    EXPECT_EQ(screenfile_open(folder_.c_str(), table()), nullptr);
    ASSERT_EQ(diagnostics_.size(), 1u);
    EXPECT_EQ(diagnostics_[0],
              folder_.string() + ":0: cannot read the screen file: Is a directory");
    EXPECT_EQ(screenfile_open(nullptr, table()), nullptr);
    EXPECT_EQ(screenfile_open(write_file("GOOD.L01", kGoodFile).c_str(), nullptr), nullptr);
    screenfile_close(nullptr);
}

TEST_F(ScreenFileTest, StandInsReplaceUnknownNames) {
    std::vector<std::string> stand_ins;
    ScreenFile* file = screenlib::open_screen_file_with_stand_ins(
        write_file("GOOD.L01", kGoodFile).c_str(), nullptr, &stand_ins);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(stand_ins, (std::vector<std::string>{"window class 'sedwin_Class'", "border 'bd_1'",
                                                   "key handler 'counting_keys'",
                                                   "field-function set 'my_string_funcs'"}));
    Screen* screen = screenfile_load(file, "main", 0);
    ASSERT_NE(screen, nullptr);
    keys("<Ins>ab<Esc>");
    EXPECT_EQ(screen_run(screen), 0);
    EXPECT_STREQ(field_text(screen, 0), "abmuch");
}

}  // namespace

namespace {

// Cut and scrambled copies of a good file either fail with a diagnostic or
// give screens that paint and run; none may crash or write out of bounds.
TEST_F(ScreenFileTest, MangledFilesNeverCrash) {
    const std::string good = kGoodFile;
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int round = 0; round < 300; ++round) {
        std::string text = good;
        const int changes = 1 + static_cast<int>(next() % 4);
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = next() % text.size();
            switch (next() % 4) {
                case 0:
                    text.resize(at);
                    break;
                case 1:
                    text[at] = static_cast<char>(next() & 0xFF);
                    break;
                case 2:
                    text.insert(at, std::string(1 + next() % 90, "_|\"\\ 9#"[next() % 7]));
                    break;
                default:
                    text.erase(at, 1 + next() % 20);
                    break;
            }
            if (text.empty())
                text = "x";
        }
        diagnostics_.clear();
        ScreenFile* file = screenfile_open(write_file("MANGLED.L01", text).c_str(), table());
        if (!file) {
            EXPECT_EQ(diagnostics_.size(), 1u) << text;
            continue;
        }
        for (const char* name : {"main", "other"}) {
            Screen* screen = screenfile_load(file, name, 0);
            if (!screen)
                continue;
            screen_paint(screen);
            keys("ab<Tab><BS><Del><Left>x<S-Tab><Enter><Esc>");
            screen_run(screen);
            screen_close(screen);
        }
        screenfile_close(file);
        EXPECT_EQ(screen_->text(), std::string(24, '\n')) << text;
    }
}

}  // namespace
