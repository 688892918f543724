// German text in the one code page, end to end: UTF-8 CSV is stored one byte
// a character, shown, typed, journalled, printed and exported as the same
// UTF-8; what the page cannot hold is refused naming its line and column.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "device_csv.h"
#include "host_test_support.h"
#include "hostlibs/host_setup.h"
#include "report_view.h"

namespace {

using Outcome = hosttest::DevgroupOutcome;

TEST(CodePage, EveryCharacterOfThePageGoesToUtf8AndBackAsOneByte) {
    for (int byte = 0; byte < 256; ++byte) {
        if (!code_page::is_character(static_cast<unsigned char>(byte)))
            continue;
        const std::string one(1, static_cast<char>(byte));
        std::string back;
        code_page::Refusal refusal;
        ASSERT_TRUE(code_page::from_utf8(code_page::to_utf8(one), &back, &refusal)) << byte;
        EXPECT_EQ(back, one) << byte;
    }
    EXPECT_EQ(code_page::to_utf8("\xC4\xD6\xDC\xDF\xE4\xA4"), "ÄÖÜßä€");
    // The report file's control bytes are no letter of the page.
    for (int byte = 0x80; byte < 0xA0; ++byte)
        EXPECT_FALSE(code_page::is_character(static_cast<unsigned char>(byte))) << byte;
}

TEST(CodePage, ARefusalNamesTheLineTheColumnInCharactersAndTheCharacter) {
    std::string out = "old";
    code_page::Refusal refusal;
    EXPECT_FALSE(code_page::from_utf8("Größe\nÜ-1 Ő", &out, &refusal));
    EXPECT_EQ(out, "");
    EXPECT_EQ(refusal.line, 2);
    EXPECT_EQ(refusal.column, 5);
    EXPECT_EQ(refusal.reason, "'Ő' (U+0150) is not in the code page ISO-8859-15");

    EXPECT_FALSE(code_page::from_utf8("ab\xC3(", &out, &refusal));
    EXPECT_EQ(refusal.line, 1);
    EXPECT_EQ(refusal.column, 3);
    EXPECT_EQ(refusal.reason, "not UTF-8 (the byte 0xC3)");
}

TEST(CodePage, LettersOfThePageCompareIgnoringCase) {
    EXPECT_EQ(code_page::compare_ignoring_case("gr\xFCn \xFF\xE9", "GR\xDCN \xBE\xC9", 7), 0);
    EXPECT_NE(code_page::compare_ignoring_case("\xF7", "\xD7", 1), 0) << "÷ is no small ×";
    EXPECT_NE(code_page::compare_ignoring_case("\xDF", "S", 1), 0);
}

// Reports keep the page's letters for the viewer; control bytes show as '?'.
TEST(CodePage, TheReportViewerKeepsLettersAndMarksControlBytes) {
    const std::vector<hostapp::ReportPage> pages =
        hostapp::render_report("M\xFCll \xC4 \x9B\x07\x81\x82");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0], hostapp::ReportPage{"M\xFCll \xC4 ??"});
}

constexpr const char* kGerman =
    "key,instrument,status,group\r\n"
    "Ü-1,Druckmesser Ü-1 Größe,1,ÄÖÜßÄÖÜß\r\n";

// A root holding the one German device of kGerman, imported as UTF-8 CSV;
// ADAM (rights to save) signs on with "secret".
class GermanText : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root_.made()) << root_.error();
        PasswordRecord adam{};
        std::memset(adam.name, ' ', sizeof adam.name);
        std::memset(adam.password, ' ', sizeof adam.password);
        std::memcpy(adam.name, "ADAM", 4);
        std::memcpy(adam.password, "secret", 6);
        std::memcpy(adam.user_code, "AD01", 4);
        const uint8_t rights[4] = {0x00, 0x00, 0x00, 0x82};
        std::memcpy(adam.rights, rights, 4);
        adam.language = 1;
        std::string error;
        ASSERT_TRUE(hostlibs::open_host({root_.path(), "ADAM", 1, std::nullopt}, &error)) << error;
        int count = 0;
        const bool put = hostlibs::put_password(adam, &error) &&
                         hostapp::import_devices(kGerman, &count, &error);
        hostlibs::close_host();
        ASSERT_TRUE(put) << error;
    }
    Outcome run(const std::string& arguments) {
        return hosttest::run_devgroup(root_.path(), arguments, root_.file("stderr.txt"));
    }
    hosttest::TempRoot root_{false};
};

TEST_F(GermanText, ExportsShowsTypesSavesAndJournalsAsUtf8) {
    EXPECT_EQ(run("export devices").out, kGerman) << "byte for byte as it came";

    // Eight letters fill the 8-character field; the screen prints as UTF-8.
    const Outcome shown = run("--now 1700000000 --lang 2 --keys ''");
    ASSERT_EQ(shown.exit_code, 0) << shown.err;
    EXPECT_NE(shown.out.find("|  ÄÖÜßÄÖÜß   Druckmesser Ü-1 Größe     "), std::string::npos)
        << shown.out;
    EXPECT_NE(shown.out.find("Gerätegruppen"), std::string::npos) << "German assets with umlauts";

    // Typed in a key script (UTF-8), letters beyond ASCII alone, saved,
    // journalled and exported as UTF-8;
    // Enter on the password accepts the prompt.
    const Outcome typed = run("--now 1700000000 --keys 'äöüß<F2>ADAM<Tab>secret<Enter>y<Enter>'");
    ASSERT_EQ(typed.exit_code, 0) << typed.err;
    EXPECT_NE(run("export devices").out.find("Druckmesser Ü-1 Größe,1,äöüß\r\n"),
              std::string::npos);
    const Outcome history = run("history --key Ü-1");
    ASSERT_EQ(history.exit_code, 0) << history.err;
    EXPECT_NE(history.out.find(" Ü-1 group: ÄÖÜßÄÖÜß -> äöüß"), std::string::npos) << history.out;
}

TEST_F(GermanText, ACharacterOutsideThePageRefusesTheFileAndChangesNothing) {
    hosttest::write_file(root_.file("bad.csv"),
                         "key,instrument,status,group\r\n"
                         "K1,Manometer,1,A\r\n"
                         "K2,Größe Ő-Meter,1,B\r\n");
    const Outcome refused = run("import devices " + root_.file("bad.csv"));
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("bad.csv: line 3, column 10: 'Ő' (U+0150) is not in the code page "
                               "ISO-8859-15; nothing was changed"),
              std::string::npos)
        << refused.err;

    // A C1 control written raw would be a report's line end: refused too.
    hosttest::write_file(root_.file("c1.csv"),
                         "key,instrument,status,group\r\nK3,A\u0081B,1,C\r\n");
    const Outcome control = run("import devices " + root_.file("c1.csv"));
    EXPECT_EQ(control.exit_code, 1);
    EXPECT_NE(control.err.find("line 2: the instrument holds the control byte \\x81"),
              std::string::npos)
        << control.err;
    EXPECT_EQ(run("export devices").out, kGerman);
}

// A report's letters reach `report` and its PDF as UTF-8, and a long line of
// them wraps between characters (an odd byte count before them, so that a
// wrap by bytes would split one).
TEST_F(GermanText, ReportsPrintTheLettersAsUtf8) {
    const std::string umlauts(120, '\xE4');
    hosttest::write_file(root_.file("R.LST"),
                         "Ger\xE4tegruppe \xC4\xD6\xDC\xDF\x81x" + umlauts + "\x81\x82");
    const Outcome text = run("report " + root_.file("R.LST"));
    ASSERT_EQ(text.exit_code, 0) << text.err;
    EXPECT_EQ(text.out, "Gerätegruppe ÄÖÜß\nx" + code_page::to_utf8(umlauts) + "\n");

    const Outcome pdf = run("report " + root_.file("R.LST") + " --pdf " + root_.file("R.pdf"));
    ASSERT_EQ(pdf.exit_code, 0) << pdf.err;
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    ASSERT_EQ(std::system(("pdftotext -enc UTF-8 '" + root_.file("R.pdf") + "' '" +
                           root_.file("R.txt") + "'")
                              .c_str()),
              0);
    const std::string drawn = hosttest::read_file(root_.file("R.txt"));
    EXPECT_NE(drawn.find("Gerätegruppe ÄÖÜß"), std::string::npos) << drawn;
    size_t count = 0;
    for (size_t at = drawn.find("ä"); at != std::string::npos; at = drawn.find("ä", at + 1))
        ++count;
    EXPECT_EQ(count, umlauts.size() + 1) << drawn;
}

}  // namespace
