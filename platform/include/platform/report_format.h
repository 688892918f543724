// The host's report file format: text bytes with single-byte control codes.
// Writers (the module's report writer) and readers (the host's viewer and its
// PDF rendering) take the codes from here.
#pragma once

#include <stdint.h>

enum ReportCode : uint8_t {
    REPORT_LINE_END = 0x81,  // ends every line, blank ones included
    REPORT_PAGE_END = 0x82,  // ends every page, the last one included
    REPORT_TOP_OF_PAGE = 0x84,
    REPORT_SETTING = 0x85,  // followed by two parameter bytes
};

// Parameter bytes that follow REPORT_SETTING.
constexpr int kReportSettingParameters = 2;
