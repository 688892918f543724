// The devices CSV export of stored records of any bytes: it writes no byte
// outside printable ASCII but its line ends, and importing it gives every
// record back byte for byte.
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "device_csv.h"
#include "fuzz_support.h"

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
    for (size_t i = 0; i < exported.size(); ++i) {
        const auto byte = static_cast<unsigned char>(exported[i]);
        const bool line_end = exported.compare(i, 2, "\r\n") == 0 ||
                              (byte == '\n' && i > 0 && exported[i - 1] == '\r');
        fuzz::check((byte >= 0x20 && byte < 0x7F) || line_end,
                    "only printable ASCII and line ends are written");
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
