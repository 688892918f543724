// Record store on a devices file of 1,000,000 records: each operation beside
// the bare SQLite statement doing the same work in the same run, and the
// memory of a full get-next walk.
//
// The file is built once in $HOSTLIBS_BENCH_ROOT (default /tmp/hostlibs-bench-1m)
// and reused by later runs.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hostlibs/host_setup.h"
#include "platform/byte_fields.h"
#include "platform/host_libraries.h"

namespace {

constexpr uint32_t kRecords = 1000000;

std::string bench_root() {
    const char* root = std::getenv("HOSTLIBS_BENCH_ROOT");
    return root != nullptr ? root : "/tmp/hostlibs-bench-1m";
}

void make_key(uint32_t n, char out[8]) {
    char text[16];
    std::snprintf(text, sizeof text, "D%07u", n);
    std::memcpy(out, text, 8);
}

// Deterministic spread of record numbers 1..kRecords.
uint32_t pick(uint64_t& state) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>((state >> 33) % kRecords) + 1;
}

long current_rss_kb() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long max_rss_kb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A plain connection on the same file with the statements the record store uses.
struct Bare {
    sqlite3* db = nullptr;
    sqlite3_stmt* next = nullptr;
    sqlite3_stmt* equal = nullptr;
    sqlite3_stmt* direct = nullptr;
    sqlite3_stmt* update = nullptr;
    sqlite3_stmt* begin = nullptr;
    sqlite3_stmt* commit = nullptr;
    uint8_t record[sizeof(DeviceRecord)] = {};
    uint8_t key[8] = {};

    bool open(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
            return false;
        }
        sqlite3_busy_timeout(db, 2000);
        sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
        return prepare("SELECT pos, data FROM records WHERE key > ?1 ORDER BY key LIMIT 1",
                       &next) &&
               prepare("SELECT pos, data FROM records WHERE key = ?1", &equal) &&
               prepare("SELECT pos, data FROM records WHERE pos = ?1", &direct) &&
               prepare("UPDATE records SET key = ?2, data = ?3 WHERE pos = ?1", &update) &&
               prepare("BEGIN IMMEDIATE", &begin) && prepare("COMMIT", &commit);
    }
    bool prepare(const char* sql, sqlite3_stmt** stmt) {
        return sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr) ==
               SQLITE_OK;
    }
    // Steps a select and copies its record, as a record-store read does.
    bool read(sqlite3_stmt* stmt) {
        bool found = sqlite3_step(stmt) == SQLITE_ROW;
        if (found) {
            std::memcpy(record, sqlite3_column_blob(stmt, 1), sizeof record);
            std::memcpy(key, record, sizeof key);
        }
        sqlite3_reset(stmt);
        return found;
    }
    ~Bare() {
        for (sqlite3_stmt* s : {next, equal, direct, update, begin, commit}) {
            sqlite3_finalize(s);
        }
        sqlite3_close(db);
    }
};

Bare* g_bare = nullptr;
DeviceRecord g_record;

bool prepare_file(std::string* error) {
    hostlibs::HostConfiguration config;
    config.root = bench_root();
    config.user_id = "BENCH";
    if (!hostlibs::open_host(config, error)) {
        return false;
    }
    uint32_t count = 0;
    sqlite3* db = nullptr;
    std::string path = hostlibs::data_path("devices.db");
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM records", -1, &stmt, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            count = static_cast<uint32_t>(sqlite3_column_int64(stmt, 0));
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    if (count == kRecords) {
        return true;
    }
    if (count != 0) {
        *error = path + " holds " + std::to_string(count) + " records; remove the folder " +
                 bench_root();
        return false;
    }
    std::vector<DeviceRecord> records(kRecords);
    for (uint32_t i = 0; i < kRecords; ++i) {
        DeviceRecord& r = records[i];
        make_key(i + 1, r.key);
        char instrument[40];
        std::snprintf(instrument, sizeof instrument, "Instrument %-19u", i + 1);
        std::memcpy(r.instrument, instrument, sizeof r.instrument);
        r.status = 1;
        std::memcpy(r.group, "GROUP   ", 8);
    }
    std::fprintf(stderr, "building %u records in %s ...\n", kRecords, path.c_str());
    return hostlibs::put_devices(records, error);
}

void BM_GetNext_RecordStore(benchmark::State& state) {
    char key[8];
    rs_call(RS_GET_FIRST, key, 0);
    for (auto _ : state) {
        if (rs_call(RS_GET_NEXT, key, 0) != RS_OK) {
            rs_call(RS_GET_FIRST, key, 0);
        }
        benchmark::DoNotOptimize(g_record);
    }
}

void BM_GetNext_BareSqlite(benchmark::State& state) {
    Bare& bare = *g_bare;
    std::memset(bare.key, 0, sizeof bare.key);
    for (auto _ : state) {
        sqlite3_bind_blob(bare.next, 1, bare.key, sizeof bare.key, SQLITE_STATIC);
        if (!bare.read(bare.next)) {
            std::memset(bare.key, 0, sizeof bare.key);
        }
        benchmark::DoNotOptimize(bare.record);
    }
}

void BM_GetEqual_RecordStore(benchmark::State& state) {
    uint64_t seed = 1;
    char key[8];
    for (auto _ : state) {
        make_key(pick(seed), key);
        if (rs_call(RS_GET_EQUAL, key, 0) != RS_OK) {
            state.SkipWithError("get-equal failed");
            break;
        }
    }
}

void BM_GetEqual_BareSqlite(benchmark::State& state) {
    Bare& bare = *g_bare;
    uint64_t seed = 1;
    char key[8];
    for (auto _ : state) {
        make_key(pick(seed), key);
        sqlite3_bind_blob(bare.equal, 1, key, sizeof key, SQLITE_STATIC);
        if (!bare.read(bare.equal)) {
            state.SkipWithError("select failed");
            break;
        }
    }
}

void BM_GetDirect_RecordStore(benchmark::State& state) {
    uint64_t seed = 2;
    char key[8];
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&g_record);
    for (auto _ : state) {
        store_u32(bytes, pick(seed));
        if (rs_call(RS_GET_DIRECT, key, 0) != RS_OK) {
            state.SkipWithError("get-direct failed");
            break;
        }
    }
}

void BM_GetDirect_BareSqlite(benchmark::State& state) {
    Bare& bare = *g_bare;
    uint64_t seed = 2;
    for (auto _ : state) {
        sqlite3_bind_int64(bare.direct, 1, pick(seed));
        if (!bare.read(bare.direct)) {
            state.SkipWithError("select failed");
            break;
        }
    }
}

void BM_Update_RecordStore(benchmark::State& state) {
    char key[8];
    make_key(500000, key);
    if (rs_call(RS_GET_EQUAL, key, 0) != RS_OK) {
        state.SkipWithError("get-equal failed");
        return;
    }
    uint8_t flip = 0;
    for (auto _ : state) {
        g_record.group[7] = static_cast<char>('A' + (flip++ & 15));
        if (rs_call(RS_UPDATE, &g_record, 0) != RS_OK) {
            state.SkipWithError("update failed");
            break;
        }
    }
}

void BM_Update_BareSqlite(benchmark::State& state) {
    Bare& bare = *g_bare;
    make_key(500001, reinterpret_cast<char*>(bare.key));
    sqlite3_bind_blob(bare.equal, 1, bare.key, sizeof bare.key, SQLITE_STATIC);
    sqlite3_int64 position = 0;
    if (sqlite3_step(bare.equal) == SQLITE_ROW) {
        position = sqlite3_column_int64(bare.equal, 0);
        std::memcpy(bare.record, sqlite3_column_blob(bare.equal, 1), sizeof bare.record);
    }
    sqlite3_reset(bare.equal);
    uint8_t flip = 0;
    for (auto _ : state) {
        bare.record[47] = static_cast<uint8_t>('A' + (flip++ & 15));
        bool ok = sqlite3_step(bare.begin) == SQLITE_DONE;
        sqlite3_reset(bare.begin);
        sqlite3_bind_int64(bare.update, 1, position);
        sqlite3_bind_blob(bare.update, 2, bare.record, 8, SQLITE_STATIC);
        sqlite3_bind_blob(bare.update, 3, bare.record, sizeof bare.record, SQLITE_STATIC);
        ok = sqlite3_step(bare.update) == SQLITE_DONE && ok;
        sqlite3_reset(bare.update);
        ok = sqlite3_step(bare.commit) == SQLITE_DONE && ok;
        sqlite3_reset(bare.commit);
        if (!ok) {
            state.SkipWithError("update failed");
            break;
        }
    }
}

// One full get-next walk; resident memory before and after shows it stays flat.
void BM_FullWalkMemory(benchmark::State& state) {
    char key[8];
    for (auto _ : state) {
        const long before = current_rss_kb();
        const long max_before = max_rss_kb();
        uint32_t records = 0;
        for (int status = rs_call(RS_GET_FIRST, key, 0); status == RS_OK;
             status = rs_call(RS_GET_NEXT, key, 0)) {
            ++records;
        }
        state.counters["records"] = records;
        state.counters["rss_before_kb"] = static_cast<double>(before);
        state.counters["rss_after_kb"] = static_cast<double>(current_rss_kb());
        state.counters["maxrss_before_kb"] = static_cast<double>(max_before);
        state.counters["maxrss_after_kb"] = static_cast<double>(max_rss_kb());
    }
}

BENCHMARK(BM_FullWalkMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetNext_RecordStore);
BENCHMARK(BM_GetNext_BareSqlite);
BENCHMARK(BM_GetEqual_RecordStore);
BENCHMARK(BM_GetEqual_BareSqlite);
BENCHMARK(BM_GetDirect_RecordStore);
BENCHMARK(BM_GetDirect_BareSqlite);
BENCHMARK(BM_Update_RecordStore);
BENCHMARK(BM_Update_BareSqlite);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string error;
    if (!prepare_file(&error)) {
        std::fprintf(stderr, "bench_hostlibs: %s\n", error.c_str());
        return 1;
    }
    rs_bind(&g_record);
    Bare bare;
    if (!bare.open(hostlibs::data_path("devices.db"))) {
        std::fprintf(stderr, "bench_hostlibs: cannot open the file for bare SQLite\n");
        return 1;
    }
    g_bare = &bare;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_bare = nullptr;
    hostlibs::close_host();
    return 0;
}
