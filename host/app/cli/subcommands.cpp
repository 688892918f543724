#include "cli/subcommands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "builtin/report_pdf.h"
#include "builtin/report_view.h"
#include "cli/store_commands.h"
#include "hostlibs/host_setup.h"
#include "hostlibs/printable.h"
#include "platform/bounded_read.h"
#include "platform/code_page.h"
#include "platform/fixed_text.h"
#include "root/device_csv.h"
#include "root/host_config.h"
#include "root/journal_archive.h"

namespace hostapp {
namespace {

// The host libraries opened on a root for one subcommand, as `user` (else
// host.conf's default user); without `records`, only the workstation's own
// data. Of the record files, only those in `record_files` are opened (or
// looked at) at once.
class OpenHost {
  public:
    OpenHost(const std::string& root, const std::string& user_name, bool read_only, bool records,
             unsigned record_files) {
        HostConfig config;
        if (!load_host_config(root, &config, &error_)) {
            return;
        }
        const HostUser* user =
            config.find_user(user_name.empty() ? config.default_user : user_name);
        if (user == nullptr) {
            error_ = "no user " + user_name + " in host.conf";
            return;
        }
        hostlibs::HostConfiguration configuration =
            host_configuration(root, config, *user, std::nullopt);
        configuration.read_only = read_only;
        configuration.open_records = records;
        configuration.record_files = record_files;
        open_ = hostlibs::open_host(configuration, &error_);
    }
    ~OpenHost() {
        if (open_) {
            hostlibs::close_host();
        }
    }
    OpenHost(const OpenHost&) = delete;
    OpenHost& operator=(const OpenHost&) = delete;
    bool open() const { return open_; }
    const std::string& error() const { return error_; }

  private:
    bool open_ = false;
    std::string error_;
};

int export_command() {
    std::string csv;
    std::string error;
    if (!export_devices(&csv, &error)) {
        return command_failed("export devices: " + error);
    }
    std::cout << csv;
    return 0;
}

// A devices CSV of about a million rows; a row is far shorter than a line may be.
constexpr ReadLimits kImportLimits{64 << 20, 4096};

// The whole of a file, or of standard input for "-", up to the import's
// limits; false with the reason in *error.
bool read_input(const std::string& path, std::string* text, std::string* error) {
    const std::string source = path == "-" ? "standard input" : path;
    ReadFailure failure;
    const bool read = path == "-" ? read_bounded(stdin, kImportLimits, text, &failure)
                                  : read_bounded_file(path.c_str(), kImportLimits, text, &failure);
    if (!read) {
        *error = failure.line == 0 ? "cannot read " + source + ": " + failure.reason
                                   : source + ": line " + std::to_string(failure.line) + ": " +
                                         failure.reason + "; nothing was changed";
    }
    return read;
}

int import_command(const std::string& path) {
    std::string text;
    std::string error;
    if (!read_input(path, &text, &error)) {
        return command_failed("import devices: " + error);
    }
    int count = 0;
    const std::string source = path == "-" ? "standard input" : path;
    if (!import_devices(text, &count, &error)) {
        return command_failed("import devices: " + source + ": " + error + "; nothing was changed");
    }
    std::cerr << "devgroup: imported " << count << (count == 1 ? " device\n" : " devices\n");
    return 0;
}

// Stored text (the code page) as a listing shows it: UTF-8 with control
// bytes escaped, so that no stored byte can drive the terminal; padded to
// `width` characters first, which keeps columns whatever the letters.
std::string listed(std::string_view stored, size_t width = 0) {
    std::string text(stored);
    if (text.size() < width) {
        text.resize(width, ' ');
    }
    return code_page::printable_utf8(text);
}

// What a listing read is printed; a store that failed on the way ends the
// command with its reason, so that a short listing is never taken for whole.
int listing_end(const char* command, const std::string& error) {
    return error.empty() ? 0 : command_failed(std::string(command) + ": cannot read " + error);
}

// A command whose standard output could not be written (a full disk, a
// closed pipe) failed, whatever it did besides: an export cut short must not
// pass for a whole one. The system's reason is known when the last write
// failed here; an earlier one only set the stream's state.
int output_checked(const std::string& command, int result) {
    const bool written_so_far = static_cast<bool>(std::cout);
    errno = 0;
    if (std::cout << std::flush) {
        return result;
    }
    const int reason = written_so_far ? errno : 0;
    return command_failed(command + ": cannot write the standard output" +
                          (reason != 0 ? std::string(": ") + std::strerror(reason) : ""));
}

int log_command() {
    std::string error;
    for (const hostlibs::ErrorLogEntry& entry : hostlibs::read_error_log(&error)) {
        std::cout << listed(entry.describe()) << "\n";
    }
    return listing_end("log", error);
}

// A report file whole; false with the system's reason in *error (when given).
bool read_native_report(const std::string& path, std::string* bytes, std::string* error = nullptr) {
    errno = 0;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        if (error != nullptr) {
            *error = "cannot read " + path + ": " + std::strerror(errno != 0 ? errno : ENOENT);
        }
        return false;
    }
    std::string reason;
    const bool read = read_report_file(file, bytes, &reason);
    if (!read && error != nullptr) {
        *error = "cannot read " + path + ": " + reason;
    }
    std::fclose(file);
    return read;
}

// "pages N" of a spooled report, or a note that it cannot be read.
std::string page_count_text(const std::string& spool_file) {
    std::string bytes;
    if (!read_native_report(spool_file, &bytes)) {
        return "file missing";
    }
    return "pages " + std::to_string(render_report(bytes).size());
}

// A job's user: the 8-byte user id of its header, which names the user
// whole; the 4-character name passed beside it only when the id is blank.
std::string job_user(const hostlibs::JobInfo& job) {
    const std::string_view id = fixed_text(job.header.user_id, sizeof job.header.user_id);
    return std::string(id.empty() ? fixed_text(job.user.c_str(), job.user.size()) : id);
}

int jobs_command() {
    std::string error;
    for (const hostlibs::JobInfo& job : hostlibs::list_jobs(&error)) {
        char line[512];
        std::snprintf(line, sizeof line, "%4u  site %-4u %s user %s no %-4u type %d  ", job.id,
                      job.site_id, listed(job.site_name, 30).c_str(),
                      listed(job_user(job), 8).c_str(), job.header.user_no, job.type);
        std::cout << line << listed(fixed_text(job.header.job_name, sizeof job.header.job_name))
                  << "  " << listed(job.title) << "\n    " << hostlibs::printable(job.spool_file)
                  << "  " << page_count_text(job.spool_file) << "\n";
    }
    return listing_end("jobs", error);
}

// "history [FILE] [--key K]": the change journal, newest first, printed as
// it is read.
int history_command(const std::vector<std::string>& words, const std::optional<std::string>& key) {
    const std::string file = words.size() > 1 ? words[1] : "devices";
    std::string error;
    // The key is typed in UTF-8; the records hold it in the code page.
    std::optional<std::string> stored_key;
    if (key) {
        code_page::Refusal refusal;
        stored_key.emplace();
        if (!code_page::from_utf8(*key, &*stored_key, &refusal)) {
            return command_failed("history: --key: " + refusal.reason);
        }
    }
    const bool read = hostlibs::read_journal(
        file, stored_key,
        [](const hostlibs::JournalEntry& entry) {
            // Values are record bytes in the code page; the listing is UTF-8.
            std::cout << code_page::printable_utf8(entry.describe()) << "\n";
            return static_cast<bool>(std::cout);
        },
        &error);
    if (!read) {
        return command_failed("history: " + error);
    }
    return 0;
}

// "history [FILE] --prune-before DATE --to OUT": moves the older rows of
// FILE's journal (every file's without FILE) into the CSV file OUT.
int prune_command(const std::vector<std::string>& words, int64_t before, const std::string& out) {
    const std::string file = words.size() > 1 ? words[1] : "";
    JournalArchive archive;
    std::string error;
    if (!archive.create(out, &error)) {
        return command_failed("history: " + error);
    }
    int64_t moved = 0;
    const bool pruned = hostlibs::prune_journal(
        file, before,
        [&](const std::vector<hostlibs::StoredJournalRow>& rows, std::string* why) {
            return archive.append(rows, why);
        },
        &moved, &error);
    const std::string count =
        std::to_string(moved) + (moved == 1 ? " journal row" : " journal rows");
    if (!pruned) {
        // Rows are deleted only once OUT holds them: OUT may hold rows still
        // in the journal, never the other way round.
        return command_failed("history: " + error + "; " + count + " moved to " + out +
                              " before the failure, the others are still in the journal");
    }
    std::cerr << "devgroup: moved " << count << " to " << hostlibs::printable(out) << "\n";
    return 0;
}

int sites_command() {
    std::string error;
    for (const hostlibs::SiteInfo& site : hostlibs::list_sites(&error)) {
        char line[512];
        std::snprintf(line, sizeof line, "%4u  class %d  %s  %s  flags 0x%05X  device %u", site.id,
                      site.site_class, listed(site.name, 30).c_str(),
                      listed(site.short_name, 20).c_str(), site.flags, site.device_type);
        std::cout << line;
        if (!site.connect_driver.empty()) {
            std::cout << "  connect " << listed(site.connect_driver) << " "
                      << listed(site.connect_parameters);
        }
        if (!site.transfer_driver.empty()) {
            std::cout << "  transfer " << listed(site.transfer_driver);
        }
        std::cout << "\n";
    }
    return listing_end("sites", error);
}

// The record files a command reads or writes: a file it does not need is
// not opened, so a damaged one stops only the commands that use it.
unsigned record_files_used(const std::string& name, const std::vector<std::string>& words,
                           bool prune) {
    if (name == "export devices" || name == "import devices") {
        return hostlibs::kDevicesFile;
    }
    if (name == "history") {
        if (words.size() < 2) {
            return prune ? hostlibs::kAllRecordFiles : hostlibs::kDevicesFile;
        }
        const std::string& file = words[1];
        return file == "devices"     ? hostlibs::kDevicesFile
               : file == "settings"  ? hostlibs::kSettingsFile
               : file == "passwords" ? hostlibs::kPasswordsFile
                                     : 0;
    }
    return name == "store status" || name == "store copy" ? hostlibs::kAllRecordFiles : 0;
}

}  // namespace

int command_failed(const std::string& message) {
    std::cerr << "devgroup: " << hostlibs::printable(message) << "\n";
    return 1;
}

int run_report_command(const std::string& file, const std::optional<std::string>& pdf_out) {
    std::string bytes;
    std::string error;
    if (!read_native_report(file, &bytes, &error)) {
        return command_failed("report: " + error);
    }
    const std::vector<ReportPage> pages = render_report(bytes);
    if (!pdf_out) {
        // Pages as UTF-8 text, a form feed between them.
        for (size_t page = 0; page < pages.size(); ++page) {
            if (page > 0) {
                std::cout << "\f";
            }
            for (const std::string& line : pages[page]) {
                std::cout << code_page::to_utf8(line) << "\n";
            }
        }
        return output_checked("report", 0);
    }
    int written = 0;
    if (!write_report_pdf(pages, *pdf_out, &written, &error)) {
        return command_failed("report: " + error);
    }
    std::cerr << "devgroup: wrote " << written << (written == 1 ? " page" : " pages") << " to "
              << *pdf_out << "\n";
    return 0;
}

std::string made_root_text(const std::string& root, RootContent content) {
    return std::string("made a data root ") +
           (content == RootContent::kDemo
                ? "with the demo data"
                : "with the demo users, sites and settings and no devices") +
           " at " + hostlibs::printable(root);
}

int init_command(const std::string& root, RootContent content) {
    bool made = false;
    std::string error;
    if (!create_root(root, content, &error, &made)) {
        return command_failed("cannot make a data root: " + error);
    }
    // A whole root stood there already, or another process's making placed one first.
    if (!made) {
        return command_failed(root +
                              " is a data root already; init makes only a new one, and "
                              "nothing was changed");
    }
    std::cerr << "devgroup: " << made_root_text(root, content) << "\n";
    return 0;
}

const std::vector<Subcommand>& subcommands() {
    static const std::vector<Subcommand> table = {
        {"init", nullptr, false, true,
         "makes a new data root with the demo data; --empty leaves out the devices"},
        {"export devices", nullptr, true, true,
         "the devices file as CSV on stdout (header key,instrument,status,group)"},
        {"import devices", "FILE", false, true,
         "CSV into the devices file, all or nothing; FILE - reads standard input"},
        {"log", nullptr, true, true, "the error log, oldest first"},
        {"jobs", nullptr, true, true, "the job queue"},
        {"sites", nullptr, true, true, "the site directory"},
        {"history", "[FILE]", true, true,
         "the change journal of FILE (devices, settings, passwords), newest first; --key K keeps "
         "one record; --prune-before moves old rows (of every file without FILE) to a CSV file"},
        {"report", "FILE", true, false,
         "a report file's pages as text; with --pdf OUT as a PDF document (needs no root)"},
        {"store status", nullptr, true, true,
         "where the register is kept (SQLite files or a shared store) and what it holds"},
        {"store init", nullptr, true, true,
         "makes or upgrades the shared store's schema; --grant ROLE gives ROLE a workstation's "
         "rights"},
        {"store copy", nullptr, true, true,
         "copies the register into an empty shared store: --to CONNINFO"},
    };
    return table;
}

const Subcommand* find_subcommand(const std::vector<std::string>& words) {
    for (const Subcommand& command : subcommands()) {
        std::istringstream names(command.words);
        std::vector<std::string> expected;
        for (std::string name; names >> name;) {
            expected.push_back(name);
        }
        // An operand written in brackets may be left out.
        const bool optional = command.operand != nullptr && command.operand[0] == '[';
        const size_t count = expected.size() + (command.operand != nullptr ? 1 : 0);
        const bool fits = words.size() == count || (optional && words.size() == count - 1);
        if (fits && words.size() >= expected.size() &&
            std::equal(expected.begin(), expected.end(), words.begin())) {
            return &command;
        }
    }
    return nullptr;
}

namespace {

int run_on_root(const std::string& root, const std::string& user, const Subcommand& command,
                const std::vector<std::string>& words, const SubcommandOptions& options) {
    const std::string name = command.words;
    if (name == "store init") {
        // The schema may not exist yet, so the store is not opened as a host opens it.
        return store_init_command(root, options.grant_role.value_or(""));
    }
    // The error log is the workstation's own: it can be read while a shared
    // store is away, which is when it is needed most.
    const bool prune = options.prune_before.has_value();
    OpenHost host(root, user, command.read_only && !prune, name != "log",
                  record_files_used(name, words, prune));
    if (!host.open()) {
        return command_failed(host.error());
    }
    if (name == "export devices") {
        return export_command();
    }
    if (name == "import devices") {
        return import_command(words.back());
    }
    if (name == "history") {
        return prune ? prune_command(words, *options.prune_before, options.to.value_or(""))
                     : history_command(words, options.key);
    }
    if (name == "log") {
        return log_command();
    }
    if (name == "store status") {
        return store_status_command();
    }
    if (name == "store copy") {
        return store_copy_command(options.to.value_or(""));
    }
    return name == "jobs" ? jobs_command() : sites_command();
}

}  // namespace

int run_subcommand(const std::string& root, const std::string& user, const Subcommand& command,
                   const std::vector<std::string>& words, const SubcommandOptions& options) {
    return output_checked(command.words, run_on_root(root, user, command, words, options));
}

}  // namespace hostapp
