// The editor beside `dialog --form` in a real pseudo-terminal: process start
// to first paint, one typed letter to its echo, and the bytes written for a
// letter and for a page change beside the cells that changed. Each program
// runs as fresh processes in turn, so both meet the same machine load.
//
//   bench_pty --devgroup PATH [--dialog PATH] [--runs N]
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "screen_model.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kColumns = 100;
constexpr int kRows = 30;
constexpr int kQuietMs = 150;
constexpr int kGiveUpMs = 10000;
constexpr char kLetter = 'Q';
constexpr const char* kPageDown = "\033[6~";

struct Program {
    std::string name;
    std::vector<std::string> argv;
    std::string marker;  // text that shows once the first screen is painted
};

struct Run {
    double first_paint_ms = 0;
    double echo_us = 0;
    int letter_bytes = 0;
    int letter_cells = 0;
    int letter_needed = 0;  // the bytes those cells need at the least
    int page_bytes = 0;
    int page_cells = 0;
    int page_needed = 0;
    double cpu_ms = 0;  // user and system time of the whole run, steady under load
};

double elapsed_us(Clock::time_point since) {
    return std::chrono::duration<double, std::micro>(Clock::now() - since).count();
}

class PtyProcess {
  public:
    explicit PtyProcess(const std::vector<std::string>& argv) {
        winsize size{};
        size.ws_col = kColumns;
        size.ws_row = kRows;
        pid_ = forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            setenv("TERM", "xterm-256color", 1);
            unsetenv("LINES");
            unsetenv("COLUMNS");
            unsetenv("NO_COLOR");
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
    }
    ~PtyProcess() {
        finish();
        if (master_ >= 0)
            close(master_);
    }

    // Ends the program; returns the processor time it used, in milliseconds.
    double finish() {
        if (pid_ <= 0)
            return 0;
        kill(pid_, SIGKILL);
        rusage usage{};
        wait4(pid_, nullptr, 0, &usage);
        pid_ = -1;
        const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
        return ms(usage.ru_utime) + ms(usage.ru_stime);
    }
    PtyProcess(const PtyProcess&) = delete;
    PtyProcess& operator=(const PtyProcess&) = delete;

    bool started() const { return pid_ > 0 && master_ >= 0; }

    // Reads what is there within `wait_ms`; -1 when the program is gone.
    int read_some(ScreenModel& screen, int wait_ms, int* watched_seen) {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, wait_ms) <= 0)
            return 0;
        char buffer[65536];
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0)
            return -1;
        const int seen = screen.feed(buffer, static_cast<size_t>(n), kLetter);
        if (watched_seen != nullptr)
            *watched_seen += seen;
        return static_cast<int>(n);
    }

    // Reads until nothing came for the quiet time; returns the bytes read.
    int drain(ScreenModel& screen) {
        int total = 0;
        for (int n; (n = read_some(screen, kQuietMs, nullptr)) > 0;)
            total += n;
        return total;
    }

    bool send(const char* keys) {
        const size_t length = std::strlen(keys);
        return write(master_, keys, length) == static_cast<ssize_t>(length);
    }

  private:
    int master_ = -1;
    pid_t pid_ = -1;
};

bool measure(const Program& program, Run* run) {
    ScreenModel screen(kColumns, kRows);
    const Clock::time_point start = Clock::now();
    PtyProcess process(program.argv);
    if (!process.started())
        return false;
    while (!screen.shows(program.marker)) {
        if (process.read_some(screen, kGiveUpMs, nullptr) <= 0)
            return false;
    }
    run->first_paint_ms = elapsed_us(start) / 1000.0;
    process.drain(screen);

    std::vector<ScreenCell> before = screen.cells();
    std::pair<int, int> cursor_before = screen.cursor();
    const char letter[2] = {kLetter, '\0'};
    const Clock::time_point typed = Clock::now();
    if (!process.send(letter))
        return false;
    int seen = 0;
    while (seen == 0) {
        const int n = process.read_some(screen, kGiveUpMs, &seen);
        if (n <= 0)
            return false;
        run->letter_bytes += n;
    }
    run->echo_us = elapsed_us(typed);
    run->letter_bytes += process.drain(screen);
    run->letter_cells = ScreenModel::changed_cells(before, screen.cells());
    run->letter_needed =
        screen.needed_bytes(before, screen.cells(), cursor_before, screen.cursor());

    before = screen.cells();
    cursor_before = screen.cursor();
    if (!process.send(kPageDown))
        return false;
    run->page_bytes = process.drain(screen);
    run->page_cells = ScreenModel::changed_cells(before, screen.cells());
    run->page_needed = screen.needed_bytes(before, screen.cells(), cursor_before, screen.cursor());
    run->cpu_ms = process.finish();
    return true;
}

struct Summary {
    double median;
    double low;
    double high;
};

template <typename Field>
Summary summarise(const std::vector<Run>& runs, Field field) {
    std::vector<double> values;
    for (const Run& run : runs)
        values.push_back(static_cast<double>(run.*field));
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

Program dialog_form(const std::string& dialog) {
    Program program{
        "dialog --form", {dialog, "--form", "Device groups", "0", "70", "0"}, "Instrument 20"};
    for (int row = 1; row <= 20; ++row) {
        const std::string y = std::to_string(row);
        for (const std::string& word :
             {std::string("G"), y, std::string("1"), std::string("PRESS"), y, std::string("3"),
              std::string("8"), std::string("8"), std::string("I"), y, std::string("13"),
              "Instrument " + y, y, std::string("15"), std::string("30"), std::string("30")}) {
            program.argv.push_back(word);
        }
    }
    return program;
}

// A demo data root made once, before anything is timed.
std::string make_demo_root(const std::string& devgroup) {
    char folder[] = "/tmp/bench-pty-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return "";
    const std::string root = std::string(folder) + "/root";
    const std::string command = "'" + devgroup + "' --root '" + root + "' init >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? root : "";
}

void print_line(const char* what, const Summary& s, const char* unit) {
    std::printf("  %-26s median %9.1f  min %9.1f  max %9.1f %s\n", what, s.median, s.low, s.high,
                unit);
}

}  // namespace

int main(int argc, char** argv) {
    std::string devgroup;
    std::string dialog = "/usr/bin/dialog";
    int runs = 30;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--devgroup")
            devgroup = argv[i + 1];
        if (option == "--dialog")
            dialog = argv[i + 1];
        if (option == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    if (devgroup.empty()) {
        std::fprintf(stderr, "usage: bench_pty --devgroup PATH [--dialog PATH] [--runs N]\n");
        return 2;
    }
    if (access(dialog.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "bench_pty: cannot run %s (install the dialog package)\n",
                     dialog.c_str());
        return 1;
    }
    const std::string root = make_demo_root(devgroup);
    if (root.empty()) {
        std::fprintf(stderr, "bench_pty: could not make a demo root with %s\n", devgroup.c_str());
        return 1;
    }
    const std::vector<Program> programs = {
        {"devgroup", {devgroup, "--root", root}, "Gas detector GD-601"}, dialog_form(dialog)};

    std::vector<std::vector<Run>> results(programs.size());
    for (int i = 0; i < runs; ++i) {
        for (size_t p = 0; p < programs.size(); ++p) {
            Run run;
            if (!measure(programs[p], &run)) {
                std::fprintf(stderr, "bench_pty: %s did not paint or echo\n",
                             programs[p].name.c_str());
                return 1;
            }
            results[p].push_back(run);
        }
    }
    std::filesystem::remove_all(std::filesystem::path(root).parent_path());

    std::printf("%d fresh processes each, %dx%d pty, TERM=xterm-256color\n", runs, kColumns, kRows);
    for (size_t p = 0; p < programs.size(); ++p) {
        std::printf("%s\n", programs[p].name.c_str());
        print_line("first paint", summarise(results[p], &Run::first_paint_ms), "ms");
        print_line("typed letter to echo", summarise(results[p], &Run::echo_us), "us");
        print_line("bytes for a letter", summarise(results[p], &Run::letter_bytes), "");
        print_line("cells a letter changed", summarise(results[p], &Run::letter_cells), "");
        print_line("bytes those cells need", summarise(results[p], &Run::letter_needed), "");
        print_line("bytes for a page change", summarise(results[p], &Run::page_bytes), "");
        print_line("cells a page change changed", summarise(results[p], &Run::page_cells), "");
        print_line("bytes those cells need", summarise(results[p], &Run::page_needed), "");
        print_line("processor time, whole run", summarise(results[p], &Run::cpu_ms), "ms");
    }
    const auto ratio = [&](auto field) {
        return summarise(results[0], field).median / summarise(results[1], field).median;
    };
    std::printf("devgroup / dialog (medians): first paint %.2f, key echo %.2f\n",
                ratio(&Run::first_paint_ms), ratio(&Run::echo_us));
    const auto over_need = [&](auto written, auto needed) {
        return summarise(results[0], written).median / summarise(results[0], needed).median;
    };
    std::printf("devgroup bytes / bytes needed (medians): letter %.2f, page change %.2f\n",
                over_need(&Run::letter_bytes, &Run::letter_needed),
                over_need(&Run::page_bytes, &Run::page_needed));
    return 0;
}
