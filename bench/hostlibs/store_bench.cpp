// The record store on a shared PostgreSQL store beside bare libpq on the
// same server, in the same run: get-equal, a walk of 1,000,000 records by
// get-next, the editor's start, and the editor's save of 100 rows, over the
// Unix socket and over TCP on 127.0.0.1; the round trips each takes; and
// eight workstations saving at once. Medians of several repetitions, run
// interleaved so that a change of the machine's load hits both sides.
//
// The server is the tests' throwaway one (scripts/pg_test_server.sh), named
// by PG_SOCKET_DIR, PG_PORT, PG_TCP_HOST and PG_SUPERUSER; `make bench-store`
// starts and stops it.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/host_libraries.h"
#include "store_bare_client.h"
#include "store_bench_data.h"
#include "store_round_trips.h"
#include "store_workstations.h"

namespace {

constexpr int kDefaultRepetitions = 5;
constexpr int kWorkstationRounds = 25;
constexpr uint32_t kJournalTime = 1700000000;

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "store_bench: %s\n", why.c_str());
    std::exit(1);
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        fail(std::string(name) +
             " is not set: run `make bench-store`, which starts the server (or set PG_SOCKET_DIR, "
             "PG_PORT, PG_TCP_HOST and PG_SUPERUSER from scripts/pg_test_server.sh start)");
    }
    return value;
}

enum Transport { kSocket = 0, kTcp = 1 };
const char* const kTransportNames[] = {"socket", "tcp"};

struct Setup {
    std::string folder;       // temporary: the workstations' roots, the password file
    std::string conninfo[2];  // by Transport
};
Setup g_setup;

std::string root_of(const char* name) {
    return g_setup.folder + "/" + name;
}

// ---------------------------------------------------------------- set-up

void exec_or_fail(PGconn* conn, const std::string& sql) {
    PGresult* result = PQexec(conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        fail(sql.substr(0, 60) + "...: " + PQerrorMessage(conn));
    }
    PQclear(result);
}

std::string random_hex(size_t bytes) {
    std::ifstream random("/dev/urandom", std::ios::binary);
    std::string out;
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes; ++i) {
        const auto byte = static_cast<unsigned char>(random.get());
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

// The superuser gets a random password, kept in a password file of this
// run, so that TCP connections (SCRAM) log in as a workstation's would.
std::string tcp_passfile(PGconn* conn, const std::string& user, const std::string& port) {
    const std::string password = random_hex(16);
    char* verifier = PQencryptPasswordConn(conn, password.c_str(), user.c_str(), "scram-sha-256");
    if (verifier == nullptr) {
        fail(std::string("cannot make a password verifier: ") + PQerrorMessage(conn));
    }
    char* literal = PQescapeLiteral(conn, verifier, std::strlen(verifier));
    char* role = PQescapeIdentifier(conn, user.c_str(), user.size());
    exec_or_fail(conn, std::string("ALTER ROLE ") + role + " PASSWORD " + literal);
    PQfreemem(role);
    PQfreemem(literal);
    PQfreemem(verifier);
    const std::string path = g_setup.folder + "/pgpass";
    std::ofstream(path) << "127.0.0.1:" << port << ":*:" << user << ":" << password << "\n";
    chmod(path.c_str(), 0600);
    return path;
}

// Fills the devices table with kRecords records in batches, each one
// statement binding two binary arrays (keys and records).
void fill_devices(PGconn* conn) {
    constexpr int kBatch = 20000;
    std::fprintf(stderr, "filling %d records ...\n", kRecords);
    const Oid types[] = {1001, 1001};  // bytea[]
    for (int first = 1; first <= kRecords; first += kBatch) {
        const int count = std::min(kBatch, kRecords - first + 1);
        std::string keys, records;
        auto header = [&](std::string* out) {
            const uint32_t words[] = {htonl(1), 0, htonl(17), htonl(static_cast<uint32_t>(count)),
                                      htonl(1)};
            out->append(reinterpret_cast<const char*>(words), sizeof words);
        };
        header(&keys);
        header(&records);
        for (int i = first; i < first + count; ++i) {
            const DeviceRecord record = bench_device(i);
            const uint32_t key_size = htonl(8), record_size = htonl(sizeof record);
            keys.append(reinterpret_cast<const char*>(&key_size), 4).append(record.key, 8);
            records.append(reinterpret_cast<const char*>(&record_size), 4)
                .append(reinterpret_cast<const char*>(&record), sizeof record);
        }
        const char* values[] = {keys.data(), records.data()};
        const int lengths[] = {static_cast<int>(keys.size()), static_cast<int>(records.size())};
        const int formats[] = {1, 1};
        PGresult* result = PQexecParams(
            conn, "INSERT INTO devices(key, data) SELECT * FROM unnest($1::bytea[], $2::bytea[])",
            2, types, values, lengths, formats, 1);
        if (PQresultStatus(result) != PGRES_COMMAND_OK) {
            fail(std::string("cannot fill the devices table: ") + PQerrorMessage(conn));
        }
        PQclear(result);
    }
    exec_or_fail(conn, "VACUUM ANALYZE devices");
}

void set_up() {
    std::string pattern = (std::filesystem::temp_directory_path() / "store_benchXXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        fail("cannot make a temporary folder");
    }
    g_setup.folder = pattern;
    const std::string socket_dir = environment("PG_SOCKET_DIR");
    const std::string port = environment("PG_PORT");
    const std::string tcp_host = environment("PG_TCP_HOST");
    const std::string user = environment("PG_SUPERUSER");
    const std::string schema_option = " dbname=postgres options='-csearch_path=devgroup_bench'";
    const std::string admin = "host=" + socket_dir + " port=" + port + " user=" + user;
    PGconn* conn = PQconnectdb((admin + " dbname=postgres").c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        fail(std::string("cannot connect to the server: ") + PQerrorMessage(conn));
    }
    exec_or_fail(conn, "DROP SCHEMA IF EXISTS devgroup_bench CASCADE");
    exec_or_fail(conn, "CREATE SCHEMA devgroup_bench");
    const std::string passfile = tcp_passfile(conn, user, port);
    PQfinish(conn);

    g_setup.conninfo[kSocket] = admin + schema_option;
    g_setup.conninfo[kTcp] = "host=" + tcp_host + " port=" + port + " user=" + user +
                             " passfile=" + passfile + schema_option;
    std::string error;
    if (!hostlibs::init_store(g_setup.conninfo[kSocket], &error)) {
        fail(error);
    }
    conn = PQconnectdb(g_setup.conninfo[kSocket].c_str());
    fill_devices(conn);
    PQfinish(conn);
    for (const char* root : {"socket", "tcp"}) {
        std::filesystem::create_directories(root_of(root));
    }
}

// ---------------------------------------------------------------- the figures

// Round trips per iteration of each benchmark, by its name.
std::map<std::string, double> g_round_trips;
std::map<std::string, double> g_connections;
std::string g_running;  // the name of the benchmark running

class Counting {
  public:
    explicit Counting(benchmark::State& state) : state_(state), start_(round_trips()) {}
    ~Counting() {
        if (state_.iterations() == 0) {
            return;
        }
        const RoundTrips end = round_trips();
        const auto per = static_cast<double>(state_.iterations());
        g_round_trips[g_running] = static_cast<double>(end.statements - start_.statements) / per;
        g_connections[g_running] = static_cast<double>(end.connections - start_.connections) / per;
    }

  private:
    benchmark::State& state_;
    RoundTrips start_;
};

// An open host on the shared store, with the devices buffer bound.
class StoreSession {
  public:
    explicit StoreSession(Transport transport) {
        std::string error;
        if (!hostlibs::open_host(store_configuration(root_of(kTransportNames[transport]),
                                                     g_setup.conninfo[transport]),
                                 &error)) {
            fail(error);
        }
        rs_bind(&record);
    }
    ~StoreSession() {
        rs_bind(nullptr);
        hostlibs::close_host();
    }
    DeviceRecord record{};
};

// A spread of keys over the whole table.
int pick(uint64_t& state) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<int>((state >> 33) % kRecords) + 1;
}

void store_get_equal(benchmark::State& state, Transport transport) {
    StoreSession session(transport);
    uint64_t seed = 1;
    Counting counting(state);
    for (auto _ : state) {
        char key[8];
        bench_key(pick(seed), key);
        if (rs_call(RS_GET_EQUAL, key, 0) != RS_OK) {
            fail("store get-equal failed");
        }
    }
}

void bare_get_equal(benchmark::State& state, Transport transport) {
    BareClient bare(g_setup.conninfo[transport]);
    DeviceRecord record{};
    uint64_t seed = 1;
    Counting counting(state);
    for (auto _ : state) {
        char key[8];
        bench_key(pick(seed), key);
        if (!bare.get_equal(key, &record)) {
            fail("bare get-equal found nothing");
        }
    }
}

// The walk every record's status is tested in, as the editor's load does.
void store_walk(benchmark::State& state, Transport transport) {
    StoreSession session(transport);
    Counting counting(state);
    for (auto _ : state) {
        int64_t visited = 0, shown_rows = 0;
        for (int status = rs_call(RS_GET_FIRST, session.record.key, 0); status == RS_OK;
             status = rs_call(RS_GET_NEXT, session.record.key, 0)) {
            ++visited;
            shown_rows += shown(session.record) ? 1 : 0;
        }
        if (visited != kRecords || shown_rows != kShown) {
            fail("the store's walk saw " + std::to_string(visited) + " records");
        }
    }
}

void bare_walk(benchmark::State& state, Transport transport) {
    BareClient bare(g_setup.conninfo[transport]);
    Counting counting(state);
    for (auto _ : state) {
        int64_t shown_rows = 0;
        const int64_t visited =
            bare.walk([&](const DeviceRecord& record) { shown_rows += shown(record) ? 1 : 0; });
        if (visited != kRecords || shown_rows != kShown) {
            fail("the bare walk saw " + std::to_string(visited) + " records");
        }
    }
}

void bare_select_all(benchmark::State& state, Transport transport) {
    BareClient bare(g_setup.conninfo[transport]);
    Counting counting(state);
    for (auto _ : state) {
        int64_t shown_rows = 0;
        const int64_t visited = bare.select_all(
            [&](const DeviceRecord& record) { shown_rows += shown(record) ? 1 : 0; });
        if (visited != kRecords || shown_rows != kShown) {
            fail("the ordered SELECT saw " + std::to_string(visited) + " records");
        }
    }
}

// The editor's start: the host opens its session on the store, then the
// editor fills its table of 100 rows by get-first and get-next, testing each
// record's status (module/editor/device_table.cpp, DeviceTable::load).
void store_start(benchmark::State& state, Transport transport) {
    Counting counting(state);
    for (auto _ : state) {
        StoreSession session(transport);
        char key[100] = {};
        int rows = 0;
        int status = rs_call(RS_GET_FIRST, key, 0);
        while (status == RS_OK && rows < kShown) {
            rows += shown(session.record) ? 1 : 0;
            if (rows < kShown) {
                status = rs_call(RS_GET_NEXT, key, 0);
            }
        }
        if (rows != kShown) {
            fail("the editor's table holds " + std::to_string(rows) + " rows");
        }
    }
}

// A save's names differ from the last one's, so every update changes bytes.
uint64_t g_save_round = 0;

void store_save(benchmark::State& state, Transport transport) {
    StoreSession session(transport);
    Counting counting(state);
    for (auto _ : state) {
        ++g_save_round;
        for (int i = 0; i < kSaveRows; ++i) {
            char key[8];
            bench_key(kRecords - kShown + 1 + i, key);
            if (rs_call(RS_GET_EQUAL, key, 0) != RS_OK) {
                fail("store get-equal failed");
            }
            bench_group('G', static_cast<unsigned>(i), static_cast<unsigned>(g_save_round),
                        session.record.group);
            if (rs_call(RS_UPDATE, &session.record, 0) != RS_OK) {
                fail("store update failed");
            }
        }
    }
}

void bare_save(benchmark::State& state, Transport transport) {
    BareClient bare(g_setup.conninfo[transport]);
    std::vector<DeviceRecord> records(kSaveRows);
    for (int i = 0; i < kSaveRows; ++i) {
        char key[8];
        bench_key(kRecords - kShown + 1 + i, key);
        bare.get_equal(key, &records[static_cast<size_t>(i)]);
    }
    Counting counting(state);
    for (auto _ : state) {
        ++g_save_round;
        for (DeviceRecord& record : records) {
            char old[8];
            std::memcpy(old, record.group, sizeof old);
            bench_group('G', static_cast<unsigned>(&record - records.data()),
                        static_cast<unsigned>(g_save_round), record.group);
            bare.update_group(record, old, kJournalTime);
        }
    }
}

struct Figure {
    const char* name;
    void (*run)(benchmark::State&, Transport);
};
const Figure kFigures[] = {
    {"get_equal/store", store_get_equal}, {"get_equal/bare", bare_get_equal},
    {"walk/store", store_walk},           {"walk/bare", bare_walk},
    {"walk/select_all", bare_select_all}, {"start/store", store_start},
    {"save/store", store_save},           {"save/bare", bare_save},
};

std::string benchmark_name(const char* figure, Transport transport) {
    return std::string(figure) + "/" + kTransportNames[transport];
}

void register_figures(int repetitions) {
    for (Transport transport : {kSocket, kTcp}) {
        for (const Figure& figure : kFigures) {
            const std::string name = benchmark_name(figure.name, transport);
            auto* b = benchmark::RegisterBenchmark(
                name.c_str(), [name, run = figure.run, transport](benchmark::State& state) {
                    g_running = name;
                    run(state, transport);
                });
            b->UseRealTime()->Unit(benchmark::kMicrosecond)->Repetitions(repetitions);
            b->ReportAggregatesOnly(true);
            if (name.starts_with("walk") || name.starts_with("start")) {
                b->Iterations(1);
            }
        }
    }
}

// Keeps each benchmark's median (microseconds per iteration) besides
// printing it; with one repetition, its one time.
class MedianReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (single || (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")) {
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

// ---------------------------------------------------------------- summary

std::string ratio_text(double ratio) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2fx", ratio);
    return text;
}

std::string time_text(double us) {
    char text[32];
    if (us >= 10000) {
        std::snprintf(text, sizeof text, "%.0f ms", us / 1000);
    } else if (us >= 1000) {
        std::snprintf(text, sizeof text, "%.2f ms", us / 1000);
    } else {
        std::snprintf(text, sizeof text, "%.1f us", us);
    }
    return text;
}

std::string trips_text(const std::string& name) {
    char text[64];
    const double connections = g_connections[name];
    if (connections > 0) {
        std::snprintf(text, sizeof text, "%.0f + %.0f connect", g_round_trips[name], connections);
    } else {
        std::snprintf(text, sizeof text, "%.0f", g_round_trips[name]);
    }
    return text;
}

struct Ratios {
    double get_equal, walk, start, save;
};

Ratios print_transport(const std::map<std::string, double>& medians, Transport transport,
                       int repetitions) {
    auto median = [&](const char* figure) {
        const auto found = medians.find(benchmark_name(figure, transport));
        if (found == medians.end()) {
            fail(std::string("no median of ") + figure + " (run all benchmarks, no filter)");
        }
        return found->second;
    };
    auto trips = [&](const char* figure) { return trips_text(benchmark_name(figure, transport)); };
    const Ratios ratios{median("get_equal/store") / median("get_equal/bare"),
                        median("walk/store") / median("walk/bare"),
                        median("start/store") / median("walk/bare"),
                        median("save/store") / median("save/bare")};
    std::printf("\n%s, medians of %d repetitions:\n",
                transport == kSocket ? "Unix socket" : "TCP on 127.0.0.1", repetitions);
    std::printf("  %-50s %10s %10s %7s  %s\n", "figure", "store", "bare", "ratio",
                "round trips store / bare");
    auto line = [&](const char* what, const char* store, const char* bare, double ratio) {
        std::printf("  %-50s %10s %10s %7s  %s / %s\n", what, time_text(median(store)).c_str(),
                    time_text(median(bare)).c_str(), ratio_text(ratio).c_str(),
                    trips(store).c_str(), trips(bare).c_str());
    };
    line("get-equal by key", "get_equal/store", "get_equal/bare", ratios.get_equal);
    line("walk 1,000,000 by get-next (bare: same keyset pages)", "walk/store", "walk/bare",
         ratios.walk);
    line("editor start, table of the last 100 (vs bare walk)", "start/store", "walk/bare",
         ratios.start);
    line("save 100 rows (bare: 100 UPDATE+journal statements)", "save/store", "save/bare",
         ratios.save);
    const double all = median("walk/select_all");
    std::printf(
        "  one ordered SELECT of all records: %s (%s round trip); the store's walk %s it "
        "(%s)\n",
        time_text(all).c_str(), trips("walk/select_all").c_str(),
        median("walk/store") < all ? "beats" : "does NOT beat",
        ratio_text(median("walk/store") / all).c_str());
    return ratios;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> arguments(argv, argv + argc);
    int repetitions = kDefaultRepetitions;
    for (char* argument : arguments) {
        const std::string text = argument;
        if (text.starts_with("--benchmark_repetitions=")) {
            repetitions = std::max(1, std::atoi(text.c_str() + 24));
        }
    }
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave.data());
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());

    set_up();
    register_figures(repetitions);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    // The record store's calls must reach the counter, or the counts mean nothing.
    if (g_round_trips[benchmark_name("get_equal/store", kSocket)] < 1) {
        fail("the record store's round trips were not counted (libpq's calls not interposed)");
    }

    std::printf(
        "\nThe store: rs_call on an open host with store = the server (journal on).\n"
        "Bare: prepared statements, binary parameters and results, no host; its save "
        "writes the journal row\nin the same statement as the update, as the store's "
        "does. Round trips per operation (start: per start).\n");
    const Ratios socket = print_transport(reporter.medians, kSocket, repetitions);
    print_transport(reporter.medians, kTcp, repetitions);

    const WorkstationsResult ws =
        run_workstations(g_setup.conninfo[kSocket], g_setup.folder, kWorkstationRounds);
    std::printf(
        "\nEight workstations (processes, Unix socket) saving 100 rows each at once, "
        "%d rounds:\n  save p50 %.1f ms, p99 %.1f ms; failed rows %d; records lost %d "
        "(rows %d, journal rows %d missing, %d extra)\n",
        ws.rounds, percentile(ws.save_ms, 0.5), percentile(ws.save_ms, 0.99), ws.failed_saves,
        ws.rows_lost + ws.journal_lost, ws.rows_lost, ws.journal_lost, ws.journal_extra);

    std::error_code ignored;
    std::filesystem::remove_all(g_setup.folder, ignored);
    std::printf("\npostgresql vs bare libpq (medians): get-equal %s, walk %s, start %s, save %s\n",
                ratio_text(socket.get_equal).c_str(), ratio_text(socket.walk).c_str(),
                ratio_text(socket.start).c_str(), ratio_text(socket.save).c_str());
    return 0;
}
