// The tests' PostgreSQL server: the one ctest starts for a run (fixture
// "postgres", found through the file DEVGROUP_PG_ENV names), a fresh schema
// on it per test, and a private server for tests that stop or restart one.
//
//   TEST(Store, Something) {
//       REQUIRE_POSTGRES();
//       PgTestSchema db;
//       open_store(db.conninfo());
//   }
//
// The classes throw std::runtime_error (with libpq's message) when the server
// cannot be reached or a statement fails, which fails the test. In a test
// fixture, keep a PgTestSchema in a std::optional and emplace it in SetUp()
// after REQUIRE_POSTGRES(), so that a missing server skips rather than fails.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "temp_folder.h"

struct pg_conn;  // libpq's PGconn

// A server as the PG_* lines of scripts/pg_test_server.sh name it.
struct PgTestServerInfo {
    std::string dir;
    std::string socket_dir;
    std::string port;
    std::string tcp_host;
    std::string superuser;
    std::string bin;
};

// The server ctest started for this run; nullopt, with the reason in *why,
// when there is none.
std::optional<PgTestServerInfo> pg_test_server(std::string* why = nullptr);
bool pg_test_available(std::string* why = nullptr);
// True when the environment variable CI is "true": a missing server fails.
bool pg_test_in_ci();

// At the top of a test (or SetUp): skips it when there is no server, with the
// reason; fails it instead in CI.
#define REQUIRE_POSTGRES()                                                  \
    do {                                                                    \
        std::string pg_test_why_;                                           \
        if (!pg_test_available(&pg_test_why_)) {                            \
            if (pg_test_in_ci())                                            \
                FAIL() << "PostgreSQL is required in CI: " << pg_test_why_; \
            GTEST_SKIP() << pg_test_why_;                                   \
        }                                                                   \
    } while (0)

// A value for a libpq keyword/value string, quoted when it needs to be.
std::string pg_conninfo_quote(const std::string& value);

// A schema of its own on the run's server, dropped with everything in it
// when the object goes. Its name is unique to this process, object and test.
class PgTestSchema {
  public:
    PgTestSchema();
    ~PgTestSchema();
    PgTestSchema(const PgTestSchema&) = delete;
    PgTestSchema& operator=(const PgTestSchema&) = delete;

    const std::string& schema() const { return schema_; }
    const PgTestServerInfo& server() const { return server_; }
    // The superuser over the Unix socket, the schema first on the search path:
    // host=SOCKETDIR port=PORT user=postgres dbname=postgres options='-csearch_path=SCHEMA'
    std::string conninfo() const;
    // Runs SQL (one or more statements) as the superuser, search path set to
    // the schema.
    void exec(const std::string& sql);
    // The rows of a query as the superuser, each a row of texts (NULL as an
    // empty text; select bytea through encode() or convert_from()).
    std::vector<std::vector<std::string>> query(const std::string& sql);
    // The same in binary format: a bytea or text column is its bytes.
    std::vector<std::vector<std::string>> query_bytes(const std::string& sql);

    // Makes a role that logs in with a password (stored as SCRAM-SHA-256) and
    // returns its name: NAME made unique across processes and tests. It gets
    // LOGIN only; grant it what the test needs through exec(). Dropped, with
    // its privileges, when the object goes.
    std::string create_login_role(const std::string& name, const std::string& password);
    // Writes a password file (mode 0600) with ROLE's line for the server's TCP
    // address and returns its path; it goes with the object.
    std::string write_pgpass(const std::string& role, const std::string& password);
    // ROLE over TCP to 127.0.0.1, its password from PASSFILE, the schema first
    // on the search path.
    std::string tcp_conninfo(const std::string& role, const std::string& passfile) const;

  private:
    std::vector<std::vector<std::string>> rows_of(const std::string& sql, int format);

    PgTestServerInfo server_;
    std::string schema_;
    pg_conn* conn_ = nullptr;
    std::vector<std::string> roles_;
    std::unique_ptr<TempFolder> files_;
    int pgpass_files_ = 0;
};

// A server of the test's own, made through scripts/pg_test_server.sh, for
// tests that restart or stop one. Stopped and removed when the object goes
// (or, should the test process die, soon after it).
class PgPrivateServer {
  public:
    PgPrivateServer();
    ~PgPrivateServer();
    PgPrivateServer(const PgPrivateServer&) = delete;
    PgPrivateServer& operator=(const PgPrivateServer&) = delete;

    const PgTestServerInfo& info() const { return info_; }
    // The superuser over the Unix socket, database postgres.
    std::string conninfo() const;
    void restart();  // fast: open connections are dropped; same port
    void halt();     // stopped, the folder kept
    void resume();   // started again after halt()

  private:
    void run(const char* command);
    PgTestServerInfo info_;
};
