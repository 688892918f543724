// Reports as the text viewer shows them: the viewer's argument text and the
// report file's bytes turned into pages of lines.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace hostapp {

// "%0.8lX %d <path> \"<title>\"": site id, job type, report path (host
// form), title. The title's closing quote may be missing when the text was
// cut to fit its field.
struct ViewerArguments {
    uint32_t site_id = 0;
    int job_type = 0;
    std::string path;
    std::string title;
};

bool parse_viewer_arguments(std::string_view text, ViewerArguments* arguments, std::string* error);

using ReportPage = std::vector<std::string>;

// 0x81 ends a line, 0x82 a page; 0x84 and 0x85 with its two parameter bytes
// are settings and not shown; zero bytes show as blanks, other control
// bytes as '?'. Lines keep the code page's characters. A page that the
// file ends without 0x82 still counts.
std::vector<ReportPage> render_report(std::string_view bytes);

// Reads an open report file whole, stopping at 16 MiB. False, with the
// reason in *reason, when it cannot be read (a folder that opened) or is
// larger: a report is never shown cut short as if it were whole.
bool read_report_file(FILE* file, std::string* bytes, std::string* reason);

}  // namespace hostapp
