// Key names and key scripts.
#include <chrono>

#include "screen_test_support.h"

namespace {

TEST(KeyScript, NamesGiveThePcKeyCodes) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"Enter", KEY_ENTER},   {"Esc", KEY_ESCAPE},
        {"Tab", KEY_TAB},       {"S-Tab", KEY_SHIFT_TAB},
        {"Up", KEY_UP},         {"Down", KEY_DOWN},
        {"Left", KEY_LEFT},     {"Right", KEY_RIGHT},
        {"PgUp", KEY_PAGE_UP},  {"PgDn", KEY_PAGE_DOWN},
        {"Home", KEY_HOME},     {"End", KEY_END},
        {"Ins", KEY_INSERT},    {"Del", KEY_DELETE},
        {"BS", KEY_BACKSPACE},  {"F1", KEY_F1},
        {"F10", KEY_F10},       {"A-p", 0x1900},
        {"A-F", 0x2100},        {"C-x", 0x2D18},
        {"a", 0x1E61},          {"A", 0x1E41},
        {"1", 0x0231},          {" ", 0x3920},
        {"lt", 0x333C},         {"enter", KEY_ENTER},
        {"Accept", KEY_ACCEPT},
    };
    for (const auto& [name, code] : cases)
        EXPECT_EQ(screenlib::parse_key(name), code) << name;
    EXPECT_EQ(screenlib::parse_key("F11"), -1);
    EXPECT_EQ(screenlib::parse_key(""), -1);
    EXPECT_EQ(screenlib::parse_key("\x01"), -1);
}

// A script is UTF-8: a character of the code page is typed as its byte; one
// the page lacks, or bytes that are not UTF-8, refuse the script.
TEST(KeyScript, CharactersBeyondAsciiAreTheirCodePageBytes) {
    std::vector<int> keys;
    std::string error;
    ASSERT_TRUE(screenlib::parse_key_script("Ä<Enter>ß€", &keys, &error)) << error;
    EXPECT_EQ(keys, (std::vector<int>{0xC4, KEY_ENTER, 0xDF, 0xA4}));
    EXPECT_EQ(screenlib::key_name(0xE4), "ä");
    EXPECT_EQ(screenlib::parse_key("ö"), 0xF6);

    EXPECT_FALSE(screenlib::parse_key_script("aŐ", &keys, &error));
    EXPECT_EQ(error, "character 'Ő' (U+0150) is not in the code page ISO-8859-15");
    EXPECT_FALSE(screenlib::parse_key_script("a\xC4 b", &keys, &error));
    EXPECT_EQ(error, "byte 0xC4 is not UTF-8; a key script is UTF-8 text");
    EXPECT_FALSE(screenlib::parse_key_script("\xC2\x85", &keys, &error)) << "a C1 control";
}

TEST(KeyScript, ScriptsMixLiteralsAndNames) {
    std::vector<int> keys;
    std::string error;
    ASSERT_TRUE(screenlib::parse_key_script("ab<Enter><lt>x<F10><A-p><Click:3,7><Wait:600000>",
                                            &keys, &error))
        << error;
    EXPECT_EQ(keys,
              (std::vector<int>{0x1E61, 0x3062, KEY_ENTER, 0x333C, 0x2D78, KEY_F10, 0x1900,
                                screenlib::mouse_click_key(3, 7), screenlib::wait_key(600000)}));
    for (int key : keys) {
        std::vector<int> again;
        ASSERT_TRUE(screenlib::parse_key_script(screenlib::key_name(key), &again, &error)) << error;
        EXPECT_EQ(again, std::vector<int>{key});
    }
    EXPECT_EQ(key_char(KEY_ENTER), 0x0D);
    EXPECT_EQ(key_char(KEY_F10), 0);
}

TEST(KeyScript, UnknownNamesAreRefusedWithAClearMessage) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ab<Entr>c", "unknown key name '<Entr>' in key script"},
        {"<F11>", "unknown key name '<F11>' in key script"},
        {"x<Enter", "unterminated key name '<Enter' in key script"},
        {"a\tb", "character 0x09 cannot stand in a key script; name the key"},
        {"<Click:3>", "unknown key name '<Click:3>' in key script"},
        {"<Wait:600001>", "unknown key name '<Wait:600001>' in key script"},
        {"<Wait:>", "unknown key name '<Wait:>' in key script"},
        {"<Wait:-1>", "unknown key name '<Wait:-1>' in key script"},
        // Long scripts are refused whole and quoted only in part.
        {std::string(screenlib::kMaxKeyScriptBytes + 1, 'a'), "key script longer than 1 MiB"},
        {"<" + std::string(5000, 'x'),
         "unterminated key name '<" + std::string(39, 'x') + "...' in key script"},
    };
    for (const auto& [script, message] : cases) {
        std::vector<int> keys = {1};
        std::string error;
        EXPECT_FALSE(screenlib::parse_key_script(script, &keys, &error)) << script;
        EXPECT_EQ(error, message);
        EXPECT_EQ(keys, std::vector<int>{1});  // untouched on failure
    }
    screenlib::HeadlessBackend& backend = screenlib::use_headless();
    std::string error;
    backend.push_keys({KEY_ENTER});
    EXPECT_FALSE(backend.set_script("<Nope>", &error));
    EXPECT_EQ(error, "unknown key name '<Nope>' in key script");
    EXPECT_TRUE(backend.script_exhausted());  // a refused script leaves no keys
    EXPECT_EQ(backend.read_key(), -1);
    screenlib::shutdown();
}

// A script's pause lets time pass with the idle handler running, and is
// no key of its own.
TEST(KeyScript, WaitsRunTheIdleHandlerAndGiveNoKey) {
    screenlib::HeadlessBackend& backend = screenlib::use_headless();
    int runs = 0;
    screenlib::set_idle_handler([&runs] { ++runs; }, 10);
    std::string error;
    ASSERT_TRUE(backend.set_script("<Wait:100>a", &error)) << error;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(backend.read_key(), 0x1E61);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(100));
    EXPECT_GE(runs, 5);
    // The handler goes with the library's state.
    const int before_shutdown = runs;
    screenlib::shutdown();
    screenlib::HeadlessBackend& again = screenlib::use_headless();
    ASSERT_TRUE(again.set_script("<Wait:20>", &error)) << error;
    EXPECT_EQ(again.read_key(), -1);
    EXPECT_EQ(runs, before_shutdown);
    screenlib::shutdown();
}

TEST(KeyScript, ShutdownResetsTheLibrary) {
    screenlib::HeadlessBackend& backend = screenlib::use_headless(10, 20);
    sound_tone(440, 10);
    EXPECT_EQ(backend.tones(), std::vector<int>{440});
    Menu* menu = menu_open();
    Screen* screen = menu_screen(menu);
    ASSERT_NE(screen, nullptr);
    screenlib::shutdown();
    EXPECT_EQ(screenlib::backend(), nullptr);
    // Handles of the old library state are dead: calls on them do nothing.
    EXPECT_EQ(screen_field_count(screen), 0);
    EXPECT_EQ(screen_run(screen), 0);
    EXPECT_EQ(field_std_exit(screen), 1);
    EXPECT_EQ(menu_field_key(screen, KEY_ENTER), 0);
    EXPECT_EQ(field_std_exit(nullptr), 1);
    EXPECT_EQ(menu_field_key(nullptr, KEY_ENTER), 0);
    screen_close(screen);
    sound_tone(1, 1);
    EXPECT_EQ(mouse_present(), 0);
}

}  // namespace

namespace {

// Every script either parses or is refused with a message; none crashes.
TEST(KeyScript, ArbitraryTextParsesOrIsRefused) {
    unsigned seed = 7;
    const std::string alphabet = "<>-AaCcSFf019:,TabEnterlt\x01\x7F\xFF ";
    for (int round = 0; round < 2000; ++round) {
        std::string script;
        const int length = static_cast<int>(seed % 12);
        for (int i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            script += alphabet[(seed >> 16) % alphabet.size()];
        }
        seed = seed * 1103515245u + 12345u;
        std::vector<int> keys;
        std::string error;
        if (screenlib::parse_key_script(script, &keys, &error)) {
            EXPECT_TRUE(error.empty());
            for (int key : keys)
                EXPECT_GE(key, 0) << script;
        } else {
            EXPECT_FALSE(error.empty()) << script;
        }
    }
}

}  // namespace
