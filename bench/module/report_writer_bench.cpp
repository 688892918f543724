// Writing the Device Group report of 100 rows through the report writer
// (open in TEMP, page headers, body lines, close), beside writing the same
// bytes into a new file with one fwrite, in the same run.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "editor/device_table.h"
#include "hostlibs/host_setup.h"
#include "output/device_report.h"
#include "platform/native_files.h"
#include "services/report_writer.h"

namespace {

// A host opened on a fresh root with a three-line header template and a
// full table of 100 rows; closed and removed at exit.
class BenchHost {
  public:
    BenchHost() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "bench_reportXXXXXX").string();
        root_ = mkdtemp(pattern.data());
        hostlibs::HostConfiguration configuration;
        configuration.root = root_;
        configuration.user_id = "BENCH";
        configuration.fixed_now = 1700000000;
        std::string error;
        if (!hostlibs::open_host(configuration, &error)) {
            std::fprintf(stderr, "bench_report: %s\n", error.c_str());
            std::abort();
        }
        std::string header("\x03\x00", 2);
        for (const char* line : {"=====", "DEVGROUP INSTRUMENT REGISTRY", "====="}) {
            std::string padded = line;
            padded.resize(80, ' ');
            header += padded;
        }
        std::ofstream(hostlibs::data_path("rephead.dat"), std::ios::binary) << header;
        for (int i = 0; i < kTableRows; ++i) {
            DeviceGroupRow& row = device_table.row(i);
            std::memset(&row, ' ', sizeof row);
            char text[32];
            const int length = std::snprintf(text, sizeof text, "Instrument %d", i);
            std::memcpy(row.instrument, text, static_cast<size_t>(length));
            std::memcpy(row.saved_group, "PUMPS", 5);
        }
    }
    ~BenchHost() {
        hostlibs::close_host();
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

  private:
    std::string root_;
};

BenchHost& bench_host() {
    static BenchHost host;
    return host;
}

// One report through the writer, its file removed again.
void write_report_once() {
    if (report_open() == nullptr) {
        std::fprintf(stderr, "bench_report: no report file\n");
        std::abort();
    }
    write_device_report();
    report_close();
    native_remove(report_file_path());
}

void BM_ReportWriter100Rows(benchmark::State& state) {
    bench_host();
    for (auto _ : state) {
        write_report_once();
    }
}
BENCHMARK(BM_ReportWriter100Rows)->Unit(benchmark::kMicrosecond);

// The same bytes, made once by the writer, then written with one fwrite.
void BM_SingleFwriteOfTheSameBytes(benchmark::State& state) {
    bench_host();
    report_open();
    write_device_report();
    report_close();
    std::string native = report_file_path();
    for (char& c : native) {
        if (c == '\\')
            c = '/';
    }
    std::ifstream in(native, std::ios::binary);
    std::ostringstream bytes_stream;
    bytes_stream << in.rdbuf();
    const std::string bytes = bytes_stream.str();
    in.close();
    native_remove(report_file_path());
    state.counters["bytes"] = static_cast<double>(bytes.size());
    for (auto _ : state) {
        FILE* file = std::fopen(native.c_str(), "wbx");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        std::remove(native.c_str());
    }
}
BENCHMARK(BM_SingleFwriteOfTheSameBytes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
