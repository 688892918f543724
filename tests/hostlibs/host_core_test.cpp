#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/byte_fields.h"
#include "platform/host_libraries.h"
#include "platform/native_files.h"
#include "temp_root.h"

namespace {

using HostCoreTest = TempRootTest;

// The native path a host path maps to; empty when it does not map.
std::string native_of(const std::string& host_path) {
    char native[4096];
    return native_path(host_path.c_str(), native, sizeof native) ? native : "";
}

TEST_F(HostCoreTest, DirectoriesUserAndClockComeFromTheConfiguration) {
    // Modules see a short drive-style root that maps to the real one.
    EXPECT_STREQ(host_root_dir(), "C:\\");
    EXPECT_STREQ(host_data_dir(), "C:\\DATA\\");
    EXPECT_EQ(native_of("C:\\DATA\\devices.db"), root_ + "/DATA/devices.db");
    for (const char* name :
         {"devices.db", "settings.db", "passwords.db", "host.db", "TEMP", "SPOOL"}) {
        EXPECT_TRUE(std::filesystem::exists(root_ + "/DATA/" + name)) << name;
    }
    ASSERT_NE(host_user_id(), nullptr);
    EXPECT_EQ(std::string(host_user_id(), 8), "OPERATOR");
    EXPECT_EQ(host_user_no(), 42u);
    EXPECT_EQ(host_now(), 1614834367u);

    hostlibs::set_host_user("AL", 7);
    EXPECT_EQ(std::string(host_user_id(), 8), "AL      ");
    hostlibs::set_host_user("", 0);
    EXPECT_EQ(host_user_id(), nullptr);
    hostlibs::set_host_clock(std::nullopt);
    EXPECT_GT(host_now(), 1614834367u);

    host_leave();
    host_leave();
    EXPECT_EQ(hostlibs::host_leave_count(), 2);
    hostlibs::close_host();
    EXPECT_EQ(hostlibs::host_leave_count(), 0);
    EXPECT_STREQ(host_root_dir(), "");
    EXPECT_EQ(native_of("C:\\DATA\\devices.db"), "") << "a closed host maps no drive";
    // Reopening the same root finds what was stored there.
    ASSERT_TRUE(open(configuration())) << error_;
    EXPECT_EQ(hostlibs::host_leave_count(), 0);
}

TEST_F(HostCoreTest, OpeningFailsWithAReasonWhenTheDataFolderIsAFile) {
    hostlibs::close_host();
    std::filesystem::remove_all(root_ + "/DATA");
    std::ofstream(root_ + "/DATA") << "not a folder";
    EXPECT_FALSE(open(configuration()));
    EXPECT_NE(error_.find("DATA"), std::string::npos) << error_;
    EXPECT_FALSE(hostlibs::host_is_open());
}

// Reports are written into TEMP and spooled into SPOOL: a link that takes
// either out of the root is refused by name, and nothing is done through it.
TEST_F(HostCoreTest, ReportFoldersThatAreLinksAreRefusedByName) {
    for (const char* name : {"TEMP", "SPOOL"}) {
        SCOPED_TRACE(name);
        hostlibs::close_host();
        TempFolder outside("devgroup-outside-");
        chmod(outside.path().c_str(), 0755);
        const std::string folder = root_ + "/DATA/" + name;
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory_symlink(outside.path(), folder);
        EXPECT_FALSE(open(configuration()));
        EXPECT_NE(error_.find(folder + ": is a symbolic link"), std::string::npos) << error_;
        struct stat info {};
        ASSERT_EQ(stat(outside.path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0755u) << "the folder behind the link was changed";
        std::filesystem::remove(folder);
        ASSERT_TRUE(open(configuration())) << error_;
    }
}

// What DATA holds is its owner's alone: the report folders, the trace and the
// report header, also in a root made before they were so.
TEST_F(HostCoreTest, ReportFoldersTraceAndHeaderArePrivate) {
    hostlibs::close_host();
    const std::string data = root_ + "/DATA/";
    std::ofstream(data + "rephead.dat") << "header";
    std::ofstream(data + "trace.log") << "1 old line\n";
    for (const char* path : {"TEMP", "SPOOL"}) {
        chmod((data + path).c_str(), 0755);
    }
    for (const char* path : {"rephead.dat", "trace.log"}) {
        chmod((data + path).c_str(), 0644);
    }
    ASSERT_TRUE(open(configuration())) << error_;
    auto mode_of = [&](const char* name) {
        struct stat info {};
        EXPECT_EQ(stat((data + name).c_str(), &info), 0) << name;
        return info.st_mode & 0777;
    };
    EXPECT_EQ(mode_of("TEMP"), 0700u);
    EXPECT_EQ(mode_of("SPOOL"), 0700u);
    EXPECT_EQ(mode_of("rephead.dat"), 0600u);
    EXPECT_EQ(mode_of("trace.log"), 0600u);

    // A new trace is made private whatever the umask.
    std::filesystem::remove(data + "trace.log");
    const mode_t saved = umask(0);
    host_trace("%s", "fresh");
    umask(saved);
    EXPECT_EQ(mode_of("trace.log"), 0600u);
}

TEST_F(HostCoreTest, ARelativeRootIsMadeAbsolute) {
    hostlibs::HostConfiguration config = configuration();
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(root_);
    config.root = "./inner/../relative";
    const bool opened = open(config);
    std::filesystem::current_path(here);
    ASSERT_TRUE(opened) << error_;
    EXPECT_EQ(native_of(host_root_dir()), root_ + "/relative/");
    EXPECT_TRUE(std::filesystem::is_directory(root_ + "/relative/DATA/TEMP"));
}

TEST_F(HostCoreTest, ACorruptDataFileIsRefusedWithItsName) {
    hostlibs::close_host();
    std::ofstream(root_ + "/DATA/settings.db", std::ios::binary | std::ios::trunc)
        << std::string(4096, '\x5A');
    EXPECT_FALSE(open(configuration()));
    EXPECT_NE(error_.find("settings.db"), std::string::npos) << error_;
    EXPECT_FALSE(hostlibs::host_is_open());
}

TEST_F(HostCoreTest, AFileThatFailsToOpenWhenFirstUsedFailsThatUseAndIsLoggedOnce) {
    // A settings file of another layout stops a start that uses it ...
    hostlibs::close_host();
    std::filesystem::copy_file(root_ + "/DATA/devices.db", root_ + "/DATA/settings.db",
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_FALSE(open(configuration()));
    EXPECT_NE(error_.find("settings.db: holds records of another layout"), std::string::npos)
        << error_;
    // ... and, left out of the files a caller uses, fails its first use.
    hostlibs::HostConfiguration config = configuration();
    config.record_files = hostlibs::kDevicesFile;
    ASSERT_TRUE(open(config)) << error_;
    SettingRecord setting{};
    ASSERT_EQ(rs_settings_set_buffer(&setting), RS_OK);
    char key[40] = {};
    EXPECT_EQ(rs_settings_call(RS_GET_FIRST, key, 0), RS_IO_ERROR);
    EXPECT_EQ(rs_settings_call(RS_GET_FIRST, key, 0), RS_IO_ERROR);
    EXPECT_FALSE(hostlibs::for_each_setting([](const SettingRecord&) { return true; }, &error_));
    EXPECT_NE(error_.find("another layout"), std::string::npos) << error_;
    const std::vector<hostlibs::ErrorLogEntry> log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].source, "RECORDS");
    EXPECT_EQ(log[0].code, hostlibs::kRecordFileFailed);
    EXPECT_NE(log[0].text.find("settings.db: holds records of another layout"), std::string::npos)
        << log[0].text;
    // The password file opens when first used, with its hashes, into the
    // buffer bound before.
    PasswordRecord password{};
    put_text(password.name, sizeof password.name, "ADA");
    put_text(password.password, sizeof password.password, "SECRET");
    ASSERT_EQ(rs_password_set_buffer(&password), RS_OK);
    EXPECT_EQ(rs_password_call(RS_GET_EQUAL, &password, 0), RS_KEY_NOT_FOUND);
    ASSERT_TRUE(hostlibs::put_password(password, &error_)) << error_;
    EXPECT_EQ(rs_password_call(RS_GET_EQUAL, &password, 0), RS_OK);
}

TEST_F(HostCoreTest, ErrorLogKeepsTheRecordBytesAndTheUser) {
    ErrorRecord record;
    std::memset(&record, 0, sizeof record);
    store_u16(reinterpret_cast<uint8_t*>(&record.kind), 5);
    put_text(record.source, 8, "TOOLBANK");
    record.code = 0x80007530u;
    put_text(record.blanks, 4, "");
    put_text(record.text, 128, "\\r\\USER\\DEVGROUP\\TOOLBANK.L02");
    ErrorLogRequest request;
    std::memset(&request, 0, sizeof request);
    std::memcpy(request.user_id, "OPERATOR", 8);
    request.record = &record;
    request.record_length = sizeof record;
    request.field44 = -1;
    ASSERT_EQ(host_error_log(&request), 0);

    request.record = nullptr;
    EXPECT_NE(host_error_log(&request), 0);
    EXPECT_NE(host_error_log(nullptr), 0);

    std::vector<hostlibs::ErrorLogEntry> log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    const hostlibs::ErrorLogEntry& entry = log[0];
    ASSERT_EQ(entry.record.size(), sizeof record);
    EXPECT_EQ(std::memcmp(entry.record.data(), &record, sizeof record), 0);
    EXPECT_EQ(entry.user_id, "OPERATOR");
    EXPECT_EQ(entry.kind, 5);
    EXPECT_EQ(entry.source, "TOOLBANK");
    EXPECT_EQ(entry.code, 0x80007530u);
    EXPECT_EQ(entry.text, "\\r\\USER\\DEVGROUP\\TOOLBANK.L02");
    EXPECT_EQ(entry.logged_at, 1614834367u);
    EXPECT_EQ(entry.describe(),
              "#1 2021-03-04 05:06:07 OPERATOR TOOLBANK 0x80007530 "
              "\\r\\USER\\DEVGROUP\\TOOLBANK.L02");
}

TEST_F(HostCoreTest, TraceAppendsFormattedLines) {
    host_trace("Getpass: pwd record not found, name=%.4s, pass=%.8s", "ADMINISTRATOR", "SECRET  ");
    host_trace("second %d", 2);
    std::ifstream trace(hostlibs::trace_path());
    std::stringstream text;
    text << trace.rdbuf();
    EXPECT_EQ(text.str(),
              "1614834367 Getpass: pwd record not found, name=ADMI, pass=SECRET  \n"
              "1614834367 second 2\n");
}

TEST_F(HostCoreTest, DateAndTimeTextsKeepToTheirSize) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(date_format(1614834367, 1, 0, 0, buffer, 8), 0);
    EXPECT_EQ(std::string(buffer, 9), "03/04/21#") << "no terminator without room";
    ASSERT_EQ(date_format(1614834367, 1, '-', 1, buffer, 16), 0);
    EXPECT_STREQ(buffer, "04-03-21");
    ASSERT_EQ(date_format(1614834367, 1, 0, 2, buffer, 16), 0);
    EXPECT_STREQ(buffer, "21/03/04");
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(time_format(1614834367 + 8 * 3600, 1, 0, buffer, 5), 0);
    EXPECT_EQ(std::string(buffer, 6), "13:06#");
    ASSERT_EQ(time_format(1614834367 + 8 * 3600, 2, 1, buffer, 16), 0);
    EXPECT_STREQ(buffer, "01:06:07");
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(date_format(1614834367, 1, 0, 0, buffer, 3), 0);
    EXPECT_EQ(std::string(buffer, 4), "03/#");
    EXPECT_NE(date_format(0, 1, 0, 0, nullptr, 8), 0);
    EXPECT_NE(time_format(0, 1, 0, buffer, 0), 0);
}

TEST_F(HostCoreTest, FileNamesAreFreshOnEveryCall) {
    std::set<std::string> names;
    char name[12];
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(info_file_name(name), 0);
        ASSERT_EQ(std::strlen(name), 11u);
        EXPECT_EQ(name[0], 'R');
        EXPECT_TRUE(names.insert(name).second) << name;
    }
}

}  // namespace
