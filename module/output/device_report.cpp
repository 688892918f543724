#include "output/device_report.h"

#include <algorithm>
#include <cstdio>

#include "editor/device_table.h"
#include "output/job_submission.h"
#include "platform/fixed_text.h"
#include "platform/message_numbers.h"
#include "platform/native_files.h"
#include "services/module_state.h"
#include "services/report_writer.h"
#include "services/screen_helpers.h"

namespace {

constexpr char kHeading[] = "Device Group";
constexpr char kJobTitle[] = "Toolbank";
constexpr char kRule[] = " ----------------------------------------------------------------------";
constexpr char kColumnTitles[] =
    " Group       Instrument                                                ";
constexpr char kClosingLine[] = "End of report";
static_assert(sizeof kRule - 1 == 71 && sizeof kColumnTitles - 1 == 71);

// Body lines are written while the page's line count is below this.
constexpr int kPageLineLimit = 58;
constexpr int kBodyLineSize = 100;

void write_line(const char* text) {
    report_text(text);
    report_newline();
}

// Page header, an empty line and the framed column titles; the page's line count.
int write_page_top(int page) {
    const int lines = report_page_header(kHeading, page);
    report_newline();
    write_line(kRule);
    write_line(kColumnTitles);
    write_line(kRule);
    return lines + 4;
}

void write_body_line(const DeviceGroupRow& row) {
    char line[kBodyLineSize];
    std::snprintf(line, sizeof line, " %.*s    %.*s  ", kGroupWidth, row.saved_group,
                  kInstrumentWidth, row.instrument);
    write_line(line);
}

// Writes every page of the rows in use; row 0 is printed even without an instrument.
void write_pages() {
    const int rows = std::max(1, device_table.rows_in_use());
    int row = 0;
    int page = 1;
    for (;;) {
        int lines = write_page_top(page++);
        while (lines < kPageLineLimit) {
            write_body_line(device_table.row(row));
            ++lines;
            ++row;
            if (row == rows) {
                return;
            }
        }
        report_newpage();
    }
}

}  // namespace

void write_device_report() {
    write_pages();
    report_newline();
    write_line(kClosingLine);
    report_newpage();
}

int print_report(uint32_t site_id) {
    if (report_open() == nullptr) {
        show_message(MSG_FAILED, editor_screen, MESSAGE_SECOND_TONE);
        return SUBMIT_NOTHING;
    }
    show_message(MSG_WORKING, editor_screen, MESSAGE_SILENT);
    write_device_report();
    // A report that did not reach the disk whole is no report: nothing is
    // submitted and the partial file goes.
    if (report_close() != 0) {
        native_remove(report_file_path());
        show_message(MSG_FAILED, editor_screen, MESSAGE_SECOND_TONE);
        return SUBMIT_NOTHING;
    }
    const int result = submit_report(site_id, report_file_path(), kJobTitle);
    if (result != SUBMIT_NOTHING) {
        show_message(MSG_DONE, editor_screen, MESSAGE_FIRST_TONE);
    } else {
        show_message(MSG_FAILED, editor_screen, MESSAGE_SECOND_TONE);
    }
    return result;
}
