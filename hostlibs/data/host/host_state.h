// Everything the data libraries hold while a host is open, in one place so
// that close_host() can drop all of it and a test can open another root.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/c_boundary.h"
#include "core/sqlite_handle.h"
#include "host/error_log.h"
#include "hostlibs/host_setup.h"
#include "info/file_names.h"
#include "jobs/job_queue.h"
#include "record_store/password_file.h"
#include "record_store/record_file.h"
#include "sites/site_directory.h"

namespace hostlibs::detail {

// The offset and width of a member of a platform record, as a RecordField takes them.
#define HOST_RECORD_SPAN(Record, member) \
    static_cast<int>(offsetof(Record, member)), static_cast<int>(sizeof(Record::member))

// The fields by the names the change journal keeps.
inline constexpr RecordField kDeviceFields[] = {
    {"key", HOST_RECORD_SPAN(DeviceRecord, key), FieldShape::kText},
    {"instrument", HOST_RECORD_SPAN(DeviceRecord, instrument), FieldShape::kText},
    {"status", HOST_RECORD_SPAN(DeviceRecord, status), FieldShape::kNumber},
    {"group", HOST_RECORD_SPAN(DeviceRecord, group), FieldShape::kText},
};
inline constexpr RecordField kSettingFields[] = {
    {"key", HOST_RECORD_SPAN(SettingRecord, key), FieldShape::kText},
    {"value", HOST_RECORD_SPAN(SettingRecord, value), FieldShape::kText},
};
inline constexpr RecordField kPasswordFields[] = {
    {"name", HOST_RECORD_SPAN(PasswordRecord, name), FieldShape::kText},
    {"password", HOST_RECORD_SPAN(PasswordRecord, password), FieldShape::kSecret},
    {"user_code", HOST_RECORD_SPAN(PasswordRecord, user_code), FieldShape::kText},
    {"rights", HOST_RECORD_SPAN(PasswordRecord, rights), FieldShape::kHex},
    {"reserved", HOST_RECORD_SPAN(PasswordRecord, reserved46), FieldShape::kNumber},
    {"language", HOST_RECORD_SPAN(PasswordRecord, language), FieldShape::kNumber},
};

#undef HOST_RECORD_SPAN

inline constexpr RecordLayout kDevicesLayout{
    .file_name = "devices.db",
    .table = "devices",
    .record_size = sizeof(DeviceRecord),
    .key_size = sizeof(DeviceRecord::key),
    .fields = kDeviceFields,
    .field_count = static_cast<int>(std::size(kDeviceFields)),
};
inline constexpr RecordLayout kSettingsLayout{
    .file_name = "settings.db",
    .table = "settings",
    .record_size = sizeof(SettingRecord),
    .key_size = sizeof(SettingRecord::key),
    .fields = kSettingFields,
    .field_count = static_cast<int>(std::size(kSettingFields)),
};
inline constexpr RecordLayout kPasswordsLayout{
    .file_name = "passwords.db",
    .table = "passwords",
    .record_size = sizeof(PasswordRecord),
    .key_size = kPasswordKeySize,
    .fields = kPasswordFields,
    .field_count = static_cast<int>(std::size(kPasswordFields)),
};

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

// Runs a listing of the set-up interface on the open host: without one, or
// when the listing throws, an empty listing with the reason in *error.
template <typename Listing>
auto host_listing(std::string* error, Listing listing) noexcept
    -> decltype(listing(std::declval<HostState&>())) {
    HostState* host = host_state();
    if (host == nullptr) {
        if (error != nullptr) {
            *error = "host not open";
        }
        return {};
    }
    return guarded_listing(error, [&] { return listing(*host); });
}

uint32_t clock_now();

}  // namespace hostlibs::detail
