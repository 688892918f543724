#include "services/report_writer.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/fixed_text.h"
#include "platform/host_libraries.h"
#include "platform/native_files.h"
#include "platform/report_format.h"
#include "services/host_paths.h"
#include "services/module_state.h"

namespace {

constexpr int kHeaderLines = 8;
constexpr int kHeaderWidth = 80;
constexpr int kTitleWidth = 20;
constexpr int kDateWidth = 8;
constexpr int kTimeWidth = 5;
// info_file_name gives at most 11 characters; ".LST" and a terminator follow.
constexpr int kReportNameSize = 16;
constexpr size_t kBaseNameLimit = 11;
constexpr int kCreateAttempts = 10;
// The page header counts as using the line ends it writes plus this margin.
constexpr int kHeaderMargin = 3;

struct ReportWriter {
    FILE* stream = nullptr;
    // A write or the close failed since report_open: the file is not whole.
    bool failed = false;
    char path[kReportPathSize] = {};
    char name[kReportNameSize] = {};
    char header[kHeaderLines][kHeaderWidth] = {};
    int header_count = 0;
};

ReportWriter writer;

void write_bytes(const void* bytes, size_t size) {
    if (writer.stream != nullptr && std::fwrite(bytes, 1, size, writer.stream) != size) {
        writer.failed = true;
    }
}

void write_code(ReportCode code) {
    const unsigned char byte = code;
    write_bytes(&byte, 1);
}

void write_formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

void write_formatted(const char* format, ...) {
    if (writer.stream == nullptr) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    if (std::vfprintf(writer.stream, format, arguments) < 0) {
        writer.failed = true;
    }
    va_end(arguments);
}

// Reads the template's lines over a blank header; a missing or short
// template leaves the unread part blank.
void load_header_template() {
    std::memset(writer.header, ' ', sizeof writer.header);
    char template_path[kReportPathSize];
    if (!format_path(template_path, sizeof template_path, "%s\\rephead.dat", host_data_dir())) {
        return;
    }
    FILE* file = native_fopen(template_path, "rb");
    if (file == nullptr) {
        return;
    }
    unsigned char line_count_field[2];
    // The stored line count is not trusted; the lines themselves tell.
    if (std::fread(line_count_field, 1, sizeof line_count_field, file) == sizeof line_count_field) {
        (void)!std::fread(writer.header, 1, sizeof writer.header, file);
    }
    std::fclose(file);
}

// Trailing blank template lines are not printed; inner ones are.
int count_header_lines() {
    int count = kHeaderLines;
    while (count > 0 && blank_length(writer.header[count - 1], kHeaderWidth) == 0) {
        --count;
    }
    return count;
}

// One attempt at a new report file under a fresh name: 1 created, 0 this
// name failed, -1 the host gives no more names.
int create_report_file() {
    std::memset(writer.name, 0, sizeof writer.name);
    if (info_file_name(writer.name) != 0 ||
        strnlen(writer.name, kBaseNameLimit + 1) > kBaseNameLimit) {
        return -1;
    }
    std::strcat(writer.name, ".LST");
    if (!format_path(writer.path, sizeof writer.path, "%sTEMP\\%s", host_data_dir(), writer.name)) {
        return 0;
    }
    const int descriptor = native_create_new(writer.path);
    if (descriptor < 0) {
        return 0;
    }
    writer.stream = fdopen(descriptor, "r+b");
    if (writer.stream == nullptr) {
        // The empty file is ours; leave no litter in TEMP.
        close(descriptor);
        native_remove(writer.path);
        return 0;
    }
    return 1;
}

}  // namespace

FILE* report_open() {
    load_header_template();
    writer.header_count = count_header_lines();
    writer.failed = false;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const int created = create_report_file();
        if (created > 0) {
            return writer.stream;
        }
        if (created < 0) {
            break;
        }
    }
    writer.path[0] = '\0';
    writer.name[0] = '\0';
    return nullptr;
}

int report_close() {
    if (writer.stream != nullptr) {
        if (std::ferror(writer.stream) != 0) {
            writer.failed = true;
        }
        if (std::fclose(writer.stream) != 0) {
            writer.failed = true;
        }
        writer.stream = nullptr;
    }
    return writer.failed ? 1 : 0;
}

const char* report_file_path() {
    return writer.path;
}

void report_text(const char* text) {
    if (text != nullptr) {
        write_bytes(text, std::strlen(text));
    }
}

void report_newline() {
    write_code(REPORT_LINE_END);
}

void report_newpage() {
    write_code(REPORT_PAGE_END);
}

int report_page_header(const char* heading, int page) {
    if (writer.stream != nullptr) {
        const unsigned char start[] = {REPORT_SETTING, 0x04, 0x00, REPORT_TOP_OF_PAGE,
                                       REPORT_LINE_END};
        write_bytes(start, sizeof start);
        for (int line = 0; line < writer.header_count; ++line) {
            write_bytes(writer.header[line], kHeaderWidth);
            report_newline();
        }
        char work[32] = {};
        date_format(host_now(), 1, 0, 0, work, kDateWidth);
        write_formatted("Date : %.8s ", work);
        std::memset(work, 0, sizeof work);
        time_format(host_now(), 1, 0, work, kTimeWidth);
        write_formatted("Time : %.5s  ", work);
        std::memset(work, ' ', kTitleWidth);
        if (host_context != nullptr && host_context->settings != nullptr) {
            std::memcpy(work, host_context->settings->report_title, kTitleWidth);
        }
        // The title may end in zero bytes: the line always gives it 20 places.
        const int title_length = blank_length(work, kTitleWidth);
        std::memset(work + title_length, ' ', static_cast<size_t>(kTitleWidth - title_length));
        write_formatted("%.20s     ", work);
        if (page != 0) {
            write_formatted("             Page %d", page);
        }
        report_newline();
        if (heading != nullptr) {
            report_text(heading);
            report_newline();
        }
    }
    // Line ends: the codes line, the template lines, the date line, the heading.
    const int line_ends = 2 + writer.header_count + (heading != nullptr ? 1 : 0);
    return line_ends + kHeaderMargin;
}
