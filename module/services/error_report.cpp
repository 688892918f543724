#include "services/error_report.h"

#include <cstring>

#include "platform/fixed_text.h"
#include "platform/host_libraries.h"

ErrorRecord error_record{};

namespace {

constexpr int kSourceWidth = sizeof error_record.source;
constexpr int kTextWidth = sizeof error_record.text;
constexpr int16_t kRecordKind = 5;

void send_error_record() {
    ErrorLogRequest request{};
    if (const char* user = host_user_id(); user != nullptr) {
        std::memcpy(request.user_id, user, sizeof request.user_id);
    }
    request.field12 = 0;
    request.record = &error_record;
    request.record_length = sizeof(ErrorRecord);
    request.field44 = -1;
    host_error_log(&request);
}

}  // namespace

void report_error(const char* source, uint32_t code, const char* text) {
    // The source is copied only up to its terminator, so a short name is never over-read.
    copy_padded(error_record.source, source, kSourceWidth);
    left_justify(error_record.source, kSourceWidth);
    error_record.code = code;
    std::memset(error_record.blanks, ' ', sizeof error_record.blanks);
    std::memset(error_record.text, ' ', kTextWidth);
    if (text != nullptr) {
        const size_t length = std::strlen(text);
        const size_t kept = length > kTextWidth ? kTextWidth : length;
        std::memcpy(error_record.text, text + (length - kept), kept);
        left_justify(error_record.text, kTextWidth);
    }
    error_record.kind = kRecordKind;
    send_error_record();
}
