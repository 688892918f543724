// The devices file as CSV (header key,instrument,status,group; RFC 4180):
// the export and import subcommands and the demo data set use it. The file
// is UTF-8, the records hold the code page (platform/code_page.h). Texts
// carry every byte: a character of the code page as its UTF-8, "\\" for a
// backslash and "\xHH" for a control byte, so an export imports back byte
// for byte and writes no control byte raw. A character the code page cannot
// hold refuses the whole file, naming its line and column.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/host_records.h"

namespace hostapp {

// The header line and one record's line as export writes them.
std::string device_csv_header();
std::string device_csv_line(const DeviceRecord& record);

// Every record in key order, texts escaped and without trailing blanks.
bool export_devices(std::string* csv, std::string* error);

// Parses CSV into records; false naming the first bad row's line.
bool parse_devices(const std::string& csv, std::vector<DeviceRecord>* records, std::string* error);

// Inserts or replaces every row by key in one transaction: all or nothing.
bool import_devices(const std::string& csv, int* count, std::string* error);

}  // namespace hostapp
