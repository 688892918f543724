// The devices CSV export of stored records of any bytes: it writes UTF-8
// with no control character but its line ends, and importing it gives every
// record back byte for byte.
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "device_csv.h"
#include "fuzz_support.h"
#include "platform/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each 48 bytes are one stored record; the file holds a key once, so a
    // record whose key came before is left out.
    std::vector<DeviceRecord> records;
    std::set<std::string> keys;
    std::string exported = hostapp::device_csv_header();
    for (size_t at = 0; at + sizeof(DeviceRecord) <= size; at += sizeof(DeviceRecord)) {
        DeviceRecord record;
        std::memcpy(&record, data + at, sizeof record);
        if (keys.insert(std::string(record.key, sizeof record.key)).second) {
            records.push_back(record);
            exported += hostapp::device_csv_line(record);
        }
    }
    for (size_t i = 0, length = 0; i < exported.size(); i += length) {
        char32_t code_point = 0;
        fuzz::check(code_page::decode_utf8(exported, i, &code_point, &length),
                    "the export is UTF-8");
        const bool line_end = exported.compare(i, 2, "\r\n") == 0 ||
                              (code_point == '\n' && i > 0 && exported[i - 1] == '\r');
        const bool control = code_point < 0x20 || (code_point >= 0x7F && code_point < 0xA0);
        fuzz::check(!control || line_end, "no control character but the line ends is written");
    }
    std::vector<DeviceRecord> again;
    std::string error;
    fuzz::check(hostapp::parse_devices(exported, &again, &error), "an export imports");
    fuzz::check(again.size() == records.size(), "as many records come back");
    for (size_t i = 0; i < records.size(); ++i) {
        fuzz::check(std::memcmp(&again[i], &records[i], sizeof(DeviceRecord)) == 0,
                    "each record comes back byte for byte");
    }
    return 0;
}
