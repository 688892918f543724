// Saves of 100 changed rows through the real module, headless under the host
// program: killed at random moments and run by eight processes at once, with
// the records in SQLite files and in a shared PostgreSQL store, and run out
// of file space. Nothing may be torn, and nothing lost without a report.
//
// The counts here are small; scripts/crash-tests.sh runs the same tests with
// large ones (DEVGROUP_CRASH_RUNS, DEVGROUP_CONCURRENT_ROUNDS), and
// DEVGROUP_CRASH_PROGRAM may name a faster build of devgroup.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <thread>

#include "devgroup_process.h"
#include "host_test_support.h"
#include "hostlibs/host_setup.h"
#include "pg_test_server.h"
#include "test_backends.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRows = 100;
constexpr int kRowsPerPage = 20;
constexpr int kProcesses = 8;
constexpr int kRowsPerProcess = kRows / kProcesses;
constexpr size_t kGroupOffset = offsetof(DeviceRecord, group);

int count_from(const char* variable, int otherwise) {
    const char* value = std::getenv(variable);
    return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : otherwise;
}

std::string key_of(int row) {
    char key[16];
    std::snprintf(key, sizeof key, "K%07d", row + 1);
    return key;
}

std::string old_group(int row) {
    return "OLD" + std::to_string(row + 1);
}

// The editor's keys that type name_of(row) over each row that has one, page
// by page, then save and confirm.
std::string save_script(const std::function<std::string(int)>& name_of) {
    std::string keys;
    for (int row = 0; row < kRows; ++row) {
        if (row % kRowsPerPage == 0) {
            keys += row == 0 ? "<Home>" : "<PgDn><Home>";
        }
        keys += name_of(row) + "<Down>";
    }
    return keys + "<F2>y<Enter>";
}

using hosttest::finish_devgroup;
using hosttest::run_devgroup;
using hosttest::start_devgroup;

// What a devices file holds after a run, read straight from SQLite or the
// store's tables, not through the code under test.
struct Stored {
    std::string integrity;
    std::map<std::string, std::string> groups;                // key -> group
    std::map<std::string, std::vector<std::string>> journal;  // key -> new groups
};

std::string trimmed(const void* bytes, size_t size) {
    std::string text(static_cast<const char*>(bytes), size);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// Bytes from the hexadecimal digits of encode(..., 'hex').
std::string from_hex(const std::string& digits) {
    std::string bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

Stored read_stored(PgTestSchema& store) {
    Stored stored;
    stored.integrity = "ok";  // the server keeps its own files whole
    for (const auto& row : store.query("SELECT encode(data, 'hex') FROM devices")) {
        const std::string data = from_hex(row[0]);
        if (data.size() == sizeof(DeviceRecord)) {
            stored.groups[data.substr(0, 8)] = trimmed(data.data() + kGroupOffset, 8);
        }
    }
    for (const auto& row :
         store.query("SELECT encode(key, 'hex'), encode(new, 'hex') FROM journal"
                     " WHERE file = 'devices.db' AND field = 'group' AND old IS NOT NULL")) {
        const std::string group = from_hex(row[1]);
        stored.journal[from_hex(row[0])].push_back(trimmed(group.data(), group.size()));
    }
    return stored;
}

Stored read_stored(const std::string& root) {
    Stored stored;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2((root + "/DATA/devices.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        stored.integrity = "cannot open";
        return stored;
    }
    auto each_row = [db](const char* sql, const std::function<void(sqlite3_stmt*)>& visit) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                visit(statement);
            }
        }
        sqlite3_finalize(statement);
    };
    each_row("PRAGMA integrity_check", [&](sqlite3_stmt* row) {
        stored.integrity += reinterpret_cast<const char*>(sqlite3_column_text(row, 0));
    });
    each_row("SELECT data FROM records", [&](sqlite3_stmt* row) {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(row, 0));
        if (sqlite3_column_bytes(row, 0) == sizeof(DeviceRecord)) {
            stored.groups[std::string(data, 8)] = trimmed(data + kGroupOffset, 8);
        }
    });
    each_row(
        "SELECT key, new FROM journal WHERE field = 'group' AND old IS NOT NULL",
        [&](sqlite3_stmt* row) {
            const std::string key(static_cast<const char*>(sqlite3_column_blob(row, 0)),
                                  static_cast<size_t>(sqlite3_column_bytes(row, 0)));
            stored.journal[key].push_back(trimmed(
                sqlite3_column_blob(row, 1), static_cast<size_t>(sqlite3_column_bytes(row, 1))));
        });
    sqlite3_close(db);
    return stored;
}

class CrashSaveTest : public ::testing::Test {
  protected:
    virtual Backend backend() const { return Backend::kSqlite; }

    void SetUp() override {
        if (backend() == Backend::kPostgres) {
            REQUIRE_POSTGRES();
        }
    }

    // One root with 100 rows named OLD1..OLD100, no password prompt and
    // users P0..P7; each run works on a copy of it.
    static void SetUpTestSuite() {
        pristine_ = new TempFolder("devgroup-crash-");
        const std::string root = pristine_->file("root");
        const std::string log = pristine_->file("make.txt");
        ASSERT_EQ(hosttest::make_root(root), "");
        std::string config = hosttest::read_file(root + "/host.conf");
        config.replace(config.find("password_interval = 300"), 23, "password_interval = 0");
        for (int p = 0; p < kProcesses; ++p) {
            config += "user = P" + std::to_string(p) + " P" + std::to_string(p) + " " +
                      std::to_string(10 + p) + " 1 0x82000000\n";
        }
        hosttest::write_file(root + "/host.conf", config);
        std::string csv = "key,instrument,status,group\n";
        for (int row = 0; row < kRows; ++row) {
            csv += key_of(row) + ",Instrument " + std::to_string(row + 1) + ",1," + old_group(row) +
                   "\n";
        }
        hosttest::write_file(pristine_->file("rows.csv"), csv);
        ASSERT_EQ(
            run_devgroup({"--root", root, "import", "devices", pristine_->file("rows.csv")}, log),
            0)
            << hosttest::read_file(log);
    }
    static void TearDownTestSuite() {
        delete pristine_;
        pristine_ = nullptr;
    }

    // A copy of the pristine root; on PostgreSQL its records in a fresh
    // store, filled with the same rows.
    std::string fresh_root(const std::string& name) {
        const std::string root = work_.file(name);
        fs::remove_all(root);
        fs::copy(pristine_->file("root"), root, fs::copy_options::recursive);
        store_.reset();
        if (backend() == Backend::kPostgres) {
            store_ = std::make_unique<PgTestSchema>();
            std::string error;
            EXPECT_TRUE(hostlibs::init_store(store_->conninfo(), &error)) << error;
            hosttest::name_store(root, store_->conninfo());
            const std::string log = work_.file("import.txt");
            EXPECT_EQ(run_devgroup(
                          {"--root", root, "import", "devices", pristine_->file("rows.csv")}, log),
                      0)
                << hosttest::read_file(log);
        }
        return root;
    }

    Stored stored_now(const std::string& root) {
        return store_ ? read_stored(*store_) : read_stored(root);
    }

    // Waits until the first row of a save is stored, or `limit` passed.
    void wait_for_save(const std::string& root, std::chrono::steady_clock::duration limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        if (store_) {
            while (std::chrono::steady_clock::now() < until &&
                   store_->query("SELECT 1 FROM journal WHERE old IS NOT NULL LIMIT 1").empty()) {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            return;
        }
        // The save begins when the file's write-ahead log first grows.
        const fs::path log = root + "/DATA/devices.db-wal";
        std::error_code missing;
        while (std::chrono::steady_clock::now() < until &&
               (fs::file_size(log, missing) == 0 || missing)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    std::string keys_file(const std::string& name, const std::string& keys) {
        hosttest::write_file(work_.file(name), keys);
        return work_.file(name);
    }

    // Every row holds its old group or new_group(row), the journal lists
    // exactly the rows that hold the new one, and the file opens again.
    struct Examined {
        int stored = 0;  // rows holding the new group
        int faults = 0;  // torn rows, journal mismatches, a file that does not open
    };
    Examined examine(const std::string& root, const std::function<std::string(int)>& new_group,
                     const std::string& what) {
        Examined result;
        const Stored stored = stored_now(root);
        auto fault = [&](const std::string& text) {
            ++result.faults;
            ADD_FAILURE() << what << ": " << text;
        };
        if (stored.integrity != "ok") {
            fault("integrity check: " + stored.integrity);
        }
        for (int row = 0; row < kRows; ++row) {
            const std::string key = key_of(row);
            const auto found = stored.groups.find(key);
            const std::string group = found == stored.groups.end() ? "(none)" : found->second;
            const bool is_new = group == new_group(row);
            if (!is_new && group != old_group(row)) {
                fault(key + " holds '" + group + "'");
            }
            // Earlier entries of the key come from the import that made the root.
            const auto journal = stored.journal.find(key);
            const auto entries =
                journal == stored.journal.end()
                    ? 0
                    : std::count(journal->second.begin(), journal->second.end(), new_group(row));
            if (entries != (is_new ? 1 : 0)) {
                fault(key + " has " + std::to_string(entries) + " journal entries");
            }
            result.stored += is_new ? 1 : 0;
        }
        if (run_devgroup({"--root", root, "export", "devices"}, work_.file("export.txt")) != 0) {
            fault("export: " + hosttest::read_file(work_.file("export.txt")));
        }
        return result;
    }

    static TempFolder* pristine_;
    TempFolder work_{"devgroup-crash-run-"};
    std::unique_ptr<PgTestSchema> store_;  // the shared store of the run, when on PostgreSQL
};

TempFolder* CrashSaveTest::pristine_ = nullptr;

using CrashSave = OnEachBackend<CrashSaveTest>;
ON_EACH_BACKEND(CrashSave);
using CrashSaveSqlite = CrashSaveTest;

std::string new_group(int row) {
    return "NEW" + std::to_string(row + 1);
}

// Killed at a random moment of a save, the file holds each row's old or new
// group, never anything else, and its journal says which.
TEST_P(CrashSave, KillNineDuringASaveTearsNothing) {
    const std::string keys = keys_file("save.txt", save_script(new_group));
    // An uninterrupted run tells how long a save goes on once it began.
    using Clock = std::chrono::steady_clock;
    const std::string whole = fresh_root("whole");
    const auto started = Clock::now();
    const pid_t first =
        start_devgroup({"--root", whole, "--keys-file", keys}, work_.file("out.txt"));
    wait_for_save(whole, std::chrono::seconds(60));
    const auto save_began = Clock::now();
    ASSERT_EQ(finish_devgroup(first), 0);
    const auto save_took = Clock::now() - save_began;
    const Examined uninterrupted = examine(whole, new_group, "uninterrupted");
    ASSERT_EQ(uninterrupted.stored, kRows);
    ASSERT_EQ(uninterrupted.faults, 0);

    const int runs = count_from("DEVGROUP_CRASH_RUNS", 4);
    std::mt19937 random(static_cast<unsigned>(count_from("DEVGROUP_CRASH_SEED", 20261209)));
    std::uniform_int_distribution<long long> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(save_took).count());
    int torn = 0;
    std::map<std::string, int> outcomes;
    for (int i = 0; i < runs; ++i) {
        const std::string root = fresh_root("killed");
        const pid_t pid =
            start_devgroup({"--root", root, "--keys-file", keys}, work_.file("out.txt"));
        wait_for_save(root, 2 * (save_began - started));
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        kill(pid, SIGKILL);
        finish_devgroup(pid);
        const Examined examined = examine(root, new_group, "run " + std::to_string(i));
        torn += examined.faults > 0 ? 1 : 0;
        ++outcomes[examined.stored == 0 ? "none" : examined.stored == kRows ? "all" : "some"];
    }
    std::printf("kill -9 runs %d, torn %d; rows stored: none %d, some %d, all %d\n", runs, torn,
                outcomes["none"], outcomes["some"], outcomes["all"]);
}

// Eight processes, each saving its own twelve rows of one file at once: each
// row ends with its process's name, or that process reported the failure.
TEST_P(CrashSave, EightProcessesSavingAtOnceLoseNoUpdate) {
    const int rounds = count_from("DEVGROUP_CONCURRENT_ROUNDS", 1);
    int lost = 0;
    int reported = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::string root = fresh_root("shared");
        auto owner = [](int row) { return row / kRowsPerProcess; };
        auto name_of = [&](int p) {
            return [p, owner](int row) {
                return owner(row) == p ? "P" + std::to_string(p) + "R" + std::to_string(row + 1)
                                       : std::string();
            };
        };
        std::vector<pid_t> pids;
        for (int p = 0; p < kProcesses; ++p) {
            const std::string keys =
                keys_file("p" + std::to_string(p) + ".txt", save_script(name_of(p)));
            pids.push_back(start_devgroup(
                {"--root", root, "--user", "P" + std::to_string(p), "--keys-file", keys},
                work_.file("p" + std::to_string(p) + ".out")));
        }
        for (pid_t pid : pids) {
            EXPECT_EQ(finish_devgroup(pid), 0);
        }
        // A process whose save failed says so in the error log under its user.
        ASSERT_EQ(run_devgroup({"--root", root, "log"}, work_.file("log.txt")), 0);
        const std::string log = hosttest::read_file(work_.file("log.txt"));
        const Stored stored = stored_now(root);
        EXPECT_EQ(stored.integrity, "ok");
        for (int row = 0; row < kRows; ++row) {
            const int p = owner(row) < kProcesses ? owner(row) : -1;
            const std::string group =
                stored.groups.count(key_of(row)) ? stored.groups.at(key_of(row)) : "(none)";
            if (p < 0) {
                EXPECT_EQ(group, old_group(row)) << key_of(row) << " belongs to no process";
                continue;
            }
            if (group == name_of(p)(row)) {
                continue;
            }
            const bool said = log.find("P" + std::to_string(p) + " ") != std::string::npos;
            reported += said ? 1 : 0;
            lost += said ? 0 : 1;
            EXPECT_TRUE(said) << key_of(row) << " holds '" << group << "', yet process " << p
                              << " reported nothing";
        }
    }
    std::printf("8-process rounds %d: rows not stored but reported %d, lost silently %d\n", rounds,
                reported, lost);
}

// Out of file space in mid-save: the save says it failed, and the rows
// stored before the failure are stored, in table order, the rest untouched.
TEST_F(CrashSaveSqlite, AFullDiskFailsTheSaveLoudlyAndKeepsWhatWasStored) {
    const std::string root = fresh_root("full");
    const std::string keys = keys_file("save.txt", save_script(new_group));
    // Room for the files as they are and a little growth, not for 100 updates.
    rlim_t largest = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            largest = std::max<rlim_t>(largest, entry.file_size());
        }
    }
    const pid_t pid = start_devgroup({"--root", root, "--keys-file", keys}, work_.file("out.txt"),
                                     largest + 64 * 1024);
    EXPECT_EQ(finish_devgroup(pid), 0);
    const Examined examined = examine(root, new_group, "full disk");
    EXPECT_EQ(examined.faults, 0);
    const int stored = examined.stored;
    EXPECT_LT(stored, kRows) << "the limit left room for the whole save";
    std::printf("full disk: %d of %d rows stored before the save failed\n", stored, kRows);
    const Stored after = read_stored(root);
    for (int row = 0; row < kRows; ++row) {
        const bool is_new = after.groups.at(key_of(row)) == new_group(row);
        EXPECT_EQ(is_new, row < stored) << key_of(row) << ": stored out of table order";
    }
    ASSERT_EQ(run_devgroup({"--root", root, "log"}, work_.file("log.txt")), 0);
    EXPECT_NE(hosttest::read_file(work_.file("log.txt")).find("Unable to update devices.dbf"),
              std::string::npos)
        << hosttest::read_file(work_.file("log.txt"));
}

}  // namespace
