// Saving 100 changed group names as the editor's save does it: for each row a
// get-equal by key and an update of the record read, through the record
// store's C interface, with the change journal on and off; beside 100
// single-row UPDATE statements with bare SQLite on the same devices file in
// the same run. Each iteration writes other names than the last, so every
// update changes bytes.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "hostlibs/host_setup.h"
#include "platform/host_libraries.h"

namespace {

constexpr int kRows = 100;

void make_key(int i, char out[8]) {
    char text[16];
    std::snprintf(text, sizeof text, "K%07d", i);
    std::memcpy(out, text, 8);
}

// The group name of row `i` in iteration `round`: 8 characters.
void make_group(int i, uint64_t round, char out[8]) {
    char text[16];
    std::snprintf(text, sizeof text, "G%03d%04u", i, static_cast<unsigned>(round % 10000));
    std::memcpy(out, text, 8);
}

// A root whose devices file holds the 100 shown records, made once per run.
const std::string& bench_root() {
    static const std::string root = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "bench_saveXXXXXX").string();
        std::string made = mkdtemp(pattern.data());
        hostlibs::HostConfiguration configuration;
        configuration.root = made;
        configuration.user_id = "BENCH";
        std::string error;
        std::vector<DeviceRecord> records(kRows);
        for (int i = 0; i < kRows; ++i) {
            DeviceRecord& record = records[static_cast<size_t>(i)];
            std::memset(&record, ' ', sizeof record);
            make_key(i, record.key);
            record.status = 1;
        }
        if (!hostlibs::open_host(configuration, &error) ||
            !hostlibs::put_devices(records, &error)) {
            std::fprintf(stderr, "bench_save: %s\n", error.c_str());
            std::abort();
        }
        hostlibs::close_host();
        return made;
    }();
    static struct Cleanup {
        ~Cleanup() {
            std::error_code ignored;
            std::filesystem::remove_all(root, ignored);
        }
    } cleanup;
    return root;
}

// The store pass of a save: get-equal by the row's key, the new group into
// the record read, update; journal on (argument 1) or off (0).
void BM_SaveHundredRows_RecordStore(benchmark::State& state) {
    hostlibs::HostConfiguration configuration;
    configuration.root = bench_root();
    configuration.user_id = "BENCH";
    configuration.change_journal = state.range(0) != 0;
    std::string error;
    if (!hostlibs::open_host(configuration, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    DeviceRecord record{};
    rs_bind(&record);
    uint64_t round = 0;
    for (auto _ : state) {
        ++round;
        for (int i = 0; i < kRows; ++i) {
            char key[8];
            make_key(i, key);
            if (rs_call(RS_GET_EQUAL, key, 0) != RS_OK) {
                state.SkipWithError("get-equal failed");
                break;
            }
            make_group(i, round, record.group);
            if (rs_call(RS_UPDATE, &record, 0) != RS_OK) {
                state.SkipWithError("update failed");
                break;
            }
        }
    }
    rs_bind(nullptr);
    hostlibs::close_host();
    state.SetItemsProcessed(state.iterations() * kRows);
    state.SetLabel(state.range(0) != 0 ? "journal on" : "journal off");
}
BENCHMARK(BM_SaveHundredRows_RecordStore)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// 100 single-row updates, each its own transaction, on the same file.
void BM_SaveHundredRows_BareSqlite(benchmark::State& state) {
    const std::string path = bench_root() + "/DATA/devices.db";
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        state.SkipWithError("cannot open devices.db");
        sqlite3_close(db);
        return;
    }
    sqlite3_busy_timeout(db, 2000);
    sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    sqlite3_stmt* update = nullptr;
    sqlite3_prepare_v2(db, "UPDATE records SET data = ?2 WHERE key = ?1", -1, &update, nullptr);
    DeviceRecord record;
    std::memset(&record, ' ', sizeof record);
    record.status = 1;
    uint64_t round = 0;
    for (auto _ : state) {
        ++round;
        for (int i = 0; i < kRows; ++i) {
            make_key(i, record.key);
            make_group(i, round, record.group);
            sqlite3_bind_blob(update, 1, record.key, 8, SQLITE_STATIC);
            sqlite3_bind_blob(update, 2, &record, sizeof record, SQLITE_STATIC);
            if (sqlite3_step(update) != SQLITE_DONE) {
                state.SkipWithError(sqlite3_errmsg(db));
            }
            sqlite3_reset(update);
        }
    }
    sqlite3_finalize(update);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SaveHundredRows_BareSqlite)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
