// The change journal: what an insert and an update leave in it, in the same
// transaction as the write, and what it never holds (a password).
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/host_libraries.h"
#include "temp_root.h"

namespace {

class ChangeJournalFixture : public TempRootTest {
  protected:
    std::vector<hostlibs::JournalEntry> journal(const std::string& file = "devices",
                                                std::optional<std::string> key = std::nullopt) {
        std::vector<hostlibs::JournalEntry> entries;
        EXPECT_TRUE(hostlibs::read_journal(file, key, &entries, &error_)) << error_;
        return entries;
    }
    std::vector<std::string> lines(const std::vector<hostlibs::JournalEntry>& entries) {
        std::vector<std::string> described;
        for (const auto& entry : entries)
            described.push_back(entry.describe());
        return described;
    }
    void put(const std::string& key, const std::string& instrument, const std::string& group) {
        DeviceRecord record;
        put_text(record.key, 8, key);
        put_text(record.instrument, 30, instrument);
        record.status = 1;
        put_text(record.group, 8, group);
        ASSERT_TRUE(hostlibs::put_devices({record}, &error_)) << error_;
    }
    // Get-equal, a new group, update: the module's way of saving a name.
    int update_group(const std::string& key, const std::string& group) {
        DeviceRecord record{};
        rs_bind(&record);
        char key_buffer[8];
        put_text(key_buffer, 8, key);
        int status = rs_call(RS_GET_EQUAL, key_buffer, 0);
        if (status == RS_OK) {
            put_text(record.group, 8, group);
            status = rs_call(RS_UPDATE, &record, 0);
        }
        rs_bind(nullptr);
        return status;
    }
};

// Each test runs on both backends.
using ChangeJournal = OnEachBackend<ChangeJournalFixture>;
ON_EACH_BACKEND(ChangeJournal);

TEST_P(ChangeJournal, AnInsertJournalsEveryFieldAndAnUpdateOnlyTheChangedOnes) {
    put("K1", "Oven", "");
    ASSERT_EQ(update_group("K1", "HEAT"), RS_OK);
    EXPECT_EQ(lines(journal()), (std::vector<std::string>{
                                    "2021-03-04 05:06:07 OPERATOR K1 group: (blank) -> HEAT",
                                    "2021-03-04 05:06:07 OPERATOR K1 group: (new) -> (blank)",
                                    "2021-03-04 05:06:07 OPERATOR K1 status: (new) -> 1",
                                    "2021-03-04 05:06:07 OPERATOR K1 instrument: (new) -> Oven",
                                    "2021-03-04 05:06:07 OPERATOR K1 key: (new) -> K1",
                                }));
    EXPECT_EQ(journal().front().position, journal().back().position);
}

TEST_P(ChangeJournal, ReplacingARecordJournalsItsOldValuesAndTheUserOfTheMoment) {
    put("K1", "Oven", "HEAT");
    hostlibs::set_host_user("BERTA", 2);
    hostlibs::set_host_clock(1614834367 + 60);
    put("K1", "Oven", "COLD");
    const auto entries = journal();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().describe(), "2021-03-04 05:07:07 BERTA K1 group: HEAT -> COLD");
}

TEST_P(ChangeJournal, AKeyFilterShowsThatRecordOnly) {
    put("K1", "Oven", "");
    put("K2", "Lamp", "");
    ASSERT_EQ(update_group("K2", "LIGHT"), RS_OK);
    const auto entries = journal("devices", std::string("K2"));
    ASSERT_EQ(entries.size(), 5u);
    for (const auto& entry : entries)
        EXPECT_EQ(entry.key, "K2");
    std::vector<hostlibs::JournalEntry> ignored;
    EXPECT_FALSE(hostlibs::read_journal("devices", std::string(9, 'K'), &ignored, &error_));
    EXPECT_FALSE(hostlibs::read_journal("nothing", std::nullopt, &ignored, &error_));
}

TEST_P(ChangeJournal, AFailedUpdateJournalsNothing) {
    put("K1", "Oven", "");
    const size_t before = journal().size();
    DeviceRecord record{};
    rs_bind(&record);
    char key[8];
    put_text(key, 8, "K1");
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key, 0), RS_OK);
    // Another process deletes the record before the update.
    const std::string command = std::string(RECORD_PEER_PATH) + " " + root_ + " del 'K1      '";
    ASSERT_EQ(std::system(command.c_str()), 0);
    put_text(record.group, 8, "LOST");
    EXPECT_NE(rs_call(RS_UPDATE, &record, 0), RS_OK);
    rs_bind(nullptr);
    EXPECT_EQ(journal().size(), before);
}

TEST_P(ChangeJournal, APasswordNeverReachesTheJournalNotEvenThroughTheKey) {
    PasswordRecord record{};
    put_text(record.name, 30, "ADAM");
    put_text(record.password, 8, "secret");
    put_text(record.user_code, 4, "AD01");
    ASSERT_TRUE(hostlibs::put_password(record, &error_)) << error_;
    for (const auto& entry : journal("passwords")) {
        EXPECT_EQ(entry.key, "ADAM");
        EXPECT_EQ(entry.describe().find("secret"), std::string::npos) << entry.describe();
    }
    const auto entries = journal("passwords");
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[4].describe(),
              "2021-03-04 05:06:07 OPERATOR ADAM password: (new) -> (hidden)");
}

TEST_P(ChangeJournal, CanBeSwitchedOff) {
    hostlibs::close_host();
    hostlibs::HostConfiguration config = configuration();
    config.change_journal = false;
    ASSERT_TRUE(open(config)) << error_;
    put("K1", "Oven", "");
    ASSERT_EQ(update_group("K1", "HEAT"), RS_OK);
    EXPECT_TRUE(journal().empty());
}

}  // namespace
