// What the shared-store benchmark's parts agree on: the devices table they
// fill and read, and the store's session on it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "hostlibs/host_setup.h"
#include "platform/host_records.h"

inline constexpr int kRecords = 1000000;
inline constexpr int kShown = 100;  // the last records are the editor's table
inline constexpr int kSaveRows = 100;
inline constexpr int kWorkstations = 8;

// Record `index` (1 to kRecords): key "D<index>", shown when among the last
// kShown, blank group.
inline DeviceRecord bench_device(int index) {
    DeviceRecord record{};
    char text[40];
    std::snprintf(text, sizeof text, "D%07d", index);
    std::memcpy(record.key, text, sizeof record.key);
    std::memset(record.instrument, ' ', sizeof record.instrument);
    const int length = std::snprintf(text, sizeof text, "Instrument %d", index);
    std::memcpy(record.instrument, text, static_cast<size_t>(length));
    record.status = index > kRecords - kShown ? 1 : 0;
    std::memset(record.group, ' ', sizeof record.group);
    return record;
}

inline void bench_key(int index, char out[8]) {
    char text[16];
    std::snprintf(text, sizeof text, "D%07d", index);
    std::memcpy(out, text, 8);
}

// An 8-character group name, different for every (a, b, c) in range.
inline void bench_group(char tag, unsigned a, unsigned b, char out[8]) {
    char text[16];
    std::snprintf(text, sizeof text, "%c%03u%04u", tag, a % 1000, b % 10000);
    std::memcpy(out, text, 8);
}

// The editor's test of a row it shows.
inline bool shown(const DeviceRecord& record) {
    return (record.status & 1) != 0 && (record.status & 2) == 0;
}

// A workstation's session on the shared store, as host.conf's `store =` opens it.
inline hostlibs::HostConfiguration store_configuration(const std::string& root,
                                                       const std::string& conninfo) {
    hostlibs::HostConfiguration configuration;
    configuration.root = root;
    configuration.user_id = "BENCH";
    configuration.store = conninfo;
    return configuration;
}
