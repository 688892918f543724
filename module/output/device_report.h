// The "Device Group" report: every instrument of the table with its stored
// group name, written as a paged report file and handed to a site.
#pragma once

#include <stdint.h>

// Writes the report and submits it to `site_id`; the submission result
// (SubmitResult): 0 when nothing was submitted, 2 when the caller is to
// leave for the text viewer.
int print_report(uint32_t site_id);

// Writes every page of the report and its closing line into the open report
// file (report_open); the caller closes it.
void write_device_report();
