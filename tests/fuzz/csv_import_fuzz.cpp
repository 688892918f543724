// The devices CSV import: whatever it accepts, written out as export writes
// it and read in again, gives the same records.
#include <cstring>

#include "fuzz_support.h"
#include "root/device_csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<DeviceRecord> records;
    std::string error;
    if (!hostapp::parse_devices(fuzz::text_of(data, size), &records, &error)) {
        fuzz::check(records.empty() && !error.empty(), "a refused import gives nothing");
        return 0;
    }
    std::string exported = hostapp::device_csv_header();
    for (const DeviceRecord& record : records) {
        exported += hostapp::device_csv_line(record);
    }
    std::vector<DeviceRecord> again;
    fuzz::check(hostapp::parse_devices(exported, &again, &error), "an export imports");
    fuzz::check(again.size() == records.size(), "as many rows come back");
    for (size_t i = 0; i < records.size(); ++i) {
        fuzz::check(std::memcmp(&again[i], &records[i], sizeof(DeviceRecord)) == 0,
                    "each row comes back byte for byte");
    }
    return 0;
}
