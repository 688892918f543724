// Helpers shared by the module's tests: temporary data roots, device
// records and fixed-width text.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hostlibs/host_setup.h"
#include "platform/host_records.h"
#include "platform/native_files.h"
#include "temp_folder.h"

inline std::string padded(const std::string& s, size_t width) {
    std::string out = s.substr(0, width);
    out.resize(width, ' ');
    return out;
}

inline std::string text(const char* p, size_t width) {
    return std::string(p, width);
}

// A file's bytes; empty when it cannot be read.
inline std::string file_bytes(const std::string& native_path) {
    std::ifstream in(native_path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The native path a host path maps to (the host root's drive included);
// empty when it does not map.
inline std::string native_form(const std::string& host_path) {
    char native[4096];
    return native_path(host_path.c_str(), native, sizeof native) ? native : "";
}

inline std::string key_of(int i) {
    char key[16];
    std::snprintf(key, sizeof key, "K%07d", i);
    return std::string(key, 8);
}

inline DeviceRecord device(int i, const std::string& instrument, const std::string& group,
                           uint16_t status = 1) {
    DeviceRecord record{};
    std::memcpy(record.key, key_of(i).data(), 8);
    std::memcpy(record.instrument, padded(instrument, 30).data(), 30);
    record.status = status;
    std::memcpy(record.group, padded(group, 8).data(), 8);
    return record;
}

// The host data libraries opened on a temporary root, closed after the test.
class HostFixture : public ::testing::Test {
  protected:
    void SetUp() override { open_as("TESTER"); }
    void TearDown() override { hostlibs::close_host(); }

    void open_as(const std::string& user_id) {
        hostlibs::close_host();
        hostlibs::HostConfiguration configuration;
        configuration.root = root_.path();
        configuration.user_id = user_id;
        configuration.user_no = 7;
        configuration.fixed_now = 1000;
        std::string error;
        ASSERT_TRUE(hostlibs::open_host(configuration, &error)) << error;
    }

    void put(const std::vector<DeviceRecord>& records) {
        std::string error;
        ASSERT_TRUE(hostlibs::put_devices(records, &error)) << error;
    }

    TempFolder root_;
};
