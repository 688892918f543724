#include "report_view.h"

#include <charconv>

#include "platform/bounded_read.h"
#include "platform/code_page.h"
#include "platform/report_format.h"

namespace hostapp {
namespace {

constexpr size_t kMaxReportBytes = 16 << 20;

}  // namespace

bool parse_viewer_arguments(std::string_view text, ViewerArguments* arguments, std::string* error) {
    ViewerArguments parsed;
    const size_t first_blank = text.find(' ');
    if (first_blank != 8) {
        *error = "expected 8 hexadecimal digits of the site id";
        return false;
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + 8, parsed.site_id, 16);
    if (ec != std::errc() || end != text.data() + 8) {
        *error = "expected 8 hexadecimal digits of the site id";
        return false;
    }
    text.remove_prefix(9);
    const size_t second_blank = text.find(' ');
    auto [type_end, type_ec] = std::from_chars(
        text.data(), text.data() + std::min(second_blank, text.size()), parsed.job_type);
    if (second_blank == std::string_view::npos || type_ec != std::errc() ||
        type_end != text.data() + second_blank) {
        *error = "expected the job type after the site id";
        return false;
    }
    text.remove_prefix(second_blank + 1);
    const size_t quote = text.find(" \"");
    parsed.path = std::string(text.substr(0, quote));
    if (quote != std::string_view::npos) {
        std::string_view title = text.substr(quote + 2);
        if (!title.empty() && title.back() == '"') {
            title.remove_suffix(1);
        }
        parsed.title = std::string(title);
    }
    if (parsed.path.empty()) {
        *error = "no report path";
        return false;
    }
    *arguments = std::move(parsed);
    return true;
}

std::vector<ReportPage> render_report(std::string_view bytes) {
    std::vector<ReportPage> pages;
    ReportPage page;
    std::string line;
    bool line_open = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == REPORT_LINE_END) {
            page.push_back(std::move(line));
            line.clear();
            line_open = false;
        } else if (byte == REPORT_PAGE_END) {
            if (line_open) {
                page.push_back(std::move(line));
                line.clear();
                line_open = false;
            }
            pages.push_back(std::move(page));
            page.clear();
        } else if (byte == REPORT_TOP_OF_PAGE) {
            continue;
        } else if (byte == REPORT_SETTING) {
            i += kReportSettingParameters;
        } else {
            line_open = true;
            line.push_back(byte == 0 ? ' ' : !code_page::is_character(byte) ? '?' : bytes[i]);
        }
    }
    if (line_open) {
        page.push_back(std::move(line));
    }
    if (!page.empty()) {
        pages.push_back(std::move(page));
    }
    return pages;
}

bool read_report_file(FILE* file, std::string* bytes, std::string* reason) {
    // Report lines end with 0x81, not '\n': only the size is bounded.
    ReadFailure failure;
    if (!read_bounded(file, ReadLimits{kMaxReportBytes, 0}, bytes, &failure)) {
        *reason = failure.reason;
        return false;
    }
    return true;
}

}  // namespace hostapp
