// Damaged record files: a file without its tables is refused, naming it, and
// never given them; a file damaged inside fails its operations with status 2,
// each with one error-log record naming the file and SQLite's reason.
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/host_libraries.h"
#include "temp_root.h"

namespace {

using DamagedFileTest = TempRootTest;

std::string bytes_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void sqlite_exec(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// Overwrites the page where the b-tree `name` of an SQLite file starts with
// bytes no page holds.
void damage_tree(const std::string& path, const std::string& name) {
    const auto page_size = std::stol(sqlite_rows(path, "PRAGMA page_size")[0][0]);
    const auto rows =
        sqlite_rows(path, "SELECT rootpage FROM sqlite_master WHERE name = '" + name + "'");
    ASSERT_EQ(rows.size(), 1u) << name;
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp((std::stol(rows[0][0]) - 1) * page_size);
    file << std::string(static_cast<size_t>(page_size), '\x5A');
}

TEST_F(DamagedFileTest, ARecordFileWithoutItsTablesIsRefusedNamingItAndLeftAsItWas) {
    hostlibs::close_host();
    hostlibs::HostConfiguration keep = configuration();
    keep.make_record_files = false;
    for (const char* name : {"devices", "settings", "passwords"}) {
        SCOPED_TRACE(name);
        const std::string path = root_ + "/DATA/" + name + ".db";
        std::filesystem::rename(path, path + ".whole");

        std::ofstream(path, std::ios::trunc).close();
        EXPECT_FALSE(open(configuration()));
        EXPECT_NE(error_.find(path + ": empty, not a record file"), std::string::npos) << error_;
        EXPECT_EQ(std::filesystem::file_size(path), 0u);

        std::filesystem::remove(path);
        sqlite_exec(path, "CREATE TABLE other(a); INSERT INTO other VALUES(1)");
        const std::string other = bytes_of(path);
        for (const bool read_only : {false, true}) {
            hostlibs::HostConfiguration config = configuration();
            config.read_only = read_only;
            EXPECT_FALSE(open(config));
            EXPECT_NE(error_.find(path + ": not a record file"), std::string::npos) << error_;
        }
        EXPECT_EQ(bytes_of(path), other) << "a refused file was written";

        // Only a caller that makes a root makes a missing file.
        std::filesystem::remove(path);
        EXPECT_FALSE(open(keep));
        EXPECT_NE(error_.find(path + ": missing"), std::string::npos) << error_;
        EXPECT_FALSE(std::filesystem::exists(path));
        std::filesystem::rename(path + ".whole", path);
    }
    EXPECT_TRUE(open(keep)) << error_;
}

TEST_F(DamagedFileTest, AFileOfTheFirstVersionsStillOpensAndGetsItsJournal) {
    hostlibs::close_host();
    // The first versions kept records and layout only: no journal table.
    const std::string path = root_ + "/DATA/devices.db";
    std::filesystem::remove(path);
    sqlite_exec(path,
                "CREATE TABLE records(pos INTEGER PRIMARY KEY AUTOINCREMENT,"
                " key BLOB NOT NULL UNIQUE, data BLOB NOT NULL);"
                "CREATE TABLE layout(record_size INTEGER NOT NULL, key_size INTEGER NOT NULL);"
                "INSERT INTO layout VALUES(48, 8);"
                "INSERT INTO records(key, data) VALUES(CAST('K1      ' AS BLOB),"
                " CAST('K1      Pump                          ' || char(1) || char(0) ||"
                " 'OLD     ' AS BLOB))");
    hostlibs::HostConfiguration config = configuration();
    config.make_record_files = false;
    ASSERT_TRUE(open(config)) << error_;
    DeviceRecord record{};
    char key[8] = {};
    ASSERT_EQ(rs_bind(&record), RS_OK);
    ASSERT_EQ(rs_call(RS_GET_FIRST, key, 0), RS_OK);
    EXPECT_EQ(get_text(record.instrument, sizeof record.instrument), "Pump");
    put_text(record.group, sizeof record.group, "NEW");
    ASSERT_EQ(rs_call(RS_UPDATE, key, 0), RS_OK);
    int changes = 0;
    ASSERT_TRUE(hostlibs::read_journal(
        "devices", std::nullopt, [&](const hostlibs::JournalEntry&) { return ++changes, true; },
        &error_))
        << error_;
    EXPECT_EQ(changes, 1);
}

TEST_F(DamagedFileTest, AFileDamagedInsideFailsWithStatus2AndOneLogRecordNamingIt) {
    DeviceRecord device{};
    put_text(device.key, sizeof device.key, "K1");
    ASSERT_TRUE(hostlibs::put_devices({device}, &error_)) << error_;
    ASSERT_TRUE(hostlibs::put_setting_text("colour", "blue", &error_)) << error_;
    PasswordRecord password{};
    put_text(password.name, sizeof password.name, "ADA");
    put_text(password.password, sizeof password.password, "SECRET");
    ASSERT_TRUE(hostlibs::put_password(password, &error_)) << error_;
    hostlibs::close_host();

    SettingRecord setting{};
    struct Case {
        const char* file;
        const char* tree;  // the b-tree damaged
        bool read_only;
        std::function<int()> call;
    };
    const Case cases[] = {
        {"devices", "sqlite_autoindex_records_1", false,
         [&] {
             rs_bind(&device);
             return rs_call(RS_GET_EQUAL, device.key, 0);
         }},
        {"settings", "sqlite_autoindex_records_1", false,
         [&] {
             rs_settings_set_buffer(&setting);
             char key[40];
             put_text(key, sizeof key, "colour");
             return rs_settings_call(RS_GET_EQUAL, key, 0);
         }},
        // A right name and password on a damaged file is not a wrong password.
        {"passwords", "sqlite_autoindex_records_1", false,
         [&] {
             rs_password_set_buffer(&password);
             return rs_password_call(RS_GET_EQUAL, &password, 0);
         }},
        // Read-only, damaged hashes are not taken for an older file without them.
        {"passwords", "sqlite_autoindex_password_hashes_1", true,
         [&] {
             rs_password_set_buffer(&password);
             return rs_password_call(RS_GET_EQUAL, &password, 0);
         }},
    };
    size_t logged = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.tree);
        const std::string path = root_ + "/DATA/" + c.file + ".db";
        std::filesystem::copy_file(path, path + ".whole");
        damage_tree(path, c.tree);
        hostlibs::HostConfiguration config = configuration();
        config.read_only = c.read_only;
        ASSERT_TRUE(open(config)) << error_;
        EXPECT_EQ(c.call(), RS_IO_ERROR);
        hostlibs::close_host();
        ASSERT_TRUE(open(configuration())) << error_;
        const std::vector<hostlibs::ErrorLogEntry> log = hostlibs::read_error_log();
        // A read-only session writes nothing, its error log included.
        ASSERT_EQ(log.size(), logged + (c.read_only ? 0 : 1));
        if (!c.read_only) {
            EXPECT_EQ(log.back().code, hostlibs::kStoreFailed);
            EXPECT_NE(
                log.back().text.find(std::string(c.file) + ".db: database disk image is malformed"),
                std::string::npos)
                << log.back().text;
        }
        logged = log.size();
        hostlibs::close_host();
        std::filesystem::rename(path + ".whole", path);
    }
}

}  // namespace
