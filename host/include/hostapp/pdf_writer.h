// The entry of the PDF writer library (libdevgroup_pdf.so), which the host
// loads only to write a report as PDF.
#pragma once

#include <stddef.h>

extern "C" {

// Writes the report's pages to the PDF file `out` (native path): one A4 page
// per report page, every line in a fixed-width font as the report wrote it.
// `lines` holds the lines of all pages in turn, `page_lengths` how many each
// page has. 1 when written; 0 with the reason in `error` otherwise.
int devgroup_write_pdf(const char* const* lines, const int* page_lengths, int page_count,
                       const char* out, char* error, size_t error_size);
using WritePdfFunction = decltype(&devgroup_write_pdf);
}

// The library's file name, looked for in the lib folder beside the program (program_library).
inline constexpr const char* kPdfWriterLibrary = "libdevgroup_pdf.so";
