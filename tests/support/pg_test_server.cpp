#include "pg_test_server.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

const char* const kScript = PG_TEST_SERVER_SCRIPT;

// Schemas and roles are named from this process's id and this counter.
std::atomic<int> name_counter{0};

// Reads PG_* lines; false when they name no socket and port.
bool parse_server_lines(std::istream& in, PgTestServerInfo* info) {
    *info = PgTestServerInfo{};
    info->tcp_host = "127.0.0.1";
    info->superuser = "postgres";
    std::string line;
    while (std::getline(in, line)) {
        auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "PG_DIR")
            info->dir = value;
        else if (key == "PG_SOCKET_DIR")
            info->socket_dir = value;
        else if (key == "PG_PORT")
            info->port = value;
        else if (key == "PG_TCP_HOST")
            info->tcp_host = value;
        else if (key == "PG_SUPERUSER")
            info->superuser = value;
        else if (key == "PG_BIN")
            info->bin = value;
    }
    return !info->socket_dir.empty() && !info->port.empty();
}

// Letters and digits lower-cased, anything else an underscore.
std::string plain_name(const std::string& text) {
    std::string out;
    for (unsigned char c : text)
        out += std::isalnum(c) ? static_cast<char>(std::tolower(c)) : '_';
    return out;
}

// PREFIX, the process id and a counter, then TAIL, within PostgreSQL's 63
// bytes for a name.
std::string unique_name(const char* prefix, const std::string& tail) {
    std::string name = std::string(prefix) + std::to_string(getpid()) + "_" +
                       std::to_string(++name_counter) + "_" + plain_name(tail);
    return name.substr(0, 63);
}

std::string current_test_name() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (test == nullptr)
        return "outside_test";
    return std::string(test->test_suite_name()) + "_" + test->name();
}

std::string socket_conninfo(const PgTestServerInfo& server) {
    return "host=" + pg_conninfo_quote(server.socket_dir) +
           " port=" + pg_conninfo_quote(server.port) +
           " user=" + pg_conninfo_quote(server.superuser) + " dbname=postgres";
}

pg_conn* connect_or_throw(const std::string& conninfo) {
    PGconn* conn = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        std::string message = PQerrorMessage(conn);
        PQfinish(conn);
        throw std::runtime_error("cannot connect to the PostgreSQL test server (" + conninfo +
                                 "): " + message);
    }
    return conn;
}

// Runs SQL; the server's message on failure.
bool run_sql(PGconn* conn, const std::string& sql, std::string* error) {
    PGresult* result = PQexec(conn, sql.c_str());
    ExecStatusType status = PQresultStatus(result);
    bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok && error != nullptr)
        *error = PQerrorMessage(conn);
    PQclear(result);
    return ok;
}

std::string quote_identifier(PGconn* conn, const std::string& name) {
    char* quoted = PQescapeIdentifier(conn, name.data(), name.size());
    if (quoted == nullptr)
        throw std::runtime_error(std::string("cannot quote a name: ") + PQerrorMessage(conn));
    std::string out = quoted;
    PQfreemem(quoted);
    return out;
}

std::string quote_literal(PGconn* conn, const std::string& text) {
    char* quoted = PQescapeLiteral(conn, text.data(), text.size());
    if (quoted == nullptr)
        throw std::runtime_error(std::string("cannot quote a literal: ") + PQerrorMessage(conn));
    std::string out = quoted;
    PQfreemem(quoted);
    return out;
}

// A password file field: its colons and backslashes escaped.
std::string pgpass_field(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == ':' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

std::string shell_quote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

std::optional<PgTestServerInfo> pg_test_server(std::string* why) {
    auto fail = [&](const std::string& reason) -> std::optional<PgTestServerInfo> {
        if (why != nullptr)
            *why = reason;
        return std::nullopt;
    };
    const char* path = getenv("DEVGROUP_PG_ENV");
    if (path == nullptr || *path == '\0')
        return fail(
            "no PostgreSQL test server: DEVGROUP_PG_ENV is not set (run the tests "
            "through ctest, whose pg_server_start test starts the server)");
    std::ifstream in(path);
    if (!in) {
        std::ifstream reason_file(std::string(path) + ".unavailable");
        std::stringstream reason;
        reason << reason_file.rdbuf();
        std::string text = reason_file ? reason.str() : "";
        while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
            text.pop_back();
        if (text.empty())
            text = std::string(path) + " is missing (did the pg_server_start test run?)";
        return fail("no PostgreSQL test server: " + text);
    }
    PgTestServerInfo info;
    if (!parse_server_lines(in, &info))
        return fail(std::string("no PostgreSQL test server: ") + path +
                    " names no socket folder and port");
    return info;
}

bool pg_test_available(std::string* why) {
    return pg_test_server(why).has_value();
}

bool pg_test_in_ci() {
    const char* ci = getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

std::string pg_conninfo_quote(const std::string& value) {
    bool plain = !value.empty();
    for (char c : value)
        if (c == '\'' || c == '\\' || c == '=' || std::isspace(static_cast<unsigned char>(c)))
            plain = false;
    if (plain)
        return value;
    std::string out = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "'";
}

PgTestSchema::PgTestSchema() {
    std::string why;
    auto server = pg_test_server(&why);
    if (!server)
        throw std::runtime_error(why);
    server_ = *server;
    schema_ = unique_name("t", current_test_name());
    conn_ = connect_or_throw(socket_conninfo(server_));
    std::string error;
    if (!run_sql(conn_,
                 "SET client_min_messages = warning; CREATE SCHEMA " +
                     quote_identifier(conn_, schema_) +
                     "; SET search_path = " + quote_identifier(conn_, schema_),
                 &error)) {
        PQfinish(conn_);
        throw std::runtime_error("cannot make the test schema " + schema_ + ": " + error);
    }
}

PgTestSchema::~PgTestSchema() {
    // A test that left a transaction open on the schema must not hang here.
    std::string sql =
        "SET lock_timeout = '10s'; DROP SCHEMA " + quote_identifier(conn_, schema_) + " CASCADE;";
    for (const auto& role : roles_) {
        std::string quoted = quote_identifier(conn_, role);
        sql += " DROP OWNED BY " + quoted + " CASCADE; DROP ROLE " + quoted + ";";
    }
    std::string error;
    if (!run_sql(conn_, sql, &error))
        ADD_FAILURE() << "cannot drop the test schema " << schema_ << ": " << error;
    PQfinish(conn_);
}

std::string PgTestSchema::conninfo() const {
    return socket_conninfo(server_) + " options='-csearch_path=" + schema_ + "'";
}

void PgTestSchema::exec(const std::string& sql) {
    std::string error;
    if (!run_sql(conn_, sql, &error))
        throw std::runtime_error("SQL failed: " + sql + ": " + error);
}

std::vector<std::vector<std::string>> PgTestSchema::rows_of(const std::string& sql, int format) {
    PGresult* result =
        PQexecParams(conn_, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, format);
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
        const std::string error = PQerrorMessage(conn_);
        PQclear(result);
        throw std::runtime_error("SQL failed: " + sql + ": " + error);
    }
    std::vector<std::vector<std::string>> rows(static_cast<size_t>(PQntuples(result)));
    for (int row = 0; row < PQntuples(result); ++row) {
        for (int column = 0; column < PQnfields(result); ++column) {
            rows[static_cast<size_t>(row)].emplace_back(PQgetvalue(result, row, column),
                                                        PQgetlength(result, row, column));
        }
    }
    PQclear(result);
    return rows;
}

std::vector<std::vector<std::string>> PgTestSchema::query(const std::string& sql) {
    return rows_of(sql, 0);
}

std::vector<std::vector<std::string>> PgTestSchema::query_bytes(const std::string& sql) {
    return rows_of(sql, 1);
}

std::string PgTestSchema::create_login_role(const std::string& name, const std::string& password) {
    std::string role = unique_name("r", name);
    exec("CREATE ROLE " + quote_identifier(conn_, role) + " LOGIN PASSWORD " +
         quote_literal(conn_, password));
    roles_.push_back(role);
    return role;
}

std::string PgTestSchema::write_pgpass(const std::string& role, const std::string& password) {
    if (!files_)
        files_ = std::make_unique<TempFolder>("devgroup-pgpass-");
    if (files_->path().empty())
        throw std::runtime_error("cannot make a folder for password files");
    std::string path = files_->file("pgpass" + std::to_string(++pgpass_files_));
    // libpq ignores a password file that others may read.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error("cannot write " + path);
    std::string line = pgpass_field(server_.tcp_host) + ":" + pgpass_field(server_.port) +
                       ":*:" + pgpass_field(role) + ":" + pgpass_field(password) + "\n";
    bool written = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    close(fd);
    if (!written)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::string PgTestSchema::tcp_conninfo(const std::string& role, const std::string& passfile) const {
    // No TLS or Kerberos on the test server: not tried, so not waited for.
    return "host=" + pg_conninfo_quote(server_.tcp_host) +
           " port=" + pg_conninfo_quote(server_.port) + " user=" + pg_conninfo_quote(role) +
           " dbname=postgres passfile=" + pg_conninfo_quote(passfile) +
           " options='-csearch_path=" + schema_ + "' sslmode=disable gssencmode=disable";
}

PgPrivateServer::PgPrivateServer() {
    std::string command =
        shell_quote(kScript) + " start --watch " + std::to_string(getpid()) + " </dev/null";
    FILE* out = popen(command.c_str(), "r");
    if (out == nullptr)
        throw std::runtime_error("cannot run " + command);
    std::string text;
    char buffer[512];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, out)) > 0)
        text.append(buffer, got);
    int status = pclose(out);
    std::istringstream lines(text);
    bool named = parse_server_lines(lines, &info_);
    if (status != 0 || !named || info_.dir.empty()) {
        if (!info_.dir.empty() &&
            system((shell_quote(kScript) + " stop " + shell_quote(info_.dir)).c_str()) != 0)
            fprintf(stderr, "cannot stop the server in %s\n", info_.dir.c_str());
        throw std::runtime_error("cannot start a private PostgreSQL server (" + command +
                                 "; its messages are above)");
    }
}

PgPrivateServer::~PgPrivateServer() {
    int status = system((shell_quote(kScript) + " stop " + shell_quote(info_.dir)).c_str());
    if (status != 0)
        ADD_FAILURE() << "cannot stop the private PostgreSQL server in " << info_.dir;
}

std::string PgPrivateServer::conninfo() const {
    return socket_conninfo(info_);
}

void PgPrivateServer::run(const char* command) {
    std::string line = shell_quote(kScript) + " " + command + " " + shell_quote(info_.dir);
    if (system(line.c_str()) != 0)
        throw std::runtime_error(line + " failed (its messages are above)");
}

void PgPrivateServer::restart() {
    run("restart");
}
void PgPrivateServer::halt() {
    run("halt");
}
void PgPrivateServer::resume() {
    run("resume");
}
