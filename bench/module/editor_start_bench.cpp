// How long the host takes from opening a session to the editor's first
// painted screen (headless, no keys, so the run ends once it is painted),
// on devices files of 100 and of 1,000,000 records whose 100 shown records
// come last; and, for comparison, one bare SQLite pass over the same file.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "hostapp/host_app.h"
#include "hostlibs/host_setup.h"

namespace {

constexpr int kShown = 100;

DeviceRecord make_record(int i, bool shown) {
    DeviceRecord record{};
    char text[40];
    std::snprintf(text, sizeof text, "K%07d", i);
    std::memcpy(record.key, text, 8);
    std::memset(record.instrument, ' ', sizeof record.instrument);
    const int length = std::snprintf(text, sizeof text, "Instrument %d", i);
    std::memcpy(record.instrument, text, static_cast<size_t>(length));
    record.status = shown ? 1 : 0;
    std::memset(record.group, ' ', sizeof record.group);
    return record;
}

// A data root whose devices file holds `total` records, the last 100 shown.
// Built once per size and kept for the whole run.
const std::string& root_with(int total) {
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
    auto found = roots.find(total);
    if (found != roots.end())
        return found->second;
    const std::string root = base + "/" + std::to_string(total);
    std::string error;
    if (!hostapp::create_root(root, false, &error)) {
        std::fprintf(stderr, "bench_module: %s\n", error.c_str());
        std::abort();
    }
    hostlibs::HostConfiguration configuration;
    configuration.root = root;
    configuration.user_id = "BENCH";
    if (!hostlibs::open_host(configuration, &error)) {
        std::fprintf(stderr, "bench_module: %s\n", error.c_str());
        std::abort();
    }
    constexpr int kBatch = 100000;
    std::vector<DeviceRecord> batch;
    for (int i = 0; i < total; ++i) {
        batch.push_back(make_record(i, i >= total - kShown));
        if (static_cast<int>(batch.size()) == kBatch || i == total - 1) {
            if (!hostlibs::put_devices(batch, &error)) {
                std::fprintf(stderr, "bench_module: %s\n", error.c_str());
                std::abort();
            }
            batch.clear();
        }
    }
    hostlibs::close_host();
    return roots.emplace(total, root).first->second;
}

void BM_HostStartToEditorScreen(benchmark::State& state) {
    const int total = static_cast<int>(state.range(0));
    const std::string& root = root_with(total);
    for (auto _ : state) {
        hostapp::HostSession session;
        hostapp::HostOptions options;
        options.root = root;
        options.language = 1;
        options.keys = "";
        options.module_path = TOOLBANK_LIBRARY;
        std::string error;
        if (!session.open(options, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        const int result = session.call_module(session.module_entry());
        benchmark::DoNotOptimize(result);
        session.close();
    }
    state.SetItemsProcessed(state.iterations() * total);
    state.SetLabel("items: devices-file records passed");
}
BENCHMARK(BM_HostStartToEditorScreen)->Arg(100)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The same file read in key order straight through SQLite, testing each
// record's status as the editor's load does.
void BM_BareSqliteScan(benchmark::State& state) {
    const int total = static_cast<int>(state.range(0));
    const std::string path = root_with(total) + "/DATA/devices.db";
    for (auto _ : state) {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            state.SkipWithError("cannot open devices.db");
            sqlite3_close(db);
            return;
        }
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT data FROM records ORDER BY key", -1, &statement, nullptr);
        int shown = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(statement, 0));
            if (sqlite3_column_bytes(statement, 0) >= 40 && (data[38] & 3) == 1)
                ++shown;
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        benchmark::DoNotOptimize(shown);
    }
    state.SetItemsProcessed(state.iterations() * total);
}
BENCHMARK(BM_BareSqliteScan)->Arg(100)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
