// A fresh data root in /tmp, opened as the host for one test and removed after it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "hostlibs/host_setup.h"
#include "temp_folder.h"

class TempRootTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.path().empty());
        root_ = folder_.path();
        ASSERT_TRUE(open(configuration())) << error_;
    }

    void TearDown() override { hostlibs::close_host(); }

    hostlibs::HostConfiguration configuration() const {
        hostlibs::HostConfiguration config;
        config.root = root_;
        config.user_id = "OPERATOR";
        config.user_no = 42;
        config.fixed_now = 1614834367;  // 2021-03-04 05:06:07 UTC
        return config;
    }

    bool open(const hostlibs::HostConfiguration& config) {
        return hostlibs::open_host(config, &error_);
    }

    TempFolder folder_{"hostlibs-test-"};
    std::string root_;
    std::string error_;
};

// Fixed-width text helpers for building records.
inline void put_text(char* field, size_t width, const std::string& text) {
    std::memset(field, ' ', width);
    std::memcpy(field, text.data(), std::min(width, text.size()));
}

inline std::string get_text(const char* field, size_t width) {
    std::string text(field, width);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}
