// The host's loading path with a tiny module of the tests' own: HostContext
// as the module reads it by byte position, and the run list run afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "host_test_support.h"
#include "hostlibs/host_setup.h"
#include "hostlibs/shell.h"
#include "screenlib/screenlib.h"

namespace {

using hosttest::TempRoot;

std::vector<std::string> names(const std::vector<RunListEntry>& entries) {
    std::vector<std::string> result;
    for (const RunListEntry& entry : entries) {
        result.push_back(hostlibs::describe_entry(entry));
    }
    return result;
}

class ModuleLoading : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root_.made()) << root_.error();
        out_ = root_.file("tiny.out");
        setenv("TINY_MODULE_OUT", out_.c_str(), 1);
    }
    void TearDown() override { unsetenv("TINY_MODULE_OUT"); }

    hostapp::HostOptions options(const std::string& user = "", const std::string& keys = "") const {
        hostapp::HostOptions result =
            hosttest::headless_options(root_.path(), keys, TINY_MODULE_PATH);
        result.user = user;
        return result;
    }

    TempRoot root_;
    std::string out_;
};

TEST_F(ModuleLoading, ModuleSeesHostContextAndItsQueuedModuleRuns) {
    hostapp::HostSession session;
    std::string error;
    ASSERT_TRUE(session.open(options("", "<Esc>"), &error)) << error;
    EXPECT_EQ(session.run(), 0);

    // The module ran, queued the error-log viewer, which ran until Escape,
    // and the module (still below it on the list) ran once more; then the
    // list was empty.
    EXPECT_EQ(names(session.modules_run()),
              (std::vector<std::string>{"USER\\DEVGROUP\\TOOLBANK", "USER\\ERRORLOG\\ERRORLOG",
                                        "USER\\DEVGROUP\\TOOLBANK"}));
    EXPECT_TRUE(hostlibs::run_list().empty());
    EXPECT_EQ(hostlibs::host_leave_count(), 2);
    EXPECT_EQ(session.context().return_flag, 0);

    const std::string seen = hosttest::read_file(out_);
    const std::string popup_dir = "C:\\USER\\POPUPS\\";
    EXPECT_EQ(seen.substr(0, seen.find('\n')),
              "call=1 identity=USER/DEVGROUP/TOOLBANK user=ADAM rights=82000000 code=AD01 "
              "lang=1 interval=300 title=Instrument Registry  fallback=1 field21=4F popup28=3F "
              "tone1=1,880 popup_dir=" +
                  popup_dir + " message4=This is the first page.");
    EXPECT_NE(seen.find("call=2 "), std::string::npos);
}

TEST_F(ModuleLoading, UserAndLanguageChooseSessionAndMessages) {
    hostapp::HostSession session;
    std::string error;
    ASSERT_TRUE(session.open(options("BERTA"), &error)) << error;
    EXPECT_EQ(session.language(), 2);
    ASSERT_EQ(session.call_module(session.module_entry()), 0);
    const std::string seen = hosttest::read_file(out_);
    EXPECT_NE(seen.find("user=BERT rights=02000000 code=BE02 lang=2"), std::string::npos) << seen;
    EXPECT_NE(seen.find("message4=Dies ist die erste Seite."), std::string::npos) << seen;
    // call_module runs the module once and leaves the run list to the caller.
    EXPECT_EQ(names(hostlibs::run_list()), (std::vector<std::string>{"USER\\ERRORLOG\\ERRORLOG"}));
}

// The module's password prompt rewrites UserSession, then calls
// language_changed: the host follows with its user and its messages.
TEST_F(ModuleLoading, LanguageChangedFollowsTheUserTheModuleSignedOn) {
    hostapp::HostSession session;
    std::string error;
    ASSERT_TRUE(session.open(options(), &error)) << error;
    HostContext& context = session.context();
    std::memcpy(context.user->user_code, "DO04", 4);
    context.language_changed(2);
    EXPECT_EQ(session.language(), 2);
    EXPECT_EQ(session.message(4), "Dies ist die erste Seite.");
    EXPECT_EQ(std::string(host_user_id(), 8), "DORA    ");
    EXPECT_EQ(host_user_no(), 4u);
    char text[41];
    EXPECT_EQ(context.message_text(11, text, sizeof text), 0);
    EXPECT_STREQ(text, "Name und Passwort eingeben, dann F10.");
    // A short buffer gets a cut, terminated text; a bad index the empty text.
    char small[5];
    context.message_text(3, small, sizeof small);
    EXPECT_STREQ(small, "Dies");
    EXPECT_NE(context.message_text(-1, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_NE(context.message_text(0, nullptr, 10), 0);
    context.language_changed(0);
    EXPECT_EQ(session.language(), 2) << "a language out of range changes nothing";
}

TEST_F(ModuleLoading, MissingLibraryOrEntryPointIsAFailureNotACrash) {
    hostapp::HostSession session;
    std::string error;
    hostapp::HostOptions missing = options();
    missing.module_path = root_.file("no-such-module.so");
    ASSERT_TRUE(session.open(missing, &error)) << error;
    EXPECT_EQ(session.run(), 1);
    EXPECT_NE(session.last_error().find("no-such-module.so"), std::string::npos);
    session.close();

    // A shared library without Appstart (the host libraries themselves).
    hostapp::HostOptions no_entry = options();
    no_entry.module_path = HOSTLIBS_PATH;
    ASSERT_TRUE(session.open(no_entry, &error)) << error;
    EXPECT_EQ(session.call_module(session.module_entry()), -1);
    EXPECT_NE(session.last_error().find("Appstart"), std::string::npos);
}

TEST_F(ModuleLoading, HostConfNamesTheModuleRelativeToTheRoot) {
    // A root the host trusts a module in: no folder above it is open to others.
    TempRoot trusted(false, TRUSTED_TEST_DIR);
    ASSERT_TRUE(trusted.made()) << trusted.error();
    std::filesystem::create_directories(trusted.file("lib"));
    std::filesystem::copy_file(TINY_MODULE_PATH, trusted.file("lib/tiny.so"));
    hosttest::write_file(trusted.file("host.conf"),
                         hosttest::read_file(trusted.file("host.conf")) + "module = lib/tiny.so\n");
    hostapp::HostOptions configured = options();
    configured.root = trusted.path();
    configured.module_path.clear();
    hostapp::HostSession session;
    std::string error;
    ASSERT_TRUE(session.open(configured, &error)) << error;
    EXPECT_EQ(session.call_module(session.module_entry()), 0) << session.last_error();
    EXPECT_NE(hosttest::read_file(out_).find("call=1 "), std::string::npos);
}

TEST_F(ModuleLoading, UnknownModuleIsToldAndPopped) {
    setenv("TINY_MODULE_PUSH", "USER NOWHERE NOBODY", 1);
    hostapp::HostSession session;
    std::string error;
    ASSERT_TRUE(session.open(options("", "<Esc>"), &error)) << error;
    EXPECT_EQ(session.run(), 0);
    unsetenv("TINY_MODULE_PUSH");
    EXPECT_EQ(names(session.modules_run()),
              (std::vector<std::string>{"USER\\DEVGROUP\\TOOLBANK", "USER\\NOWHERE\\NOBODY",
                                        "USER\\DEVGROUP\\TOOLBANK"}));
    EXPECT_NE(session.last_error().find("USER\\NOWHERE\\NOBODY"), std::string::npos);
    EXPECT_TRUE(hostlibs::run_list().empty());
    EXPECT_EQ(session.call_module(hostapp::make_entry("USER", "NOWHERE", "NOBODY")), -2);
}

TEST_F(ModuleLoading, OpenRefusesWhatItCannotServe) {
    hostapp::HostSession session;
    std::string error;
    EXPECT_FALSE(session.open(options("NOBODY"), &error));
    EXPECT_NE(error.find("NOBODY"), std::string::npos);
    hostapp::HostOptions no_root = options();
    no_root.root = root_.file("missing");
    EXPECT_FALSE(session.open(no_root, &error));
    hostapp::HostOptions bad_keys = options();
    bad_keys.keys = "<NoSuchKey>";
    EXPECT_FALSE(session.open(bad_keys, &error));
    EXPECT_FALSE(session.is_open());
    // The refusal came after the host libraries opened and the screen
    // started: both are undone.
    EXPECT_FALSE(hostlibs::host_is_open());
    EXPECT_EQ(screenlib::backend(), nullptr);
    // Nothing stayed open: a good open still works.
    EXPECT_TRUE(session.open(options(), &error)) << error;
}

}  // namespace
