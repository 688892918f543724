// Data roots for the module's benchmarks: devices files of a given size,
// each built once per run in a child process (so that building leaves
// nothing in the benchmark's memory) under one temporary folder that is
// removed at exit.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "hostapp/host_app.h"
#include "hostlibs/host_setup.h"

[[noreturn]] inline void bench_fail(const std::string& error) {
    std::fprintf(stderr, "benchmark: %s\n", error.c_str());
    std::abort();
}

// Record `index` of a file: key "K<index>", instrument "Instrument <index>",
// the status given, a blank group.
inline DeviceRecord numbered_device(int index, uint16_t status) {
    DeviceRecord record{};
    char text[40];
    std::snprintf(text, sizeof text, "K%07d", index);
    std::memcpy(record.key, text, 8);
    std::memset(record.instrument, ' ', sizeof record.instrument);
    const int length = std::snprintf(text, sizeof text, "Instrument %d", index);
    std::memcpy(record.instrument, text, static_cast<size_t>(length));
    record.status = status;
    std::memset(record.group, ' ', sizeof record.group);
    return record;
}

// Makes record `index` of a file of `total` records.
using DeviceMaker = DeviceRecord (*)(int index, int total);

inline void build_devices_root(const std::string& root, int total, DeviceMaker make) {
    std::string error;
    if (!hostapp::create_root(root, false, &error))
        bench_fail(error);
    hostlibs::HostConfiguration configuration;
    configuration.root = root;
    configuration.user_id = "BENCH";
    if (!hostlibs::open_host(configuration, &error))
        bench_fail(error);
    constexpr int kBatch = 100000;
    std::vector<DeviceRecord> batch;
    for (int i = 0; i < total; ++i) {
        batch.push_back(make(i, total));
        if (static_cast<int>(batch.size()) == kBatch || i == total - 1) {
            if (!hostlibs::put_devices(batch, &error))
                bench_fail(error);
            batch.clear();
        }
    }
    hostlibs::close_host();
}

// The root whose devices file holds `total` records made by `make`.
inline const std::string& devices_root(int total, DeviceMaker make) {
    static std::map<int, std::string> roots;
    static const std::string base = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "bench_moduleXXXXXX").string();
        return std::string(mkdtemp(pattern.data()));
    }();
    static struct Cleanup {
        ~Cleanup() {
            std::error_code ignored;
            std::filesystem::remove_all(base, ignored);
        }
    } cleanup;
    if (auto found = roots.find(total); found != roots.end())
        return found->second;
    const std::string root = base + "/" + std::to_string(total);
    const pid_t child = fork();
    if (child == 0) {
        build_devices_root(root, total, make);
        _exit(0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        bench_fail("building the data root failed");
    }
    return roots.emplace(total, root).first->second;
}
