// Data roots: what create_root lays down, the demo data set, host.conf and
// the message catalogues.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "csv.h"
#include "host_config.h"
#include "host_test_support.h"
#include "hostlibs/host_setup.h"
#include "message_catalogue.h"
#include "platform/byte_fields.h"
#include "temp_folder.h"

namespace {

using hosttest::TempRoot;

class OpenRoot {
  public:
    explicit OpenRoot(const std::string& root) {
        std::string error;
        open_ = hostlibs::open_host({root, "ADAM", 1, std::nullopt}, &error);
    }
    ~OpenRoot() { hostlibs::close_host(); }
    bool open() const { return open_; }

  private:
    bool open_ = false;
};

TEST(DataRoot, LaysDownTheAssetsAndTheHeaderTemplate) {
    TempRoot root(false);
    ASSERT_TRUE(root.made()) << root.error();
    for (const char* file :
         {"host.conf", "MESSAGES.L01", "MESSAGES.L02", "DLLS/CONNECT/FAXLNK_.DLL",
          "DLLS/XFER/RAWLINE.DLL", "USER/DEVGROUP/TOOLBANK", "DATA/devices.db", "DATA/settings.db",
          "DATA/passwords.db"}) {
        EXPECT_TRUE(std::filesystem::exists(root.file(file))) << file;
    }
    EXPECT_TRUE(std::filesystem::is_directory(root.file("DATA/TEMP")));
    const std::string header = hosttest::read_file(root.file("DATA/rephead.dat"));
    ASSERT_EQ(header.size(), 642u);
    EXPECT_EQ(header[0], 3);
    EXPECT_EQ(header.substr(2 + 80, 80),
              "                    DEVGROUP INSTRUMENT REGISTRY" + std::string(32, ' '));
    EXPECT_EQ(header.substr(2 + 3 * 80), std::string(5 * 80, ' '));

    OpenRoot open(root.path());
    ASSERT_TRUE(open.open());
    int devices = 0;
    std::string error;
    hostlibs::for_each_device([&](const DeviceRecord&) { return ++devices, true; }, &error);
    EXPECT_EQ(devices, 0) << "without demo data the files are empty";
    EXPECT_TRUE(hostlibs::list_sites().empty());
}

TEST(DataRoot, DemoDataSetHasWhatTheEditorNeeds) {
    TempRoot root;
    ASSERT_TRUE(root.made()) << root.error();
    OpenRoot open(root.path());
    ASSERT_TRUE(open.open());
    std::string error;
    int shown = 0;
    int hidden = 0;
    int blank_groups = 0;
    hostlibs::for_each_device(
        [&](const DeviceRecord& record) {
            const bool visible = (record.status & 1) != 0 && (record.status & 2) == 0;
            (visible ? shown : hidden) += 1;
            blank_groups += std::string(record.group, 8) == std::string(8, ' ') ? 1 : 0;
            return true;
        },
        &error);
    EXPECT_EQ(shown, 60) << "three pages of twenty";
    EXPECT_GE(hidden, 4);
    EXPECT_GE(blank_groups, 5);

    std::set<int> classes;
    int viewers = 0;
    int hidden_sites = 0;
    for (const hostlibs::SiteInfo& site : hostlibs::list_sites()) {
        classes.insert(site.site_class);
        viewers += site.device_type == 7 ? 1 : 0;
        hidden_sites += (site.flags & 0x20000) != 0 ? 1 : 0;
    }
    EXPECT_EQ(classes, (std::set<int>{3, 4, 5}));
    EXPECT_EQ(viewers, 1);
    EXPECT_GE(hidden_sites, 1);

    std::set<std::string> keys;
    hostlibs::for_each_setting(
        [&](const SettingRecord& record) {
            std::string key(record.key, 40);
            key.erase(key.find_last_not_of(' ') + 1);
            keys.insert(key + "=" + record.value);
            return true;
        },
        &error);
    EXPECT_EQ(keys,
              (std::set<std::string>{"default_site:=1", "default_site: 1=2", "default_screen:=A"}));

    std::set<uint32_t> rights;
    std::set<int> languages;
    hostlibs::for_each_password(
        [&](const PasswordRecord& record) {
            rights.insert(load_u32(record.rights));
            languages.insert(record.language);
            return true;
        },
        &error);
    EXPECT_TRUE(rights.count(0x82000000) && rights.count(0) && rights.count(0x2000000) &&
                rights.count(0x80000000));
    EXPECT_EQ(languages, (std::set<int>{1, 2}));
}

int demo_device_count(const std::string& root) {
    OpenRoot open(root);
    int devices = 0;
    std::string error;
    hostlibs::for_each_device([&](const DeviceRecord&) { return ++devices, true; }, &error);
    return devices;
}

hostapp::RootStep g_kill_at;

// A making killed at any step leaves nothing that passes for a root under the
// root's name; the next run makes it whole. Killed after the rename, the root
// stands whole.
TEST(DataRoot, MakingKilledAtAnyStepLeavesNoRootThatIsTaken) {
    using hostapp::RootStep;
    for (const RootStep step :
         {RootStep::kFilesLaid, RootStep::kDataLoaded, RootStep::kMarked, RootStep::kPlaced}) {
        SCOPED_TRACE(static_cast<int>(step));
        TempFolder parent("devgroup-making-");
        const std::string root = parent.file("root");
        g_kill_at = step;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            hostapp::set_root_step_hook([](RootStep reached) {
                if (reached == g_kill_at) {
                    raise(SIGKILL);
                }
            });
            hostapp::create_root(root, true, nullptr);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
        const bool placed = step == RootStep::kPlaced;
        EXPECT_EQ(hostapp::root_exists(root), placed);
        EXPECT_EQ(std::filesystem::exists(root + "/host.conf"), placed);
        // The next making clears away what the killed one left beside the root,
        // and leaves the folder of a making that still runs.
        const std::string running =
            parent.file(".devgroup-making-" + std::to_string(getpid()) + "-running");
        std::filesystem::create_directory(running);
        const std::string other = parent.file("other");
        std::string error;
        ASSERT_TRUE(hostapp::create_root(other, true, &error)) << error;
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(parent.path())) {
            left.push_back(entry.path().filename().string());
        }
        std::sort(left.begin(), left.end());
        EXPECT_EQ(
            left,
            (placed
                 ? std::vector<std::string>{running.substr(running.rfind('/') + 1), "other", "root"}
                 : std::vector<std::string>{running.substr(running.rfind('/') + 1), "other"}));
        ASSERT_TRUE(hostapp::create_root(root, true, &error)) << error;
        EXPECT_EQ(demo_device_count(root), 66);
    }
}

std::string g_race_root;
bool g_racing = false;
bool g_other_made = false;

// Of two makings of one root, the one whose rename comes second finds the
// root made by the other: `init` then says the root stood there already, and
// does not say it made it.
TEST(DataRoot, OnlyTheMakingThatPlacedTheRootSaysItMadeIt) {
    using hostapp::RootStep;
    TempFolder parent("devgroup-race-");
    g_race_root = parent.file("root");
    g_racing = false;
    g_other_made = false;
    // Just before this making renames its folder, another one makes the root.
    hostapp::set_root_step_hook([](RootStep reached) {
        if (reached == RootStep::kMarked && !g_racing) {
            g_racing = true;
            hostapp::create_root(g_race_root, false, nullptr, &g_other_made);
        }
    });
    std::string arguments[] = {"devgroup", "--root", g_race_root, "init"};
    char* argv[] = {arguments[0].data(), arguments[1].data(), arguments[2].data(),
                    arguments[3].data()};
    testing::internal::CaptureStderr();
    const int exit_code = hostapp::host_main(4, argv);
    const std::string said = testing::internal::GetCapturedStderr();
    hostapp::set_root_step_hook(nullptr);
    EXPECT_EQ(exit_code, 1) << said;
    EXPECT_TRUE(g_other_made);
    EXPECT_TRUE(hostapp::root_exists(g_race_root));
    EXPECT_EQ(said.find("made a data root"), std::string::npos) << said;
    EXPECT_NE(said.find("is a data root already"), std::string::npos) << said;
    EXPECT_EQ(demo_device_count(g_race_root), 0) << "the other making's root stands";

    // A making that places the root says so.
    testing::internal::CaptureStderr();
    arguments[2] = parent.file("second");
    argv[2] = arguments[2].data();
    EXPECT_EQ(hostapp::host_main(4, argv), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("made a data root"), std::string::npos);
}

// A root cut short by an older version (host.conf, no mark, no settings) is
// refused with the way to remove it; an older whole root is taken and marked.
TEST(DataRoot, UnmarkedRootsAreTakenOnlyWhenWhole) {
    TempRoot whole;
    ASSERT_TRUE(whole.made()) << whole.error();
    std::filesystem::remove(whole.file("root.complete"));
    EXPECT_EQ(hostapp::root_state(whole.path()), hostapp::RootState::kComplete);
    EXPECT_TRUE(std::filesystem::exists(whole.file("root.complete")));

    TempRoot cut_short(false);
    ASSERT_TRUE(cut_short.made()) << cut_short.error();
    std::filesystem::remove(cut_short.file("root.complete"));
    EXPECT_EQ(hostapp::root_state(cut_short.path()), hostapp::RootState::kIncomplete);
    std::string error;
    EXPECT_FALSE(hostapp::create_root(cut_short.path(), true, &error));
    EXPECT_NE(error.find("rm -r -- '" + cut_short.path() + "'"), std::string::npos) << error;
    hostapp::HostSession session;
    EXPECT_FALSE(session.open(hosttest::headless_options(cut_short.path(), ""), &error));
    EXPECT_NE(error.find("not a whole data root"), std::string::npos) << error;
}

TEST(DataRoot, DemoDataThatFailsToLoadLeavesNoConfiguration) {
    TempRoot assets(false);
    namespace fs = std::filesystem;
    const fs::path copy = fs::path(assets.path()) / "assets";
    fs::copy(hostapp::assets_dir(), copy, fs::copy_options::recursive);
    {
        std::ofstream devices(copy / "demo" / "devices.csv", std::ios::app);
        devices << "K0000001,Twice,1,\n";
    }
    setenv("DEVGROUP_ASSETS", copy.c_str(), 1);
    TempRoot root;
    unsetenv("DEVGROUP_ASSETS");
    EXPECT_FALSE(root.made());
    EXPECT_FALSE(fs::exists(root.file("host.conf"))) << "a half-filled root must not pass as made";
}

// Passwords and the journal are their owner's alone even under a permissive
// umask, and a root made by a version that left them readable is narrowed.
TEST(DataRoot, DataFolderAndFilesArePrivateWhateverTheUmask) {
    const mode_t saved = umask(0);
    hosttest::TempRoot root;
    umask(saved);
    ASSERT_TRUE(root.made()) << root.error();
    auto mode_of = [](const std::filesystem::path& path) {
        struct stat info {};
        EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
        return info.st_mode & 0777;
    };
    auto expect_private = [&] {
        EXPECT_EQ(mode_of(root.file("DATA")), 0700u);
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(root.file("DATA"))) {
            const std::string name = entry.path().filename().string();
            if (name.find(".db") != std::string::npos) {
                EXPECT_EQ(mode_of(entry.path()), 0600u) << name;
                ++files;
            }
        }
        EXPECT_GE(files, 4);
        for (const char* name : {"DATA/TEMP", "DATA/SPOOL"}) {
            EXPECT_EQ(mode_of(root.file(name)), 0700u) << name;
        }
        EXPECT_EQ(mode_of(root.file("DATA/rephead.dat")), 0600u);
    };
    expect_private();
    // host.conf names the module to load: only its owner may change it.
    EXPECT_EQ(mode_of(root.file("host.conf")) & 022, 0u);

    chmod(root.file("DATA").c_str(), 0755);
    chmod(root.file("DATA/passwords.db").c_str(), 0644);
    std::string error;
    ASSERT_TRUE(hostlibs::open_host({root.path(), "ADAM", 1, std::nullopt}, &error)) << error;
    hostlibs::close_host();
    expect_private();
}

TEST(DataRoot, RefusesWhileASessionIsOpen) {
    TempRoot root(false);
    ASSERT_TRUE(root.made());
    OpenRoot open(root.path());
    std::string error;
    EXPECT_FALSE(hostapp::create_root(root.file("other"), true, &error));
    EXPECT_NE(error.find("session is open"), std::string::npos);
}

TEST(HostConfig, ShippedConfigurationBuildsTheSettings) {
    hostapp::HostConfig config;
    std::string error;
    ASSERT_TRUE(hostapp::parse_host_config(
        hosttest::read_file(hostapp::assets_dir() + "/templates/host.conf"), &config, &error))
        << error;
    EXPECT_EQ(config.default_user, "ADAM");
    EXPECT_EQ(config.users.size(), 4u);
    EXPECT_EQ(config.hot_keys.size(), 3u);
    const HostSettings settings = hostapp::make_settings(config);
    EXPECT_EQ(settings.password_interval, 300u);
    EXPECT_EQ(load_i16(settings.first_tone), 880);
    EXPECT_EQ(std::string(settings.report_title, 20), "Instrument Registry ");
    EXPECT_EQ(load_i16(settings.fallback_language), 1);
    EXPECT_EQ(settings.field_colors[0], 0x4F);
    EXPECT_EQ(settings.field_colors[6], 0x1B);
}

TEST(HostConfig, RefusesBadLinesNamingThem) {
    const std::pair<const char*, const char*> cases[] = {
        {"user = A A 1 1 0\nfrob = 1\n", "host.conf line 2: unknown key 'frob'"},
        {"user = A A 1 1\n", "host.conf line 1: expected: user = NAME"},
        {"user = A A 1 0 0\n", "host.conf line 1: bad user"},
        {"user = A A 1 1 0\nuser = a B 2 1 0\n", "host.conf line 2: user a given twice"},
        {"user = A A 1 1 0\nscreen_colors = 1 2 3\n", "host.conf line 2: expected 4 colour"},
        {"user = A A 1 1 0\nfield_colors = 1 2 3 4 5 6 256\n", "host.conf line 2: '256' is not"},
        {"user = A A 1 1 0\nreport_title = "
         "123456789012345678901\n",
         "host.conf line 2: the report"},
        {"user = A A 1 1 0\nmodule_identity = USER DEVGROUP\n", "host.conf line 2: expected three"},
        {"user = A A 1 1 0\nhotkey = 20 USER X X\n", "host.conf line 2: expected: hotkey"},
        {"user = A A 1 1 0\nhotkey = 1 USER X X <Nope>\n", "host.conf line 2: unknown key <Nope>"},
        {"user = A A 1 1 0\ntones = 1 99999 1 1\n", "host.conf line 2: expected: tones"},
        {"user = A A 1 1 0\ndefault_user = B\n", "host.conf: default_user B is not a user"},
        {"# no users\n", "host.conf names no user"},
        {"user A A 1 1 0\n", "host.conf line 1: expected KEY = VALUE"},
        {"user = A (set-up) 1 1 0\n", "host.conf line 1: the user id (set-up) is the journal's"},
    };
    for (const auto& [text, reason] : cases) {
        hostapp::HostConfig config;
        std::string error;
        EXPECT_FALSE(hostapp::parse_host_config(text, &config, &error)) << text;
        EXPECT_EQ(error.rfind(reason, 0), 0u) << text << " gave: " << error;
    }
}

TEST(MessageCatalogue, BothLanguagesAnswerEveryMessageTheModuleShows) {
    // As a root holds them: in the code page, one byte a character.
    const hosttest::TempRoot root(false);
    ASSERT_TRUE(root.made()) << root.error();
    for (const char* language : {"L01", "L02"}) {
        const auto messages = hostapp::MessageCatalogue::parse(
            hosttest::read_file(root.file(std::string("MESSAGES.") + language)));
        for (int number : {1, 2, 4, 5, 6, 7, 8, 10, 11, 12}) {
            const auto found = messages.find(number);
            ASSERT_NE(found, messages.end()) << language << " " << number;
            EXPECT_FALSE(found->second.empty());
            EXPECT_LE(found->second.size(), 40u) << language << " " << number;
        }
    }
}

TEST(MessageCatalogue, FallsBackToTheFallbackLanguage) {
    TempRoot root(false);
    ASSERT_TRUE(root.made());
    hosttest::write_file(root.file("MESSAGES.L07"), "4 Sieben\n# comment\nx bad\n5\n");
    hostapp::MessageCatalogue catalogue;
    catalogue.load(root.path(), 7, 1);
    EXPECT_EQ(catalogue.text(4), "Sieben");
    EXPECT_EQ(catalogue.text(5), "This is the last page.");
    EXPECT_EQ(catalogue.text(99), "");
    EXPECT_EQ(catalogue.text_or(99, "x"), "x");
    hosttest::write_file(root.file("MESSAGES.L08"), "1 " + std::string(60, 'y') + "\n");
    catalogue.load(root.path(), 8, 8);
    EXPECT_EQ(catalogue.text(1), std::string(40, 'y')) << "texts are cut to 40";
    EXPECT_EQ(catalogue.text(2), "");
}

TEST(Csv, QuotesCommasAndLineEnds) {
    std::vector<hostapp::CsvRow> rows;
    std::string error;
    ASSERT_TRUE(hostapp::parse_csv("a,\"b,\"\"c\"\"\",\r\n\n\"multi\nline\",x\ny", &rows, &error));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].fields, (std::vector<std::string>{"a", "b,\"c\"", ""}));
    EXPECT_EQ(rows[1].line, 3);
    EXPECT_EQ(rows[1].fields, (std::vector<std::string>{"multi\nline", "x"}));
    EXPECT_EQ(rows[2].line, 5);
    EXPECT_EQ(hostapp::csv_line({"a", "b,\"c\"", "", "d\ne"}), "a,\"b,\"\"c\"\"\",,\"d\ne\"\r\n");
    EXPECT_FALSE(hostapp::parse_csv("\"a\"b\n", &rows, &error));
    EXPECT_EQ(error, "line 1: text after a closing quote");
}

}  // namespace
