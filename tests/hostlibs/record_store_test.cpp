#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/byte_fields.h"
#include "platform/host_libraries.h"
#include "temp_root.h"

namespace {

DeviceRecord device(const std::string& key, const std::string& instrument, uint16_t status,
                    const std::string& group) {
    DeviceRecord record;
    put_text(record.key, sizeof record.key, key);
    put_text(record.instrument, sizeof record.instrument, instrument);
    record.status = status;
    put_text(record.group, sizeof record.group, group);
    return record;
}

std::string key_of(const DeviceRecord& record) {
    return get_text(record.key, 8);
}

class RecordStoreTestFixture : public TempRootTest {
  protected:
    void SetUp() override {
        TempRootTest::SetUp();
        std::memset(&record_, 0, sizeof record_);
        ASSERT_EQ(rs_bind(&record_), RS_OK);
    }

    void add_devices(int count) {
        std::vector<DeviceRecord> records;
        for (int i = count; i >= 1; --i) {  // inserted out of key order on purpose
            char key[16];
            std::snprintf(key, sizeof key, "K%07d", i);
            records.push_back(
                device(key, "Instrument " + std::to_string(i), 1, "G" + std::to_string(i)));
        }
        ASSERT_TRUE(hostlibs::put_devices(records, &error_)) << error_;
    }

    DeviceRecord stored(const std::string& key) {
        DeviceRecord found{};
        hostlibs::for_each_device(
            [&](const DeviceRecord& r) {
                if (key_of(r) == key) {
                    found = r;
                    return false;
                }
                return true;
            },
            nullptr);
        return found;
    }

    // Runs the peer process with these arguments; returns its exit status.
    int peer(const std::string& arguments) {
        std::string command = std::string(RECORD_PEER_PATH) + " " + root_ + " " + arguments;
        int rc = std::system(command.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }

    int peer_set(const std::string& key, size_t offset, const std::string& text) {
        return peer("set " + key + " " + std::to_string(offset) + " '" + text + "'");
    }

    DeviceRecord record_;
    char key_[8] = {};
};

// Each test runs on both backends; those that look into the SQLite files themselves on SQLite.
using RecordStoreTest = OnEachBackend<RecordStoreTestFixture>;
ON_EACH_BACKEND(RecordStoreTest);
using SqliteRecordStoreTest = RecordStoreTestFixture;

TEST_P(RecordStoreTest, ClassicSequenceWalksPositionsAndUpdates) {
    add_devices(5);
    ASSERT_EQ(rs_call(RS_GET_FIRST, key_, 0), RS_OK);
    EXPECT_EQ(key_of(record_), "K0000001");
    EXPECT_EQ(std::string(key_, 8), "K0000001");
    for (int i = 2; i <= 5; ++i) {
        ASSERT_EQ(rs_call(RS_GET_NEXT, key_, 0), RS_OK);
        EXPECT_EQ(key_of(record_), "K000000" + std::to_string(i));
    }
    EXPECT_EQ(rs_call(RS_GET_NEXT, key_, 0), RS_END_OF_FILE);

    std::memcpy(key_, "K0000009", 8);
    EXPECT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_KEY_NOT_FOUND);

    // get-position, move away, get-direct back, and get-next continues from there.
    std::memcpy(key_, "K0000002", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    uint8_t position[4] = {};
    ASSERT_EQ(rs_call(RS_GET_POSITION, position, 0), RS_OK);
    ASSERT_EQ(rs_call(RS_GET_LAST, key_, 0), RS_OK);
    EXPECT_EQ(key_of(record_), "K0000005");
    std::memcpy(&record_, position, 4);
    ASSERT_EQ(rs_call(RS_GET_DIRECT, key_, 0), RS_OK);
    EXPECT_EQ(key_of(record_), "K0000002");
    EXPECT_EQ(get_text(record_.instrument, 30), "Instrument 2");
    std::memset(key_, 'Z', sizeof key_);  // moves start from the current record, not the key buffer
    ASSERT_EQ(rs_call(RS_GET_NEXT, key_, 0), RS_OK);
    EXPECT_EQ(key_of(record_), "K0000003");
    ASSERT_EQ(rs_call(RS_GET_PREVIOUS, key_, 0), RS_OK);
    ASSERT_EQ(rs_call(RS_GET_PREVIOUS, key_, 0), RS_OK);
    EXPECT_EQ(key_of(record_), "K0000001");
    EXPECT_EQ(rs_call(RS_GET_PREVIOUS, key_, 0), RS_END_OF_FILE);

    // Update after get-equal, the buffer itself as the key buffer (as saving does),
    // while another process changes the instrument of the same record in between.
    std::memcpy(key_, "K0000004", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    ASSERT_EQ(peer_set("K0000004", offsetof(DeviceRecord, instrument), "Renamed elsewhere"), 0);
    put_text(record_.group, 8, "NEWGROUP");
    ASSERT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_OK);
    DeviceRecord after = stored("K0000004");
    EXPECT_EQ(get_text(after.group, 8), "NEWGROUP");
    EXPECT_EQ(get_text(after.instrument, 30).substr(0, 17), "Renamed elsewhere");
    EXPECT_EQ(std::memcmp(&after, &record_, sizeof after), 0) << "buffer holds the stored record";
    // Other records are untouched.
    EXPECT_EQ(get_text(stored("K0000003").group, 8), "G3");
}

// Callers put errno into their error records after a failed call.
TEST_F(SqliteRecordStoreTest, AFailedCallLeavesItsReasonInErrnoAndASuccessLeavesErrnoAlone) {
    add_devices(1);
    errno = 0;
    ASSERT_EQ(rs_call(RS_GET_FIRST, key_, 0), RS_OK);
    EXPECT_EQ(errno, 0);
    EXPECT_EQ(rs_call(RS_GET_NEXT, key_, 0), RS_END_OF_FILE);
    EXPECT_EQ(errno, ENODATA);
    std::memcpy(key_, "K0000009", 8);
    EXPECT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_KEY_NOT_FOUND);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(rs_call(RS_GET_EQUAL, key_, 1), RS_INVALID_KEY_NUMBER);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(rs_password_call(RS_GET_EQUAL, nullptr, 0), RS_BUFFER_TOO_SHORT);
    EXPECT_EQ(errno, ENOBUFS);
}

TEST_P(RecordStoreTest, LongWalksCrossReadAheadBatchesAndUpdateWhereTheyStop) {
    add_devices(300);
    ASSERT_EQ(rs_call(RS_GET_FIRST, key_, 0), RS_OK);
    for (int i = 2; i <= 250; ++i) {
        ASSERT_EQ(rs_call(RS_GET_NEXT, key_, 0), RS_OK) << i;
        char expected[16];
        std::snprintf(expected, sizeof expected, "K%07d", i);
        ASSERT_EQ(key_of(record_), expected);
        ASSERT_EQ(std::string(key_, 8), expected);
    }
    // The record a walk stopped on is the one updated, from the bytes it read.
    put_text(record_.group, 8, "WALKED");
    ASSERT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_OK);
    EXPECT_EQ(get_text(stored("K0000250").group, 8), "WALKED");
    EXPECT_EQ(get_text(stored("K0000250").instrument, 30), "Instrument 250");
    EXPECT_EQ(get_text(stored("K0000249").group, 8), "G249");
    uint8_t position[4] = {};
    ASSERT_EQ(rs_call(RS_GET_POSITION, position, 0), RS_OK);
    // Walks on either way from there, across batches again.
    for (int i = 249; i >= 150; --i) {
        ASSERT_EQ(rs_call(RS_GET_PREVIOUS, key_, 0), RS_OK);
        ASSERT_EQ(get_text(record_.instrument, 30), "Instrument " + std::to_string(i));
    }
    std::memcpy(&record_, position, 4);
    ASSERT_EQ(rs_call(RS_GET_DIRECT, key_, 0), RS_OK);
    EXPECT_EQ(get_text(record_.group, 8), "WALKED");
    int rest = 0;
    while (rs_call(RS_GET_NEXT, key_, 0) == RS_OK) {
        ++rest;
    }
    EXPECT_EQ(rest, 50);
}

TEST_P(RecordStoreTest, ProcessesUpdatingOneRecordAtOnceKeepEachOthersChanges) {
    add_devices(1);
    // Four processes at once, each writing one letter of the group.
    std::string command;
    for (int i = 0; i < 4; ++i) {
        command += std::string(RECORD_PEER_PATH) + " " + root_ + " set K0000001 " +
                   std::to_string(offsetof(DeviceRecord, group) + i) + " " +
                   static_cast<char>('W' + i) + " & pids=\"$pids $!\"; ";
    }
    command += "fail=0; for pid in $pids; do wait $pid || fail=1; done; exit $fail";
    const int rc = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << command;
    EXPECT_EQ(std::string(stored("K0000001").group, 4), "WXYZ");
}

TEST_P(RecordStoreTest, UpdateRefusedWhenAnotherProcessChangedTheSameBytes) {
    add_devices(2);
    std::memcpy(key_, "K0000001", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    ASSERT_EQ(peer_set("K0000001", offsetof(DeviceRecord, group), "THEIRS  "), 0);
    put_text(record_.group, 8, "MINE");
    EXPECT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_CHANGED_BY_OTHER);
    EXPECT_EQ(get_text(stored("K0000001").group, 8), "THEIRS");
    // After reading again the update goes through.
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    put_text(record_.group, 8, "MINE");
    EXPECT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_OK);
    EXPECT_EQ(get_text(stored("K0000001").group, 8), "MINE");
    // The same bytes changed to the same value by both lose nothing: no conflict.
    ASSERT_EQ(peer_set("K0000001", offsetof(DeviceRecord, group), "BOTH    "), 0);
    put_text(record_.group, 8, "BOTH");
    EXPECT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_OK);
}

TEST_P(RecordStoreTest, UpdateOfARecordDeletedMeanwhileIsRefused) {
    add_devices(2);
    std::memcpy(key_, "K0000002", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    ASSERT_TRUE(hostlibs::delete_device("K0000002", &error_)) << error_;
    put_text(record_.group, 8, "X");
    EXPECT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_CHANGED_BY_OTHER);
    // Moving on from the deleted record still works by key.
    EXPECT_EQ(rs_call(RS_GET_PREVIOUS, key_, 0), RS_OK);
    EXPECT_EQ(key_of(record_), "K0000001");
}

TEST_P(RecordStoreTest, WalkSeesRecordsAnotherProcessAddsAndDeletesMeanwhile) {
    ASSERT_TRUE(
        hostlibs::put_devices({device("K0000002", "Two", 1, ""), device("K0000004", "Four", 1, ""),
                               device("K0000006", "Six", 1, "")},
                              &error_));
    ASSERT_EQ(rs_call(RS_GET_FIRST, key_, 0), RS_OK);
    ASSERT_EQ(peer("put K0000003 Three"), 0);
    ASSERT_EQ(peer("del K0000004"), 0);
    ASSERT_EQ(rs_call(RS_GET_NEXT, key_, 0), RS_OK);
    EXPECT_EQ(key_of(record_), "K0000003");
    EXPECT_EQ(get_text(record_.instrument, 30), "Three");
    // A walk that goes on in one direction still sees a record added later,
    // once its read snapshot is older than its limit (read off a coarse clock).
    ASSERT_EQ(peer("put K0000005 Five"), 0);
    usleep(30000);
    ASSERT_EQ(rs_call(RS_GET_NEXT, key_, 0), RS_OK);
    EXPECT_EQ(key_of(record_), "K0000005");
    ASSERT_EQ(rs_call(RS_GET_NEXT, key_, 0), RS_OK);
    EXPECT_EQ(key_of(record_), "K0000006");
    ASSERT_EQ(peer("del K0000006"), 0);
    ASSERT_EQ(rs_call(RS_GET_PREVIOUS, key_, 0), RS_OK) << "moves on from a deleted record";
    EXPECT_EQ(key_of(record_), "K0000005");
}

TEST_P(RecordStoreTest, EmptyFileAndNoCurrentRecord) {
    EXPECT_EQ(rs_call(RS_GET_FIRST, key_, 0), RS_END_OF_FILE);
    EXPECT_EQ(rs_call(RS_GET_LAST, key_, 0), RS_END_OF_FILE);
    EXPECT_EQ(rs_call(RS_GET_NEXT, key_, 0), RS_INVALID_POSITIONING);
    EXPECT_EQ(rs_call(RS_GET_PREVIOUS, key_, 0), RS_INVALID_POSITIONING);
    uint8_t position[4];
    EXPECT_EQ(rs_call(RS_GET_POSITION, position, 0), RS_INVALID_POSITIONING);
    EXPECT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_INVALID_POSITIONING);
    store_u32(reinterpret_cast<uint8_t*>(&record_), 0);
    EXPECT_EQ(rs_call(RS_GET_DIRECT, key_, 0), RS_INVALID_RECORD_ADDRESS);
    store_u32(reinterpret_cast<uint8_t*>(&record_), 12345);
    EXPECT_EQ(rs_call(RS_GET_DIRECT, key_, 0), RS_INVALID_RECORD_ADDRESS);

    add_devices(1);
    EXPECT_EQ(rs_call(RS_GET_EQUAL, key_, 3), 6) << "invalid key number";
    EXPECT_EQ(rs_call(99, key_, 0), 1) << "invalid operation";
    ASSERT_EQ(rs_bind(nullptr), RS_OK);
    EXPECT_EQ(rs_call(RS_GET_FIRST, key_, 0), RS_BUFFER_TOO_SHORT);
    hostlibs::close_host();
    EXPECT_EQ(rs_call(RS_GET_FIRST, key_, 0), RS_NOT_OPEN);
    EXPECT_EQ(rs_settings_call(RS_GET_FIRST, key_, 0), RS_NOT_OPEN);
    EXPECT_EQ(rs_bind(&record_), RS_NOT_OPEN);
}

TEST_P(RecordStoreTest, FailedOperationsKeepTheCurrentRecord) {
    add_devices(3);
    std::memcpy(key_, "K0000002", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    std::memcpy(key_, "K0000000", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_KEY_NOT_FOUND);
    ASSERT_EQ(rs_call(RS_GET_NEXT, key_, 0), RS_OK);
    EXPECT_EQ(key_of(record_), "K0000003");
    ASSERT_EQ(rs_call(RS_GET_NEXT, key_, 0), RS_END_OF_FILE);
    ASSERT_EQ(rs_call(RS_GET_PREVIOUS, key_, 0), RS_OK);
    EXPECT_EQ(key_of(record_), "K0000002");
}

TEST_P(RecordStoreTest, PositionsAreNotReusedAfterADelete) {
    add_devices(2);
    std::memcpy(key_, "K0000002", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    uint8_t old_position[4];
    ASSERT_EQ(rs_call(RS_GET_POSITION, old_position, 0), RS_OK);
    ASSERT_TRUE(hostlibs::delete_device("K0000002", &error_));
    ASSERT_TRUE(hostlibs::put_devices({device("K0000003", "New", 1, "")}, &error_));
    std::memcpy(key_, "K0000003", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    uint8_t new_position[4];
    ASSERT_EQ(rs_call(RS_GET_POSITION, new_position, 0), RS_OK);
    EXPECT_GT(load_u32(new_position), load_u32(old_position));
    std::memcpy(&record_, old_position, 4);
    EXPECT_EQ(rs_call(RS_GET_DIRECT, key_, 0), RS_INVALID_RECORD_ADDRESS);
    // Replacing by key keeps a record's position.
    ASSERT_TRUE(hostlibs::put_devices({device("K0000003", "Replaced", 1, "")}, &error_));
    std::memcpy(&record_, new_position, 4);
    ASSERT_EQ(rs_call(RS_GET_DIRECT, key_, 0), RS_OK);
    EXPECT_EQ(get_text(record_.instrument, 30), "Replaced");
}

TEST_P(RecordStoreTest, UpdateToAnExistingKeyIsADuplicate) {
    add_devices(2);
    std::memcpy(key_, "K0000001", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    std::memcpy(record_.key, "K0000002", 8);
    put_text(record_.group, 8, "LOST");
    EXPECT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_DUPLICATE_KEY);
    EXPECT_EQ(get_text(stored("K0000001").group, 8), "G1");
    EXPECT_EQ(get_text(stored("K0000002").group, 8), "G2");
}

TEST_P(RecordStoreTest, UpdateToAFreeKeyMovesTheRecordAndKeepsItsPosition) {
    add_devices(2);
    std::memcpy(key_, "K0000001", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    char before[8];
    ASSERT_EQ(rs_call(RS_GET_POSITION, before, 0), RS_OK);
    std::memcpy(record_.key, "K0000009", 8);
    ASSERT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_OK);
    std::memcpy(key_, "K0000009", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    char after[8];
    ASSERT_EQ(rs_call(RS_GET_POSITION, after, 0), RS_OK);
    EXPECT_EQ(std::memcmp(before, after, 4), 0);
    std::memcpy(key_, "K0000001", 8);
    EXPECT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_KEY_NOT_FOUND);
}

TEST_P(RecordStoreTest, BatchPutIsAllOrNothing) {
    add_devices(1);
    std::vector<DeviceRecord> batch = {device("K0000005", "A", 1, ""),
                                       device("K0000001", "B", 1, ""),
                                       device("K0000005", "C", 1, "")};
    EXPECT_FALSE(hostlibs::put_devices(batch, &error_));
    EXPECT_NE(error_.find("record 3"), std::string::npos) << error_;
    int count = 0;
    hostlibs::for_each_device([&](const DeviceRecord&) { return ++count, true; }, nullptr);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(get_text(stored("K0000001").instrument, 30), "Instrument 1");
}

TEST_P(RecordStoreTest, UpdateWaitsForAnotherWriterThenReportsTheLock) {
    add_devices(1);
    hostlibs::HostConfiguration config = configuration();
    config.busy_timeout_ms = 100;
    ASSERT_TRUE(open(config)) << error_;
    ASSERT_EQ(rs_bind(&record_), RS_OK);
    std::memcpy(key_, "K0000001", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    std::string command = std::string(RECORD_PEER_PATH) + " " + root_ + " hold 3000";
    FILE* peer = popen(command.c_str(), "r");
    ASSERT_NE(peer, nullptr);
    char line[16] = {};
    ASSERT_NE(std::fgets(line, sizeof line, peer), nullptr);
    ASSERT_STREQ(line, "locked\n");
    put_text(record_.group, 8, "WAITED");
    EXPECT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_RECORD_LOCKED);
    // Reading goes on while another process writes.
    EXPECT_EQ(rs_call(RS_GET_FIRST, key_, 0), RS_OK);
    EXPECT_EQ(pclose(peer), 0);
    put_text(record_.group, 8, "WAITED");
    EXPECT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_OK);
}

TEST_P(RecordStoreTest, SettingsAndPasswordBuffersAreSwappedAndRestored) {
    ASSERT_TRUE(hostlibs::put_setting_text("default_site: 42", "1A", &error_)) << error_;
    ASSERT_TRUE(hostlibs::put_setting_text("default_site:", "7", &error_)) << error_;
    void* saved = reinterpret_cast<void*>(1);
    ASSERT_EQ(rs_settings_get_buffer(&saved), RS_OK);
    EXPECT_EQ(saved, nullptr);

    SettingRecord mine{}, theirs{};
    ASSERT_EQ(rs_settings_set_buffer(&theirs), RS_OK);
    ASSERT_EQ(rs_settings_get_buffer(&saved), RS_OK);
    ASSERT_EQ(saved, &theirs);
    ASSERT_EQ(rs_settings_set_buffer(&mine), RS_OK);
    char key[40];
    put_text(key, sizeof key, "default_site: 42");
    ASSERT_EQ(rs_settings_call(RS_GET_EQUAL, key, 0), RS_OK);
    EXPECT_STREQ(mine.value, "1A");
    put_text(key, sizeof key, "default_site:");
    ASSERT_EQ(rs_settings_call(RS_GET_EQUAL, key, 0), RS_OK);
    EXPECT_STREQ(mine.value, "7");
    put_text(key, sizeof key, "default_screen:");
    EXPECT_EQ(rs_settings_call(RS_GET_EQUAL, key, 0), RS_KEY_NOT_FOUND);
    ASSERT_EQ(rs_settings_set_buffer(saved), RS_OK);
    EXPECT_EQ(theirs.value[0], '\0') << "the caller's buffer was not written";

    PasswordRecord user{};
    put_text(user.name, 30, "ADMIN");
    put_text(user.password, 8, "SECRET");
    std::memcpy(user.user_code, "ADM1", 4);
    store_u32(user.rights, 0x82000000u);
    user.language = 2;
    ASSERT_TRUE(hostlibs::put_password(user, &error_)) << error_;
    PasswordRecord found{};
    ASSERT_EQ(rs_password_set_buffer(&found), RS_OK);
    char lookup[38];
    put_text(lookup, 30, "ADMIN");
    put_text(lookup + 30, 8, "WRONG");
    EXPECT_EQ(rs_password_call(RS_GET_EQUAL, lookup, 0), RS_KEY_NOT_FOUND);
    put_text(lookup + 30, 8, "SECRET");
    ASSERT_EQ(rs_password_call(RS_GET_EQUAL, lookup, 0), RS_OK);
    EXPECT_EQ(load_u32(found.rights), 0x82000000u);
    EXPECT_EQ(found.language, 2);
    EXPECT_EQ(std::string(found.user_code, 4), "ADM1");
    EXPECT_EQ(std::string(found.password, 8), "SECRET  ") << "the typed password comes back";
    // The store itself keeps no password, not even in the key.
    const auto stored = stored_rows("passwords", "SELECT key, data FROM {records}");
    ASSERT_EQ(stored.size(), 1u);
    for (const std::string& bytes : stored.front()) {
        EXPECT_EQ(bytes.find("ADMIN"), 0u) << "the record was read";
        EXPECT_EQ(bytes.find("SECRET"), std::string::npos);
    }
    // An update through the buffer writes the hash back, never the password.
    found.language = 1;
    ASSERT_EQ(rs_password_call(RS_UPDATE, &found, 0), RS_OK);
    EXPECT_EQ(std::string(found.password, 8), "SECRET  ");
    ASSERT_EQ(rs_password_call(RS_GET_EQUAL, lookup, 0), RS_OK);
    EXPECT_EQ(found.language, 1);
}

// Each name has its own Argon2id string with a random salt; a read that is
// not a lookup by password hands over no password, and an update keeps the
// password unless the buffer brings a new one.
TEST_P(RecordStoreTest, PasswordsAreSaltedHashesChangedOnlyOnPurpose) {
    PasswordRecord user{};
    for (const char* name : {"ANNA", "BEN"}) {
        put_text(user.name, 30, name);
        put_text(user.password, 8, "same");
        ASSERT_TRUE(hostlibs::put_password(user, &error_)) << error_;
    }
    std::vector<std::string> hashes;
    for (const auto& row : stored_rows("passwords", "SELECT hash FROM password_hashes")) {
        hashes.push_back(row.at(0));
    }
    ASSERT_EQ(hashes.size(), 2u);
    EXPECT_EQ(hashes[0].rfind("$argon2id$", 0), 0u) << hashes[0];
    EXPECT_NE(hashes[0], hashes[1]) << "the same password under two salts";

    PasswordRecord found{};
    ASSERT_EQ(rs_password_set_buffer(&found), RS_OK);
    auto finds = [](const char* name, const char* password) {
        char lookup[38];
        put_text(lookup, 30, name);
        put_text(lookup + 30, 8, password);
        return rs_password_call(RS_GET_EQUAL, lookup, 0);
    };
    char key[38];
    ASSERT_EQ(rs_password_call(RS_GET_FIRST, key, 0), RS_OK);
    EXPECT_EQ(std::string(found.name, 4), "ANNA");
    EXPECT_EQ(std::string(found.password, 8), std::string(8, ' '));
    found.language = 3;
    ASSERT_EQ(rs_password_call(RS_UPDATE, &found, 0), RS_OK);
    ASSERT_EQ(finds("ANNA", "same"), RS_OK);
    EXPECT_EQ(found.language, 3);

    put_text(found.password, 8, "fresh");
    ASSERT_EQ(rs_password_call(RS_UPDATE, &found, 0), RS_OK);
    EXPECT_EQ(finds("ANNA", "same"), RS_KEY_NOT_FOUND);
    EXPECT_EQ(finds("ANNA", "fresh"), RS_OK);
    EXPECT_EQ(finds("BEN", "same"), RS_OK);
    EXPECT_EQ(finds("NOBODY", "same"), RS_KEY_NOT_FOUND);
}

TEST_F(SqliteRecordStoreTest, StoredRecordsOfTheWrongSizeNeverOverrunTheBuffer) {
    // Rows written by some other tool: one too long, one too short.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((root_ + "/DATA/devices.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "INSERT INTO records(key, data) VALUES"
                           " (CAST('LONG    ' AS BLOB), zeroblob(64)),"
                           " (CAST('SHORT   ' AS BLOB), CAST('SHORT   Cut' AS BLOB))",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    struct Guarded {
        DeviceRecord record;
        uint8_t after[16];
    } guarded;
    std::memset(&guarded, 0xEE, sizeof guarded);
    ASSERT_EQ(rs_bind(&guarded.record), RS_OK);
    std::memcpy(key_, "LONG    ", 8);
    EXPECT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_BUFFER_TOO_SHORT);
    EXPECT_EQ(guarded.record.key[0], '\xEE') << "nothing delivered";
    std::memcpy(key_, "SHORT   ", 8);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key_, 0), RS_OK);
    EXPECT_EQ(std::string(guarded.record.instrument, 3), "Cut");
    EXPECT_EQ(guarded.record.instrument[3], '\0') << "missing bytes read as zero";
    EXPECT_EQ(guarded.record.status, 0);
    for (uint8_t byte : guarded.after) {
        ASSERT_EQ(byte, 0xEE);
    }
}

TEST_F(SqliteRecordStoreTest, FileOfAnotherLayoutIsRefused) {
    ASSERT_TRUE(hostlibs::put_setting_text("KEY", "value", &error_)) << error_;
    hostlibs::close_host();
    std::filesystem::rename(root_ + "/DATA/settings.db", root_ + "/DATA/devices.db");
    std::filesystem::remove(root_ + "/DATA/devices.db-wal");
    std::filesystem::remove(root_ + "/DATA/devices.db-shm");
    EXPECT_FALSE(open(configuration()));
    EXPECT_NE(error_.find("another layout"), std::string::npos) << error_;
}

}  // namespace
