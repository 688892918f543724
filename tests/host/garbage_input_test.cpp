// Arbitrary bytes in every text the host reads: menu and help files,
// host.conf, message catalogues, CSV, report files and viewer arguments are
// refused or read, never a crash or a read past a buffer (the sanitizers
// watch).
#include <gtest/gtest.h>

#include <random>

#include "csv.h"
#include "device_csv.h"
#include "host_config.h"
#include "hostlibs/help.h"
#include "hostlibs/menubar.h"
#include "message_catalogue.h"
#include "report_view.h"

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

}  // namespace
