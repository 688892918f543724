// Everything the data libraries hold while a host is open, in one place so
// that close_host() can drop all of it and a test can open another root.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/error_log.h"
#include "core/sqlite_handle.h"
#include "hostlibs/host_setup.h"
#include "info/file_names.h"
#include "jobs/job_queue.h"
#include "record_store/record_file.h"
#include "sites/site_directory.h"

namespace hostlibs::detail {

inline constexpr RecordLayout kDevicesLayout{"devices.db", sizeof(DeviceRecord), 8};
inline constexpr RecordLayout kSettingsLayout{"settings.db", sizeof(SettingRecord), 40};
inline constexpr RecordLayout kPasswordsLayout{"passwords.db", sizeof(PasswordRecord), 38};

struct HostState {
    explicit HostState(const HostConfiguration& configuration);

    HostConfiguration configuration;
    std::string root_native;  // ends in '/'
    std::string data_native;  // <root>/DATA/
    std::string root_host;    // root_native with '\' for '/'
    std::string data_host;
    std::array<char, 8> user_id{};
    bool has_user_id = false;
    uint32_t user_no = 0;
    std::optional<uint32_t> fixed_now;
    int leave_count = 0;

    Database host_db;  // sites, jobs, error log
    RecordFile devices;
    RecordFile settings;
    RecordFile passwords;
    SiteTable sites{host_db};
    JobQueue jobs;
    FileNames file_names;
};

// The open host, or null.
HostState* host_state();

uint32_t clock_now();

}  // namespace hostlibs::detail
