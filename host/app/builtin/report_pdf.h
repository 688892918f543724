// Report files as PDF documents, for reading away from the terminal.
#pragma once

#include <string>
#include <vector>

#include "builtin/report_view.h"

namespace hostapp {

// The most PDF pages a report is written as (about 6.5 MB of PDF); a larger
// report is refused whole rather than written as a document nobody can open.
inline constexpr int kMaxPdfPages = 10000;

// Writes `pages` to the PDF file `out` (native path): A4 pages, every line in
// one fixed-width font size as the report wrote it (see devgroup_write_pdf:
// long lines wrap, tall pages continue). The document is written beside `out`
// and takes its name only when whole, so a failure leaves an existing `out`
// as it was and no file behind. `*pdf_pages` gets the number of PDF pages.
bool write_report_pdf(const std::vector<ReportPage>& pages, const std::string& out, int* pdf_pages,
                      std::string* error);

}  // namespace hostapp
