#include "store_workstations.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <tuple>

#include "platform/host_libraries.h"
#include "store_bare_client.h"
#include "store_bench_data.h"

namespace {

// Workstation p's row i: rows of all eight interleave in one stretch of the
// table, none of them the editor's shown rows.
int row_index(int workstation, int row) {
    return 500001 + row * kWorkstations + workstation;
}

void group_of(int workstation, int row, int round, char out[8]) {
    bench_group('W', static_cast<unsigned>(workstation * kSaveRows + row),
                static_cast<unsigned>(round), out);
}

struct Report {
    double save_ms = 0;
    int failed = 0;
};

bool read_all(int fd, void* data, size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = read(fd, bytes, size);
        if (got <= 0) {
            return false;
        }
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

// A workstation: opens its session, then saves its 100 rows each time the
// parent says go, and reports how long the save took.
[[noreturn]] void workstation(int p, const std::string& conninfo, const std::string& root, int go,
                              int done, int rounds) {
    std::string error;
    if (!hostlibs::open_host(store_configuration(root, conninfo), &error)) {
        std::fprintf(stderr, "store_bench: workstation %d: %s\n", p, error.c_str());
        _exit(1);
    }
    DeviceRecord record{};
    rs_bind(&record);
    for (int round = 0; round < rounds; ++round) {
        char signal = 0;
        if (!read_all(go, &signal, 1)) {
            _exit(1);
        }
        Report report;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kSaveRows; ++i) {
            char key[8];
            bench_key(row_index(p, i), key);
            if (rs_call(RS_GET_EQUAL, key, 0) != RS_OK) {
                ++report.failed;
                continue;
            }
            group_of(p, i, round, record.group);
            if (rs_call(RS_UPDATE, &record, 0) != RS_OK) {
                ++report.failed;
            }
        }
        report.save_ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (write(done, &report, sizeof report) != static_cast<ssize_t>(sizeof report)) {
            _exit(1);
        }
    }
    rs_bind(nullptr);
    hostlibs::close_host();
    _exit(0);
}

int64_t last_journal_id(BareClient& bare) {
    PGresult* result = PQexec(bare.connection(), "SELECT coalesce(max(id), 0) FROM journal");
    const int64_t id = PQntuples(result) == 1 ? std::atoll(PQgetvalue(result, 0, 0)) : 0;
    PQclear(result);
    return id;
}

// Compares the table and the journal with every change the workstations saved.
void check(BareClient& bare, int64_t journal_from, WorkstationsResult* result) {
    using Change = std::tuple<std::string, std::string, std::string>;  // key, old, new
    std::multiset<Change> expected;
    for (int p = 0; p < kWorkstations; ++p) {
        for (int i = 0; i < kSaveRows; ++i) {
            char key[8];
            bench_key(row_index(p, i), key);
            DeviceRecord stored{};
            char last[8];
            group_of(p, i, result->rounds - 1, last);
            if (!bare.get_equal(key, &stored) ||
                std::memcmp(stored.group, last, sizeof last) != 0) {
                ++result->rows_lost;
            }
            std::string old(8, ' ');
            for (int round = 0; round < result->rounds; ++round) {
                char group[8];
                group_of(p, i, round, group);
                expected.emplace(std::string(key, 8), old, std::string(group, 8));
                old.assign(group, 8);
            }
        }
    }
    const std::string from = std::to_string(journal_from);
    const char* values[] = {from.c_str()};
    PGresult* rows = PQexecParams(bare.connection(),
                                  "SELECT key, old, new FROM journal"
                                  " WHERE id > $1::bigint AND field = 'group'",
                                  1, nullptr, values, nullptr, nullptr, 1);
    for (int row = 0; row < PQntuples(rows); ++row) {
        auto column = [&](int c) {
            return std::string(PQgetvalue(rows, row, c),
                               static_cast<size_t>(PQgetlength(rows, row, c)));
        };
        auto found = expected.find(Change(column(0), column(1), column(2)));
        if (found == expected.end()) {
            ++result->journal_extra;
        } else {
            expected.erase(found);
        }
    }
    PQclear(rows);
    result->journal_lost = static_cast<int>(expected.size());
}

}  // namespace

WorkstationsResult run_workstations(const std::string& conninfo, const std::string& base,
                                    int rounds) {
    WorkstationsResult result;
    result.rounds = rounds;
    BareClient bare(conninfo);
    // The rows start blank, so that the first journalled old value is known.
    for (int p = 0; p < kWorkstations; ++p) {
        for (int i = 0; i < kSaveRows; ++i) {
            DeviceRecord record = bench_device(row_index(p, i));
            bare.update_group(record, record.group, 0);
        }
    }
    const int64_t journal_from = last_journal_id(bare);

    int go[kWorkstations][2];
    int done[2];
    if (pipe(done) != 0) {
        std::perror("store_bench: pipe");
        std::exit(1);
    }
    pid_t children[kWorkstations];
    for (int p = 0; p < kWorkstations; ++p) {
        if (pipe(go[p]) != 0) {
            std::perror("store_bench: pipe");
            std::exit(1);
        }
        std::fflush(nullptr);
        children[p] = fork();
        if (children[p] == 0) {
            close(done[0]);
            workstation(p, conninfo, base + "/workstation" + std::to_string(p), go[p][0], done[1],
                        rounds);
        }
        close(go[p][0]);
    }
    close(done[1]);
    bool broken = false;
    for (int round = 0; round < rounds && !broken; ++round) {
        for (int p = 0; p < kWorkstations; ++p) {
            broken = broken || write(go[p][1], "g", 1) != 1;
        }
        for (int p = 0; p < kWorkstations && !broken; ++p) {
            Report report;
            broken = !read_all(done[0], &report, sizeof report);
            result.save_ms.push_back(report.save_ms);
            result.failed_saves += report.failed;
        }
    }
    for (int p = 0; p < kWorkstations; ++p) {
        close(go[p][1]);
    }
    close(done[0]);
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        broken = broken || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    if (broken) {
        std::fprintf(stderr, "store_bench: a workstation did not finish its saves\n");
        std::exit(1);
    }
    check(bare, journal_from, &result);
    return result;
}
