// Arbitrary bytes in every text the host reads: menu and help files,
// host.conf, message catalogues, CSV, report files and viewer arguments are
// refused or read, never a crash or a read past a buffer (the sanitizers
// watch).
#include <gtest/gtest.h>

#include <random>

#include "builtin/report_view.h"
#include "hostlibs/help.h"
#include "hostlibs/menubar.h"
#include "root/csv.h"
#include "root/device_csv.h"
#include "root/host_config.h"
#include "session/message_catalogue.h"

namespace {

// Texts made of the characters the formats care about, and of any byte.
std::string garbage(std::mt19937& random) {
    static const std::string alphabet =
        "~<>[],\"=# \n\r\t0123456789abcFmenuitemkeyseparator\x81\x82\x85";
    std::uniform_int_distribution<int> length(0, 200);
    std::uniform_int_distribution<int> any_byte(0, 255);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::string text;
    const int n = length(random);
    for (int i = 0; i < n; ++i) {
        text.push_back(random() % 4 == 0 ? static_cast<char>(any_byte(random))
                                         : alphabet[pick(random)]);
    }
    return text;
}

TEST(GarbageInput, EveryReaderRefusesOrReadsWithoutHarm) {
    std::mt19937 random(20240607);
    const std::vector<std::string> prefixes = {"",
                                               "menu ~File\nitem ~Save <F2> 2\n",
                                               "[1101] Title\n",
                                               "user = A A 1 1 0\n",
                                               "key,instrument,status,group\n",
                                               "0000002A 4 "};
    for (int round = 0; round < 3000; ++round) {
        const std::string text =
            prefixes[static_cast<size_t>(round) % prefixes.size()] + garbage(random);
        std::string error;
        hostlibs::MenuFile menu;
        if (hostlibs::parse_menu(text, &menu, &error)) {
            for (const hostlibs::MenuPullDown& pull : menu.menus) {
                EXPECT_FALSE(pull.items.empty());
                EXPECT_LE(pull.title.size(), static_cast<size_t>(hostlibs::MENU_MAX_TEXT));
            }
        } else {
            EXPECT_FALSE(error.empty());
        }
        hostlibs::HelpFile help;
        hostlibs::parse_help(text, &help, &error);
        hostapp::HostConfig config;
        hostapp::parse_host_config(text, &config, &error);
        hostapp::MessageCatalogue::parse(text);
        std::vector<hostapp::CsvRow> rows;
        hostapp::parse_csv(text, &rows, &error);
        std::vector<DeviceRecord> records;
        hostapp::parse_devices(text, &records, &error);
        for (const hostapp::ReportPage& page : hostapp::render_report(text)) {
            for (const std::string& line : page) {
                EXPECT_EQ(line.find('\x81'), std::string::npos);
            }
        }
        hostapp::ViewerArguments arguments;
        hostapp::parse_viewer_arguments(text, &arguments, &error);
    }
}

// One bad input of one reader: the line its error must name and a part of
// the reason.
struct BadInput {
    const char* text;
    const char* error_start;  // "line N: ..." or the whole-file reason
    const char* reason_part;
};

template <typename Parse>
void expect_refused(const std::vector<BadInput>& cases, Parse parse) {
    for (const BadInput& bad : cases) {
        std::string error;
        bool loaded_nothing = false;
        EXPECT_FALSE(parse(bad.text, &error, &loaded_nothing)) << bad.text;
        EXPECT_TRUE(loaded_nothing) << bad.text;
        EXPECT_EQ(error.rfind(bad.error_start, 0), 0u) << bad.text << " -> " << error;
        EXPECT_NE(error.find(bad.reason_part), std::string::npos) << bad.text << " -> " << error;
    }
}

TEST(GarbageInput, MenuFilesAreRefusedNamingTheLine) {
    expect_refused(
        {{"menu ~File\nitem ~Save <F2>\n", "line 2: ", "command number"},
         {"item ~Save <F2> 2\n", "line 1: ", "before the first menu"},
         {"menu ~File\nitem ~Save <Nope> 2\n", "line 2: ", "unknown key"},
         {"menu ~File\nitem ~Save <F2> 2\nitem ~Load <F2> 3\n", "line 3: ", "key given twice"},
         {"menu File~\nitem ~Save 2\n", "line 1: ", "'~'"},
         {"bogus\n", "line 1: ", "unknown directive"},
         {"menu ~File\n", "menu 'File' has no entries", "no entries"},
         {"", "no menus and no keys", "no menus"}},
        [](const char* text, std::string* error, bool* nothing) {
            hostlibs::MenuFile menu;
            const bool ok = hostlibs::parse_menu(text, &menu, error);
            *nothing = menu.menus.empty();
            return ok;
        });
}

TEST(GarbageInput, HelpFilesAreRefusedNamingTheLine) {
    expect_refused({{"text first\n[1101] Title\n", "line 1: ", "before the first topic"},
                    {"[1101 Title\nx\n", "line 1: ", "closing ']'"},
                    {"[1101] A\nx\n[1101] B\ny\n", "line 3: ", "given twice"},
                    {"[] Title\nx\n", "line 1: ", "context number"}},
                   [](const char* text, std::string* error, bool* nothing) {
                       hostlibs::HelpFile help;
                       const bool ok = hostlibs::parse_help(text, &help, error);
                       *nothing = help.topics.empty();
                       return ok;
                   });
}

TEST(GarbageInput, HostConfigurationsAreRefusedNamingTheLine) {
    expect_refused(
        {{"user = A A 1 1 0\nnonsense\n", "host.conf line 2: ", "KEY = VALUE"},
         {"user = A A 1 1 0\ncolour = 1\n", "host.conf line 2: ", "unknown key"},
         {"user = A A 1 1 0\nfallback_language = 100\n", "host.conf line 2: ", "1 to 99"},
         {"user = A A 1 1 0\nuser = a B 2 1 0\n", "host.conf line 2: ", "twice"},
         {"user = A A 1 1 0\ntones = 1 2 3\n", "host.conf line 2: ", "tones"},
         {"fallback_language = 2\n", "host.conf names no user", "no user"}},
        [](const char* text, std::string* error, bool* nothing) {
            hostapp::HostConfig config;
            const bool ok = hostapp::parse_host_config(text, &config, error);
            *nothing = config.users.empty() && config.fallback_language == 1;
            return ok;
        });
}

TEST(GarbageInput, CsvAndDeviceFilesAreRefusedNamingTheLine) {
    expect_refused({{"a,b\n\"open,c\n", "line 2: ", "unterminated quote"},
                    {"a,\"b\"x\n", "line 1: ", "after a closing quote"}},
                   [](const char* text, std::string* error, bool* nothing) {
                       std::vector<hostapp::CsvRow> rows;
                       const bool ok = hostapp::parse_csv(text, &rows, error);
                       *nothing = rows.empty();
                       return ok;
                   });
    expect_refused(
        {{"key,name\n", "line 1: ", "header"},
         {"key,instrument,status,group\nK1,Scale,1,G\nK1,Scale,1,G\n", "line 3: ", "K1"}},
        [](const char* text, std::string* error, bool* nothing) {
            std::vector<DeviceRecord> records;
            const bool ok = hostapp::parse_devices(text, &records, error);
            *nothing = records.empty();
            return ok;
        });
}

}  // namespace
