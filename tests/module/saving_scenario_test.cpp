// Saving as an operator does it: F2, the password prompt when the rights are
// not fresh, the yes/no confirmation, and what the devices file holds after.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "hostlibs/shell.h"
#include "hostlibs/status.h"
#include "platform/byte_fields.h"
#include "scenario_support.h"

namespace {

constexpr uint32_t kNow = 1000;
constexpr int kSecondTone = 880;

// Another process's change, made when the save shows its first message:
// after the table was loaded, before any record is read again.
std::vector<std::string> peer_commands;
// Or a peer that holds the devices file's write lock from then on, started
// and waited for until it says it has the lock.
std::string peer_hold_command;
FILE* holding_peer = nullptr;
MessageTextFn host_message_text = nullptr;

int message_with_peer_change(int index, char* buffer, int size) {
    if (index == 0) {
        for (const std::string& command : peer_commands)
            EXPECT_EQ(std::system(command.c_str()), 0) << command;
        peer_commands.clear();
        if (!peer_hold_command.empty()) {
            holding_peer = popen(peer_hold_command.c_str(), "r");
            char line[16] = {};
            EXPECT_TRUE(holding_peer != nullptr &&
                        std::fgets(line, sizeof line, holding_peer) != nullptr);
            EXPECT_STREQ(line, "locked\n");
            peer_hold_command.clear();
        }
    }
    return host_message_text(index, buffer, size);
}

class Saving : public EditorScenario {
  protected:
    // Opens as ADAM (rights to save and quit), who granted a password just now
    // unless `fresh` is false.
    void open_as_adam(const std::string& keys, bool fresh = true, int language = 0) {
        open(keys, language);
        HostSettings* settings = session_.context().settings;
        settings->second_tone_on = 1;
        store_u16(settings->second_tone, kSecondTone);
        settings->password_interval = 300;
        put_users();
        session_.context().user->password_time = fresh ? kNow - 10 : 0;
    }

    // Runs `record_peer ROOT <arguments>` once the save has begun.
    void during_save(const std::string& arguments) {
        peer_commands.push_back(peer_command(arguments));
        watch_the_save();
    }
    // From the save's beginning, another process holds the write lock for
    // `milliseconds`; waits for it to end when the test ends.
    void locked_during_save(int milliseconds) {
        peer_hold_command = peer_command("hold " + std::to_string(milliseconds));
        watch_the_save();
    }
    void TearDown() override {
        if (holding_peer != nullptr) {
            EXPECT_EQ(pclose(holding_peer), 0);
            holding_peer = nullptr;
        }
        EditorScenario::TearDown();
    }
    std::string peer_command(const std::string& arguments) const {
        return std::string(RECORD_PEER) + " " + root_path_ + " " + arguments;
    }
    void watch_the_save() {
        host_message_text = session_.context().message_text;
        session_.context().message_text = message_with_peer_change;
    }

    std::map<std::string, DeviceRecord> stored() {
        std::map<std::string, DeviceRecord> records;
        std::string error;
        EXPECT_TRUE(hostlibs::for_each_device(
            [&](const DeviceRecord& r) {
                records[std::string(r.key, 8)] = r;
                return true;
            },
            &error))
            << error;
        return records;
    }
    std::string stored_group(int i) { return text(stored()[key_of(i)].group, 8); }

    std::string prompt() const { return cells(kPromptRow, 1, 78); }
    bool prompt_shows(int message) const {
        const std::string text = session_.message(message);
        return !text.empty() && prompt().substr(0, text.size()) == text;
    }
    static bool shows(const EditorPicture& picture, const std::string& text) {
        for (const std::string& r : picture.rows) {
            if (r.find(text) != std::string::npos)
                return true;
        }
        return false;
    }
    // The popups the run closed whose picture holds `text`.
    int popups_showing(const std::string& text) const {
        int count = 0;
        for (const EditorPicture& picture : popup_pictures)
            count += shows(picture, text) ? 1 : 0;
        return count;
    }
    std::string trace() const {
        std::ifstream in(hostlibs::trace_path());
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    void three_blank_groups() {
        put_devices({device(0, "Oven", ""), device(1, "Scale", ""), device(2, "Lamp", "")});
    }
};

TEST_F(Saving, WithFreshRightsAsksOnlyYesNoAndStoresTheNamesAlone) {
    DeviceRecord oven = device(0, "Oven", "");
    oven.status = 0x0101;  // shown; the high byte must survive
    put_devices({oven, device(1, "Scale", "OLD"), device(2, "Lamp", "")});
    open_as_adam("PUMPS<Down><Delete><Delete><Delete>MIX<PgDn><PgDn><F2>y<Enter>");
    run_editor();
    EXPECT_EQ(popups_showing("Name:"), 0) << "no password prompt";
    ASSERT_EQ(popup_pictures.size(), 1u);
    for (const char* line : {" You have made changes to the", " Device group.  Are you sure",
                             " you want to save the changes?"}) {
        EXPECT_TRUE(shows(popup_pictures[0], line)) << line;
    }
    auto records = stored();
    EXPECT_EQ(text(records[key_of(0)].group, 8), "PUMPS   ");
    EXPECT_EQ(text(records[key_of(1)].group, 8), "MIX     ");
    EXPECT_EQ(text(records[key_of(2)].group, 8), std::string(8, ' '));
    EXPECT_EQ(records[key_of(0)].status, 0x0101);
    EXPECT_EQ(text(records[key_of(0)].instrument, 30), padded("Oven", 30));
    // Reloaded and back on page 1, the prompt line cleared.
    EXPECT_EQ(cells(kTitleRow, kPageColumn, 1), "1");
    EXPECT_EQ(group_cell(0), "PUMPS   ");
    EXPECT_EQ(group_attribute(0), 0x1E) << "no longer marked as changed";
    EXPECT_EQ(prompt(), std::string(78, '-'));
    EXPECT_TRUE(hostlibs::read_error_log().empty());
}

TEST_F(Saving, AfterTheIntervalAWrongPasswordIsRefusedAndTracedMasked) {
    three_blank_groups();
    open_as_adam("PUMPS<F2>ADAM<Tab>wrongpw<F10><Esc>", false);
    run_editor();
    ASSERT_EQ(popup_pictures.size(), 1u);
    const EditorPicture& prompt_popup = popup_pictures[0];
    EXPECT_TRUE(shows(prompt_popup, session_.message(10))) << "message 10 on its prompt line";
    EXPECT_TRUE(shows(prompt_popup, "*******"));
    EXPECT_FALSE(shows(prompt_popup, "wrongpw")) << "the password shows on screen";
    const std::string lines = trace();
    EXPECT_NE(lines.find("Getpass: pwd record not found, name=ADAM, pass=********"),
              std::string::npos)
        << lines;
    EXPECT_EQ(lines.find("wrongpw"), std::string::npos) << "the password reached the trace";
    EXPECT_EQ(stored_group(0), std::string(8, ' ')) << "Escape refuses the save";
    EXPECT_EQ(group_cell(0), "PUMPS   ") << "the edit stays";
}

// From the third failed entry of a name on, the prompt line tells the wait
// instead of freezing, and the error log tells of the run; the popup stays.
TEST_F(Saving, RepeatedWrongPasswordsMakeThePromptTellTheWait) {
    three_blank_groups();
    open_as_adam("PUMPS<F2>ADAM<Tab>wrongpw<F10><F10><F10><Esc>", false);
    run_editor();
    ASSERT_EQ(popup_pictures.size(), 1u);
    EXPECT_TRUE(shows(popup_pictures[0], "Not accepted; try again in 1 s."));
    const auto log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "password of ADAM failed 3 times in a row; each further try waits");
    EXPECT_EQ(stored_group(0), std::string(8, ' '));
}

TEST_F(Saving, AUserWithCoveringRightsGrantsAndSaves) {
    three_blank_groups();
    // Enter moves from the name to the password, and on the password accepts.
    open_as_adam("PUMPS<F2>BERTA<Enter>geheim<Enter>y<Enter>", false);
    run_editor();
    EXPECT_EQ(stored_group(0), "PUMPS   ");
    const UserSession& session = *session_.context().user;
    EXPECT_EQ(text(session.user_code, 4), "BE02");
    EXPECT_EQ(session.rights, 0x02000000u);
    EXPECT_EQ(session.language, 2);
    EXPECT_EQ(session.password_time, kNow);
    EXPECT_EQ(hostlibs::status_shown().text, "BE02");
    EXPECT_EQ(hostlibs::technician_sign_ons(), 1);
    EXPECT_EQ(session_.language(), 2) << "the host's messages follow the user";
    EXPECT_NE(trace().find("Getpass: pwd record found, mask=02000000, passwd.auth=02000000"),
              std::string::npos);
}

TEST_F(Saving, AUserWithoutTheRightsIsSignedOnButNotGranted) {
    three_blank_groups();
    open_as_adam("PUMPS<F2>  CARL<Tab>  guest<F10><Esc>", false);
    run_editor();
    ASSERT_EQ(popup_pictures.size(), 1u);
    EXPECT_TRUE(shows(popup_pictures[0], session_.message(11)));
    EXPECT_EQ(text(session_.context().user->user_code, 4), "CA03");
    EXPECT_EQ(hostlibs::status_shown().text, "CA03");
    EXPECT_EQ(stored_group(0), std::string(8, ' '));
}

TEST_F(Saving, WithoutAPasswordIntervalSavesWithoutThePrompt) {
    three_blank_groups();
    open_as_adam("PUMPS<F2>y<Enter>", false);
    session_.context().settings->password_interval = 0;
    session_.context().user->rights = 0;  // not even checked
    run_editor();
    EXPECT_EQ(popups_showing("Name:"), 0);
    EXPECT_EQ(stored_group(0), "PUMPS   ");
    EXPECT_EQ(session_.context().user->password_time, kNow) << "the interval restarts";
}

TEST_F(Saving, AClockBelowTheStoredTimeAsksForThePassword) {
    three_blank_groups();
    open_as_adam("PUMPS<F2><Esc>");
    session_.context().user->password_time = kNow + 5;
    run_editor();
    EXPECT_EQ(popups_showing("Name:"), 1);
    EXPECT_EQ(stored_group(0), std::string(8, ' '));
}

TEST_F(Saving, ATwoWordNameOnAnotherPageIsShownAndNothingIsStored) {
    put_numbered(100);
    // Row 1 changed validly, row 65 (page 4) gets two words; back on page 1.
    open_as_adam("<Down>x<PgDn><PgDn><PgDn><Down><Down><Down><Down>a b<PgUp><PgUp><PgUp><F2>");
    run_editor();
    EXPECT_TRUE(popup_pictures.empty()) << "no confirmation";
    EXPECT_EQ(cells(kTitleRow, kPageColumn, 1), "4");
    EXPECT_TRUE(prompt_shows(8)) << prompt();
    EXPECT_EQ(headless().tones().back(), kSecondTone);
    EXPECT_EQ(stored_group(1), padded("G1", 8));
    EXPECT_EQ(stored_group(65), padded("G65", 8));
    EXPECT_EQ(group_cell(5), padded("a b", 8));
    EXPECT_EQ(headless().cursor_row(), kFirstDataRow + 5) << "the cursor on that row";
}

TEST_F(Saving, NoAtTheConfirmationKeepsEditsMarksAndPage) {
    put_numbered(30);
    open_as_adam("<PgDn>x<F2>n<Enter>");
    run_editor();
    EXPECT_EQ(popup_pictures.size(), 1u);
    EXPECT_EQ(cells(kTitleRow, kPageColumn, 1), "2");
    EXPECT_EQ(group_cell(0), padded("x", 8));
    EXPECT_EQ(group_attribute(0), session_.context().settings->field_colors[2]);
    EXPECT_EQ(stored_group(20), padded("G20", 8));
    EXPECT_TRUE(prompt_shows(1)) << prompt();
}

TEST_F(Saving, NothingChangedShowsMessageTwoThenClearsThePrompt) {
    put_numbered(3);
    open_as_adam("<F2>");
    session_.context().settings->first_tone_on = 1;
    store_u16(session_.context().settings->first_tone, 440);
    run_editor();
    EXPECT_TRUE(popup_pictures.empty());
    EXPECT_EQ(headless().tones(), (std::vector<int>{440, 440})) << "message 2, then message 0";
    EXPECT_EQ(prompt(), std::string(78, '-'));
}

TEST_F(Saving, ANameChangedOnlyInLetterCaseIsNotWritten) {
    // The code page's letters too: "grün" typed as "GRÜN" (the script is UTF-8).
    put_devices({device(0, "Oven", "pumps"), device(1, "Scale", ""), device(2, "Lamp", "gr\xFCn")});
    open_as_adam("<Delete><Delete><Delete><Delete><Delete>PUMPS<Down>x<Down>GRÜN<F2>y<Enter>");
    run_editor();
    EXPECT_EQ(stored_group(0), "pumps   ");
    EXPECT_EQ(stored_group(1), "x       ");
    EXPECT_EQ(stored_group(2), "gr\xFCn    ");
    EXPECT_EQ(prompt(), std::string(78, '-'));
}

TEST_F(Saving, ChangesOfOtherFieldsByAnotherProcessSurvive) {
    three_blank_groups();
    open_as_adam("PUMPS<F2>y<Enter>");
    during_save("set " + key_of(0) + " 8 Renamed");
    run_editor();
    auto records = stored();
    EXPECT_EQ(text(records[key_of(0)].group, 8), "PUMPS   ");
    EXPECT_EQ(text(records[key_of(0)].instrument, 30), padded("Renamed", 30));
}

TEST_F(Saving, AnUpdateThatFindsTheFileLockedEndsTheSaveWithTheLocksReason) {
    three_blank_groups();
    open_as_adam("PUMPS<Down>FANS<F2>y<Enter>");
    // Longer than the store waits for a lock, so the first update gives up.
    locked_during_save(4000);
    run_editor();
    const auto log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u) << "the save stopped at the first failure";
    EXPECT_EQ(log[0].text, "Unable to update devices.dbf");
    EXPECT_EQ(log[0].code, (200000000u + EBUSY) | 0x80000000u) << "the store's reason";
    EXPECT_TRUE(prompt_shows(6)) << prompt();
    EXPECT_EQ(stored_group(0), padded("", 8));
    EXPECT_EQ(stored_group(1), padded("", 8));
}

TEST_F(Saving, ARecordDeletedMeanwhileEndsTheSaveWithOneErrorRecord) {
    put_numbered(5);
    open_as_adam("a<Down>b<Down>c<Down>d<Down>e<Down><F2>y<Enter>");
    during_save("del " + key_of(2));
    run_editor();
    EXPECT_EQ(stored_group(0), padded("a", 8));
    EXPECT_EQ(stored_group(1), padded("b", 8));
    EXPECT_EQ(stored_group(3), padded("G3", 8)) << "the save went on after the failure";
    EXPECT_EQ(stored_group(4), padded("G4", 8));
    const auto log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "Btrv Error #4 (" + key_of(2) + ")");
    EXPECT_EQ(log[0].source, "TOOLBANK");
    EXPECT_EQ(log[0].code, (200000000u + ENOENT) | 0x80000000u) << "the store's reason";
    EXPECT_TRUE(prompt_shows(6)) << prompt();
    // The reload shows what is stored: the fourth row is now record 3.
    EXPECT_EQ(group_cell(0), padded("a", 8));
    EXPECT_EQ(group_cell(2), padded("G3", 8));
    // Beside the records put in, the journal holds the two stored names and
    // nothing of the rows not stored.
    std::string error;
    std::vector<std::string> saved;
    ASSERT_TRUE(hostlibs::read_journal(
        "devices", std::nullopt,
        [&](const hostlibs::JournalEntry& entry) {
            if (!entry.inserted)
                saved.push_back(entry.key + " " + entry.field + ": " + entry.old_value + " -> " +
                                entry.new_value);
            return true;
        },
        &error))
        << error;
    EXPECT_EQ(saved, (std::vector<std::string>{key_of(1) + " group: G1 -> b",
                                               key_of(0) + " group: G0 -> a"}));
}

TEST_F(Saving, DevgroupHistoryPrintsWhoChangedWhichGroupNewestFirst) {
    three_blank_groups();
    open_as_adam("PUMPS<F2>y<Enter>");
    run_editor();
    session_.close();
    const std::string command =
        std::string(DEVGROUP_EXE) + " --root " + root_path_ + " history devices --key " + key_of(0);
    std::string printed;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr)
        printed += chunk;
    EXPECT_EQ(pclose(pipe), 0);
    const std::string line = printed.substr(0, printed.find('\n'));
    const std::string after_login = ") " + key_of(0) + " group: (blank) -> PUMPS";
    EXPECT_EQ(line.rfind("1970-01-01 00:16:40 ADAM (login ", 0), 0u) << line;
    ASSERT_GE(line.size(), after_login.size()) << line;
    EXPECT_EQ(line.substr(line.size() - after_login.size()), after_login) << line;
}

}  // namespace
