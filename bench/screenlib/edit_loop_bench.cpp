// Time per key through the headless edit loop, and cells written per key.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/screen_function_table.h"
#include "platform/screen_library.h"
#include "screenlib/screenlib.h"

namespace {

// An editor-sized screen: twenty rows of an 8-wide and a 30-wide field.
std::string editor_file() {
    std::string text = "screen screen\nborder bd_prompt\nat 1 0\npicture\n";
    for (int row = 0; row < 20; ++row) {
        text += "|  ________   ______________________________" + std::string(33, ' ') + "|\n";
    }
    text += "end\n";
    for (int field = 0; field < 40; ++field) {
        text +=
            "field " + std::to_string(field) + " string -" + (field % 2 ? " display" : "") + "\n";
    }
    return text + "end screen\n";
}

const ScreenFunctionTable kTable({table_border("bd_prompt", bd_prompt)});

struct Editor {
    Editor() {
        path = std::filesystem::temp_directory_path() / "bench_screenlib.L01";
        std::ofstream(path) << editor_file();
        backend = &screenlib::use_headless();
        file = screenfile_open(path.c_str(), kTable);
        screen = screenfile_load(file, "screen", 0);
        screen_paint(screen);
    }
    ~Editor() {
        screen_close(screen);
        screenfile_close(file);
        screenlib::shutdown();
        std::filesystem::remove(path);
    }
    std::filesystem::path path;
    screenlib::HeadlessBackend* backend = nullptr;
    ScreenFile* file = nullptr;
    Screen* screen = nullptr;
};

// Runs the screen over one script per iteration and reports per-key figures.
void run_keys(benchmark::State& state, const std::string& script) {
    Editor editor;
    std::vector<int> keys;
    std::string error;
    if (!screenlib::parse_key_script(script, &keys, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    editor.backend->reset_cells_written();
    for (auto _ : state) {
        editor.backend->push_keys(keys);
        benchmark::DoNotOptimize(screen_run(editor.screen));
    }
    const double total_keys =
        static_cast<double>(state.iterations()) * static_cast<double>(keys.size());
    state.SetItemsProcessed(static_cast<int64_t>(total_keys));
    state.counters["cells_per_key"] =
        benchmark::Counter(static_cast<double>(editor.backend->cells_written()) / total_keys);
    state.counters["ns_per_key"] =
        benchmark::Counter(total_keys, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_TypingAndEditing(benchmark::State& state) {
    std::string script;
    for (int i = 0; i < 50; ++i)
        script += "abcdefgh<Home><Del><Del><End><BS><Left>x<Right>";
    run_keys(state, script + "<Esc>");
}
BENCHMARK(BM_TypingAndEditing);

void BM_FieldNavigation(benchmark::State& state) {
    std::string script;
    for (int i = 0; i < 50; ++i)
        script += "<Tab><Tab><Down><S-Tab><Up><Tab>";
    run_keys(state, script + "<Esc>");
}
BENCHMARK(BM_FieldNavigation);

void BM_PaintWholeScreen(benchmark::State& state) {
    Editor editor;
    editor.backend->reset_cells_written();
    for (auto _ : state) {
        screen_close(editor.screen);
        editor.screen = screenfile_load(editor.file, "screen", 0);
        screen_paint(editor.screen);
    }
    state.counters["cells_per_paint"] =
        benchmark::Counter(static_cast<double>(editor.backend->cells_written()) /
                           static_cast<double>(state.iterations()));
}
BENCHMARK(BM_PaintWholeScreen);

}  // namespace

BENCHMARK_MAIN();
