// The PostgreSQL test server the store's tests stand on: schemas kept apart,
// password logins over TCP, and a private server that restarts and halts.
#include "pg_test_server.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "temp_folder.h"

namespace {

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

Connection connect(const std::string& conninfo) {
    return Connection(PQconnectdb(conninfo.c_str()), &PQfinish);
}

// The first value of the first row, or "ERROR: " and the server's message.
std::string value(PGconn* conn, const std::string& sql) {
    PGresult* result = PQexec(conn, sql.c_str());
    std::string out;
    if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0)
        out = PQgetvalue(result, 0, 0);
    else if (PQresultStatus(result) != PGRES_COMMAND_OK &&
             PQresultStatus(result) != PGRES_TUPLES_OK)
        out = std::string("ERROR: ") + PQerrorMessage(conn);
    PQclear(result);
    return out;
}

}  // namespace

TEST(PgTestSchema, SchemasAreApartAndGoWithTheirObject) {
    REQUIRE_POSTGRES();
    PgTestSchema other;
    std::string first_name;
    {
        PgTestSchema first;
        first_name = first.schema();
        ASSERT_NE(first_name, other.schema());
        auto a = connect(first.conninfo());
        ASSERT_EQ(PQstatus(a.get()), CONNECTION_OK) << PQerrorMessage(a.get());
        EXPECT_EQ(value(a.get(), "SELECT current_schema()"), first_name);
        EXPECT_EQ(value(a.get(), "CREATE TABLE devices (id int); INSERT INTO devices VALUES (7)"),
                  "");

        auto b = connect(other.conninfo());
        ASSERT_EQ(PQstatus(b.get()), CONNECTION_OK) << PQerrorMessage(b.get());
        EXPECT_EQ(value(b.get(), "SELECT to_regclass('devices') IS NULL"), "t");
        EXPECT_EQ(value(b.get(), "CREATE TABLE devices (id int)"), "");
        EXPECT_EQ(value(b.get(), "SELECT count(*) FROM devices"), "0");
        EXPECT_EQ(value(a.get(), "SELECT id FROM devices"), "7");

        first.exec("INSERT INTO devices VALUES (8)");
        EXPECT_EQ(value(a.get(), "SELECT count(*) FROM devices"), "2");
        EXPECT_THROW(first.exec("SELECT * FROM no_such_table"), std::runtime_error);
    }
    auto b = connect(other.conninfo());
    EXPECT_EQ(
        value(b.get(), "SELECT count(*) FROM pg_namespace WHERE nspname = '" + first_name + "'"),
        "0");
}

TEST(PgTestSchema, LoginRoleSignsInWithScramOverTcp) {
    REQUIRE_POSTGRES();
    // Characters the password file and SQL quoting must both carry.
    const std::string password = "se:cr\\et'pw";
    std::string role;
    {
        PgTestSchema db;
        role = db.create_login_role("workstation", password);
        db.exec("GRANT USAGE ON SCHEMA " + db.schema() + " TO " + role);
        std::string passfile = db.write_pgpass(role, password);
        struct stat info {};
        ASSERT_EQ(stat(passfile.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);

        auto conn = connect(db.tcp_conninfo(role, passfile));
        ASSERT_EQ(PQstatus(conn.get()), CONNECTION_OK) << PQerrorMessage(conn.get());
        EXPECT_EQ(value(conn.get(), "SELECT current_user"), role);
        EXPECT_EQ(value(conn.get(), "SELECT host(inet_server_addr())"), "127.0.0.1");
        EXPECT_EQ(value(conn.get(), "SELECT current_schema()"), db.schema());

        auto super = connect(db.conninfo());
        EXPECT_EQ(value(super.get(),
                        "SELECT rolpassword LIKE 'SCRAM-SHA-256$%' FROM pg_authid "
                        "WHERE rolname = '" +
                            role + "'"),
                  "t");

        auto wrong = connect(db.tcp_conninfo(role, db.write_pgpass(role, "wrong")));
        EXPECT_EQ(PQstatus(wrong.get()), CONNECTION_BAD);
        EXPECT_NE(std::string(PQerrorMessage(wrong.get())).find("password authentication failed"),
                  std::string::npos)
            << PQerrorMessage(wrong.get());
    }
    PgTestSchema after;
    auto super = connect(after.conninfo());
    EXPECT_EQ(value(super.get(), "SELECT count(*) FROM pg_roles WHERE rolname = '" + role + "'"),
              "0");
}

TEST(PgPrivateServer, RestartDropsOpenConnectionsAndHaltRefusesNewOnes) {
    REQUIRE_POSTGRES();
    std::string folder;
    {
        PgPrivateServer server;
        folder = server.info().dir;
        auto before = connect(server.conninfo());
        ASSERT_EQ(PQstatus(before.get()), CONNECTION_OK) << PQerrorMessage(before.get());
        EXPECT_EQ(value(before.get(), "SELECT 1"), "1");

        server.restart();
        EXPECT_EQ(value(before.get(), "SELECT 1").rfind("ERROR: ", 0), 0u);
        auto after = connect(server.conninfo());
        ASSERT_EQ(PQstatus(after.get()), CONNECTION_OK) << PQerrorMessage(after.get());
        EXPECT_EQ(value(after.get(), "SELECT 1"), "1");

        server.halt();
        EXPECT_EQ(PQstatus(connect(server.conninfo()).get()), CONNECTION_BAD);
        EXPECT_TRUE(std::filesystem::exists(folder));
        server.resume();
        auto resumed = connect(server.conninfo());
        EXPECT_EQ(PQstatus(resumed.get()), CONNECTION_OK) << PQerrorMessage(resumed.get());
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
}

// Outside ctest, or when no server could start, the skip names the reason.
TEST(PgTestServer, MissingServerIsReportedWithItsReason) {
    TempFolder folder;
    std::string env_file = folder.file("pg_test_server.env");
    const char* saved = getenv("DEVGROUP_PG_ENV");
    std::string saved_value = saved != nullptr ? saved : "";
    setenv("DEVGROUP_PG_ENV", env_file.c_str(), 1);

    std::string why;
    EXPECT_FALSE(pg_test_available(&why));
    EXPECT_NE(why.find(env_file + " is missing"), std::string::npos) << why;

    std::ofstream(env_file + ".unavailable") << "initdb not found\n";
    EXPECT_FALSE(pg_test_available(&why));
    EXPECT_EQ(why, "no PostgreSQL test server: initdb not found");

    std::ofstream(env_file) << "PG_DIR=/nowhere\n";
    EXPECT_FALSE(pg_test_available(&why));

    if (saved != nullptr)
        setenv("DEVGROUP_PG_ENV", saved_value.c_str(), 1);
    else
        unsetenv("DEVGROUP_PG_ENV");
}
