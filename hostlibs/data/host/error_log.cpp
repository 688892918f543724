#include "host/error_log.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "host/host_state.h"
#include "hostlibs/printable.h"
#include "platform/byte_fields.h"
#include "platform/fixed_text.h"
#include "platform/host_libraries.h"

namespace hostlibs {

namespace detail {

const char* error_log_schema() {
    return "CREATE TABLE IF NOT EXISTS error_log("
           " id INTEGER PRIMARY KEY AUTOINCREMENT, logged_at INTEGER NOT NULL,"
           " user_id BLOB NOT NULL, record BLOB NOT NULL);";
}

namespace {

// Text of a fixed-width field: up to the first zero byte, trailing blanks dropped.
std::string field_text(const uint8_t* field, size_t width) {
    size_t length = 0;
    while (length < width && field[length] != 0) {
        ++length;
    }
    while (length > 0 && field[length - 1] == ' ') {
        --length;
    }
    return std::string(reinterpret_cast<const char*>(field), length);
}

}  // namespace

}  // namespace detail

std::string ErrorLogEntry::describe() const {
    // "#3 2021-03-04 05:06:07 OPERATOR TOOLBANK 0x80007530 text" (time in UTC).
    const std::time_t when = static_cast<std::time_t>(logged_at);
    std::tm parts{};
    char stamp[32] = "?";
    if (gmtime_r(&when, &parts) != nullptr) {
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &parts);
    }
    char head[128];
    std::snprintf(head, sizeof head, "#%lld %s %-8s %-8s 0x%08X ", static_cast<long long>(id),
                  stamp, user_id.empty() ? "-" : user_id.c_str(), source.c_str(), code);
    return head + text;
}

std::vector<ErrorLogEntry> read_error_log(std::string* error) {
    return detail::host_listing(error, [&](detail::HostState& host) {
        std::vector<ErrorLogEntry> entries;
        detail::Statement query;
        const bool prepared = query.prepare(
            host.host_db, "SELECT id, logged_at, user_id, record FROM error_log ORDER BY id",
            nullptr);
        int rc = SQLITE_DONE;
        while (prepared && (rc = query.step()) == SQLITE_ROW) {
            ErrorLogEntry entry;
            entry.id = query.column_int64(0);
            entry.logged_at = static_cast<uint32_t>(query.column_int64(1));
            const auto* user = static_cast<const uint8_t*>(query.column_blob(2));
            entry.user_id = user != nullptr ? detail::field_text(
                                                  user, static_cast<size_t>(query.column_bytes(2)))
                                            : std::string();
            const auto* record = static_cast<const uint8_t*>(query.column_blob(3));
            if (record != nullptr) {
                entry.record.assign(record, record + query.column_bytes(3));
            }
            if (entry.record.size() >= sizeof(ErrorRecord)) {
                const uint8_t* r = entry.record.data();
                entry.kind = load_i16(r + offsetof(ErrorRecord, kind));
                entry.source = detail::field_text(r + offsetof(ErrorRecord, source), 8);
                entry.code = load_u32(r + offsetof(ErrorRecord, code));
                entry.text = detail::field_text(r + offsetof(ErrorRecord, text), 128);
            }
            entries.push_back(std::move(entry));
        }
        if ((!prepared || rc != SQLITE_DONE) && error != nullptr) {
            *error = "error log: " + host.host_db.last_error();
        }
        query.reset();
        return entries;
    });
}

void log_host_failure(const char* source, uint32_t code, const std::string& why) {
    ErrorRecord record{};
    record.kind = 5;
    copy_padded(record.source, source, sizeof record.source);
    record.code = code;
    std::memset(record.blanks, ' ', sizeof record.blanks);
    std::string text = printable(why);
    if (text.size() >= sizeof record.text) {
        text = "..." + text.substr(text.size() - (sizeof record.text - 4));
    }
    std::memcpy(record.text, text.data(), text.size());
    ErrorLogRequest request{};
    if (const char* user = host_user_id(); user != nullptr) {
        std::memcpy(request.user_id, user, strnlen(user, sizeof request.user_id));
    }
    request.record = &record;
    request.record_length = static_cast<int16_t>(sizeof record);
    host_error_log(&request);
}

}  // namespace hostlibs

extern "C" int host_error_log(const ErrorLogRequest* request) {
    hostlibs::detail::HostState* host = hostlibs::detail::host_state();
    if (host == nullptr) {
        return 1;
    }
    if (request == nullptr || request->record == nullptr || request->record_length <= 0) {
        return 2;
    }
    // Never read past the record the request points to.
    const size_t length =
        std::min(static_cast<size_t>(request->record_length), sizeof(ErrorRecord));
    uint8_t record[sizeof(ErrorRecord)];
    std::memcpy(record, request->record, length);
    uint8_t user_id[8];
    std::memcpy(user_id, request->user_id, sizeof user_id);
    try {
        hostlibs::detail::Statement insert;
        if (!insert.prepare(host->host_db,
                            "INSERT INTO error_log(logged_at, user_id, record) VALUES(?1, ?2, ?3)",
                            nullptr)) {
            return 3;
        }
        insert.bind_int64(1, hostlibs::detail::clock_now());
        insert.bind_blob(2, user_id, sizeof user_id);
        insert.bind_blob(3, record, static_cast<int>(length));
        return insert.step() == SQLITE_DONE ? 0 : 3;
    } catch (...) {
        return 3;
    }
}
