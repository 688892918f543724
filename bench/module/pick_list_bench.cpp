// The group pick list (the list popup over the devices file) on files of
// 1,000 and 1,000,000 records, headless: the time to the first painted page
// (the list opened and left with Escape), the time of one Down and of one
// Page Down step near the end of the file, and the process's resident memory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "device_roots.h"
#include "editor/device_table.h"
#include "editor/pick_list.h"
#include "platform/host_libraries.h"
#include "screenlib/screenlib.h"
#include "services/module_state.h"

namespace {

// The dispatcher's place of the list: 27 rows at row 3.
constexpr int kRow = 3;
constexpr int kColumn = 12;
constexpr int kRows = 30 - kRow;
// Page Up steps from the end before the measured steps, and the steps.
constexpr int kPagesBack = 5;
constexpr int kDownSteps = 100;
constexpr int kPageSteps = 4;

// Every record is listed; groups repeat every 1,000 records.
DeviceRecord listed_device(int index, int /*total*/) {
    DeviceRecord record = numbered_device(index, 1);
    char group[16];
    std::snprintf(group, sizeof group, "G%07d", index % 1000);
    std::memcpy(record.group, group, sizeof record.group);
    return record;
}

double cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double resident_mb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

// The module's view of the host for one benchmark: the host libraries open
// on the root, a headless screen, the devices-file buffer bound.
class PickSession {
  public:
    explicit PickSession(int total) {
        std::string error;
        hostlibs::HostConfiguration configuration;
        configuration.root = devices_root(total, listed_device);
        configuration.user_id = "BENCH";
        if (!hostlibs::open_host(configuration, &error))
            bench_fail(error);
        headless_ = &screenlib::use_headless();
        context_.settings = &settings_;
        host_context = &context_;
        rs_bind(&device_table.record());
    }
    ~PickSession() {
        host_context = nullptr;
        screenlib::shutdown();
        hostlibs::close_host();
    }
    PickSession(const PickSession&) = delete;
    PickSession& operator=(const PickSession&) = delete;

    // One pick under the key script: its processor time and its wall time,
    // in seconds. The processor time is what the pick costs; the wall time
    // also holds whatever else the machine is doing.
    struct Times {
        double cpu;
        double wall;
    };
    Times run(const std::string& keys) {
        std::string error;
        if (!headless_->set_script(keys, &error))
            bench_fail(error);
        const double cpu_start = cpu_seconds();
        const auto wall_start = std::chrono::steady_clock::now();
        pick_record(kRow, kColumn);
        const auto wall_end = std::chrono::steady_clock::now();
        return {cpu_seconds() - cpu_start,
                std::chrono::duration<double>(wall_end - wall_start).count()};
    }

  private:
    HostSettings settings_{};
    HostContext context_{};
    screenlib::HeadlessBackend* headless_ = nullptr;
};

std::string repeat(const std::string& key, int times) {
    std::string keys;
    for (int i = 0; i < times; ++i)
        keys += key;
    return keys;
}

// From the end of the file, some pages back, the cursor on the bottom row.
const std::string kNearTheEnd =
    "<End>" + repeat("<PgUp>", kPagesBack) + repeat("<Down>", kRows - 1);

void BM_PickListFirstPage(benchmark::State& state) {
    PickSession session(static_cast<int>(state.range(0)));
    const double before = resident_mb();
    for (auto _ : state)
        session.run("<Esc>");
    state.counters["rss_mb"] = resident_mb();
    state.counters["rss_growth_mb"] = resident_mb() - before;
}
BENCHMARK(BM_PickListFirstPage)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// Each step benchmark times two picks, with and without the steps, and
// takes the difference per step as processor time; the wall time per step
// is a counter. A fixed number of iterations keeps the run short.
constexpr int kStepIterations = 20;

void time_steps(benchmark::State& state, const std::string& steps, int count, int lines) {
    PickSession session(static_cast<int>(state.range(0)));
    double wall = 0;
    for (auto _ : state) {
        const PickSession::Times without = session.run(kNearTheEnd + "<Esc>");
        const PickSession::Times with = session.run(kNearTheEnd + steps + "<Esc>");
        state.SetIterationTime((with.cpu - without.cpu) / count);
        wall += (with.wall - without.wall) / count;
    }
    state.counters["wall_us"] = wall / static_cast<double>(state.iterations()) * 1e6;
    state.counters["wall_us_per_line"] =
        wall / static_cast<double>(state.iterations()) * 1e6 / lines;
}

// One Down on the bottom row: the list scrolls one record.
void BM_PickListDownNearTheEnd(benchmark::State& state) {
    time_steps(state, repeat("<Down>", kDownSteps), kDownSteps, 1);
}
BENCHMARK(BM_PickListDownNearTheEnd)
    ->Arg(1000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Iterations(kStepIterations)
    ->Unit(benchmark::kMicrosecond);

// One Page Down: the list scrolls a page, one record at a time.
void BM_PickListPageDownNearTheEnd(benchmark::State& state) {
    time_steps(state, repeat("<PgDn>", kPageSteps), kPageSteps, kRows);
}
BENCHMARK(BM_PickListPageDownNearTheEnd)
    ->Arg(1000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Iterations(kStepIterations)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
