// Everything the data libraries hold while a host is open, in one place so
// that close_host() can drop all of it and a test can open another root.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/sqlite_handle.h"
#include "host/error_log.h"
#include "hostlibs/host_setup.h"
#include "info/file_names.h"
#include "jobs/job_queue.h"
#include "record_store/password_file.h"
#include "record_store/record_file.h"
#include "sites/site_directory.h"

namespace hostlibs::detail {

inline constexpr RecordField kDeviceFields[] = {
    {"key", 0, 8, FieldShape::kText},
    {"instrument", 8, 30, FieldShape::kText},
    {"status", 38, 2, FieldShape::kNumber},
    {"group", 40, 8, FieldShape::kText},
};
inline constexpr RecordField kSettingFields[] = {
    {"key", 0, 40, FieldShape::kText},
    {"value", 40, 80, FieldShape::kText},
};
inline constexpr RecordField kPasswordFields[] = {
    {"name", 0, 30, FieldShape::kText},       {"password", 30, 8, FieldShape::kSecret},
    {"user_code", 38, 4, FieldShape::kText},  {"rights", 42, 4, FieldShape::kHex},
    {"reserved", 46, 1, FieldShape::kNumber}, {"language", 47, 1, FieldShape::kNumber},
};

inline constexpr RecordLayout kDevicesLayout{"devices.db",  "devices", sizeof(DeviceRecord), 8,
                                             kDeviceFields, 4};
inline constexpr RecordLayout kSettingsLayout{"settings.db",  "settings", sizeof(SettingRecord), 40,
                                              kSettingFields, 2};
inline constexpr RecordLayout kPasswordsLayout{
    "passwords.db", "passwords", sizeof(PasswordRecord), 38, kPasswordFields, 6};

// The drive through which modules see the open root ("C:\\").
inline constexpr char kHostDrive = 'C';

struct HostState {
    explicit HostState(const HostConfiguration& configuration);

    HostConfiguration configuration;
    std::string root_native;  // ends in '/'
    std::string data_native;  // <root>/DATA/
    std::string root_host;    // "C:\\", mapped to root_native
    std::string data_host;    // "C:\\DATA\\"
    std::array<char, 8> user_id{};
    bool has_user_id = false;
    uint32_t user_no = 0;
    std::optional<uint32_t> fixed_now;
    int leave_count = 0;

    Database host_db;  // sites, jobs, error log
    // Where the record files are stored; declared before them, which use it.
    std::unique_ptr<RecordStore> record_store;
    RecordFile devices;
    RecordFile settings;
    RecordFile passwords;
    // The password bytes the last read of the password file handed the
    // caller: an update that leaves them as they are keeps the password.
    std::array<uint8_t, kPasswordSize> password_delivered{};
    // What the last password get-equal left its name to wait.
    PasswordWait password_wait;
    std::unique_ptr<SiteStorage> site_storage;  // in host.db or the shared store
    SiteTable sites;
    JobQueue jobs;
    FileNames file_names;
};

// The open host, or null.
HostState* host_state();

uint32_t clock_now();

}  // namespace hostlibs::detail
