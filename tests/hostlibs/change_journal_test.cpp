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
        EXPECT_TRUE(hostlibs::read_journal(
            file, key,
            [&](const hostlibs::JournalEntry& entry) {
                entries.push_back(entry);
                return true;
            },
            &error_))
            << error_;
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
    const auto ignore = [](const hostlibs::JournalEntry&) { return true; };
    EXPECT_FALSE(hostlibs::read_journal("devices", std::string(9, 'K'), ignore, &error_));
    EXPECT_FALSE(hostlibs::read_journal("nothing", std::nullopt, ignore, &error_));
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

TEST_P(ChangeJournal, TheLoginThatRunsTheProgramIsJournalledBesideTheUser) {
    hostlibs::close_host();
    hostlibs::HostConfiguration config = configuration();
    config.login = "alice";
    ASSERT_TRUE(open(config)) << error_;
    put("K1", "Oven", "");
    ASSERT_EQ(update_group("K1", "HEAT"), RS_OK);
    const auto entries = journal();
    ASSERT_EQ(entries.size(), 5u);
    for (const auto& entry : entries)
        EXPECT_EQ(entry.login, "alice");
    EXPECT_EQ(entries.front().describe(),
              "2021-03-04 05:06:07 OPERATOR (login alice) K1 group: (blank) -> HEAT");
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

// A journal written before logins were kept reads with none, also where it
// cannot be changed; opened for writing it gets the column.
TEST_F(ChangeJournalFixture, AJournalOfAnOlderFileReadsWithoutLoginsAndIsUpgraded) {
    put("K1", "Oven", "");
    hostlibs::close_host();
    change_stored("devices", "ALTER TABLE journal DROP COLUMN login");
    hostlibs::HostConfiguration config = configuration();
    config.login = "alice";
    config.read_only = true;
    ASSERT_TRUE(open(config)) << error_;
    auto entries = journal();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries.front().login, "");
    EXPECT_EQ(entries.front().describe(),
              "2021-03-04 05:06:07 OPERATOR K1 group: (new) -> (blank)");
    hostlibs::close_host();

    config.read_only = false;
    ASSERT_TRUE(open(config)) << error_;
    ASSERT_EQ(update_group("K1", "HEAT"), RS_OK);
    entries = journal();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].login, "alice");
    EXPECT_EQ(entries[1].login, "");
}

}  // namespace

namespace {

TEST_P(ChangeJournal, ReadingStopsWhenTheVisitorSaysSo) {
    put("K1", "Oven", "");
    int visits = 0;
    EXPECT_TRUE(hostlibs::read_journal(
        "devices", std::nullopt, [&](const hostlibs::JournalEntry&) { return ++visits < 2; },
        &error_));
    EXPECT_EQ(visits, 2);
}

TEST_P(ChangeJournal, PruningDeletesOnlyTheOlderRowsThatWereKeptBatchByBatch) {
    // 1,300 devices journal 5,200 rows at the fixed clock: more than one batch.
    std::vector<DeviceRecord> records(1300);
    for (size_t i = 0; i < records.size(); ++i)
        put_text(records[i].key, 8, "D" + std::to_string(i));
    ASSERT_TRUE(hostlibs::put_devices(records, &error_)) << error_;
    ASSERT_TRUE(hostlibs::put_setting_text("default_site:", "1", &error_)) << error_;
    const int64_t next_day = 1614834367 + 86400;
    hostlibs::set_host_clock(static_cast<uint32_t>(next_day));
    put("NEW", "Lamp", "");
    const size_t settings_rows = journal("settings").size();
    ASSERT_GT(settings_rows, 0u);

    // The archive fails on the second batch: only the first one leaves the journal.
    std::vector<hostlibs::StoredJournalRow> kept;
    int batches = 0;
    int64_t moved = 0;
    EXPECT_FALSE(hostlibs::prune_journal(
        "devices", next_day,
        [&](const std::vector<hostlibs::StoredJournalRow>& rows, std::string* why) {
            if (++batches == 2) {
                *why = "disk full";
                return false;
            }
            kept.insert(kept.end(), rows.begin(), rows.end());
            return true;
        },
        &moved, &error_));
    EXPECT_EQ(error_, "disk full");
    ASSERT_GT(kept.size(), 0u);
    EXPECT_EQ(moved, static_cast<int64_t>(kept.size()));
    EXPECT_EQ(journal().size(), 5200 + 4 - kept.size());
    for (size_t i = 1; i < kept.size(); ++i)
        ASSERT_LT(kept[i - 1].id, kept[i].id) << "oldest first";
    EXPECT_EQ(kept.front().file, "devices.db");
    EXPECT_EQ(kept.front().key, "D0      ");
    EXPECT_FALSE(kept.front().has_old);

    // Every file's older rows go; the rows of the later day stay.
    const size_t first_batch = kept.size();
    const auto count = [&](const std::vector<hostlibs::StoredJournalRow>& rows, std::string*) {
        kept.insert(kept.end(), rows.begin(), rows.end());
        return true;
    };
    ASSERT_TRUE(hostlibs::prune_journal("", next_day, count, &moved, &error_)) << error_;
    EXPECT_EQ(moved, static_cast<int64_t>(5200 - first_batch + settings_rows));
    EXPECT_EQ(kept.size(), 5200 + settings_rows);
    EXPECT_TRUE(journal("settings").empty());
    const auto left = journal();
    ASSERT_EQ(left.size(), 4u);
    for (const auto& entry : left)
        EXPECT_EQ(entry.key, "NEW");
    EXPECT_FALSE(hostlibs::prune_journal("nothing", next_day, count, &moved, &error_));
}

}  // namespace
