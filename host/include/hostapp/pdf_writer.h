// The entry of the PDF writer library (libdevgroup_pdf.so), which the host
// loads only to write a report as PDF.
#pragma once

#include <stddef.h>

extern "C" {

// Writes the report's pages to the PDF file `out` (native path): A4 pages,
// every line in one fixed-width font size as the report wrote it. Each report
// page starts a PDF page and continues on the next when taller; a line wider
// than the page wraps, each further piece marked in the left margin.
// `lines` holds the lines of all pages in turn, in UTF-8, `page_lengths` how many each
// page has. A report needing more than `max_pages` PDF pages is refused
// before `out` is opened. 1 when every page was drawn, with their number in
// `*pages_written`; 0 with the reason in `error` otherwise (`out` may then
// hold part of a document).
int devgroup_write_pdf(const char* const* lines, const int* page_lengths, int page_count,
                       const char* out, int max_pages, int* pages_written, char* error,
                       size_t error_size);
using WritePdfFunction = decltype(&devgroup_write_pdf);
}

// The library's file name, looked for in the lib folder beside the program (program_library).
inline constexpr const char* kPdfWriterLibrary = "libdevgroup_pdf.so";
