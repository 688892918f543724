// devgroup's command line: options, the subcommands and the host run.
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>

#include "host_config.h"
#include "hostapp/host_app.h"
#include "screenlib/screenlib.h"
#include "subcommands.h"

namespace hostapp {
namespace {

constexpr const char* kUsage =
    "usage: devgroup [--root DIR] [--user NAME] [--lang N] [--now N] [--keys SCRIPT]\n"
    "                [--module PATH]\n"
    "       devgroup [--root DIR] export devices | import devices FILE | log | jobs | sites\n"
    "       devgroup report FILE [--pdf OUT]\n";

// A signal that ends the program still gives the terminal back.
void restore_terminal_and_exit(int signal_number) {
    screenlib::shutdown();
    _exit(128 + signal_number);
}

#if !defined(__SANITIZE_ADDRESS__)
// A crash gives the terminal back, then dies of its signal as it would have.
// (Under the sanitizers their own handlers report the crash instead.)
void restore_terminal_and_crash(int signal_number) {
    screenlib::shutdown();
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}
#endif

void install_signal_handlers() {
    for (int signal_number : {SIGTERM, SIGHUP, SIGINT, SIGQUIT}) {
        std::signal(signal_number, &restore_terminal_and_exit);
    }
#if !defined(__SANITIZE_ADDRESS__)
    for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
        std::signal(signal_number, &restore_terminal_and_crash);
    }
#endif
}

struct CommandLine {
    HostOptions options;
    std::vector<std::string> words;
    std::optional<std::string> pdf_out;
    bool help = false;
};

bool parse_command_line(int argc, char** argv, CommandLine* line, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            line->help = true;
            continue;
        }
        if (argument.rfind("--", 0) != 0) {
            line->words.push_back(argument);
            continue;
        }
        if (i + 1 >= argc) {
            *error = argument + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        long long number = 0;
        if (argument == "--root") {
            line->options.root = value;
        } else if (argument == "--user") {
            line->options.user = value;
        } else if (argument == "--lang") {
            if (!parse_number(value, 1, 99, &number)) {
                *error = "--lang takes a language number from 1 to 99";
                return false;
            }
            line->options.language = static_cast<int>(number);
        } else if (argument == "--now") {
            if (!parse_number(value, 0, UINT32_MAX, &number)) {
                *error = "--now takes a clock value from 0 to 4294967295";
                return false;
            }
            line->options.now = static_cast<uint32_t>(number);
        } else if (argument == "--keys") {
            line->options.keys = value;
        } else if (argument == "--module") {
            line->options.module_path = value;
        } else if (argument == "--pdf") {
            line->pdf_out = value;
        } else {
            *error = "unknown option " + argument;
            return false;
        }
    }
    return true;
}

int run_host(const HostOptions& options) {
    HostSession session;
    std::string error;
    if (!session.open(options, &error)) {
        std::cerr << "devgroup: " << error << "\n";
        return 1;
    }
    const int result = session.run();
    if (result != 0) {
        const std::string reason = session.last_error();
        session.close();
        std::cerr << "devgroup: cannot start the module: " << reason << "\n";
        return 1;
    }
    if (options.keys) {
        std::cout << session.final_screen() << "\n";
    }
    return 0;
}

}  // namespace

int host_main(int argc, char** argv) {
    CommandLine line;
    std::string error;
    if (!parse_command_line(argc, argv, &line, &error)) {
        std::cerr << "devgroup: " << error << "\n" << kUsage;
        return 2;
    }
    if (line.help) {
        std::cout << kUsage;
        return 0;
    }
    const bool report = !line.words.empty() && line.words.front() == "report";
    if ((report && line.words.size() != 2) || (!report && line.pdf_out)) {
        std::cerr << "devgroup: " << (report ? "report takes one FILE" : "--pdf goes with report")
                  << "\n"
                  << kUsage;
        return 2;
    }
    if (report) {
        return run_report_command(line.words[1], line.pdf_out);
    }
    if (line.options.root.empty()) {
        line.options.root = default_root();
    }
    if (!root_exists(line.options.root)) {
        std::error_code ignored;
        if (!std::filesystem::is_empty(line.options.root, ignored) &&
            std::filesystem::exists(line.options.root, ignored)) {
            std::cerr << "devgroup: " << line.options.root
                      << " is not a data root (no host.conf) and not empty; not touching it\n";
            return 1;
        }
        if (!create_root(line.options.root, true, &error)) {
            std::cerr << "devgroup: cannot make a data root: " << error << "\n";
            return 1;
        }
        std::cerr << "devgroup: made a data root with the demo data at " << line.options.root
                  << "\n";
    }
    if (!line.words.empty()) {
        return run_subcommand(line.options.root, line.words);
    }
    line.options.use_terminal = !line.options.keys.has_value();
    install_signal_handlers();
    try {
        return run_host(line.options);
    } catch (const std::exception& failure) {
        screenlib::shutdown();
        std::cerr << "devgroup: " << failure.what() << "\n";
        return 1;
    }
}

}  // namespace hostapp
