// The host's own sign-on module and error-log viewer under key scripts.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "host_test_support.h"
#include "hostlibs/host_setup.h"
#include "hostlibs/shell.h"
#include "hostlibs/status.h"

namespace {

class BuiltinModules : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(root_.made()) << root_.error(); }

    bool open(const std::string& keys) {
        std::string error;
        const bool opened = session_.open(hosttest::headless_options(root_.path(), keys), &error);
        EXPECT_TRUE(opened) << error;
        return opened;
    }

    hosttest::TempRoot root_;
    hostapp::HostSession session_;
};

TEST_F(BuiltinModules, SignOnChecksThePasswordFileAndSignsTheUserOn) {
    // A wrong password first (the popup stays, the password is cleared),
    // then BERTA's own.
    ASSERT_TRUE(open("BERTA<Tab>wrong<F10>geheim<F10>"));
    ASSERT_EQ(session_.call_module(hostapp::make_entry("USER", "SIGNON", "SIGNON")), 0);
    const UserSession& user = *session_.context().user;
    EXPECT_EQ(std::string(user.name, 4), "BERT");
    EXPECT_EQ(std::string(user.user_code, 4), "BE02");
    EXPECT_EQ(std::string(user.password, 8), "geheim  ");
    EXPECT_EQ(user.rights, 0x2000000u);
    EXPECT_EQ(user.language, 2);
    EXPECT_EQ(user.password_time, 1700000000u);
    EXPECT_EQ(session_.language(), 2);
    EXPECT_EQ(std::string(host_user_id(), 8), "BERTA   ");
    EXPECT_EQ(host_user_no(), 2u);
    EXPECT_EQ(hostlibs::technician_sign_ons(), 1);
    EXPECT_EQ(hostlibs::status_shown().text, "BE02");
}

TEST_F(BuiltinModules, SignOnLeftWithEscapeChangesNobody) {
    ASSERT_TRUE(open("CARL<Tab>nope<F10><Esc>"));
    ASSERT_EQ(session_.call_module(hostapp::make_entry("USER", "SIGNON", "SIGNON")), 0);
    EXPECT_EQ(std::string(session_.context().user->name, 4), "ADAM");
    EXPECT_EQ(hostlibs::technician_sign_ons(), 0);
    EXPECT_NE(session_.final_screen().find("No user with this name and password."),
              std::string::npos)
        << session_.final_screen();
}

// From the third failed entry of a name on, the popup tells the wait; a
// name the password file does not hold is told the same.
TEST_F(BuiltinModules, SignOnTellsTheWaitOfKnownAndUnknownNamesAlike) {
    for (const char* name : {"CARL", "NOBODY"}) {
        session_.close();
        ASSERT_TRUE(open(std::string(name) + "<Tab>nope<F10>nope<F10>nope<F10><Esc>"));
        ASSERT_EQ(session_.call_module(hostapp::make_entry("USER", "SIGNON", "SIGNON")), 0);
        EXPECT_NE(session_.final_screen().find("Not accepted; try again in 1 s."),
                  std::string::npos)
            << name << "\n"
            << session_.final_screen();
    }
    EXPECT_EQ(std::string(session_.context().user->name, 4), "ADAM");
    EXPECT_EQ(hostlibs::technician_sign_ons(), 0);
}

// A password file damaged inside (8 KB overwritten at offset 8192) is no
// wrong password: the popup says the check failed and the error log why.
TEST_F(BuiltinModules, SignOnOnADamagedPasswordFileSaysItFailed) {
    {
        std::fstream file(root_.file("DATA/passwords.db"),
                          std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(8192);
        file << std::string(8192, '\x5A');
    }
    ASSERT_TRUE(open("ADAM<Tab>secret<F10><Esc>"));
    ASSERT_EQ(session_.call_module(hostapp::make_entry("USER", "SIGNON", "SIGNON")), 0);
    EXPECT_EQ(hostlibs::technician_sign_ons(), 0);
    EXPECT_NE(session_.final_screen().find("That failed; see the error log."), std::string::npos)
        << session_.final_screen();
    const std::vector<hostlibs::ErrorLogEntry> log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].text.find("passwords.db: database disk image is malformed"), std::string::npos)
        << log[0].text;
}

TEST_F(BuiltinModules, ErrorLogViewerListsNewestFirst) {
    ASSERT_TRUE(open(""));
    const std::string long_text = "long " + std::string(100, 'x') + " end";
    for (const char* text : {long_text.c_str(), "first failure", "second failure"}) {
        ErrorRecord record{};
        record.kind = 5;
        std::memcpy(record.source, "TOOLBANK", 8);
        record.code = 0x80007530;
        std::memset(record.text, ' ', sizeof record.text);
        std::memcpy(record.text, text, std::strlen(text));
        ErrorLogRequest request{};
        request.record = &record;
        request.record_length = sizeof record;
        host_error_log(&request);
    }
    ASSERT_EQ(session_.call_module(hostapp::make_entry("USER", "ERRORLOG", "ERRORLOG")), 0);
    const std::string screen = session_.final_screen();
    const size_t second = screen.find("second failure");
    const size_t first = screen.find("first failure");
    ASSERT_NE(second, std::string::npos) << screen;
    ASSERT_NE(first, std::string::npos) << screen;
    EXPECT_LT(second, first);
    // A record longer than the screen goes on, indented, on the next lines.
    const size_t long_start = screen.find("long xxx");
    ASSERT_NE(long_start, std::string::npos) << screen;
    const size_t line_end = screen.find('\n', long_start);
    EXPECT_EQ(screen.substr(line_end + 1, 5), "    x") << screen;
    EXPECT_NE(screen.find("x end", line_end), std::string::npos) << screen;
}

}  // namespace
