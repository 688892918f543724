// The best a hand-written libpq client does with the record store's
// statements on the devices table: each statement prepared once, every
// parameter and result in binary format, no record store around it.
#pragma once

#include <arpa/inet.h>
#include <libpq-fe.h>

#include <cstdint>
#include <string>

#include "platform/host_records.h"

class BareClient {
  public:
    // Connects and prepares; aborts with libpq's reason when it cannot.
    explicit BareClient(const std::string& conninfo);
    ~BareClient();
    BareClient(const BareClient&) = delete;
    BareClient& operator=(const BareClient&) = delete;

    // The record of `key` into *record; false when there is none.
    bool get_equal(const char key[8], DeviceRecord* record);
    // Visits every record in key order as the store's walk reads them: the
    // first record, then keyset pages of 32 records doubling to 2,048.
    // `visit` sees each record; returns the records visited.
    template <typename Visit>
    int64_t walk(Visit visit);
    // The same records through one ordered SELECT of the whole table.
    template <typename Visit>
    int64_t select_all(Visit visit);
    // Writes `record` over the record of its key and, in the same
    // statement, the change journal's row of its group (old -> new); one
    // autocommit round trip.
    void update_group(const DeviceRecord& record, const char old_group[8], uint32_t time);

    PGconn* connection() const { return conn_; }

  private:
    PGresult* run(const char* name, int count, const char* const* values, const int* lengths);
    static void read_record(const PGresult* result, int row, DeviceRecord* record);

    PGconn* conn_ = nullptr;
};

template <typename Visit>
int64_t BareClient::walk(Visit visit) {
    DeviceRecord record{};
    PGresult* result = run("bare_first", 0, nullptr, nullptr);
    int64_t visited = 0;
    if (PQntuples(result) == 1) {
        read_record(result, 0, &record);
        visit(record);
        ++visited;
    }
    PQclear(result);
    int batch = 32;
    for (bool more = visited > 0; more;) {
        const uint32_t limit = htonl(static_cast<uint32_t>(batch));
        const char* values[] = {record.key, reinterpret_cast<const char*>(&limit)};
        const int lengths[] = {8, 4};
        result = run("bare_next", 2, values, lengths);
        const int rows = PQntuples(result);
        for (int row = 0; row < rows; ++row) {
            read_record(result, row, &record);
            visit(record);
        }
        PQclear(result);
        visited += rows;
        more = rows == batch;
        batch = batch * 2 > 2048 ? 2048 : batch * 2;
    }
    return visited;
}

template <typename Visit>
int64_t BareClient::select_all(Visit visit) {
    DeviceRecord record{};
    PGresult* result = run("bare_all", 0, nullptr, nullptr);
    const int rows = PQntuples(result);
    for (int row = 0; row < rows; ++row) {
        read_record(result, row, &record);
        visit(record);
    }
    PQclear(result);
    return rows;
}
