// The host's viewers: the text viewer of reports (TEXTDISP) and the
// error-log viewer (ERRORLOG), both on the pager.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "hostlibs/help.h"
#include "hostlibs/host_setup.h"
#include "pager.h"
#include "platform/native_files.h"
#include "platform/screen_size.h"
#include "report_view.h"
#include "session_state.h"

namespace hostapp {
namespace {

constexpr size_t kScreenColumns = SCREEN_COLUMNS;
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
    run_pager(text, &state.screen_left);
    return 0;
}

int run_error_log_viewer(HostSession::State& state) {
    PagerText text;
    text.title = state.text(TEXT_ERROR_LOG, "Error log");
    text.keys_hint = state.text(TEXT_PAGER_KEYS, "PgUp/PgDn: page   Esc: leave");
    text.empty_text = state.text(TEXT_LOG_EMPTY, "The error log is empty.");
    std::vector<hostlibs::ErrorLogEntry> entries = hostlibs::read_error_log();
    text.pages.emplace_back();
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        for (std::string& line : wrap(entry->describe(), kScreenColumns)) {
            text.pages.back().push_back(std::move(line));
        }
    }
    run_pager(text, &state.screen_left);
    return 0;
}

}  // namespace hostapp
