// The host loads only a module library that nobody but its user or root can
// have put in place: an untrusted one is refused before any of its code runs.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "host_test_support.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using hosttest::TempRoot;

// A copy of the tiny module in `folder` (made 0755), mode 0755.
std::string place_module(const std::string& folder) {
    fs::create_directories(folder);
    chmod(folder.c_str(), 0755);
    const std::string library = folder + "/tiny.so";
    fs::copy_file(TINY_MODULE_PATH, library, fs::copy_options::overwrite_existing);
    chmod(library.c_str(), 0755);
    return library;
}

class ModuleTrust : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root_.made()) << root_.error();
        ASSERT_FALSE(trusted_.path().empty());
        marker_ = root_.file("constructor-ran");
        setenv("TINY_MODULE_LOADED", marker_.c_str(), 1);
    }
    void TearDown() override { unsetenv("TINY_MODULE_LOADED"); }

    // Runs a session on the root with `module` (empty: host.conf's); the
    // reason the module failed, or "" when it ran.
    std::string run_session(const std::string& module) {
        hostapp::HostSession session;
        std::string error;
        if (!session.open(hosttest::headless_options(root_.path(), "", module), &error)) {
            return "open failed: " + error;
        }
        return session.run() == 0 ? "" : session.last_error();
    }

    TempRoot root_;
    // Under the build tree: every folder above it is its owner's alone.
    TempFolder trusted_{"devgroup-trust-", TRUSTED_TEST_DIR};
    std::string marker_;
};

TEST_F(ModuleTrust, AModuleInATrustedPlaceLoads) {
    const std::string library = place_module(trusted_.file("lib"));
    EXPECT_EQ(run_session(library), "");
    EXPECT_TRUE(fs::exists(marker_)) << "the tiny module's constructor marks its loading";
}

struct UntrustedCase {
    const char* name;
    // Lays the module down (and whatever makes it untrusted); returns the
    // path to load and sets the file the refusal must name.
    std::function<std::string(const TempFolder& trusted, std::string* offender)> set_up;
    const char* reason;
};

TEST_F(ModuleTrust, AnUntrustedModuleIsRefusedBeforeItsCodeRuns) {
    TempFolder under_tmp("devgroup-trust-");  // its own folder is 0700, but /tmp is not
    const std::vector<UntrustedCase> cases = {
        {"group-writable folder",
         [](const TempFolder& trusted, std::string* offender) {
             const std::string library = place_module(trusted.file("shared"));
             chmod(trusted.file("shared").c_str(), 0775);
             *offender = trusted.file("shared");
             return library;
         },
         "is writable by group or others (mode 0775)"},
        {"library writable by others",
         [](const TempFolder& trusted, std::string* offender) {
             const std::string library = place_module(trusted.file("open"));
             chmod(library.c_str(), 0666);
             *offender = library;
             return library;
         },
         "is writable by group or others (mode 0666)"},
        {"sticky world-writable folder above",
         [&under_tmp](const TempFolder&, std::string* offender) {
             *offender = fs::temp_directory_path().string();
             return place_module(under_tmp.file("lib"));
         },
         "is writable by group or others (mode 1777)"},
        {"link from a trusted folder to an untrusted library",
         [&under_tmp](const TempFolder& trusted, std::string* offender) {
             const std::string real = place_module(under_tmp.file("linked"));
             const std::string link = trusted.file("link.so");
             fs::create_symlink(real, link);
             *offender = fs::temp_directory_path().string();
             return link;
         },
         "is writable by group or others (mode 1777)"},
    };
    for (const UntrustedCase& test : cases) {
        SCOPED_TRACE(test.name);
        std::string offender;
        const std::string library = test.set_up(trusted_, &offender);
        const std::string why = run_session(library);
        EXPECT_NE(why.find("not loading the module " + library), std::string::npos) << why;
        EXPECT_NE(why.find(": " + offender + " " + test.reason), std::string::npos) << why;
        EXPECT_FALSE(fs::exists(marker_)) << "the refused library's constructor ran";
    }
}

// host.conf names the module: one that others may write is as bad as the library.
TEST_F(ModuleTrust, AHostConfOthersMayWriteIsRefused) {
    const std::string library = place_module(trusted_.file("lib"));
    const std::string conf = root_.file("host.conf");
    hosttest::write_file(conf, hosttest::read_file(conf) + "module = " + library + "\n");
    chmod(conf.c_str(), 0666);
    const std::string why = run_session("");
    EXPECT_NE(why.find(conf + " is writable by group or others (mode 0666)"), std::string::npos)
        << why;
    EXPECT_FALSE(fs::exists(marker_));
    chmod(conf.c_str(), 0644);
    EXPECT_EQ(run_session(""), "");
    EXPECT_TRUE(fs::exists(marker_));
}

TEST_F(ModuleTrust, ALibraryOwnedByAnotherUserIsRefused) {
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || nobody == nullptr) {
        GTEST_SKIP() << "giving a file to another user needs root and a user nobody";
    }
    const std::string library = place_module(trusted_.file("lib"));
    ASSERT_EQ(chown(library.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    const std::string why = run_session(library);
    EXPECT_NE(why.find(library + " is owned by nobody"), std::string::npos) << why;
    EXPECT_FALSE(fs::exists(marker_));
}

}  // namespace
