// The report writer: one report file at a time in the host's TEMP folder, in
// the host's report format, with a page header taken from the host's header
// template.
#pragma once

#include <stdio.h>

// Room for a report file's full path and its terminator.
constexpr int kReportPathSize = 260;

// Loads the header template and creates a new report file; the open stream,
// or null (with an empty path) when no file could be created.
FILE* report_open();

// Closes the report stream if one is open; the path stays for the hand-off.
// 0 when every write since report_open and the close itself succeeded; any
// other value means the file on disk is not the whole report.
int report_close();

// Full path of the last report file (host form); empty after a failed open.
const char* report_file_path();

// Each writes nothing while no report is open.
void report_text(const char* text);
void report_newline();
void report_newpage();

// Writes the page header (codes, template lines, date, time, title, page
// number when not 0, heading when not null) and returns the number of lines
// it counts as used, also while no report is open.
int report_page_header(const char* heading, int page);
