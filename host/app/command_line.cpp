// devgroup's command line: options, the subcommands and the host run.
#include "command_line.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

#include "host_config.h"
#include "hostapp/host_app.h"
#include "hostlibs/menubar.h"
#include "hostlibs/printable.h"
#include "journal_archive.h"
#include "platform/bounded_read.h"
#include "platform/code_page.h"
#include "screenlib/screenlib.h"
#include "subcommands.h"

namespace hostapp {
namespace {

constexpr int kFailure = 1;
constexpr int kBadUsage = 2;

constexpr OptionHelp kOptions[] = {
    {"--root", "DIR",
     "an existing data root (default $DEVGROUP_ROOT, else $XDG_DATA_HOME/devgroup or "
     "~/.local/share/devgroup, made on first use)"},
    {"--empty", nullptr, "with init: a root without devices"},
    {"--user", "NAME", "a user of host.conf (default: its default_user)"},
    {"--lang", "N", "the language of messages and screens, 1 to 99 (default: the user's)"},
    {"--now", "N", "fixes the host clock at N"},
    {"--keys", "SCRIPT", "runs headless under a key script and prints the final screen"},
    {"--keys-file", "FILE", "as --keys, the script read from FILE (keeps passwords out of ps)"},
    {"--module", "PATH",
     "the module library (default: host.conf's module, else the libtoolbank.so installed "
     "with devgroup)"},
    {"--pdf", "OUT", "with report: writes the report as a PDF document to OUT"},
    {"--key", "K", "with history: only the changes of the record with key K"},
    {"--grant", "ROLE", "with store init: grants ROLE the workstations' rights on the store"},
    {"--prune-before", "DATE",
     "with history and --to: moves journal rows older than DATE (YYYY-MM-DD, UTC) out"},
    {"--to", "TARGET",
     "with store copy: the shared store to copy into (CONNINFO, no password in it); with "
     "--prune-before: the CSV file the rows go to (must not exist)"},
    {"--help", nullptr, "shows this help and exits", "-h"},
    {"--version", nullptr, "shows the version and exits", "-V"},
};

// Why the words name no subcommand: an unknown command, or a known one with
// the wrong operands.
std::string misused_command(const std::vector<std::string>& words) {
    std::string forms;
    for (const Subcommand& command : subcommands()) {
        const std::string name = command.words;
        if (name.substr(0, name.find(' ')) == words.front()) {
            forms += std::string(forms.empty() ? "" : " or ") + "'" + name +
                     (command.operand ? std::string(" ") + command.operand : "") + "'";
        }
    }
    return forms.empty() ? "unknown command " + words.front()
                         : words.front() + " is used as " + forms;
}

int usage_error(const std::string& message) {
    std::cerr << "devgroup: " << hostlibs::printable(message) << "\n"
              << usage_line() << "Try 'devgroup --help' for more.\n";
    return kBadUsage;
}

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
    SubcommandOptions command_options;
    bool help = false;
    bool version = false;
    bool empty_root = false;  // init --empty
};

const OptionHelp* find_option(const std::string& name) {
    for (const OptionHelp& option : kOptions) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

// A key script from a file, so that typed passwords need not stand on the
// command line; its line ends only break up a long script.
bool read_key_file(const std::string& path, CommandLine* line, std::string* error) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        *error = "--keys-file: " + path + " is a folder";
        return false;
    }
    std::string keys;
    ReadFailure failure;
    if (!read_bounded_file(path.c_str(), ReadLimits{screenlib::kMaxKeyScriptBytes, 0}, &keys,
                           &failure)) {
        *error = "--keys-file: cannot read " + path + ": " + failure.reason;
        return false;
    }
    std::erase_if(keys, [](char c) { return c == '\n' || c == '\r'; });
    line->options.keys = keys;
    return true;
}

bool set_option(const std::string& name, const std::string& value, CommandLine* line,
                std::string* error) {
    long long number = 0;
    if (name == "--root") {
        // An empty root would silently become the default one.
        if (value.empty()) {
            *error = "--root needs a folder, not an empty text";
            return false;
        }
        line->options.root = value;
    } else if (name == "--user") {
        line->options.user = value;
    } else if (name == "--lang") {
        if (!parse_number(value, 1, 99, &number)) {
            *error = "--lang takes a language number from 1 to 99";
            return false;
        }
        line->options.language = static_cast<int>(number);
    } else if (name == "--now") {
        if (!parse_number(value, 0, UINT32_MAX, &number)) {
            *error = "--now takes a clock value from 0 to 4294967295";
            return false;
        }
        line->options.now = static_cast<uint32_t>(number);
    } else if (name == "--keys") {
        line->options.keys = value;
    } else if (name == "--keys-file") {
        return read_key_file(value, line, error);
    } else if (name == "--pdf") {
        line->pdf_out = value;
    } else if (name == "--key") {
        line->command_options.key = value;
    } else if (name == "--prune-before") {
        int64_t clock = 0;
        if (!parse_utc_date(value, &clock)) {
            *error = "--prune-before takes a date as YYYY-MM-DD";
            return false;
        }
        line->command_options.prune_before = clock;
    } else if (name == "--grant" || name == "--to") {
        // An empty role, connection string or file would name the defaults, not a choice.
        if (value.empty()) {
            *error = name + " needs a value (" + find_option(name)->value + "), not an empty text";
            return false;
        }
        (name == "--grant" ? line->command_options.grant_role : line->command_options.to) = value;
    } else {
        line->options.module_path = value;
    }
    return true;
}

// Options come before or after the command; "--name value" or "--name=value".
// A lone "-" is an operand (standard input), "--" ends the options.
bool parse_command_line(int argc, char** argv, CommandLine* line, std::string* error) {
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (options_ended || argument == "-" || argument.empty() || argument[0] != '-') {
            line->words.push_back(argument);
            continue;
        }
        if (argument == "--") {
            options_ended = true;
            continue;
        }
        for (const OptionHelp& option : kOptions) {
            if (option.alias != nullptr && argument == option.alias) {
                argument = option.name;
            }
        }
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const OptionHelp* option = find_option(name);
        if (option == nullptr) {
            *error = "unknown option " + name;
            return false;
        }
        if (option->value == nullptr) {
            if (equals != std::string::npos) {
                *error = name + " takes no value";
                return false;
            }
            (name == "--help"    ? line->help
             : name == "--empty" ? line->empty_root
                                 : line->version) = true;
            continue;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            *error = name + " needs a value (" + option->value + ")";
            return false;
        }
        if (!set_option(name, value, line, error)) {
            return false;
        }
    }
    return true;
}

// --user must name a user of host.conf: the root's, or the template's that a
// root about to be made gets. A host.conf that does not load is left to the
// command, which reports it.
bool unknown_user(const std::string& user, const std::string& conf_folder, std::string* error) {
    HostConfig config;
    std::string ignored;
    if (user.empty() || !load_host_config(conf_folder, &config, &ignored) ||
        config.find_user(user) != nullptr) {
        return false;
    }
    *error = "--user " + user + ": no such user in " + conf_folder + "/host.conf";
    return true;
}

// The editor is about to take the screen: on a terminal, what was just said
// stays until the operator has read it.
void wait_for_enter() {
    if (isatty(STDIN_FILENO) == 0 || isatty(STDERR_FILENO) == 0) {
        return;
    }
    std::cerr << "Press Enter to start the editor (Ctrl-C stops)." << std::flush;
    char c = 0;
    while (read(STDIN_FILENO, &c, 1) == 1 && c != '\n' && c != '\r') {
    }
}

int run_host(const HostOptions& options) {
    HostSession session;
    std::string error;
    if (!session.open(options, &error)) {
        std::cerr << "devgroup: " << hostlibs::printable(error) << "\n";
        return 1;
    }
    const int result = session.run();
    if (result != 0) {
        const std::string reason = session.last_error();
        session.close();
        std::cerr << "devgroup: cannot start the module: " << hostlibs::printable(reason) << "\n";
        return 1;
    }
    if (options.keys) {
        // The screen's cells hold the code page; standard output is UTF-8.
        std::cout << code_page::to_utf8(session.final_screen()) << "\n";
    }
    const std::string note = session.fallback_note();
    // Said once the terminal is given back, so the operator can read it.
    session.close();
    if (!note.empty()) {
        std::cerr << "devgroup: " << note << "\n";
    }
    if (const std::string menu_error = hostlibs::menubar_error(); !menu_error.empty()) {
        std::cerr << "devgroup: the editor's menu did not load: " << hostlibs::printable(menu_error)
                  << " (also in the error log)\n";
        return kFailure;
    }
    return 0;
}

}  // namespace

std::span<const OptionHelp> options() {
    return kOptions;
}

std::string usage_line() {
    return "usage: devgroup [OPTIONS]            run the editor\n"
           "       devgroup [OPTIONS] COMMAND    run a command (on the data root)\n";
}

int host_main(int argc, char** argv) {
    CommandLine line;
    std::string error;
    if (!parse_command_line(argc, argv, &line, &error)) {
        return usage_error(error);
    }
    if (line.help) {
        std::cout << help_text();
        return 0;
    }
    if (line.version) {
        std::cout << "devgroup " << DEVGROUP_VERSION << "\n";
        return 0;
    }
    const Subcommand* command = nullptr;
    if (!line.words.empty()) {
        command = find_subcommand(line.words);
        if (command == nullptr) {
            return usage_error(misused_command(line.words));
        }
    }
    // Each command's own option goes with that command alone.
    struct OwnedOption {
        const char* name;
        bool given;
        const char* command;
    };
    const OwnedOption owned_options[] = {
        {"--pdf", line.pdf_out.has_value(), "report"},
        {"--key", line.command_options.key.has_value(), "history"},
        {"--grant", line.command_options.grant_role.has_value(), "store init"},
        {"--prune-before", line.command_options.prune_before.has_value(), "history"},
        {"--empty", line.empty_root, "init"},
    };
    for (const OwnedOption& option : owned_options) {
        if (option.given && (command == nullptr || std::string(command->words) != option.command)) {
            return usage_error(std::string(option.name) + " goes with " + option.command);
        }
    }
    const std::string words = command != nullptr ? command->words : "";
    const SubcommandOptions& chosen = line.command_options;
    if (words == "store copy" && !chosen.to) {
        return usage_error("store copy needs --to CONNINFO");
    }
    if (words != "store copy" && chosen.to && !chosen.prune_before) {
        return usage_error("--to goes with store copy, or with history --prune-before");
    }
    if (words == "history" && chosen.prune_before && !chosen.to) {
        return usage_error("--prune-before and --to go together");
    }
    if (chosen.key && chosen.prune_before) {
        return usage_error("--key does not go with --prune-before");
    }
    if (command != nullptr && !command->needs_root) {
        if (!line.options.user.empty()) {
            return usage_error("--user goes with a data root; report reads only its FILE");
        }
        return run_report_command(line.words.back(), line.pdf_out);
    }
    // A root named on the command line or by $DEVGROUP_ROOT must exist: a
    // typing error there never starts a fresh root. Only the operator's own
    // default root is made on first use.
    const bool named = !line.options.root.empty() || !environment_root().empty();
    if (line.options.root.empty()) {
        line.options.root = default_root();
    }
    if (words == "init") {
        if (!line.options.user.empty()) {
            return usage_error("--user goes with a data root; init makes one");
        }
        return init_command(line.options.root,
                            line.empty_root ? RootContent::kNoDevices : RootContent::kDemo);
    }
    const RootState state = root_state(line.options.root);
    const bool missing = state == RootState::kMissing;
    if (state != RootState::kComplete &&
        (!missing || named || (command != nullptr && command->read_only))) {
        std::cerr << "devgroup: "
                  << hostlibs::printable(refused_root_message(line.options.root, state)) << "\n";
        return kFailure;
    }
    if (unknown_user(line.options.user, missing ? assets_dir() + "/templates" : line.options.root,
                     &error)) {
        return usage_error(error);
    }
    if (missing) {
        bool made = false;
        if (!create_root(line.options.root, RootContent::kDemo, &error, &made)) {
            std::cerr << "devgroup: cannot make a data root: " << hostlibs::printable(error)
                      << "\n";
            return kFailure;
        }
        // Of processes racing to make one root, only the one that made it says so.
        if (made) {
            std::cerr << "devgroup: " << made_root_text(line.options.root, RootContent::kDemo)
                      << "\n";
            if (command == nullptr && !line.options.keys) {
                wait_for_enter();
            }
        }
    }
    if (command != nullptr) {
        return run_subcommand(line.options.root, line.options.user, *command, line.words,
                              line.command_options);
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
