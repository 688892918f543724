#include "store_bare_client.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr Oid kBytea = 17;
constexpr Oid kInt4 = 23;
constexpr Oid kInt8 = 20;
constexpr Oid kText = 25;

[[noreturn]] void fail(PGconn* conn, const char* what) {
    std::fprintf(stderr, "store_bench: bare client, %s: %s\n", what,
                 conn != nullptr ? PQerrorMessage(conn) : "out of memory");
    std::abort();
}

}  // namespace

BareClient::BareClient(const std::string& conninfo) {
    conn_ = PQconnectdb(conninfo.c_str());
    if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) {
        fail(conn_, "connect");
    }
    struct Statement {
        const char* name;
        const char* sql;
        int count;
        Oid types[8];
    };
    // The record store's statements on the devices table; the update is a
    // plain one by key, with the journal row written in the same statement
    // as the store writes it with its update.
    const Statement statements[] = {
        {"bare_first", "SELECT pos, data FROM devices ORDER BY key LIMIT 1", 0, {}},
        {"bare_equal", "SELECT pos, data FROM devices WHERE key = $1", 1, {kBytea}},
        {"bare_next",
         "SELECT pos, data FROM devices WHERE key > $1 ORDER BY key LIMIT $2",
         2,
         {kBytea, kInt4}},
        {"bare_all", "SELECT pos, data FROM devices ORDER BY key", 0, {}},
        {"bare_update",
         "WITH updated AS (UPDATE devices SET data = $2 WHERE key = $1 RETURNING pos)"
         " INSERT INTO journal(file, time, \"user\", key, pos, field, old, new, login)"
         " SELECT 'devices.db', $3, 'BENCH', $1, updated.pos, 'group', $4, $5, 'bench'"
         " FROM updated",
         5,
         {kBytea, kBytea, kInt8, kBytea, kBytea}},
    };
    for (const Statement& s : statements) {
        PGresult* result = PQprepare(conn_, s.name, s.sql, s.count, s.types);
        if (PQresultStatus(result) != PGRES_COMMAND_OK) {
            fail(conn_, s.name);
        }
        PQclear(result);
    }
}

BareClient::~BareClient() {
    PQfinish(conn_);
}

PGresult* BareClient::run(const char* name, int count, const char* const* values,
                          const int* lengths) {
    static const int kBinary[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    PGresult* result = PQexecPrepared(conn_, name, count, values, lengths, kBinary, 1);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        fail(conn_, name);
    }
    return result;
}

void BareClient::read_record(const PGresult* result, int row, DeviceRecord* record) {
    const int length = PQgetlength(result, row, 1);
    std::memcpy(
        record, PQgetvalue(result, row, 1),
        length < static_cast<int>(sizeof *record) ? static_cast<size_t>(length) : sizeof *record);
}

bool BareClient::get_equal(const char key[8], DeviceRecord* record) {
    const char* values[] = {key};
    const int lengths[] = {8};
    PGresult* result = run("bare_equal", 1, values, lengths);
    const bool found = PQntuples(result) == 1;
    if (found) {
        read_record(result, 0, record);
    }
    PQclear(result);
    return found;
}

void BareClient::update_group(const DeviceRecord& record, const char old_group[8], uint32_t time) {
    const uint64_t stamp = (static_cast<uint64_t>(htonl(time)) << 32);  // int8, network order
    const char* values[] = {record.key, reinterpret_cast<const char*>(&record),
                            reinterpret_cast<const char*>(&stamp), old_group, record.group};
    const int lengths[] = {8, sizeof record, 8, 8, 8};
    PQclear(run("bare_update", 5, values, lengths));
}
