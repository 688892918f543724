#include "root/device_csv.h"

#include <charconv>
#include <cstring>
#include <set>

#include "hostlibs/host_setup.h"
#include "platform/code_page.h"
#include "platform/fixed_text.h"
#include "root/csv.h"

namespace hostapp {
namespace {

const std::vector<std::string> kHeader = {"key", "instrument", "status", "group"};

// Blank-pads a text into a fixed-width field; false when it does not fit.
bool fill_field(const std::string& text, char* field, size_t size) {
    if (text.size() > size) {
        return false;
    }
    copy_padded_bytes(field, text, static_cast<int>(size));
    return true;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// A field's bytes as exported: a character of the code page as UTF-8, a
// backslash as "\\", every other byte (the C0 and C1 control bytes) as
// "\xHH". Trailing blanks are dropped; import pads with blanks again.
std::string escaped_field(const char* field, size_t size) {
    static constexpr char kHex[] = "0123456789abcdef";
    size_t length = size;
    while (length > 0 && field[length - 1] == ' ') {
        --length;
    }
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(field[i]);
        if (byte == '\\') {
            text += "\\\\";
        } else if (code_page::is_character(byte)) {
            text += code_page::to_utf8(std::string_view(&field[i], 1));
        } else {
            text += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
        }
    }
    return text;
}

// The bytes an exported field stands for. A backslash that starts neither
// "\\" nor "\x" and two hex digits is itself, as in files written before
// the escapes.
std::string unescaped_field(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            bytes.push_back('\\');
            ++i;
        } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
                   hex_digit(text[i + 2]) >= 0 && hex_digit(text[i + 3]) >= 0) {
            bytes.push_back(
                static_cast<char>(hex_digit(text[i + 2]) * 16 + hex_digit(text[i + 3])));
            i += 3;
        } else {
            bytes.push_back(text[i]);
        }
    }
    return bytes;
}

bool parse_record(const CsvRow& row, DeviceRecord* record, std::string* reason) {
    if (row.fields.size() != kHeader.size()) {
        *reason = "expected 4 fields, found " + std::to_string(row.fields.size());
        return false;
    }
    // A control byte is imported only escaped: written raw it is a slip (a
    // tab, a line end in quotes) or bytes meant for a terminal or a report.
    for (size_t f = 0; f < kHeader.size(); ++f) {
        const std::string& field = row.fields[f];
        for (char c : field) {
            if (!code_page::is_character(static_cast<unsigned char>(c))) {
                *reason = "the " + kHeader[f] + " holds the control byte " +
                          code_page::printable_utf8(std::string_view(&c, 1));
                return false;
            }
        }
    }
    // An all-blank key is exported escaped ("\\x20"): a key left empty is a mistake.
    const std::string& key = row.fields[0];
    if (key.find_first_not_of(' ') == std::string::npos) {
        *reason = "the key is empty";
        return false;
    }
    if (!fill_field(unescaped_field(key), record->key, sizeof record->key)) {
        *reason = "the key is longer than 8 characters";
        return false;
    }
    if (!fill_field(unescaped_field(row.fields[1]), record->instrument,
                    sizeof record->instrument)) {
        *reason = "the instrument is longer than 30 characters";
        return false;
    }
    if (!fill_field(unescaped_field(row.fields[3]), record->group, sizeof record->group)) {
        *reason = "the group is longer than 8 characters";
        return false;
    }
    const std::string& status = row.fields[2];
    unsigned value = 0;
    auto [end, ec] = std::from_chars(status.data(), status.data() + status.size(), value);
    if (status.empty() || ec != std::errc() || end != status.data() + status.size() ||
        value > 0xFFFF) {
        *reason = "the status '" + code_page::to_utf8(status) + "' is not a number from 0 to 65535";
        return false;
    }
    record->status = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

std::string device_csv_header() {
    return csv_line(kHeader);
}

std::string device_csv_line(const DeviceRecord& record) {
    std::string key = escaped_field(record.key, sizeof record.key);
    return csv_line(
        {key.empty() ? "\\x20" : key, escaped_field(record.instrument, sizeof record.instrument),
         std::to_string(record.status), escaped_field(record.group, sizeof record.group)});
}

bool export_devices(std::string* csv, std::string* error) {
    csv->assign(device_csv_header());
    return hostlibs::for_each_device(
        [csv](const DeviceRecord& record) {
            csv->append(device_csv_line(record));
            return true;
        },
        error);
}

namespace {

bool read_devices(const std::string& csv, std::vector<DeviceRecord>* records, std::string* error) {
    // Spreadsheets may start their CSV with a UTF-8 byte order mark.
    const std::string_view bom = "\xEF\xBB\xBF";
    std::string_view text = csv;
    if (text.substr(0, bom.size()) == bom) {
        text.remove_prefix(bom.size());
    }
    // The file is UTF-8; the records hold the code page, one byte a character.
    std::string converted;
    code_page::Refusal refusal;
    if (!code_page::from_utf8(text, &converted, &refusal)) {
        *error = "line " + std::to_string(refusal.line) + ", column " +
                 std::to_string(refusal.column) + ": " + refusal.reason;
        return false;
    }
    std::vector<CsvRow> rows;
    if (!parse_csv(converted, &rows, error)) {
        return false;
    }
    if (rows.empty() || rows.front().fields != kHeader) {
        *error = "line 1: expected the header key,instrument,status,group";
        return false;
    }
    records->clear();
    std::set<std::string> keys;
    for (size_t i = 1; i < rows.size(); ++i) {
        DeviceRecord record{};
        std::string reason;
        if (!parse_record(rows[i], &record, &reason)) {
            *error = "line " + std::to_string(rows[i].line) + ": " + reason;
            return false;
        }
        if (!keys.insert(std::string(record.key, sizeof record.key)).second) {
            *error = "line " + std::to_string(rows[i].line) + ": the key " +
                     code_page::to_utf8(rows[i].fields[0]) + " appears twice";
            return false;
        }
        records->push_back(record);
    }
    return true;
}

}  // namespace

bool parse_devices(const std::string& csv, std::vector<DeviceRecord>* records, std::string* error) {
    // A refused file gives no records at all, not those before the fault.
    records->clear();
    if (!read_devices(csv, records, error)) {
        records->clear();
        return false;
    }
    return true;
}

bool import_devices(const std::string& csv, int* count, std::string* error) {
    std::vector<DeviceRecord> records;
    if (!parse_devices(csv, &records, error) || !hostlibs::put_devices(records, error)) {
        return false;
    }
    *count = static_cast<int>(records.size());
    return true;
}

}  // namespace hostapp
