#include "core/pg_connection.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace hostlibs::detail {

namespace {

void put_u32(std::string* out, uint32_t value) {
    const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 8), static_cast<char>(value)};
    out->append(bytes, 4);
}

void put_i64(std::string* out, int64_t value) {
    put_u32(out, static_cast<uint32_t>(static_cast<uint64_t>(value) >> 32));
    put_u32(out, static_cast<uint32_t>(value));
}

// The binary form of a one-dimensional array (the server's array_recv):
// dimensions, a has-nulls flag, the element type, then each dimension's
// size and lower bound, then each element as its length (-1: NULL) and bytes.
std::string array_of(Oid element, size_t count) {
    std::string out;
    put_u32(&out, count == 0 ? 0 : 1);
    put_u32(&out, 0);  // the flag is advisory; the server reads the lengths
    put_u32(&out, element);
    if (count > 0) {
        put_u32(&out, static_cast<uint32_t>(count));
        put_u32(&out, 1);
    }
    return out;
}

void ignore_notice(void*, const char*) {}

// Connection settings the conninfo may override (it is expanded after them):
// a server that takes the connection but never answers, or a host that drops
// every packet, fails the attempt within the connect timeout rather than
// hanging the editor for minutes; keepalives and the TCP user timeout find a
// server gone silent under an open connection. All are ignored on a Unix socket.
struct ConnectDefault {
    const char* keyword;
    const char* variable;  // libpq's environment variable for it, which also overrides
    const char* value;
};

constexpr ConnectDefault kConnectDefaults[] = {
    {"connect_timeout", "PGCONNECT_TIMEOUT", nullptr},  // kDefaultConnectTimeout
    {"keepalives", nullptr, "1"},
    {"keepalives_idle", nullptr, "30"},
    {"keepalives_interval", nullptr, "10"},
    {"keepalives_count", nullptr, "3"},
    {"tcp_user_timeout", nullptr, "30000"},
};

PGconn* connect_with_defaults(const std::string& conninfo) {
    const std::string timeout = std::to_string(kDefaultConnectTimeout);
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (const ConnectDefault& setting : kConnectDefaults) {
        if (setting.variable == nullptr || std::getenv(setting.variable) == nullptr) {
            keywords.push_back(setting.keyword);
            values.push_back(setting.value != nullptr ? setting.value : timeout.c_str());
        }
    }
    keywords.push_back("dbname");
    values.push_back(conninfo.c_str());
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    return PQconnectdbParams(keywords.data(), values.data(), 1);
}

bool is_state(const char* sqlstate, const char* expected) {
    return sqlstate != nullptr && std::strcmp(sqlstate, expected) == 0;
}

// The server's reason: its primary message, with the detail when there is one.
std::string reason_of(const PGresult* result, PGconn* conn) {
    const char* primary =
        result != nullptr ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    if (primary == nullptr) {
        const char* message = result != nullptr ? PQresultErrorMessage(result) : "";
        if (message == nullptr || *message == '\0') {
            message = conn != nullptr ? PQerrorMessage(conn) : "no connection";
        }
        return one_line(message);
    }
    std::string why = one_line(primary);
    if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL)) {
        why += " (" + one_line(detail) + ")";
    }
    return why;
}

}  // namespace

std::string one_line(std::string_view message) {
    // libpq gives the reason on the first line and advice on the lines after it.
    const size_t start = message.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) {
        return {};
    }
    message.remove_prefix(start);
    message = message.substr(0, message.find_first_of("\r\n"));
    while (!message.empty() && (message.back() == ' ' || message.back() == '\t')) {
        message.remove_suffix(1);
    }
    return std::string(message);
}

// ---------------------------------------------------------------- parameters

PgParams& PgParams::bytes(std::span<const uint8_t> value) {
    values_.emplace_back(reinterpret_cast<const char*>(value.data()), value.size());
    nulls_.push_back(false);
    return *this;
}

PgParams& PgParams::text(std::string_view value) {
    values_.emplace_back(value);
    nulls_.push_back(false);
    return *this;
}

PgParams& PgParams::int8(int64_t value) {
    std::string out;
    put_i64(&out, value);
    values_.push_back(std::move(out));
    nulls_.push_back(false);
    return *this;
}

PgParams& PgParams::int4(int32_t value) {
    std::string out;
    put_u32(&out, static_cast<uint32_t>(value));
    values_.push_back(std::move(out));
    nulls_.push_back(false);
    return *this;
}

PgParams& PgParams::null() {
    values_.emplace_back();
    nulls_.push_back(true);
    return *this;
}

PgParams& PgParams::text_array(const std::vector<std::string_view>& values) {
    std::string out = array_of(kTextOid, values.size());
    for (std::string_view value : values) {
        put_u32(&out, static_cast<uint32_t>(value.size()));
        out.append(value);
    }
    values_.push_back(std::move(out));
    nulls_.push_back(false);
    return *this;
}

PgParams& PgParams::int8_array(std::span<const int64_t> values) {
    std::string out = array_of(kInt8Oid, values.size());
    for (const int64_t value : values) {
        put_u32(&out, 8);
        put_i64(&out, value);
    }
    values_.push_back(std::move(out));
    nulls_.push_back(false);
    return *this;
}

PgParams& PgParams::bytea_array(
    const std::vector<std::optional<std::span<const uint8_t>>>& values) {
    std::string out = array_of(kByteaOid, values.size());
    for (const auto& value : values) {
        if (!value) {
            put_u32(&out, 0xFFFFFFFFu);
            continue;
        }
        put_u32(&out, static_cast<uint32_t>(value->size()));
        out.append(reinterpret_cast<const char*>(value->data()), value->size());
    }
    values_.push_back(std::move(out));
    nulls_.push_back(false);
    return *this;
}

PgParams& PgParams::int8_array(const std::vector<int64_t>& values) {
    std::string out = array_of(kInt8Oid, values.size());
    for (int64_t value : values) {
        put_u32(&out, 8);
        put_u32(&out, static_cast<uint32_t>(static_cast<uint64_t>(value) >> 32));
        put_u32(&out, static_cast<uint32_t>(value));
    }
    values_.push_back(std::move(out));
    nulls_.push_back(false);
    return *this;
}

void PgParams::pointers(std::vector<const char*>* values, std::vector<int>* lengths) const {
    values->clear();
    lengths->clear();
    for (size_t i = 0; i < values_.size(); ++i) {
        values->push_back(nulls_[i] ? nullptr : values_[i].data());
        lengths->push_back(static_cast<int>(values_[i].size()));
    }
}

// ---------------------------------------------------------------- results

PgResult::PgResult(PgResult&& other) noexcept
    : result_(std::exchange(other.result_, nullptr)),
      outcome_(other.outcome_),
      error_(std::move(other.error_)) {}

PgResult& PgResult::operator=(PgResult&& other) noexcept {
    if (this != &other) {
        PQclear(result_);
        result_ = std::exchange(other.result_, nullptr);
        outcome_ = other.outcome_;
        error_ = std::move(other.error_);
    }
    return *this;
}

PgResult::~PgResult() {
    PQclear(result_);
}

int PgResult::rows() const {
    return result_ != nullptr ? PQntuples(result_) : 0;
}

int64_t PgResult::affected() const {
    const char* tuples = result_ != nullptr ? PQcmdTuples(result_) : "";
    return *tuples != '\0' ? std::strtoll(tuples, nullptr, 10) : 0;
}

const char* PgResult::command() const {
    return result_ != nullptr ? PQcmdStatus(result_) : "";
}

bool PgResult::is_null(int row, int column) const {
    return PQgetisnull(result_, row, column) != 0;
}

std::span<const uint8_t> PgResult::bytes(int row, int column) const {
    const auto* data = reinterpret_cast<const uint8_t*>(PQgetvalue(result_, row, column));
    return {data, static_cast<size_t>(PQgetlength(result_, row, column))};
}

std::string PgResult::text(int row, int column) const {
    return std::string(PQgetvalue(result_, row, column),
                       static_cast<size_t>(PQgetlength(result_, row, column)));
}

int64_t PgResult::integer(int row, int column) const {
    const std::span<const uint8_t> data = bytes(row, column);
    uint64_t value = 0;
    for (uint8_t byte : data.first(std::min<size_t>(data.size(), 8))) {
        value = (value << 8) | byte;
    }
    // An int4 is sign-extended from its 32 bits.
    if (data.size() == 4) {
        return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    return static_cast<int64_t>(value);
}

bool PgResult::boolean(int row, int column) const {
    const std::span<const uint8_t> data = bytes(row, column);
    return !data.empty() && data[0] != 0;
}

// ---------------------------------------------------------------- connection

PgConnection::~PgConnection() {
    close();
}

bool PgConnection::conninfo_acceptable(const std::string& conninfo, std::string* error) {
    char* parse_error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &parse_error);
    if (options == nullptr) {
        *error = "the shared store's connection string cannot be read: " +
                 (parse_error != nullptr ? one_line(parse_error) : std::string("out of memory"));
        PQfreemem(parse_error);
        return false;
    }
    bool has_password = false;
    for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
        if (std::strcmp(option->keyword, "password") == 0 && option->val != nullptr &&
            option->val[0] != '\0') {
            has_password = true;
        }
    }
    PQconninfoFree(options);
    if (has_password) {
        *error =
            "the shared store's connection string holds a password; keep it in ~/.pgpass (or "
            "the file PGPASSFILE names) or in a service file (PGSERVICEFILE) instead";
        return false;
    }
    return true;
}

bool PgConnection::open(const std::string& conninfo, int busy_timeout_ms, std::string* error) {
    close();
    if (!conninfo_acceptable(conninfo, error)) {
        return false;
    }
    conninfo_ = conninfo;
    busy_timeout_ms_ = busy_timeout_ms;
    conn_ = connect_with_defaults(conninfo);
    if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) {
        *error = "cannot connect to the shared store at " + server() + ": " +
                 (conn_ != nullptr ? one_line(PQerrorMessage(conn_)) : "out of memory");
        close();
        return false;
    }
    // The server's notices and warnings would otherwise go to stderr, over
    // the screen; the store acts on errors only. The processor stays with
    // the connection through PQreset.
    PQsetNoticeProcessor(conn_, ignore_notice, nullptr);
    if (!start_session(error)) {
        close();
        return false;
    }
    return true;
}

void PgConnection::close() {
    if (conn_ != nullptr) {
        PQfinish(conn_);
        conn_ = nullptr;
    }
    broken_ = false;
    loss_reported_ = false;
    in_transaction_ = false;
    prepared_.clear();
}

// Each session waits for another session's lock no longer than the busy
// timeout (0 would mean forever to the server, so it becomes 1 ms). No
// statement_timeout is set: lock waits are the only waits a statement of the
// store has, every statement is keyed or bounded by a LIMIT, and a slow but
// working server should answer late rather than fail.
bool PgConnection::start_session(std::string* error) {
    const std::string timeout = std::to_string(std::max(busy_timeout_ms_, 1));
    PgParams params;
    params.text(timeout);
    std::vector<const char*> values;
    std::vector<int> lengths;
    params.pointers(&values, &lengths);
    const Oid types[] = {kTextOid};
    PgResult result = finish(PQexecParams(conn_, "SELECT set_config('lock_timeout', $1, false)", 1,
                                          types, values.data(), lengths.data(), nullptr, 1));
    for (const std::string& channel : channels_) {
        if (result.ok()) {
            result = finish(PQexec(conn_, ("LISTEN " + quote_identifier(channel)).c_str()));
        }
    }
    if (!result.ok()) {
        *error =
            "cannot set up a session of the shared store at " + server() + ": " + result.error();
        return false;
    }
    prepared_.clear();
    loss_reported_ = false;
    return true;
}

bool PgConnection::first_report_of_loss() {
    return !std::exchange(loss_reported_, true);
}

bool PgConnection::listen(const std::string& channel) {
    channels_.push_back(channel);
    const std::string quoted = quote_identifier(channel);
    return !quoted.empty() && exec(("LISTEN " + quoted).c_str()).ok();
}

int PgConnection::notifications(const std::string& channel) {
    if (conn_ == nullptr || broken_) {
        return 0;
    }
    if (PQconsumeInput(conn_) == 0) {
        // Gone while idle: the next call connects again, quietly, since no
        // operation failed.
        if (PQstatus(conn_) == CONNECTION_BAD) {
            broken_ = true;
            prepared_.clear();
        }
        return 0;
    }
    int count = 0;
    const int own = PQbackendPID(conn_);
    while (PGnotify* notice = PQnotifies(conn_)) {
        count += notice->be_pid != own && channel == notice->relname ? 1 : 0;
        PQfreemem(notice);
    }
    return count;
}

bool PgConnection::ensure_connected(std::string* error) {
    if (conn_ == nullptr) {
        error_ = "the shared store is not open";
    } else if (!broken_) {
        return true;
    } else if (in_transaction_) {
        error_ = "the connection to the shared store was lost during a write; it is undone";
    } else {
        PQreset(conn_);
        if (PQstatus(conn_) != CONNECTION_OK) {
            error_ = "cannot connect to the shared store at " + server() + ": " +
                     one_line(PQerrorMessage(conn_));
        } else {
            broken_ = false;
            std::string why;
            if (start_session(&why)) {
                return true;
            }
            broken_ = true;
            error_ = why;
        }
    }
    if (error != nullptr) {
        *error = error_;
    }
    return false;
}

PgResult PgConnection::lost_result(const std::string& why) {
    return PgResult(nullptr, PgOutcome::kLost, why);
}

PgResult PgConnection::finish(PGresult* result) {
    const ExecStatusType status = result != nullptr ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        return PgResult(result, PgOutcome::kOk, {});
    }
    const char* sqlstate =
        result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    std::string why = reason_of(result, conn_);
    PgOutcome outcome = PgOutcome::kError;
    if (PQstatus(conn_) == CONNECTION_BAD || sqlstate == nullptr) {
        // Gone: the next call connects again (see ensure_connected).
        outcome = PgOutcome::kLost;
        broken_ = true;
        prepared_.clear();
    } else if (is_state(sqlstate, "55P03") || is_state(sqlstate, "40P01") ||
               is_state(sqlstate, "40001")) {
        outcome = PgOutcome::kLock;
    } else if (is_state(sqlstate, "23505")) {
        outcome = PgOutcome::kDuplicate;
    }
    error_ = why;
    return PgResult(result, outcome, std::move(why));
}

PgResult PgConnection::exec(const char* sql) {
    if (!ensure_connected(nullptr)) {
        return lost_result(error_);
    }
    return finish(PQexec(conn_, sql));
}

PgResult PgConnection::exec(const char* sql, const std::vector<Oid>& types,
                            const PgParams& params) {
    if (!ensure_connected(nullptr)) {
        return lost_result(error_);
    }
    std::vector<const char*> values;
    std::vector<int> lengths;
    params.pointers(&values, &lengths);
    const std::vector<int> formats(values.size(), 1);
    return finish(PQexecParams(conn_, sql, params.count(), types.data(), values.data(),
                               lengths.data(), formats.data(), 1));
}

PgResult PgConnection::run(const PgStatement& statement, const PgParams& params) {
    if (!ensure_connected(nullptr)) {
        return lost_result(error_);
    }
    if (!prepared_.contains(statement.name)) {
        PgResult prepared =
            finish(PQprepare(conn_, statement.name.c_str(), statement.sql.c_str(),
                             static_cast<int>(statement.types.size()), statement.types.data()));
        if (!prepared.ok()) {
            return prepared;
        }
        prepared_.insert(statement.name);
    }
    std::vector<const char*> values;
    std::vector<int> lengths;
    params.pointers(&values, &lengths);
    const std::vector<int> formats(values.size(), 1);
    return finish(PQexecPrepared(conn_, statement.name.c_str(), params.count(), values.data(),
                                 lengths.data(), formats.data(), 1));
}

PgResult PgConnection::begin() {
    if (in_transaction_) {
        // One connection serves every file: a second write would share the
        // first one's commit or rollback, so it is refused.
        error_ = "another write is open on the shared store's connection";
        return PgResult(nullptr, PgOutcome::kError, error_);
    }
    PgResult result = exec("BEGIN");
    in_transaction_ = result.ok();
    return result;
}

PgResult PgConnection::commit() {
    PgResult result = exec("COMMIT");
    in_transaction_ = false;
    // COMMIT of a transaction a failed statement aborted answers "ROLLBACK".
    if (result.ok() && std::strcmp(result.command(), "COMMIT") != 0) {
        error_ = "the write was rolled back by the server after an earlier failure";
        return PgResult(nullptr, PgOutcome::kError, error_);
    }
    return result;
}

void PgConnection::rollback() {
    if (in_transaction_ && !broken_) {
        in_transaction_ = false;
        exec("ROLLBACK");
    }
    in_transaction_ = false;
}

std::string PgConnection::server() const {
    if (conn_ == nullptr) {
        return "(not connected)";
    }
    const char* host = PQhost(conn_);
    const char* port = PQport(conn_);
    std::string name = host != nullptr && *host != '\0' ? host : "localhost";
    if (port != nullptr && *port != '\0') {
        name += std::string(":") + port;
    }
    const char* database = PQdb(conn_);
    if (database != nullptr && *database != '\0') {
        name += std::string("/") + database;
    }
    return name;
}

std::string PgConnection::quote_identifier(std::string_view name) const {
    if (conn_ == nullptr) {
        return {};
    }
    char* quoted = PQescapeIdentifier(conn_, name.data(), name.size());
    if (quoted == nullptr) {
        return {};
    }
    std::string result = quoted;
    PQfreemem(quoted);
    return result;
}

int PgConnection::backend_pid() const {
    return conn_ != nullptr ? PQbackendPID(conn_) : 0;
}

std::string PgConnection::server_version() const {
    const char* version = conn_ != nullptr ? PQparameterStatus(conn_, "server_version") : nullptr;
    return version != nullptr ? version : "";
}

}  // namespace hostlibs::detail
