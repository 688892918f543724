// The store commands as an administrator runs them: status on either
// backend, making the shared store's schema, and moving a root's register
// onto a shared store.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <map>

#include "host_test_support.h"
#include "hostlibs/host_setup.h"
#include "pg_test_server.h"
#include "platform/host_libraries.h"

namespace {

using hosttest::DevgroupOutcome;
using hosttest::shell_quoted;
using hosttest::TempRoot;

class StoreCommand : public ::testing::Test {
  protected:
    DevgroupOutcome run(const TempRoot& root, const std::string& arguments) {
        return hosttest::run_devgroup(root.path(), arguments, files_.file("stderr.txt"));
    }

    // The root keeps its register in the shared store at `conninfo`.
    static void use_store(const TempRoot& root, const std::string& conninfo) {
        const std::string conf = root.file("host.conf");
        hosttest::write_file(conf, hosttest::read_file(conf) + "store = " + conninfo + "\n");
    }

    void import(const TempRoot& root, const std::string& rows) {
        hosttest::write_file(files_.file("rows.csv"), "key,instrument,status,group\n" + rows);
        const DevgroupOutcome imported = run(root, "import devices " + files_.file("rows.csv"));
        ASSERT_EQ(imported.exit_code, 0) << imported.err;
    }

    TempFolder files_{"devgroup-store-"};
};

// The key and position of every device, as the host's record calls give them.
std::map<std::string, uint32_t> device_positions(const TempRoot& root, const std::string& store) {
    std::map<std::string, uint32_t> positions;
    hostlibs::HostConfiguration config;
    config.root = root.path();
    config.store = store;
    config.read_only = true;
    std::string error;
    if (!hostlibs::open_host(config, &error)) {
        ADD_FAILURE() << error;
        return positions;
    }
    DeviceRecord record{};
    rs_bind(&record);
    char key[8] = {};
    for (int status = rs_call(RS_GET_FIRST, key, 0); status == RS_OK;
         status = rs_call(RS_GET_NEXT, key, 0)) {
        uint8_t position[4] = {};
        EXPECT_EQ(rs_call(RS_GET_POSITION, position, 0), RS_OK);
        positions[std::string(key, sizeof key)] =
            uint32_t{position[0]} | uint32_t{position[1]} << 8 | uint32_t{position[2]} << 16 |
            uint32_t{position[3]} << 24;
    }
    hostlibs::close_host();
    return positions;
}

// The status lines of what a store holds, without those naming where it is.
std::string held(const std::string& status) {
    const size_t devices = status.find("\ndevices ");
    return devices == std::string::npos ? "(no devices line in: " + status + ")"
                                        : status.substr(devices);
}

TEST_F(StoreCommand, OnSqliteFilesStatusCountsAndInitHasNothingToMake) {
    TempRoot root;
    ASSERT_TRUE(root.made()) << root.error();
    const DevgroupOutcome status = run(root, "store status");
    ASSERT_EQ(status.exit_code, 0) << status.err;
    EXPECT_NE(status.out.find("backend          sqlite (SQLite 3."), std::string::npos)
        << status.out;
    EXPECT_NE(status.out.find("data             " + root.file("DATA/")), std::string::npos);
    EXPECT_NE(status.out.find("devices          66 records, "), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("passwords        4 records, "), std::string::npos);
    EXPECT_NE(status.out.find(", 4 password hashes\n"), std::string::npos);

    const DevgroupOutcome init = run(root, "store init");
    EXPECT_EQ(init.exit_code, 0) << init.err;
    EXPECT_NE(init.out.find("SQLite files under DATA/; nothing needs making"), std::string::npos);
    EXPECT_EQ(run(root, "store init --grant clerk").exit_code, 1);
}

// A password never travels on the command line nor sits in host.conf, and
// what the messages quote is shown with its control bytes escaped.
TEST_F(StoreCommand, UsageAndConnectionStringsHoldingAPasswordAreRefused) {
    TempRoot root;
    ASSERT_TRUE(root.made()) << root.error();
    const std::pair<std::string, std::string> usage[] = {
        {"store copy", "store copy needs --to CONNINFO"},
        {"sites --to dbname=x", "--to goes with store copy"},
        {"store status --grant clerk", "--grant goes with store init"},
        {"store init --to dbname=x", "--to goes with store copy"},
        {"store copy --to ''", "--to needs a value (TARGET), not an empty text"},
        {"store", "store is used as 'store status' or 'store init' or 'store copy'"},
    };
    for (const auto& [arguments, reason] : usage) {
        const DevgroupOutcome outcome = run(root, arguments);
        EXPECT_EQ(outcome.exit_code, 2) << arguments;
        EXPECT_NE(outcome.err.find(reason), std::string::npos) << arguments << ": " << outcome.err;
    }

    const DevgroupOutcome with_password =
        run(root, "store copy --to " + shell_quoted("host=/nowhere password=secret"));
    EXPECT_EQ(with_password.exit_code, 1);
    EXPECT_NE(with_password.err.find("holds a password; keep it in ~/.pgpass"), std::string::npos)
        << with_password.err;
    EXPECT_EQ(with_password.err.find("secret"), std::string::npos);

    const DevgroupOutcome garbled = run(root, "store copy --to " + shell_quoted("host\x1b"));
    EXPECT_EQ(garbled.exit_code, 1);
    EXPECT_NE(garbled.err.find("host\\x1b"), std::string::npos) << garbled.err;
    EXPECT_EQ(garbled.err.find('\x1b'), std::string::npos);

    use_store(root, "host=/nowhere password=secret");
    for (const char* command : {"store init", "store status"}) {
        const DevgroupOutcome outcome = run(root, command);
        EXPECT_EQ(outcome.exit_code, 1) << command;
        EXPECT_NE(outcome.err.find("holds a password"), std::string::npos) << outcome.err;
    }
}

TEST_F(StoreCommand, InitMakesTheSchemaOnceAndRefusesANewerOne) {
    REQUIRE_POSTGRES();
    PgTestSchema db;
    TempRoot root(false);
    ASSERT_TRUE(root.made()) << root.error();
    use_store(root, db.conninfo());

    const DevgroupOutcome before = run(root, "store status");
    EXPECT_EQ(before.exit_code, 1);
    EXPECT_NE(before.err.find("has no tables yet; run `devgroup store init`"), std::string::npos)
        << before.err;

    const DevgroupOutcome made = run(root, "store init");
    ASSERT_EQ(made.exit_code, 0) << made.err;
    EXPECT_EQ(made.out, "made schema version 3\n");
    const DevgroupOutcome again = run(root, "store init");
    EXPECT_EQ(again.exit_code, 0) << again.err;
    EXPECT_EQ(again.out, "schema at version 3, nothing to do\n");

    const DevgroupOutcome status = run(root, "store status");
    ASSERT_EQ(status.exit_code, 0) << status.err;
    EXPECT_NE(status.out.find("backend          postgresql\nserver           " +
                              db.server().socket_dir + ":" + db.server().port + "/postgres\n"),
              std::string::npos)
        << status.out;
    EXPECT_NE(status.out.find("schema version   3 (this program's: 3)\n"), std::string::npos);
    EXPECT_NE(status.out.find("devices          0 records, 0 journal rows\n"), std::string::npos);
    EXPECT_NE(status.out.find("sites            0\n"), std::string::npos);

    db.exec("UPDATE store_meta SET value = 4 WHERE name = 'schema_version'");
    for (const char* command : {"store init", "store status"}) {
        const DevgroupOutcome newer = run(root, command);
        EXPECT_EQ(newer.exit_code, 1) << command;
        EXPECT_NE(newer.err.find("has schema version 4, newer than this program's version 3"),
                  std::string::npos)
            << command << ": " << newer.err;
    }
}

// The workstations' role, granted by init, reads and writes the register.
TEST_F(StoreCommand, InitGrantsTheWorkstationsRole) {
    REQUIRE_POSTGRES();
    PgTestSchema db;
    const std::string role = db.create_login_role("station", "station-secret");
    const std::string passfile = db.write_pgpass(role, "station-secret");
    TempRoot admin(false), station(false);
    ASSERT_TRUE(admin.made() && station.made());
    use_store(admin, db.conninfo());
    use_store(station, db.tcp_conninfo(role, passfile));

    EXPECT_NE(run(station, "store status").exit_code, 0);  // no schema yet, nor rights
    const DevgroupOutcome granted = run(admin, "store init --grant " + shell_quoted(role));
    ASSERT_EQ(granted.exit_code, 0) << granted.err;
    EXPECT_EQ(granted.out,
              "made schema version 3\ngranted " + role + " the workstations' rights\n");

    const DevgroupOutcome unknown = run(admin, "store init --grant devgroup_no_such_role");
    EXPECT_EQ(unknown.exit_code, 1);
    EXPECT_NE(unknown.err.find("schema at version 3, but cannot grant"), std::string::npos)
        << unknown.err;

    import(station, "K1,Gauge,1,G1\nK2,Meter,1,G2\n");
    const DevgroupOutcome status = run(station, "store status");
    EXPECT_EQ(status.exit_code, 0) << status.err;
    EXPECT_NE(status.out.find("devices          2 records, 8 journal rows\n"), std::string::npos)
        << status.out;
}

// Two roots on one shared store after a copy see the register the first
// one kept: records at their positions, the journal in its order, the
// sites with their ids; and new records and sites never take a copied
// position or id.
TEST_F(StoreCommand, CopyMovesTheRegisterWithItsPositionsJournalAndSites) {
    REQUIRE_POSTGRES();
    PgTestSchema db;
    TempRoot source;
    ASSERT_TRUE(source.made()) << source.error();
    // A record stored last that sorts first, changed once; and a gap in the site ids.
    import(source, "A0000000,First by key,1,LATE\n");
    import(source, "A0000000,First by key,1,CHANGED\n");
    // The record given the highest position goes before the copy: its
    // position is never handed out again, in the copy either.
    import(source, "Z9999999,Deleted before the copy,1,GONE\n");
    const uint32_t deleted_position = device_positions(source, "").at("Z9999999");
    {
        hostlibs::HostConfiguration config;
        config.root = source.path();
        std::string error;
        ASSERT_TRUE(hostlibs::open_host(config, &error)) << error;
        ASSERT_TRUE(hostlibs::delete_device("Z9999999", &error)) << error;
        hostlibs::close_host();
    }
    {
        sqlite3* host_db = nullptr;
        ASSERT_EQ(sqlite3_open(source.file("DATA/host.db").c_str(), &host_db), SQLITE_OK);
        ASSERT_EQ(
            sqlite3_exec(host_db,
                         "UPDATE site_lines SET site_id = site_id + 100"
                         " WHERE site_id = (SELECT max(id) FROM sites);"
                         "UPDATE sites SET id = id + 100 WHERE id = (SELECT max(id) FROM sites)",
                         nullptr, nullptr, nullptr),
            SQLITE_OK)
            << sqlite3_errmsg(host_db);
        sqlite3_close(host_db);
    }

    const DevgroupOutcome copied = run(source, "store copy --to " + shell_quoted(db.conninfo()));
    ASSERT_EQ(copied.exit_code, 0) << copied.err;
    EXPECT_NE(copied.out.find("devices          67 records, "), std::string::npos) << copied.out;

    TempRoot shared(false);
    ASSERT_TRUE(shared.made()) << shared.error();
    use_store(shared, db.conninfo());
    for (const char* command :
         {"export devices", "history", "history settings", "history passwords", "sites"}) {
        const DevgroupOutcome kept = run(source, command);
        const DevgroupOutcome seen = run(shared, command);
        ASSERT_EQ(seen.exit_code, 0) << command << ": " << seen.err;
        EXPECT_EQ(seen.out, kept.out) << command;
    }
    EXPECT_EQ(held(run(shared, "store status").out), held(run(source, "store status").out));
    const std::map<std::string, uint32_t> positions = device_positions(source, "");
    EXPECT_EQ(device_positions(shared, db.conninfo()), positions);

    import(shared, "B0000000,Added after the copy,1,NEW\n");
    uint32_t highest = 0;
    for (const auto& [key, position] : positions) {
        highest = std::max(highest, position);
    }
    EXPECT_GT(device_positions(shared, db.conninfo()).at("B0000000"), highest);
    EXPECT_GT(device_positions(shared, db.conninfo()).at("B0000000"), deleted_position);

    hostlibs::HostConfiguration config;
    config.root = shared.path();
    config.store = db.conninfo();
    std::string error;
    ASSERT_TRUE(hostlibs::open_host(config, &error)) << error;
    uint32_t highest_site = 0;
    for (const hostlibs::SiteInfo& site : hostlibs::list_sites()) {
        highest_site = std::max(highest_site, site.id);
    }
    EXPECT_GT(highest_site, 100u);
    hostlibs::SiteInfo site;
    site.site_class = 3;
    site.name = "Added after the copy";
    uint32_t added = 0;
    EXPECT_TRUE(hostlibs::add_site(site, &added, &error)) << error;
    EXPECT_GT(added, highest_site);
    hostlibs::close_host();
}

TEST_F(StoreCommand, CopyIntoAStoreThatHoldsAnythingIsRefusedAndWritesNothing) {
    REQUIRE_POSTGRES();
    PgTestSchema db;
    TempRoot source, shared(false);
    ASSERT_TRUE(source.made() && shared.made());
    use_store(shared, db.conninfo());
    ASSERT_EQ(run(shared, "store init").exit_code, 0);
    import(shared, "K1,Gauge,1,G1\n");
    const std::string exported = run(shared, "export devices").out;
    const std::string history = run(shared, "history").out;

    const DevgroupOutcome refused = run(source, "store copy --to " + shell_quoted(db.conninfo()));
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("already holds records, journal rows or sites; a copy goes only "
                               "into an empty store (nothing was written)"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(run(shared, "export devices").out, exported);
    EXPECT_EQ(run(shared, "history").out, history);
    EXPECT_EQ(run(shared, "sites").out, "");
}

}  // namespace
