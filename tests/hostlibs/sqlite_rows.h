// The rows of a query of an SQLite file, each column as its bytes, for tests
// that look into what a store keeps.
#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

inline std::vector<std::vector<std::string>> sqlite_rows(const std::string& path,
                                                         const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        const std::string why = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw std::runtime_error(path + ": " + sql + ": " + why);
    }
    std::vector<std::vector<std::string>> rows;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        std::vector<std::string>& columns = rows.emplace_back();
        for (int column = 0; column < sqlite3_column_count(statement); ++column) {
            const void* bytes = sqlite3_column_blob(statement, column);
            columns.emplace_back(static_cast<const char*>(bytes),
                                 bytes != nullptr
                                     ? static_cast<size_t>(sqlite3_column_bytes(statement, column))
                                     : 0);
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}
