// The devgroup executable as its operators run it: export and import of the
// devices file, the listing subcommands and a headless run.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <tuple>

#include "host_test_support.h"
#include "hostlibs/host_setup.h"
#include "platform/host_libraries.h"
#include "root/host_config.h"

namespace {

using Outcome = hosttest::DevgroupOutcome;

class Devgroup : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(root_.made()) << root_.error(); }

    Outcome run(const std::string& arguments) {
        return hosttest::run_devgroup(root_.path(), arguments, root_.file("stderr.txt"));
    }

    hosttest::TempRoot root_{false};
};

constexpr const char* kGood =
    "key,instrument,status,group\r\n"
    "K0000001,Pressure gauge PG-101,1,PRESS\r\n"
    "K0000002,\"Gauge, spare \"\"B\"\"\",3,\r\n"
    "K0000003,Flow meter FT-201,65535,FLOW\r\n";

TEST_F(Devgroup, ExportAfterImportGivesTheSameRowsBack) {
    hosttest::write_file(root_.file("good.csv"), kGood);
    const Outcome imported = run("import devices " + root_.file("good.csv"));
    ASSERT_EQ(imported.exit_code, 0) << imported.err;
    const Outcome exported = run("export devices");
    ASSERT_EQ(exported.exit_code, 0) << exported.err;
    EXPECT_EQ(exported.out, kGood);

    // Importing again replaces by key and inserts new keys; a byte order
    // mark and LF line ends are fine.
    hosttest::write_file(root_.file("more.csv"),
                         "\xEF\xBB\xBFkey,instrument,status,group\n"
                         "K0000000,First,1,A\n"
                         "K0000002,Gauge B,1,SPARE\n");
    ASSERT_EQ(run("import devices " + root_.file("more.csv")).exit_code, 0);
    EXPECT_EQ(run("export devices").out,
              "key,instrument,status,group\r\n"
              "K0000000,First,1,A\r\n"
              "K0000001,Pressure gauge PG-101,1,PRESS\r\n"
              "K0000002,Gauge B,1,SPARE\r\n"
              "K0000003,Flow meter FT-201,65535,FLOW\r\n");
}

TEST_F(Devgroup, ABadRowChangesNothingAndNamesItsLine) {
    hosttest::write_file(root_.file("good.csv"), kGood);
    ASSERT_EQ(run("import devices " + root_.file("good.csv")).exit_code, 0);
    const std::pair<std::string, std::string> cases[] = {
        {"K0000009,Fine,1,OK\nK0000010,Too long a name for thirty chars!,1,G\n",
         "line 3: the instrument is longer than 30 characters"},
        {"K0000009,Fine,1,OK\nK0000009,Again,1,G\n", "line 3: the key K0000009 appears twice"},
        {"K0000009,Fine,x1,OK\n", "line 2: the status 'x1' is not a number from 0 to 65535"},
        {"K0000009,Fine,65536,OK\n", "line 2: the status '65536' is not a number"},
        {"K0000009,Fine,-1,OK\n", "line 2: the status '-1' is not a number"},
        {"K0000009,Fine,1\n", "line 2: expected 4 fields, found 3"},
        {"K0000009,Fine,1,GROUPNAME\n", "line 2: the group is longer than 8 characters"},
        {"K00000091,Fine,1,G\n", "line 2: the key is longer than 8 characters"},
        {",Fine,1,G\n", "line 2: the key is empty"},
        {"K0000009,\"Fine,1,G\n", "line 2: unterminated quote"},
        // The reader stops at a line over its limit before it reads on.
        {"K0000009,Fine,1,G\nK0000010," + std::string(5000, 'x') + ",1,G\n",
         "line 3: line longer than 4096 characters"},
    };
    for (const auto& [rows, reason] : cases) {
        hosttest::write_file(root_.file("bad.csv"), "key,instrument,status,group\n" + rows);
        const Outcome outcome = run("import devices " + root_.file("bad.csv"));
        EXPECT_NE(outcome.exit_code, 0) << rows;
        EXPECT_NE(outcome.err.find(reason), std::string::npos) << rows << " gave: " << outcome.err;
        EXPECT_NE(outcome.err.find("nothing was changed"), std::string::npos);
        EXPECT_EQ(run("export devices").out, kGood) << rows;
    }
    hosttest::write_file(root_.file("bad.csv"), "key,name,status,group\n");
    EXPECT_NE(
        run("import devices " + root_.file("bad.csv")).err.find("line 1: expected the header"),
        std::string::npos);
    EXPECT_NE(run("import devices " + root_.file("missing.csv")).exit_code, 0);
}

// A control byte in any field is refused by line, all or nothing, and the
// message shows it escaped rather than raw.
TEST_F(Devgroup, ControlBytesInAFieldAreRefusedAndShownEscaped) {
    using namespace std::string_literals;
    hosttest::write_file(root_.file("good.csv"), kGood);
    ASSERT_EQ(run("import devices " + root_.file("good.csv")).exit_code, 0);
    const std::pair<std::string, std::string> cases[] = {
        // A NUL would cut the key on export and make two keys equal.
        {"K1,Fine,1,G\nK1\0A,Fine,1,G\n"s, "line 3: the key holds the control byte \\x00"},
        {"K2,Red \x1b[31m,1,G\n"s, "line 2: the instrument holds the control byte \\x1b"},
        {"K2,Fine,1\x7f,G\n"s, "line 2: the status holds the control byte \\x7f"},
        {"K2,Fine,1,\"G\nH\"\n"s, "line 2: the group holds the control byte \\x0a"},
        {"K2,Fine,1,G\tH\n"s, "line 2: the group holds the control byte \\x09"},
    };
    for (const auto& [rows, reason] : cases) {
        hosttest::write_file(root_.file("bad.csv"), "key,instrument,status,group\n" + rows);
        const Outcome outcome = run("import devices " + root_.file("bad.csv"));
        EXPECT_EQ(outcome.exit_code, 1) << rows;
        EXPECT_NE(outcome.err.find(reason), std::string::npos) << rows << " gave: " << outcome.err;
        EXPECT_EQ(run("export devices").out, kGood) << rows;
    }
    const Outcome option = run("'--fr\x1b[2Job'");
    EXPECT_EQ(option.exit_code, 2);
    EXPECT_NE(option.err.find("unknown option --fr\\x1b[2Job"), std::string::npos) << option.err;
    const Outcome command = run("'\x1b]0;owned\x07'");
    EXPECT_EQ(command.exit_code, 2);
    EXPECT_NE(command.err.find("unknown command \\x1b]0;owned\\x07"), std::string::npos)
        << command.err;
    for (const Outcome& outcome : {option, command}) {
        EXPECT_EQ(outcome.err.find('\x1b'), std::string::npos);
        EXPECT_EQ(outcome.err.find('\x07'), std::string::npos);
    }
}

TEST_F(Devgroup, HeadlessRunPrintsTheScreenTheLastModuleLeft) {
    // The tiny module queues the error-log viewer, which the script leaves
    // on its screen; --lang 2 shows it in German.
    const Outcome outcome =
        run(std::string("--module ") + TINY_MODULE_PATH + " --lang 2 --now 1700000000 --keys ''");
    ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
    EXPECT_EQ(outcome.out.rfind("Fehlerprotokoll\nDas Fehlerprotokoll ist leer.\n", 0), 0u)
        << outcome.out;
    // Escape leaves the viewer; with keys left the shell menu comes up when
    // the list empties, and the script ends in it.
    const Outcome shell = run(std::string("--module ") + TINY_MODULE_PATH + " --keys '<Esc>x'");
    ASSERT_EQ(shell.exit_code, 0) << shell.err;
    EXPECT_NE(shell.out.find("| Device group editor |"), std::string::npos) << shell.out;
    EXPECT_NE(shell.out.find("| Quit                |"), std::string::npos) << shell.out;
    const Outcome missing = run("--module " + root_.file("none.so") + " --keys ''");
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_NE(missing.err.find("cannot start the module"), std::string::npos) << missing.err;
}

// A key script read from a file runs as the same script given inline; its
// line ends only break the script up.
TEST_F(Devgroup, KeysFileRunsTheScriptItHolds) {
    hosttest::write_file(root_.file("keys.txt"), "<Esc>\r\nx\n");
    const std::string module = std::string("--module ") + TINY_MODULE_PATH;
    const Outcome inline_keys = run(module + " --keys '<Esc>x'");
    const Outcome from_file = run(module + " --keys-file " + root_.file("keys.txt"));
    ASSERT_EQ(from_file.exit_code, 0) << from_file.err;
    EXPECT_EQ(from_file.out, inline_keys.out);
    EXPECT_NE(from_file.out.find("| Device group editor |"), std::string::npos) << from_file.out;

    const Outcome missing = run("--keys-file " + root_.file("none.txt"));
    EXPECT_EQ(missing.exit_code, 2);
    EXPECT_NE(missing.err.find("--keys-file: cannot read " + root_.file("none.txt") +
                               ": No such file or directory"),
              std::string::npos)
        << missing.err;
    const Outcome folder = run("--keys-file " + root_.file("DATA"));
    EXPECT_EQ(folder.exit_code, 2);
    EXPECT_NE(folder.err.find(root_.file("DATA") + " is a folder"), std::string::npos)
        << folder.err;
    hosttest::write_file(root_.file("huge.txt"), std::string((1 << 20) + 1, 'x'));
    const Outcome huge = run("--keys-file " + root_.file("huge.txt"));
    EXPECT_EQ(huge.exit_code, 2);
    EXPECT_NE(huge.err.find("the file is larger than 1 MiB"), std::string::npos) << huge.err;
}

TEST_F(Devgroup, AFolderThatIsNotADataRootIsLeftAlone) {
    const std::string folder = root_.file("not-a-root");
    std::filesystem::create_directories(folder);
    hosttest::write_file(folder + "/precious.txt", "keep");
    const std::string command =
        std::string(DEVGROUP_EXE) + " --root " + folder + " sites 2>/dev/null";
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(folder + "/host.conf"));
    EXPECT_EQ(hosttest::read_file(folder + "/precious.txt"), "keep");
}

TEST_F(Devgroup, ARootWhoseMakingWasCutShortIsRefusedForEveryCommand) {
    std::filesystem::remove(root_.file("root.complete"));
    for (const char* command : {"sites", "import devices -", "--keys ''"}) {
        const Outcome outcome = run(command);
        EXPECT_EQ(outcome.exit_code, 1) << command;
        EXPECT_NE(outcome.err.find("not a whole data root"), std::string::npos) << outcome.err;
        EXPECT_NE(outcome.err.find("rm -r -- '" + root_.path() + "'"), std::string::npos)
            << outcome.err;
    }
    EXPECT_FALSE(std::filesystem::exists(root_.file("root.complete")));
}

// Runs the program as another user than the root's owner: run as root, the
// user nobody runs a copy of the program and its libraries in a folder anyone
// may enter (the checkout may lie in one that user cannot enter); otherwise
// this user runs it, and the root's modes keep it out instead.
class OtherUser {
  public:
    OtherUser() {
        namespace fs = std::filesystem;
        if (!as_root_) {
            return;
        }
        const fs::path build = fs::path(DEVGROUP_EXE).parent_path().parent_path();
        fs::create_directories(program_.file("bin"));
        fs::copy(build / "lib", program_.file("lib"), fs::copy_options::recursive);
        fs::copy_file(DEVGROUP_EXE, program_.file("bin/devgroup"));
        for (const auto& entry : fs::recursive_directory_iterator(program_.path())) {
            fs::permissions(entry.path(), fs::perms(0755));
            // The copy's own library folder: the program's RUNPATH names the
            // build tree's, which that user may not be able to enter.
            if (entry.path().filename() == "libtoolbank.so") {
                library_dir_ = entry.path().parent_path().string();
            }
        }
        fs::permissions(program_.path(), fs::perms(0755));
    }
    bool as_root() const { return as_root_; }
    // devgroup --root ROOT ARGUMENTS: the exit code, stdout and stderr.
    std::tuple<int, std::string, std::string> run(const std::string& root,
                                                  const std::string& arguments) {
        const std::string program =
            as_root_ ? "setpriv --reuid=65534 --regid=65534 --clear-groups env LD_LIBRARY_PATH=" +
                           library_dir_ + " " + program_.file("bin/devgroup")
                     : std::string(DEVGROUP_EXE);
        const std::string command = program + " --root " + root + " " + arguments + " >" +
                                    out_.file("out") + " 2>" + out_.file("err");
        const int status = std::system(command.c_str());
        return std::make_tuple(WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                               hosttest::read_file(out_.file("out")),
                               hosttest::read_file(out_.file("err")));
    }

  private:
    bool as_root_ = geteuid() == 0;
    std::string library_dir_;
    TempFolder out_{"devgroup-other-user-"};
    TempFolder program_{"devgroup-program-"};
};

// A root that cannot be written serves the commands that only read; those
// that write name the path they cannot write and why. Run as root, the
// commands run as the user nobody, for whom the root is not writable.
TEST_F(Devgroup, AReadOnlyRootServesReadingCommandsAndRefusesWritingOnes) {
    hosttest::write_file(root_.file("good.csv"), kGood);
    ASSERT_EQ(run("import devices " + root_.file("good.csv")).exit_code, 0);
    OtherUser other;
    const bool as_root = other.as_root();
    namespace fs = std::filesystem;
    auto set_modes = [&](bool writable) {
        const fs::perms folder = writable || as_root ? fs::perms(0755) : fs::perms(0555);
        const fs::perms file = writable || as_root ? fs::perms(0644) : fs::perms(0444);
        fs::permissions(root_.path(), writable ? fs::perms(0700) : folder);
        for (const auto& entry : fs::recursive_directory_iterator(root_.path())) {
            fs::permissions(entry.path(), entry.is_directory() ? folder : file);
        }
    };
    set_modes(false);
    for (const char* command :
         {"export devices", "log", "jobs", "sites", "history", "store status"}) {
        const auto [code, text, err] = other.run(root_.path(), command);
        EXPECT_EQ(code, 0) << command << ": " << err;
        if (std::string(command) == "export devices") {
            EXPECT_NE(text.find("K0000003,Flow meter FT-201,65535,FLOW"), std::string::npos);
        }
    }
    for (const std::string& command :
         {"import devices " + root_.file("good.csv"), std::string("--keys '<F2>'")}) {
        const auto [code, text, err] = other.run(root_.path(), command);
        EXPECT_EQ(code, 1) << command;
        EXPECT_NE(err.find("cannot write " + root_.file("DATA/")), std::string::npos) << err;
        EXPECT_NE(err.find("Permission denied"), std::string::npos) << err;
    }
    set_modes(true);
}

// A root as its owner made it keeps others out: its DATA folder is the
// owner's alone, and so may the root's own folder be. Every command and the
// editor stop with the path and the system's reason.
TEST_F(Devgroup, AnotherUsersRootIsRefusedWithTheSystemsReason) {
    namespace fs = std::filesystem;
    OtherUser other;
    // Run as root the modes as made keep nobody out of DATA; run as the
    // owner, no mode at all does the same.
    const fs::perms closed = other.as_root() ? fs::perms(0700) : fs::perms(0);
    fs::permissions(root_.path(), fs::perms(0755));
    fs::permissions(root_.file("DATA"), closed);
    for (const char* command : {"export devices", "log", "jobs", "sites", "history", "store status",
                                "import devices -", "--keys ''"}) {
        const auto [code, text, err] = other.run(root_.path(), command);
        EXPECT_EQ(code, 1) << command;
        EXPECT_NE(err.find(root_.file("DATA/")), std::string::npos) << command << ": " << err;
        EXPECT_NE(err.find("Permission denied"), std::string::npos) << command << ": " << err;
    }
    fs::permissions(root_.file("DATA"), fs::perms(0700));
    fs::permissions(root_.path(), closed);
    for (const char* command : {"export devices", "log", "--keys ''", "init"}) {
        const auto [code, text, err] = other.run(root_.path(), command);
        EXPECT_EQ(code, 1) << command;
        EXPECT_NE(err.find("cannot read the data root at " + root_.path() + ": Permission denied"),
                  std::string::npos)
            << command << ": " << err;
    }
    fs::permissions(root_.path(), fs::perms(0700));
}

TEST_F(Devgroup, VersionAndHelpDescribeTheProgram) {
    const Outcome version = run("--version");
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out.rfind("devgroup ", 0), 0u) << version.out;
    const Outcome help = run("--help");
    EXPECT_EQ(help.exit_code, 0);
    // The short forms stand for the long ones.
    EXPECT_EQ(run("-V").out, version.out);
    EXPECT_EQ(run("-h").out, help.out);
    for (const char* item : {"--root DIR", "--user NAME", "--lang N", "--now N", "--keys SCRIPT",
                             "--module PATH", "--version", "export devices", "import devices FILE",
                             "\n  log ", "\n  jobs ", "\n  sites ", "80 columns by 24 rows"}) {
        EXPECT_NE(help.out.find(item), std::string::npos) << item << " missing from\n" << help.out;
    }
}

// Bad usage exits 2 and says what was wrong.
TEST_F(Devgroup, UsageErrorsExitTwoAndNameTheirCause) {
    const std::pair<std::string, std::string> cases[] = {
        {"--lang 0", "--lang takes a language number"},
        {"--now -5", "--now takes a clock value"},
        {"--frob 1", "unknown option --frob"},
        {"--version=3", "--version takes no value"},
        {"--root", "--root needs a value"},
        {"--root ''", "--root needs a folder, not an empty text"},
        {"--root=", "--root needs a folder, not an empty text"},
        {"frob", "unknown command frob"},
        {"export sites", "export is used as 'export devices'"},
        {"import devices", "import is used as 'import devices FILE'"},
        {"log extra", "log is used as 'log'"},
    };
    for (const auto& [arguments, reason] : cases) {
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.exit_code, 2) << arguments;
        EXPECT_NE(outcome.err.find(reason), std::string::npos) << arguments << ": " << outcome.err;
        EXPECT_NE(outcome.err.find("devgroup --help"), std::string::npos) << arguments;
    }
}

// --user names a user of host.conf whatever the command; otherwise it is bad
// usage, and nothing is made or changed.
TEST_F(Devgroup, AUserNotInHostConfIsBadUsageForEveryCommand) {
    hosttest::write_file(root_.file("good.csv"), kGood);
    const std::string unknown = "--user NOBODY: no such user in " + root_.file("host.conf");
    for (const std::string& command :
         {"import devices " + root_.file("good.csv"), std::string("export devices"),
          std::string("log"), std::string("jobs"), std::string("sites"), std::string("history"),
          std::string("--keys ''")}) {
        const Outcome outcome = run("--user NOBODY " + command);
        EXPECT_EQ(outcome.exit_code, 2) << command;
        EXPECT_NE(outcome.err.find(unknown), std::string::npos) << command << ": " << outcome.err;
    }
    EXPECT_EQ(run("export devices").out, "key,instrument,status,group\r\n") << "nothing imported";

    const Outcome report = run("--user ADAM report " + root_.file("good.csv"));
    EXPECT_EQ(report.exit_code, 2);
    EXPECT_NE(report.err.find("--user goes with a data root"), std::string::npos) << report.err;
    EXPECT_EQ(run("--user BERTA export devices").exit_code, 0);
}

// A module library named by a host.conf that others may write is refused
// before it is loaded: its constructor never runs.
TEST_F(Devgroup, AModuleNamedByAnUntrustedHostConfIsNeverLoaded) {
    const std::string conf = root_.file("host.conf");
    hosttest::write_file(conf, hosttest::read_file(conf) + "module = " + TINY_MODULE_PATH + "\n");
    chmod(conf.c_str(), 0666);
    const std::string marker = root_.file("constructor-ran");
    setenv("TINY_MODULE_LOADED", marker.c_str(), 1);
    const Outcome outcome = run("--keys ''");
    unsetenv("TINY_MODULE_LOADED");
    EXPECT_EQ(outcome.exit_code, 1);
    EXPECT_NE(outcome.err.find("not loading the module " + std::string(TINY_MODULE_PATH) + ": " +
                               conf + " is writable by group or others (mode 0666)"),
              std::string::npos)
        << outcome.err;
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(Devgroup, ImportReadsStandardInputAndCountsInTheSingular) {
    hosttest::write_file(root_.file("one.csv"), "key,instrument,status,group\nK1,Gauge,1,G\n");
    const Outcome one = run("import devices - < " + root_.file("one.csv"));
    ASSERT_EQ(one.exit_code, 0) << one.err;
    EXPECT_EQ(one.err, "devgroup: imported 1 device\n");
    hosttest::write_file(root_.file("good.csv"), kGood);
    const Outcome three = run("import devices - < " + root_.file("good.csv"));
    EXPECT_EQ(three.err, "devgroup: imported 3 devices\n");
    EXPECT_EQ(run("export devices").out.find("K1,Gauge,1,G"), std::string(kGood).size());

    const Outcome missing = run("import devices " + root_.file("missing.csv"));
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_NE(missing.err.find("cannot read " + root_.file("missing.csv") +
                               ": No such file or directory"),
              std::string::npos)
        << missing.err;
    const Outcome folder = run("import devices " + root_.file("DATA"));
    EXPECT_EQ(folder.exit_code, 1);
    EXPECT_NE(folder.err.find("cannot read " + root_.file("DATA") + ": Is a directory"),
              std::string::npos)
        << folder.err;
}

TEST_F(Devgroup, DiagnosticsNameFilesByTheirNativePath) {
    hosttest::write_file(root_.file("USER/DEVGROUP/TOOLBANK.L01"), "no screen file\n");
    const Outcome outcome = run("--keys '<Esc>'");
    EXPECT_NE(outcome.err.find(root_.file("USER/DEVGROUP/TOOLBANK.L01") + ":1: "),
              std::string::npos)
        << outcome.err;
    EXPECT_EQ(outcome.err.find('\\'), std::string::npos) << outcome.err;
}

// A language without screen files is served by the fallback language, and
// the run ends saying so in one plain line, with no alarm about a missing
// file. With no screen file in either, the error log tells of it.
TEST_F(Devgroup, ALanguageWithoutScreensEndsSayingTheFallbackServed) {
    const Outcome third = run("--lang 3 --keys ''");
    EXPECT_EQ(third.exit_code, 0);
    EXPECT_EQ(third.err, "devgroup: no screens in language 3; the fallback language 1 served\n");
    EXPECT_NE(third.out.find("Device groups"), std::string::npos) << third.out;
    EXPECT_EQ(run("--lang 2 --keys ''").err, "");

    std::filesystem::remove(root_.file("USER/DEVGROUP/TOOLBANK.L01"));
    const Outcome none = run("--lang 3 --keys ''");
    EXPECT_EQ(none.err, "");
    EXPECT_NE(none.out.find("0x80007530 C:\\USER\\DEVGROUP\\TOOLBANK.L0"), std::string::npos)
        << none.out;
}

// A menu file that does not parse stops the editor with a record in the
// error log and a word on stderr, both naming the file, the line and why.
TEST_F(Devgroup, AMenuFileThatDoesNotParseIsLoggedAndReported) {
    ASSERT_TRUE(hostapp::create_root(root_.path(), true, nullptr));
    const std::string menu = root_.file("USER/DEVGROUP/TOOLBANK");
    hosttest::write_file(menu, "menu ~File\nitem ~Save <F2> 2\nfrobnicate \x1b[2J\n");
    const Outcome outcome = run("--keys '<Esc>'");
    EXPECT_EQ(outcome.exit_code, 1);
    const std::string why = menu + ": line 3: unknown directive 'frobnicate'";
    EXPECT_NE(outcome.err.find("the editor's menu did not load: " + why), std::string::npos)
        << outcome.err;

    const Outcome log = run("log");
    EXPECT_NE(log.out.find("MENUBAR"), std::string::npos) << log.out;
    EXPECT_NE(log.out.find("TOOLBANK: line 3: unknown directive 'frobnicate'"), std::string::npos)
        << log.out;

    // Control bytes quoted from the file come out escaped.
    hosttest::write_file(menu, "\x1b[2J ~File\n");
    const Outcome escaped = run("--keys '<Esc>'");
    EXPECT_NE(escaped.err.find("unknown directive '\\x1b[2J'"), std::string::npos) << escaped.err;
    EXPECT_EQ(escaped.err.find('\x1b'), std::string::npos);
}

// Stored text is in the code page: listings show it in UTF-8, and a control
// byte stored by anyone on the register reaches the terminal escaped.
TEST_F(Devgroup, ListsSitesQueuedJobsAndLoggedErrors) {
    {
        std::string error;
        ASSERT_TRUE(hostlibs::open_host({root_.path(), "ADAM", 1, 1700000000}, &error)) << error;
        hostlibs::SiteInfo site;
        site.site_class = 3;
        site.name = "B\xFCro printer\x1b[2J";
        site.connect_driver = "fax\x07";
        site.device_type = 1;
        uint32_t site_id = 0;
        ASSERT_TRUE(hostlibs::add_site(site, &site_id, &error)) << error;
        hosttest::write_file(root_.file("DATA/TEMP/R1.LST"), "page one\x81\x82two\x81\x82");
        ReportFileJob data{};
        std::strcpy(data.path, hosttest::host_form(root_.file("DATA/TEMP/R1.LST")).c_str());
        std::strcpy(data.title, "Toolbank \xA4");
        JobHeader header{};
        std::memset(header.note, ' ', sizeof header.note);
        header.user_no = 2;
        std::memcpy(header.user_id, "BERTA   ", 8);
        std::memcpy(header.job_name, "Toolbank", 8);
        JobHandle job = 0;
        ASSERT_EQ(job_open(&job), 0);
        // The user name passed beside the header holds only 4 characters.
        ASSERT_EQ(job_begin(job, site_id, &header, "BERT", 0), 0);
        ASSERT_EQ(job_add(job, JOB_TYPE_REPORT_FILE, &data), 0);
        ASSERT_EQ(job_end(job), 0);
        job_close(job);
        ErrorRecord record{};
        record.kind = 5;
        std::memcpy(record.source, "TOOLBANK", 8);
        record.code = 0x80007531;
        std::memset(record.text, ' ', sizeof record.text);
        std::memcpy(record.text, "no screen \xBD", 11);
        ErrorLogRequest request{};
        request.record = &record;
        request.record_length = sizeof record;
        host_error_log(&request);
        hostlibs::close_host();
    }
    const Outcome sites = run("sites");
    ASSERT_EQ(sites.exit_code, 0) << sites.err;
    EXPECT_NE(sites.out.find("B\u00FCro printer\\x1b[2J       "), std::string::npos) << sites.out;
    EXPECT_NE(sites.out.find("connect fax\\x07"), std::string::npos) << sites.out;
    const Outcome jobs = run("jobs");
    ASSERT_EQ(jobs.exit_code, 0) << jobs.err;
    EXPECT_NE(jobs.out.find("B\u00FCro printer\\x1b[2J"), std::string::npos) << jobs.out;
    EXPECT_NE(jobs.out.find("Toolbank  Toolbank \u20AC"), std::string::npos) << jobs.out;
    EXPECT_NE(jobs.out.find(" user BERTA    no 2 "), std::string::npos) << jobs.out;
    EXPECT_NE(jobs.out.find("SPOOL/R1.LST  pages 2\n"), std::string::npos) << jobs.out;
    const Outcome log = run("log");
    ASSERT_EQ(log.exit_code, 0) << log.err;
    EXPECT_NE(log.out.find("TOOLBANK"), std::string::npos) << log.out;
    EXPECT_NE(log.out.find("no screen \u0153"), std::string::npos) << log.out;
    for (const std::string& out : {sites.out, jobs.out, log.out})
        EXPECT_EQ(out.find_first_of("\x1b\x07"), std::string::npos) << out;
}

// A listing whose store fails on the way is not taken for a short one: the
// command ends with the store's reason and exit code 1, and the error-log
// viewer says so above what it shows.
TEST_F(Devgroup, AListingThatCannotBeReadEndsWithTheStoresReason) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(root_.file("DATA/host.db").c_str(), &db), SQLITE_OK);
    for (const char* rename : {"ALTER TABLE error_log RENAME COLUMN record TO body",
                               "ALTER TABLE jobs RENAME COLUMN title TO heading",
                               "ALTER TABLE sites RENAME COLUMN name TO label"}) {
        EXPECT_EQ(sqlite3_exec(db, rename, nullptr, nullptr, nullptr), SQLITE_OK) << rename;
    }
    sqlite3_close(db);
    const std::tuple<const char*, const char*> expected[] = {
        {"log", "log: cannot read error log: no such column: record"},
        {"jobs", "jobs: cannot read jobs: no such column: title"},
        {"sites", "sites: cannot read sites: no such column: name"},
    };
    for (const auto& [command, message] : expected) {
        const Outcome outcome = run(command);
        EXPECT_EQ(outcome.exit_code, 1) << command;
        EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
    }
    // The tiny module queues the error-log viewer; --lang 2 shows it in German.
    const Outcome viewer = run(std::string("--module ") + TINY_MODULE_PATH + " --lang 2 --keys ''");
    EXPECT_EQ(viewer.out.rfind("Fehlerprotokoll\nDas Fehlerprotokoll ist nicht lesbar: error log: "
                               "no such column: record\n",
                               0),
              0u)
        << viewer.out << viewer.err;
}

// An export to a full disk is not a backup: a command whose output could not
// be written fails with the system's reason.
TEST_F(Devgroup, AnOutputThatCannotBeWrittenFailsTheCommand) {
    hosttest::write_file(root_.file("good.csv"), kGood);
    ASSERT_EQ(run("import devices " + root_.file("good.csv")).exit_code, 0);
    const Outcome exported = run("export devices > /dev/full");
    EXPECT_EQ(exported.exit_code, 1);
    EXPECT_NE(exported.err.find(
                  "export devices: cannot write the standard output: No space left on device"),
              std::string::npos)
        << exported.err;
    // A journal longer than the output's buffer: the write fails on the way.
    std::string many = "key,instrument,status,group\r\n";
    for (int i = 0; i < 200; ++i) {
        many += "K" + std::to_string(1000000 + i) + ",Instrument " + std::to_string(i) + ",1,G\r\n";
    }
    hosttest::write_file(root_.file("many.csv"), many);
    ASSERT_EQ(run("import devices " + root_.file("many.csv")).exit_code, 0);
    const Outcome history = run("history > /dev/full");
    EXPECT_EQ(history.exit_code, 1);
    EXPECT_NE(history.err.find("history: cannot write the standard output"), std::string::npos)
        << history.err;
    hosttest::write_file(root_.file("R1.LST"), "one line");
    const Outcome report = run("report " + root_.file("R1.LST") + " > /dev/full");
    EXPECT_EQ(report.exit_code, 1);
    EXPECT_NE(report.err.find("report: cannot write the standard output"), std::string::npos)
        << report.err;
}

// Occurrences of `needle` in `text`.
size_t count_of(const std::string& text, const std::string& needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++count;
    return count;
}

TEST_F(Devgroup, ReportFileAsTextAndAsPdfOfOnePagePerReportPage) {
    std::string report;
    for (int page = 1; page <= 3; ++page) {
        report += std::string("\x85\x04\x00\x84\x81", 5) + "Header line   as written\x81";
        report += "Page " + std::to_string(page) + "\x81\x82";
    }
    hosttest::write_file(root_.file("R1.LST"), report);
    const Outcome text = run("report " + root_.file("R1.LST"));
    ASSERT_EQ(text.exit_code, 0) << text.err;
    EXPECT_EQ(text.out,
              "\nHeader line   as written\nPage 1\n\f\nHeader line   as written\nPage 2\n"
              "\f\nHeader line   as written\nPage 3\n");

    const Outcome pdf = run("report " + root_.file("R1.LST") + " --pdf " + root_.file("R1.pdf"));
    ASSERT_EQ(pdf.exit_code, 0) << pdf.err;
    const std::string document = hosttest::read_file(root_.file("R1.pdf"));
    EXPECT_EQ(document.substr(0, 5), "%PDF-");
    EXPECT_EQ(count_of(document, "/Type /Page\n") + count_of(document, "/Type /Page %"), 3u);
    EXPECT_NE(document.find("/Count 3"), std::string::npos);
    EXPECT_NE(document.find("Mono"), std::string::npos) << "a fixed-width font";

    EXPECT_EQ(
        run("report " + root_.file("missing.LST") + " --pdf " + root_.file("x.pdf")).exit_code, 1);
    EXPECT_EQ(run("report " + root_.file("R1.LST") + " --pdf /no/such/folder/x.pdf").exit_code, 1);
    EXPECT_EQ(run("report").exit_code, 2);
    EXPECT_EQ(run("jobs --pdf " + root_.file("x.pdf")).exit_code, 2);
}

// True when poppler's pdftotext is there to read a PDF's text
// (scripts/setup.sh installs it); in CI its absence is a failure.
bool have_pdftotext() {
    if (std::system("command -v pdftotext >/dev/null 2>&1") == 0)
        return true;
    const char* ci = std::getenv("CI");
    EXPECT_FALSE(ci != nullptr && std::string(ci) == "true") << "pdftotext is required in CI";
    return false;
}

std::string pdf_text(const std::string& pdf) {
    const std::string text_file = pdf + ".txt";
    EXPECT_EQ(
        std::system(("pdftotext -layout -enc UTF-8 '" + pdf + "' '" + text_file + "'").c_str()), 0);
    return hosttest::read_file(text_file);
}

// Files in `folder` other than those named.
std::vector<std::string> other_files(const std::string& folder,
                                     const std::vector<std::string>& expected) {
    std::vector<std::string> others;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(expected.begin(), expected.end(), name) == expected.end())
            others.push_back(name);
    }
    return others;
}

TEST_F(Devgroup, APdfLineWiderThanThePageWrapsAtOneLegibleSize) {
    std::string line;
    for (int i = 0; line.size() < 600000; ++i)
        line += "W" + std::to_string(i) + ";";
    hosttest::write_file(root_.file("LONG.LST"), "Header kept whole\x81" + line + "\x81\x82");
    const Outcome pdf =
        run("report " + root_.file("LONG.LST") + " --pdf " + root_.file("long.pdf"));
    ASSERT_EQ(pdf.exit_code, 0) << pdf.err;
    if (!have_pdftotext())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const std::string text = pdf_text(root_.file("long.pdf"));
    EXPECT_EQ(text.substr(0, text.find('\n')).find("Header kept whole"), 4u) << "at the margin";
    EXPECT_NE(text.find("\u21aa"), std::string::npos) << "wrapped pieces are marked";
    // Every character of the line is drawn, in order, once the marks and the
    // breaks between pieces and pages are taken out.
    std::string drawn;
    for (size_t at = text.find('\n') + 1; at < text.size(); ++at) {
        if (text.compare(at, 3, "\u21aa") == 0)
            at += 2;
        else if (text[at] != '\n' && text[at] != ' ' && text[at] != '\f')
            drawn += text[at];
    }
    EXPECT_TRUE(drawn == line) << "drew " << drawn.size() << " of " << line.size() << " characters";
    const size_t pages = count_of(text, "\f");
    EXPECT_GT(pages, 50u);
    EXPECT_NE(pdf.err.find("wrote " + std::to_string(pages) + " pages"), std::string::npos)
        << pdf.err;
}

TEST_F(Devgroup, AFailedPdfLeavesAnExistingDocumentAndNoTemporaryFile) {
    const std::string folder = root_.file("out");
    std::filesystem::create_directory(folder);
    std::string report;
    for (int page = 0; page < 10001; ++page)
        report += "page\x81\x82";
    hosttest::write_file(root_.file("HUGE.LST"), report);
    hosttest::write_file(root_.file("SMALL.LST"), "one page\x81\x82");
    const std::string old_pdf = folder + "/old.pdf";
    hosttest::write_file(old_pdf, "the document before");

    const Outcome huge = run("report " + root_.file("HUGE.LST") + " --pdf " + old_pdf);
    EXPECT_EQ(huge.exit_code, 1);
    EXPECT_NE(huge.err.find("more than 10000 PDF pages"), std::string::npos) << huge.err;
    EXPECT_EQ(hosttest::read_file(old_pdf), "the document before");
    EXPECT_EQ(other_files(folder, {"old.pdf"}), std::vector<std::string>{});

    // A document written whole that cannot take its name (a folder has it).
    std::filesystem::create_directory(folder + "/folder.pdf");
    const Outcome taken =
        run("report " + root_.file("SMALL.LST") + " --pdf " + folder + "/folder.pdf");
    EXPECT_EQ(taken.exit_code, 1);
    EXPECT_NE(taken.err.find("cannot write " + folder + "/folder.pdf"), std::string::npos)
        << taken.err;
    EXPECT_EQ(other_files(folder, {"old.pdf", "folder.pdf"}), std::vector<std::string>{});

    const Outcome replaced = run("report " + root_.file("SMALL.LST") + " --pdf " + old_pdf);
    ASSERT_EQ(replaced.exit_code, 0) << replaced.err;
    EXPECT_EQ(hosttest::read_file(old_pdf).substr(0, 5), "%PDF-");
    EXPECT_EQ(other_files(folder, {"old.pdf", "folder.pdf"}), std::vector<std::string>{});
}

TEST_F(Devgroup, PruningMovesOlderJournalRowsToANewCsvFile) {
    hosttest::write_file(root_.file("good.csv"), kGood);
    ASSERT_EQ(run("import devices " + root_.file("good.csv")).exit_code, 0);
    const size_t before = count_of(run("history").out, "\n");
    const std::string out = root_.file("old-rows.csv");
    // The journal's clock is the system's here: every row is older than tomorrow.
    char tomorrow[16];
    const time_t later = std::time(nullptr) + 86400;
    struct tm utc {};
    std::strftime(tomorrow, sizeof tomorrow, "%Y-%m-%d", gmtime_r(&later, &utc));

    const Outcome pruned =
        run("history devices --prune-before " + std::string(tomorrow) + " --to " + out);
    ASSERT_EQ(pruned.exit_code, 0) << pruned.err;
    EXPECT_NE(pruned.err.find("moved 12 journal rows to " + out), std::string::npos) << pruned.err;
    const std::string csv = hosttest::read_file(out);
    EXPECT_EQ(csv.substr(0, csv.find('\n') + 1),
              "id,file,time,user,login,key,position,field,old,new\r\n");
    EXPECT_EQ(count_of(csv, "\r\n"), 13u);
    EXPECT_NE(csv.find(",devices.db,"), std::string::npos) << csv;
    const size_t row = csv.find(",ADAM," + hostapp::os_login() + ",\\x4b30303030303033,");
    ASSERT_NE(row, std::string::npos) << csv;
    EXPECT_NE(csv.find(",group,,\\x464c4f5720202020\r\n", row), std::string::npos) << csv;
    EXPECT_EQ(count_of(run("history").out, "\n"), before - 12);

    // The file is never overwritten, and the rows left are not touched.
    const Outcome again = run("history --prune-before 2999-01-01 --to " + out);
    EXPECT_EQ(again.exit_code, 1);
    EXPECT_NE(again.err.find(out + " exists"), std::string::npos) << again.err;
    EXPECT_EQ(hosttest::read_file(out), csv);
    EXPECT_EQ(count_of(run("history").out, "\n"), before - 12);

    EXPECT_EQ(run("history --prune-before 2023-02-29 --to " + root_.file("x.csv")).exit_code, 2);
    EXPECT_EQ(run("history --to " + root_.file("x.csv")).exit_code, 2);
    EXPECT_EQ(run("log --prune-before 2023-01-01 --to " + root_.file("x.csv")).exit_code, 2);
    EXPECT_FALSE(std::filesystem::exists(root_.file("x.csv")));
}

// A word the shell passes on as it stands.
std::string quoted(const std::string& word) {
    std::string result = "'";
    for (char c : word) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

// Wherever the root lies and whatever its name holds, the editor starts on
// it, saves through the password prompt, and the saved name reads back.
// The journal names who changed what: an import the user --user gives
// (else host.conf's default user) with the login that ran it, and the demo
// data of a new root the set-up, never a user.
TEST(DevgroupJournal, NamesTheUserAndLoginOfAnImportAndTheSetUpOfTheDemoData) {
    hosttest::TempRoot root;
    ASSERT_TRUE(root.made()) << root.error();
    auto run = [&](const std::string& arguments) {
        return hosttest::run_devgroup(root.path(), arguments, root.file("stderr.txt"));
    };
    const std::string login = " (login " + hostapp::os_login() + ") ";
    const std::string set_up = run("history").out;
    EXPECT_EQ(count_of(set_up, "\n"), 264u);
    EXPECT_EQ(count_of(set_up, " (set-up)" + login), 264u) << set_up;

    hosttest::write_file(root.file("one.csv"), "key,instrument,status,group\r\nK9,Thing,1,G9\r\n");
    ASSERT_EQ(run("--user CARL import devices " + root.file("one.csv")).exit_code, 0);
    hosttest::write_file(root.file("two.csv"), "key,instrument,status,group\r\nK9,Thing,1,G10\r\n");
    ASSERT_EQ(run("import devices " + root.file("two.csv")).exit_code, 0);
    const std::string k9 = run("history --key K9").out;
    EXPECT_EQ(count_of(k9, "\n"), 5u) << k9;
    EXPECT_NE(k9.find(" ADAM" + login + "K9 group: G9 -> G10\n"), std::string::npos) << k9;
    EXPECT_EQ(count_of(k9, " CARL" + login + "K9 "), 4u) << k9;
}

TEST(DevgroupRoots, AnyRootPathWorksEndToEnd) {
    TempFolder folder("devgroup-paths-");
    std::string long_root = folder.path();
    while (long_root.size() < 4000) {
        long_root += "/" + std::string(std::min<size_t>(200, 3999 - long_root.size()), 'x');
    }
    for (const std::string& root :
         {long_root, folder.file("with spaces/root"), folder.file("Ünïcødé root ✓"),
          folder.file("back\\slash\\root")}) {
        SCOPED_TRACE(root.size() > 200 ? root.substr(0, 100) : root);
        const std::string prefix = std::string(DEVGROUP_EXE) + " --root " + quoted(root) + " ";
        ASSERT_EQ(std::system((prefix + "init 2>/dev/null").c_str()), 0);
        const std::string saved =
            prefix +
            "--now 1700000000 --keys "
            "'<Delete><Delete><Delete><Delete><Delete>PUMPS<F2>ADAM<Tab>secret<F10>y<Enter>'"
            " >/dev/null 2>&1";
        ASSERT_EQ(std::system(saved.c_str()), 0);
        FILE* pipe = popen((prefix + "export devices 2>&1").c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string exported;
        char buffer[4096];
        for (size_t got = 0; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            exported.append(buffer, got);
        }
        EXPECT_EQ(pclose(pipe), 0) << exported;
        EXPECT_NE(exported.find("K0000001,Pressure gauge PG-101,1,PUMPS"), std::string::npos)
            << exported.substr(0, 300);
    }
}

TEST(DevgroupDemo, NewRootGetsTheDemoDataAndListings) {
    TempFolder folder("devgroup-demo-");
    const std::string prefix = std::string(DEVGROUP_EXE) + " --root " + folder.file("root") + " ";
    // What a command prints, and its exit code.
    auto run = [](const std::string& command) {
        std::pair<std::string, int> result{"", -1};
        FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
        char buffer[4096];
        size_t got = 0;
        while (pipe != nullptr && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            result.first.append(buffer, got);
        }
        if (pipe != nullptr) {
            const int status = pclose(pipe);
            result.second = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return result;
    };
    const auto [log, log_exit] = run(prefix + "log");
    EXPECT_EQ(log, "") << "a listing makes no root";
    EXPECT_EQ(log_exit, 1);
    EXPECT_FALSE(std::filesystem::exists(folder.file("root")));
    EXPECT_EQ(run(prefix + "init").second, 0);
    const auto [devices, devices_exit] = run(prefix + "export devices");
    EXPECT_EQ(devices_exit, 0);
    EXPECT_EQ(std::count(devices.begin(), devices.end(), '\n'), 67) << "header and 66 records";
    const auto [sites, sites_exit] = run(prefix + "sites");
    EXPECT_EQ(sites_exit, 0);
    EXPECT_NE(sites.find("class 3  Screen viewer"), std::string::npos) << sites;
    EXPECT_NE(sites.find("flags 0x20000"), std::string::npos);
    EXPECT_NE(sites.find("class 5  FAX template"), std::string::npos);
    EXPECT_EQ(run(prefix + "jobs"), std::make_pair(std::string(), 0));
    EXPECT_EQ(run(prefix + "log"), std::make_pair(std::string(), 0));
    EXPECT_NE(run(prefix + "no-such-command").second, 0);
}

}  // namespace
