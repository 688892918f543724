// CSV as RFC 4180 writes it: fields separated by commas, quoted when they
// hold a comma, a quote or a line end, quotes doubled inside quotes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hostapp {

struct CsvRow {
    int line = 0;  // line number where the row starts, from 1
    std::vector<std::string> fields;
};

// Splits a whole document into rows; false with "line N: reason" in *error
// on an unterminated quote or text after a closing quote. A final line end
// is optional; empty lines are skipped.
bool parse_csv(std::string_view text, std::vector<CsvRow>* rows, std::string* error);

// One row, fields quoted where needed, ended by CRLF.
std::string csv_line(const std::vector<std::string>& fields);

}  // namespace hostapp
