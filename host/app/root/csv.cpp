#include "root/csv.h"

namespace hostapp {

namespace {

bool read_rows(std::string_view text, std::vector<CsvRow>* rows, std::string* error) {
    int line = 1;
    size_t i = 0;
    while (i < text.size()) {
        CsvRow row;
        row.line = line;
        bool row_done = false;
        bool blank_line = true;
        while (!row_done) {
            std::string field;
            if (i < text.size() && text[i] == '"') {
                blank_line = false;
                ++i;
                for (;;) {
                    if (i >= text.size()) {
                        *error = "line " + std::to_string(row.line) + ": unterminated quote";
                        return false;
                    }
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            field.push_back('"');
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (text[i] == '\n') {
                        ++line;
                    }
                    field.push_back(text[i++]);
                }
                if (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
                    *error = "line " + std::to_string(line) + ": text after a closing quote";
                    return false;
                }
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
                    field.push_back(text[i++]);
                }
                if (!field.empty()) {
                    blank_line = false;
                }
            }
            row.fields.push_back(std::move(field));
            if (i < text.size() && text[i] == ',') {
                blank_line = false;
                ++i;
                continue;
            }
            if (i < text.size() && text[i] == '\r') {
                ++i;
            }
            if (i < text.size() && text[i] == '\n') {
                ++i;
            }
            ++line;
            row_done = true;
        }
        if (!blank_line) {
            rows->push_back(std::move(row));
        }
    }
    return true;
}

}  // namespace

bool parse_csv(std::string_view text, std::vector<CsvRow>* rows, std::string* error) {
    // A refused document gives no rows at all, not those before the fault.
    rows->clear();
    if (!read_rows(text, rows, error)) {
        rows->clear();
        return false;
    }
    return true;
}

std::string csv_line(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t f = 0; f < fields.size(); ++f) {
        if (f > 0) {
            line.push_back(',');
        }
        const std::string& field = fields[f];
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            line += field;
            continue;
        }
        line.push_back('"');
        for (char c : field) {
            if (c == '"') {
                line.push_back('"');
            }
            line.push_back(c);
        }
        line.push_back('"');
    }
    line += "\r\n";
    return line;
}

}  // namespace hostapp
