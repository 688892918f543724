// The host's viewers: the text viewer of reports (TEXTDISP) and the
// error-log viewer (ERRORLOG), both on the pager.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "builtin/pager.h"
#include "builtin/report_view.h"
#include "hostlibs/help.h"
#include "hostlibs/host_setup.h"
#include "hostlibs/printable.h"
#include "platform/native_files.h"
#include "platform/screen_size.h"
#include "session/session_state.h"

namespace hostapp {
namespace {

namespace fs = std::filesystem;

constexpr size_t kScreenColumns = SCREEN_COLUMNS;
// A report file in TEMP this old was left by a run that ended before its
// viewer, or by a crash: no making or viewing lasts that long.
constexpr auto kStaleReportAge = std::chrono::hours(24);

// The root's folder of new report files, and whether a file is one of them.
fs::path temp_folder(const std::string& root) {
    return fs::path(root) / "DATA" / "TEMP";
}

bool is_report_in_temp(const fs::path& file, const std::string& root) {
    std::error_code code;
    return file.extension() == ".LST" &&
           fs::equivalent(file.parent_path(), temp_folder(root), code);
}

constexpr size_t kContinuationIndent = 4;

// A long line in pieces of at most `width` characters, the later ones indented.
std::vector<std::string> wrap(const std::string& text, size_t width) {
    std::vector<std::string> lines{text.substr(0, width)};
    const std::string indent(kContinuationIndent, ' ');
    for (size_t at = width; at < text.size(); at += width - kContinuationIndent) {
        lines.push_back(indent + text.substr(at, width - kContinuationIndent));
    }
    return lines;
}

bool read_report(const std::string& host_path, std::string* bytes, std::string* reason) {
    errno = 0;
    FILE* file = native_fopen(host_path.c_str(), "rb");
    if (file == nullptr) {
        *reason = std::strerror(errno != 0 ? errno : ENOENT);
        return false;
    }
    // A path that opens but cannot be read (a folder) is no empty report.
    const bool read = read_report_file(file, bytes, reason);
    std::fclose(file);
    return read;
}

}  // namespace

void tell_operator(HostSession::State&, const std::string& title,
                   const std::vector<std::string>& lines) {
    hostlibs::show_text_popup(title, lines);
}

int run_text_viewer(HostSession::State& state, const RunListEntry& entry) {
    ViewerArguments arguments;
    std::string error;
    std::string bytes;
    PagerText text;
    text.keys_hint = state.text(TEXT_PAGER_KEYS, "PgUp/PgDn: page   Esc: leave");
    if (!parse_viewer_arguments(entry.parameters, &arguments, &error)) {
        tell_operator(state, state.text(TEXT_REPORT, "Report"),
                      {"The viewer cannot read its arguments:", error});
        return 0;
    }
    if (!read_report(arguments.path, &bytes, &error)) {
        char native[4096];
        const bool maps = native_path(arguments.path.c_str(), native, sizeof native);
        tell_operator(state, state.text(TEXT_REPORT, "Report"),
                      {"The report file cannot be read:", maps ? native : arguments.path, error});
        return 0;
    }
    text.title = arguments.title.empty() ? arguments.path : arguments.title;
    text.pages = render_report(bytes);
    run_pager(text, state.headless.screen_left());
    // A report handed to the viewer is the viewer's: once shown it goes, so
    // that reports do not pile up in TEMP. A file elsewhere is left alone.
    char native[4096];
    if (native_path(arguments.path.c_str(), native, sizeof native) &&
        is_report_in_temp(native, state.root)) {
        std::error_code ignored;
        fs::remove(native, ignored);
    }
    return 0;
}

void remove_stale_reports(const std::string& root) {
    const fs::file_time_type before = fs::file_time_type::clock::now() - kStaleReportAge;
    std::error_code code;
    for (fs::directory_iterator it(temp_folder(root), code), end; !code && it != end;
         it.increment(code)) {
        std::error_code failed;
        const fs::file_time_type written = it->last_write_time(failed);
        if (!failed && written < before &&
            it->symlink_status(failed).type() == fs::file_type::regular &&
            is_report_in_temp(it->path(), root)) {
            fs::remove(it->path(), failed);
        }
    }
}

int run_error_log_viewer(HostSession::State& state) {
    PagerText text;
    text.title = state.text(TEXT_ERROR_LOG, "Error log");
    text.keys_hint = state.text(TEXT_PAGER_KEYS, "PgUp/PgDn: page   Esc: leave");
    text.empty_text = state.text(TEXT_LOG_EMPTY, "The error log is empty.");
    std::string error;
    std::vector<hostlibs::ErrorLogEntry> entries = hostlibs::read_error_log(&error);
    text.pages.emplace_back();
    // A log that could not be read whole says so above what was read.
    if (!error.empty()) {
        for (std::string& line :
             wrap(state.text(TEXT_LOG_UNREADABLE, "The error log cannot be read:") + " " +
                      hostlibs::printable(error),
                  kScreenColumns)) {
            text.pages.back().push_back(std::move(line));
        }
    }
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        for (std::string& line : wrap(entry->describe(), kScreenColumns)) {
            text.pages.back().push_back(std::move(line));
        }
    }
    run_pager(text, state.headless.screen_left());
    return 0;
}

}  // namespace hostapp
