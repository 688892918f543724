// Loading the largest texts the host reads: host.conf with 100,000 users and
// a screen file with 40,000 screens. Each should load in well under a second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/screen_library.h"
#include "root/host_config.h"
#include "screenlib/screenlib.h"

namespace {

constexpr int kUsers = 100000;
constexpr int kScreens = 40000;

struct Folder {
    Folder() {
        path = std::filesystem::temp_directory_path() / "bench_file_load";
        std::filesystem::create_directories(path);
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

void BM_HostConfigWith100kUsers(benchmark::State& state) {
    Folder folder;
    {
        std::ofstream out(folder.path / "host.conf");
        out << "fallback_language = 1\nreport_title = Bench\n";
        for (int i = 0; i < kUsers; ++i) {
            out << "user = USER" << i << " U" << i << " " << i << " 1 0x2000000\n";
        }
    }
    for (auto _ : state) {
        hostapp::HostConfig config;
        std::string error;
        if (!hostapp::load_host_config(folder.path.string(), &config, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(config.users.size());
    }
}
BENCHMARK(BM_HostConfigWith100kUsers)->Unit(benchmark::kMillisecond);

void BM_ScreenFileWith40kScreens(benchmark::State& state) {
    Folder folder;
    const std::string path = (folder.path / "MANY.L01").string();
    {
        std::ofstream out(path);
        for (int i = 0; i < kScreens; ++i) {
            out << "screen s" << i << "\nborder bd_1\nat 5 10\ncolors 1F 70 1E 4F\npicture\n"
                << "| Name: ________ |\n| Code: ____     |\nend\n"
                << "field 0 string -\nfield 1 string - value 3\nend screen\n";
        }
    }
    std::string last_name = "s";
    last_name.append(std::to_string(kScreens - 1));
    screenlib::use_headless();
    for (auto _ : state) {
        ScreenFile* file = screenfile_open(path.c_str(), screenlib::library_function_table());
        Screen* last = file ? screenfile_load(file, last_name.c_str(), 0) : nullptr;
        if (!last) {
            state.SkipWithError("the screen file did not load");
            break;
        }
        screen_close(last);
        screenfile_close(file);
    }
    screenlib::shutdown();
}
BENCHMARK(BM_ScreenFileWith40kScreens)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
