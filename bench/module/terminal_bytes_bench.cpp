// Terminal bytes the editor writes per typed character and per page change,
// beside the number of cells that changed (the aim: bytes within 1.5 times
// the cells). The editor runs in a pseudo-terminal of 80x25 as an operator
// would see it; the same keys run headless count the cells that changed.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "hostapp/host_app.h"
#include "screenlib/screenlib.h"

namespace {

constexpr const char* kTypedName = "PUMPS";
constexpr int kTypedCount = 5;
// Page Down, Page Up, Page Down, Page Up as xterm sends them.
constexpr const char* kPageKeys[] = {"\x1b[6~", "\x1b[5~", "\x1b[6~", "\x1b[5~"};
constexpr const char* kPageScript = "<PgDn><PgUp><PgDn><PgUp>";
constexpr int kPageCount = 4;
// Output that pauses this long has ended (the editor draws each key at once).
constexpr int kQuietMs = 250;
constexpr int kFirstOutputMs = 10000;

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "terminal_bytes_bench: %s\n", why.c_str());
    std::abort();
}

// The host program on a pseudo-terminal: keys written, output counted.
class PtyEditor {
  public:
    explicit PtyEditor(const std::string& root) {
        winsize size{};
        size.ws_row = 25;
        size.ws_col = 80;
        child_ = forkpty(&master_, nullptr, nullptr, &size);
        if (child_ < 0)
            fail("forkpty failed");
        if (child_ == 0) {
            setenv("TERM", "xterm", 1);
            unsetenv("NO_COLOR");
            execl(DEVGROUP_PROGRAM, "devgroup", "--root", root.c_str(), "--lang", "1", "--now",
                  "1700000000", static_cast<char*>(nullptr));
            _exit(127);
        }
        if (drain(kFirstOutputMs) == 0)
            fail("the editor drew nothing");
    }
    ~PtyEditor() {
        kill(child_, SIGTERM);
        waitpid(child_, nullptr, 0);
        close(master_);
    }
    PtyEditor(const PtyEditor&) = delete;
    PtyEditor& operator=(const PtyEditor&) = delete;

    // Bytes written in answer to the keys.
    size_t send(const std::string& keys) {
        if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
            fail("cannot write to the terminal");
        return drain(kFirstOutputMs);
    }

  private:
    // Reads until the output has paused; the first byte may take `first_ms`.
    size_t drain(int first_ms) {
        size_t total = 0;
        char buffer[4096];
        for (;;) {
            pollfd fd{master_, POLLIN, 0};
            if (poll(&fd, 1, total == 0 ? first_ms : kQuietMs) <= 0)
                return total;
            const ssize_t got = read(master_, buffer, sizeof buffer);
            if (got <= 0)
                return total;
            total += static_cast<size_t>(got);
        }
    }

    pid_t child_ = -1;
    int master_ = -1;
};

// What each key of the script changed on the headless screen, in cells.
std::vector<int> changed_cells(const std::string& root, const std::string& keys) {
    hostapp::HostOptions options;
    options.root = root;
    options.language = 1;
    options.now = 1700000000;
    options.keys = keys;
    options.module_path = TOOLBANK_LIBRARY;
    hostapp::HostSession session;
    std::string error;
    if (!session.open(options, &error))
        fail(error);
    session.run();
    const auto* headless = dynamic_cast<screenlib::HeadlessBackend*>(screenlib::backend());
    if (headless == nullptr)
        fail("no headless screen");
    // Entry k counts what key k-1 changed; entry 0 the first paint.
    std::vector<int> changed(headless->cells_changed_per_key().begin() + 1,
                             headless->cells_changed_per_key().end());
    session.close();
    return changed;
}

double average(const std::vector<int>& values, size_t first, size_t count) {
    double sum = 0;
    for (size_t i = first; i < first + count && i < values.size(); ++i)
        sum += values[i];
    return sum / static_cast<double>(count);
}

void BM_TerminalBytesBesideChangedCells(benchmark::State& state) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("bench_terminal_bytes_" + std::to_string(getpid()));
    const std::string root = (folder / "root").string();
    std::string error;
    if (!hostapp::create_root(root, true, &error))
        fail(error);
    for (auto _ : state) {
        PtyEditor editor(root);
        size_t typed_bytes = 0;
        for (int i = 0; i < kTypedCount; ++i)
            typed_bytes += editor.send(std::string(1, kTypedName[i]));
        size_t page_bytes = 0;
        for (const char* key : kPageKeys)
            page_bytes += editor.send(key);

        const std::vector<int> changed = changed_cells(root, std::string(kTypedName) + kPageScript);
        const double cells_per_char = average(changed, 0, kTypedCount);
        const double cells_per_page = average(changed, kTypedCount, kPageCount);
        const double bytes_per_char = static_cast<double>(typed_bytes) / kTypedCount;
        const double bytes_per_page = static_cast<double>(page_bytes) / kPageCount;
        state.counters["bytes_per_char"] = bytes_per_char;
        state.counters["cells_per_char"] = cells_per_char;
        state.counters["bytes_per_page"] = bytes_per_page;
        state.counters["cells_per_page"] = cells_per_page;
        state.counters["char_ratio"] = bytes_per_char / cells_per_char;
        state.counters["page_ratio"] = bytes_per_page / cells_per_page;
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_TerminalBytesBesideChangedCells)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
