// Failures the operator cannot fix on the spot go to the host's error log as
// one fixed-size record.
#pragma once

#include <stdint.h>

#include "platform/host_records.h"

enum ErrorCode : uint32_t {
    ERROR_SCREEN_FILE_MISSING = 0x80007530,  // no screen file in either language
    ERROR_SCREEN_MISSING = 0x80007531,       // the screen is not in its file
    ERROR_INVALID_FIELD = 0x80004E27,        // the group exit ran on another field
    ERROR_TEMPLATE_SITE = 0x80007532,        // the FAX template site cannot be read
};

// The record of the last report; rewritten by every report.
extern ErrorRecord error_record;

// Writes one error record: `source` gives up to 8 characters of source name,
// `text` (or null) the error text, of which the last 128 characters are kept.
void report_error(const char* source, uint32_t code, const char* text);
