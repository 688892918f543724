// Which roots the program makes: a root named by --root or $DEVGROUP_ROOT
// must exist, `init` makes one on purpose, and only the operator's own
// default root is made on first use.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "host_test_support.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using hosttest::DevgroupOutcome;
using hosttest::shell_quoted;

class RootMaking : public ::testing::Test {
  protected:
    // devgroup with ARGUMENTS, the environment's roots cleared, then ENVIRONMENT
    // (NAME=VALUE words) set.
    DevgroupOutcome run(const std::string& arguments, const std::string& environment = "") {
        return hosttest::run_shell(
            "env -u DEVGROUP_ROOT -u XDG_DATA_HOME HOME=" + shell_quoted(folder_.file("home")) +
                " " + environment + " " + DEVGROUP_EXE + " " + arguments + " </dev/null",
            folder_.file("err.txt"));
    }
    static int lines(const std::string& text) {
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }

    TempFolder folder_{"devgroup-making-"};
};

// A typing error in --root or $DEVGROUP_ROOT never starts a fresh root: the
// editor and every command stop, naming the path and how to make a root.
TEST_F(RootMaking, AMissingNamedRootIsRefusedForTheEditorAndEveryCommand) {
    const std::string missing = folder_.file("typo/a/b");
    const std::string csv = folder_.file("rows.csv");
    hosttest::write_file(csv, "key,instrument,status,group\r\n");
    const std::string told = "no data root at " + missing +
                             "; make one with  devgroup init --root " + shell_quoted(missing);
    auto expect_refused = [&](const DevgroupOutcome& outcome) {
        EXPECT_EQ(outcome.exit_code, 1);
        EXPECT_NE(outcome.err.find(told), std::string::npos) << outcome.err;
        EXPECT_EQ(outcome.out, "");
    };
    for (const std::string& command :
         {std::string(""), std::string("--keys ''"), std::string("--user NOBODY --keys ''"),
          std::string("log"), std::string("jobs"), std::string("sites"),
          std::string("export devices"), std::string("history"), std::string("store status"),
          std::string("store init"), "import devices " + csv, "--user NOBODY import devices " + csv,
          "history --prune-before 2020-01-01 --to " + folder_.file("old.csv")}) {
        SCOPED_TRACE(command);
        expect_refused(run("--root " + shell_quoted(missing) + " " + command));
    }
    for (const std::string& command : {std::string("--keys ''"), "import devices " + csv}) {
        SCOPED_TRACE(command + " (DEVGROUP_ROOT)");
        expect_refused(run(command, "DEVGROUP_ROOT=" + shell_quoted(missing)));
    }
    EXPECT_FALSE(fs::exists(folder_.file("typo")));
    EXPECT_FALSE(fs::exists(folder_.file("home")));
    EXPECT_FALSE(fs::exists(folder_.file("old.csv")));

    // An empty folder is no root either, and stays as it was.
    fs::create_directory(folder_.file("empty"));
    EXPECT_EQ(run("--root " + folder_.file("empty") + " --keys ''").exit_code, 1);
    EXPECT_TRUE(fs::is_empty(folder_.file("empty")));
}

TEST_F(RootMaking, InitMakesARootOnPurposeAndNeverOverAnother) {
    const std::string root = folder_.file("new root");
    const DevgroupOutcome made = run("--root " + shell_quoted(root) + " init");
    EXPECT_EQ(made.exit_code, 0) << made.err;
    EXPECT_EQ(made.err, "devgroup: made a data root with the demo data at " + root + "\n");
    const DevgroupOutcome exported = run("--root " + shell_quoted(root) + " export devices");
    EXPECT_EQ(lines(exported.out), 67) << "header and 66 records";

    // A root that stands is left as it is, whatever init asks for.
    hosttest::write_file(root + "/mine.txt", "kept");
    for (const char* again : {" init", " init --empty"}) {
        const DevgroupOutcome twice = run("--root " + shell_quoted(root) + again);
        EXPECT_EQ(twice.exit_code, 1) << again;
        EXPECT_NE(twice.err.find(root + " is a data root already"), std::string::npos) << twice.err;
    }
    EXPECT_EQ(lines(run("--root " + shell_quoted(root) + " export devices").out), 67);
    EXPECT_EQ(hosttest::read_file(root + "/mine.txt"), "kept");

    // --empty: no devices; the users, the sites and the settings that name them.
    const std::string empty = folder_.file("empty");
    const DevgroupOutcome bare = run("--root " + empty + " init --empty");
    EXPECT_EQ(bare.exit_code, 0) << bare.err;
    EXPECT_NE(bare.err.find("no devices at " + empty), std::string::npos) << bare.err;
    EXPECT_EQ(run("--root " + empty + " --user CARL export devices").out,
              "key,instrument,status,group\r\n");
    EXPECT_NE(run("--root " + empty + " sites").out.find("Screen viewer"), std::string::npos);
    EXPECT_NE(run("--root " + empty + " history settings").out.find("default_site:"),
              std::string::npos);
    EXPECT_NE(run("--root " + empty + " history passwords").out.find("BERTA"), std::string::npos);

    // A folder holding something else is not made into a root.
    const std::string other = folder_.file("other");
    fs::create_directory(other);
    hosttest::write_file(other + "/precious.txt", "keep");
    const DevgroupOutcome refused = run("--root " + other + " init");
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("not an empty folder"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(other + "/host.conf"));

    EXPECT_EQ(run("--root " + root + " --empty sites").exit_code, 2);
    EXPECT_EQ(run("--user ADAM init").exit_code, 2);
}

// Neither --root nor $DEVGROUP_ROOT: the operator's own root, under
// $XDG_DATA_HOME when that is an absolute path, else under ~/.local/share,
// made by the first run of the editor or of import, which says so.
TEST_F(RootMaking, TheDefaultRootIsMadeOnFirstUseAndSaysSo) {
    const std::string home_root = folder_.file("home/.local/share/devgroup");
    EXPECT_EQ(run("export devices").exit_code, 1) << "a listing makes no root";
    EXPECT_FALSE(fs::exists(home_root));

    const DevgroupOutcome first = run("--keys ''");
    EXPECT_EQ(first.exit_code, 0) << first.err;
    EXPECT_EQ(first.err, "devgroup: made a data root with the demo data at " + home_root + "\n");
    EXPECT_TRUE(hostapp::root_exists(home_root));
    const DevgroupOutcome second = run("--keys ''");
    EXPECT_EQ(second.exit_code, 0);
    EXPECT_EQ(second.err, "");

    const std::string xdg = folder_.file("xdg");
    const std::string csv = folder_.file("rows.csv");
    hosttest::write_file(csv, "key,instrument,status,group\r\nK1,One,1,\r\n");
    const DevgroupOutcome imported = run("import devices " + csv, "XDG_DATA_HOME=" + xdg);
    EXPECT_EQ(imported.exit_code, 0) << imported.err;
    EXPECT_NE(imported.err.find("made a data root with the demo data at " + xdg + "/devgroup"),
              std::string::npos)
        << imported.err;
    // A relative XDG_DATA_HOME is passed over.
    EXPECT_EQ(run("--keys ''", "XDG_DATA_HOME=relative").err, "");
    EXPECT_FALSE(fs::exists("relative"));
}

}  // namespace
