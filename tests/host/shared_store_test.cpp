// Workstations sharing one register in a PostgreSQL store, each a data root
// of its own running the real devgroup: what one saves the others see, at
// once and all together; a server that is down or restarts; and the notice
// of a change stored elsewhere.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

#include "devgroup_process.h"
#include "host_config.h"
#include "host_test_support.h"
#include "hostlibs/host_setup.h"
#include "pg_test_server.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using hosttest::finish_devgroup;
using hosttest::read_file;
using hosttest::run_devgroup;
using hosttest::start_devgroup;

constexpr int kRows = 40;

std::string key_of(int row) {
    char key[16];
    std::snprintf(key, sizeof key, "K%07d", row + 1);
    return key;
}

// The devices CSV of kRows instruments, row r in group prefix + (r + 1).
std::string rows_csv(const std::string& prefix) {
    std::string csv = "key,instrument,status,group\n";
    for (int row = 0; row < kRows; ++row) {
        csv += key_of(row) + ",Instrument " + std::to_string(row + 1) + ",1," + prefix +
               std::to_string(row + 1) + "\n";
    }
    return csv;
}

// The editor's keys that type `name` over the group of `row` on page 1 and save.
std::string save_row(int row, const std::string& name) {
    std::string keys = "<Home>";
    for (int i = 0; i < row; ++i) {
        keys += "<Down>";
    }
    return keys + name + "<F2>y<Enter>";
}

int occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class SharedStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        REQUIRE_POSTGRES();
        store_.emplace();
        conninfo_ = store_->conninfo();
        ASSERT_TRUE(hostlibs::init_store(conninfo_, &error_)) << error_;
    }

    // A workstation: a data root of its own (the demo data in its local
    // files), host.conf naming the shared store, no password prompt.
    std::string workstation(const std::string& name, const std::string& conninfo) {
        const std::string root = work_.file(name);
        EXPECT_EQ(hosttest::make_root(root), "");
        std::string config = read_file(root + "/host.conf");
        config.replace(config.find("password_interval = 300"), 23, "password_interval = 0");
        hosttest::write_file(root + "/host.conf", config);
        hosttest::name_store(root, conninfo);
        return root;
    }

    // A fresh store is empty: fills it through a workstation's import.
    void fill(const std::string& root, const std::string& csv) {
        hosttest::write_file(work_.file("rows.csv"), csv);
        ASSERT_EQ(run_devgroup({"--root", root, "import", "devices", work_.file("rows.csv")},
                               work_.file("import.txt")),
                  0)
            << read_file(work_.file("import.txt"));
    }

    std::string output_of(const std::vector<std::string>& arguments, int expected_exit = 0) {
        const std::string out = work_.file("out.txt");
        EXPECT_EQ(run_devgroup(arguments, out), expected_exit) << read_file(out);
        return read_file(out);
    }

    std::optional<PgTestSchema> store_;
    std::string conninfo_;
    std::string error_;
    TempFolder work_{"devgroup-shared-"};
};

// Bytes and modification time of a root's local record files.
std::map<std::string, std::pair<std::string, fs::file_time_type>> local_files(
    const std::string& root) {
    std::map<std::string, std::pair<std::string, fs::file_time_type>> files;
    for (const auto& entry : fs::directory_iterator(root + "/DATA")) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("devices.db") || name.starts_with("settings.db") ||
            name.starts_with("passwords.db")) {
            files[name] = {read_file(entry.path().string()), entry.last_write_time()};
        }
    }
    return files;
}

TEST_F(SharedStoreTest, AGroupSavedOnOneWorkstationIsExportedWithItsJournalByAnother) {
    const std::string first = workstation("first", conninfo_);
    const std::string second = workstation("second", conninfo_);
    fill(second, rows_csv("OLD"));
    const auto before = local_files(first);
    ASSERT_FALSE(before.empty());

    const std::string screen =
        output_of({"--root", first, "--now", "1700000000", "--keys", save_row(0, "PUMPS")});
    EXPECT_NE(screen.find("PUMPS"), std::string::npos) << screen;

    const std::string csv = output_of({"--root", second, "export", "devices"});
    EXPECT_NE(csv.find("K0000001,Instrument 1,1,PUMPS\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("K0000002,Instrument 2,1,OLD2\r\n"), std::string::npos) << csv;
    const std::string history = output_of({"--root", second, "history"});
    EXPECT_NE(history.find("2023-11-14 22:13:20 ADAM (login " + hostapp::os_login() +
                           ") K0000001 group: OLD1 -> PUMPS"),
              std::string::npos)
        << history;
    // The first workstation's own record files were never touched.
    EXPECT_EQ(local_files(first), before);
}

TEST_F(SharedStoreTest, EightWorkstationsSavingAtOnceAreEachStoredAndJournalledOnce) {
    constexpr int kWorkstations = 8;
    const std::string made = workstation("made", conninfo_);
    fill(made, rows_csv("OLD"));
    std::vector<pid_t> pids;
    for (int w = 0; w < kWorkstations; ++w) {
        const std::string root = work_.file("ws" + std::to_string(w));
        fs::copy(made, root, fs::copy_options::recursive);
        pids.push_back(
            start_devgroup({"--root", root, "--keys", save_row(w, "WS" + std::to_string(w))},
                           work_.file("ws" + std::to_string(w) + ".txt")));
    }
    for (int w = 0; w < kWorkstations; ++w) {
        EXPECT_EQ(finish_devgroup(pids[static_cast<size_t>(w)]), 0)
            << read_file(work_.file("ws" + std::to_string(w) + ".txt"));
    }
    const std::string csv = output_of({"--root", made, "export", "devices"});
    const std::string history = output_of({"--root", made, "history"});
    for (int w = 0; w < kWorkstations; ++w) {
        const std::string name = "WS" + std::to_string(w);
        EXPECT_NE(csv.find(key_of(w) + ",Instrument " + std::to_string(w + 1) + ",1," + name),
                  std::string::npos)
            << csv;
        EXPECT_EQ(occurrences(history, key_of(w) + " group: OLD" + std::to_string(w + 1) + " -> " +
                                           name + "\n"),
                  1)
            << history;
    }
    EXPECT_EQ(occurrences(history, " -> WS"), kWorkstations) << history;
}

// The server down at start: the editor and every command that needs the
// register stop before the terminal is touched, naming the server and
// libpq's reason; the workstation's own error log still reads.
TEST_F(SharedStoreTest, AServerThatIsDownStopsEveryStartNamingTheServer) {
    TempFolder nowhere("devgroup-no-server-");
    const std::string root =
        workstation("down", "host=" + nowhere.path() + " port=5999 dbname=postgres");
    hosttest::write_file(work_.file("rows.csv"), rows_csv("OLD"));
    const std::vector<std::vector<std::string>> starts = {
        {"--root", root},
        {"--root", root, "--keys", "<F2>"},
        {"--root", root, "export", "devices"},
        {"--root", root, "import", "devices", work_.file("rows.csv")},
        {"--root", root, "history"},
        {"--root", root, "jobs"},
        {"--root", root, "sites"},
    };
    for (const auto& arguments : starts) {
        const std::string said = output_of(arguments, 1);
        EXPECT_EQ(said.find("devgroup: cannot connect to the shared store at " + nowhere.path() +
                            ":5999/postgres: "),
                  0u)
            << said;
        EXPECT_NE(said.find("No such file or directory"), std::string::npos) << said;
        EXPECT_EQ(said.find('\x1b'), std::string::npos) << "terminal touched: " << said;
        EXPECT_EQ(occurrences(said, "\n"), 1) << said;
    }
    output_of({"--root", root, "log"}, 0);
}

// The server restarts while a save waits for a row another session holds:
// the save stops there with the prompt line's failure message and one error-
// log record, each row stored whole or not at all, the journal saying which.
TEST_F(SharedStoreTest, ARestartDuringASaveFailsItOnceAndTearsNothing) {
    PgPrivateServer server;
    ASSERT_TRUE(hostlibs::init_store(server.conninfo(), &error_)) << error_;
    const std::string root = workstation("restart", server.conninfo());
    fill(root, rows_csv("OLD"));
    constexpr int kHeld = 24;  // K0000025, on page 2
    PGconn* holder = PQconnectdb(server.conninfo().c_str());
    PGconn* watcher = PQconnectdb(server.conninfo().c_str());
    ASSERT_EQ(PQstatus(holder), CONNECTION_OK) << PQerrorMessage(holder);
    ASSERT_EQ(PQstatus(watcher), CONNECTION_OK) << PQerrorMessage(watcher);
    const std::string hold = "BEGIN; SELECT 1 FROM devices WHERE key = convert_to('" +
                             key_of(kHeld) + "', 'LATIN1') FOR UPDATE";
    PQclear(PQexec(holder, hold.c_str()));

    std::string keys = "<Home>";
    for (int row = 0; row < kRows; ++row) {
        keys += (row == 20 ? "<PgDn><Home>" : "") + std::string("NEW") + std::to_string(row + 1) +
                "<Down>";
    }
    const pid_t editor =
        start_devgroup({"--root", root, "--keys", keys + "<F2>y<Enter>"}, work_.file("editor.txt"));
    bool waiting = false;
    for (const auto until = Clock::now() + std::chrono::seconds(60);
         !waiting && Clock::now() < until;) {
        PGresult* result =
            PQexec(watcher, "SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'");
        waiting = PQresultStatus(result) == PGRES_TUPLES_OK &&
                  std::string(PQgetvalue(result, 0, 0)) != "0";
        PQclear(result);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(waiting) << "the save never reached the held row";
    server.restart();
    PQfinish(holder);
    PQfinish(watcher);
    ASSERT_EQ(finish_devgroup(editor), 0) << read_file(work_.file("editor.txt"));
    EXPECT_NE(read_file(work_.file("editor.txt")).find("That failed; see the error log."),
              std::string::npos)
        << read_file(work_.file("editor.txt"));

    const std::string log = output_of({"--root", root, "log"});
    EXPECT_EQ(occurrences(log, "RECORDS  0x80008004 shared store devices"), 1) << log;
    const std::string csv = output_of({"--root", root, "export", "devices"});
    const std::string history = output_of({"--root", root, "history"});
    for (int row = 0; row < kRows; ++row) {
        const std::string stored = row < kHeld ? "NEW" : "OLD";
        EXPECT_NE(csv.find(key_of(row) + ",Instrument " + std::to_string(row + 1) + ",1," + stored +
                           std::to_string(row + 1) + "\r\n"),
                  std::string::npos)
            << key_of(row) << "\n"
            << csv;
        EXPECT_EQ(occurrences(history, key_of(row) + " group: OLD" + std::to_string(row + 1) +
                                           " -> NEW" + std::to_string(row + 1) + "\n"),
                  row < kHeld ? 1 : 0)
            << key_of(row) << "\n"
            << history;
    }
}

// While the editor waits for a key, a change another workstation stores is
// told on the status line; its own saves are not.
TEST_F(SharedStoreTest, TheEditorTellsOfChangesStoredOnAnotherWorkstation) {
    const std::string editing = workstation("editing", conninfo_);
    const std::string other = workstation("other", conninfo_);
    fill(other, rows_csv("OLD"));
    const std::string notice = "devices changed on another workstation";

    const std::string own =
        output_of({"--root", editing, "--keys", save_row(0, "MINE") + "<Wait:1500>"});
    EXPECT_NE(own.find("MINE"), std::string::npos) << own;
    EXPECT_EQ(own.find(notice), std::string::npos) << own;

    const pid_t editor =
        start_devgroup({"--root", editing, "--keys", "<Wait:4000>"}, work_.file("editor.txt"));
    // Another workstation saves again and again until the editor is done.
    int status = 0;
    for (int round = 0; waitpid(editor, &status, WNOHANG) == 0; ++round) {
        hosttest::write_file(work_.file("change.csv"),
                             "key,instrument,status,group\nK0000002,Instrument 2,1,R" +
                                 std::to_string(round) + "\n");
        run_devgroup({"--root", other, "import", "devices", work_.file("change.csv")},
                     work_.file("change.txt"));
    }
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << read_file(work_.file("editor.txt"));
    const std::string screen = read_file(work_.file("editor.txt"));
    const std::string bottom = screen.substr(screen.rfind('\n', screen.size() - 2) + 1);
    EXPECT_NE(bottom.find(notice), std::string::npos) << screen;
}

}  // namespace
