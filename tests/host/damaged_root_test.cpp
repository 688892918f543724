// A root with a damaged record file: a file without its layout stops every
// command that uses it and the editor, naming it and left as it is; a
// command that does not use a file never opens it.
#include <gtest/gtest.h>

#include <filesystem>

#include "host_test_support.h"

namespace {

namespace fs = std::filesystem;
using Outcome = hosttest::DevgroupOutcome;

class DamagedRoot : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(root_.made()) << root_.error(); }

    Outcome run(const std::string& arguments) {
        return hosttest::run_devgroup(root_.path(), arguments, root_.file("stderr.txt"));
    }

    hosttest::TempRoot root_{true};
};

TEST_F(DamagedRoot, ARecordFileWithoutItsLayoutStopsEveryUseNamingIt) {
    hosttest::write_file(root_.file("one.csv"), "key,instrument,status,group\nK9,Pump,1,G\n");
    const std::pair<const char*, std::vector<std::string>> uses[] = {
        {"devices",
         {"export devices", "import devices " + root_.file("one.csv"), "history", "--keys ''"}},
        {"settings", {"history settings", "store status", "--keys ''"}},
        {"passwords", {"history passwords", "store status", "--keys ''"}},
    };
    for (const auto& [name, commands] : uses) {
        const std::string path = root_.file("DATA/" + std::string(name) + ".db");
        fs::rename(path, path + ".whole");
        hosttest::write_file(path, "");
        for (const std::string& command : commands) {
            const Outcome outcome = run(command);
            EXPECT_EQ(outcome.exit_code, 1) << command;
            EXPECT_NE(outcome.err.find(path + ": empty, not a record file"), std::string::npos)
                << command << ": " << outcome.err;
        }
        EXPECT_EQ(fs::file_size(path), 0u) << name;
        fs::rename(path + ".whole", path);
    }
    EXPECT_EQ(run("export devices").exit_code, 0);
}

// A folder in a file's place cannot be read, not even by root.
TEST_F(DamagedRoot, ACommandNeverOpensARecordFileItDoesNotUse) {
    for (const char* name : {"settings", "passwords"}) {
        const std::string path = root_.file("DATA/" + std::string(name) + ".db");
        fs::rename(path, path + ".whole");
        fs::create_directory(path);
        const Outcome exported = run("export devices");
        EXPECT_EQ(exported.exit_code, 0) << name << ": " << exported.err;
        EXPECT_NE(exported.out.find("K0000001,"), std::string::npos) << name;
        for (const char* command : {"log", "jobs", "sites", "history devices"}) {
            const Outcome outcome = run(command);
            EXPECT_EQ(outcome.exit_code, 0) << name << ", " << command << ": " << outcome.err;
        }
        const Outcome editor = run("--keys ''");
        EXPECT_EQ(editor.exit_code, 1) << name;
        EXPECT_NE(editor.err.find(path + ": Is a directory"), std::string::npos) << editor.err;
        fs::remove(path);
        fs::rename(path + ".whole", path);
    }
}

}  // namespace
