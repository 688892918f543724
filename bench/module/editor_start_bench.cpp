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

#include "device_roots.h"
#include "hostapp/host_app.h"
#include "hostlibs/host_setup.h"

namespace {

constexpr int kShown = 100;

// The last 100 records are shown, the others not.
DeviceRecord last_shown(int index, int total) {
    return numbered_device(index, index >= total - kShown ? 1 : 0);
}

const std::string& root_with(int total) {
    return devices_root(total, last_shown);
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
