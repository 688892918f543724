// Report files as PDF documents, for reading away from the terminal.
#pragma once

#include <string>
#include <vector>

#include "report_view.h"

namespace hostapp {

// Writes `pages` to the PDF file `out` (native path): one PDF page (A4) per
// report page, every line in a fixed-width font as the report wrote it. The
// font is made smaller where a page's lines would not fit at the usual size.
bool write_report_pdf(const std::vector<ReportPage>& pages, const std::string& out,
                      std::string* error);

}  // namespace hostapp
