// Small RAII wrappers over libpq for the shared store: one connection, its
// results, and statements prepared once per connection by name. Every value
// travels as a bound parameter in binary format and every result comes back
// in binary, so no text of a record, a key or the configuration is ever part
// of an SQL string.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// The shared store's classes are used by the host program's store commands
// and by the tests, outside this library.
#define PG_STORE_API __attribute__((visibility("default")))

namespace hostlibs::detail {

// Type ids of the parameters the store binds (pg_type.oid; fixed in every server).
inline constexpr Oid kBoolOid = 16;
inline constexpr Oid kByteaOid = 17;
inline constexpr Oid kInt8Oid = 20;
inline constexpr Oid kInt4Oid = 23;
inline constexpr Oid kTextOid = 25;
inline constexpr Oid kTextArrayOid = 1009;
inline constexpr Oid kByteaArrayOid = 1001;
inline constexpr Oid kInt8ArrayOid = 1016;

// What a failed statement means to a caller.
enum class PgOutcome {
    kOk,
    kLock,       // a lock not had in time, a deadlock or a serialization failure
    kDuplicate,  // a unique key taken
    kLost,       // the connection is gone; the next call connects again
    kError,      // anything else the server refused
};

// Bound parameters in binary format. The object keeps the bytes it is given
// by value, so the parameters outlive their sources.
class PG_STORE_API PgParams {
  public:
    PgParams& bytes(std::span<const uint8_t> value);
    PgParams& text(std::string_view value);
    PgParams& int8(int64_t value);
    PgParams& int4(int32_t value);
    PgParams& null();
    // One-dimensional arrays; a null element stands for SQL NULL.
    PgParams& text_array(const std::vector<std::string_view>& values);
    PgParams& int8_array(std::span<const int64_t> values);
    PgParams& bytea_array(const std::vector<std::optional<std::span<const uint8_t>>>& values);
    PgParams& int8_array(const std::vector<int64_t>& values);

    int count() const { return static_cast<int>(values_.size()); }
    // Pointers into the kept bytes, valid until the next change.
    void pointers(std::vector<const char*>* values, std::vector<int>* lengths) const;

  private:
    std::vector<std::string> values_;
    std::vector<bool> nulls_;
};

// One result; the server's reason for a failure is read before the result goes.
class PG_STORE_API PgResult {
  public:
    PgResult() = default;
    PgResult(PGresult* result, PgOutcome outcome, std::string error)
        : result_(result), outcome_(outcome), error_(std::move(error)) {}
    PgResult(PgResult&& other) noexcept;
    PgResult& operator=(PgResult&& other) noexcept;
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;
    ~PgResult();

    bool ok() const { return outcome_ == PgOutcome::kOk; }
    PgOutcome outcome() const { return outcome_; }
    const std::string& error() const { return error_; }  // one line
    int rows() const;
    // Rows a data-changing statement touched.
    int64_t affected() const;
    const char* command() const;  // "COMMIT", "ROLLBACK", ...

    bool is_null(int row, int column) const;
    std::span<const uint8_t> bytes(int row, int column) const;
    std::string text(int row, int column) const;
    // Binary integers in network order; int8 and int4 columns both read here.
    int64_t integer(int row, int column) const;
    bool boolean(int row, int column) const;

  private:
    PGresult* result_ = nullptr;
    PgOutcome outcome_ = PgOutcome::kError;
    std::string error_;
};

// A statement prepared under its name on first use on each connection.
struct PgStatement {
    std::string name;
    std::string sql;
    std::vector<Oid> types;
};

class PG_STORE_API PgConnection {
  public:
    PgConnection() = default;
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;
    ~PgConnection();

    // Connects; a conninfo holding a password is refused. `busy_timeout_ms`
    // bounds every wait for another session's lock. Unless the conninfo (or
    // PGCONNECT_TIMEOUT) says otherwise, a connection attempt gives up after
    // kDefaultConnectTimeout seconds and TCP keepalives find a silent server.
    bool open(const std::string& conninfo, int busy_timeout_ms, std::string* error);
    void close();
    bool is_open() const { return conn_ != nullptr; }

    // Connects again when the connection was lost, unless a transaction was
    // open on it: that transaction is gone, and later statements must not
    // run outside it, so they fail until rollback() ends it.
    bool ensure_connected(std::string* error);

    // A statement without parameters, in text format (several may be given,
    // separated by semicolons): transaction control and schema changes.
    PgResult exec(const char* sql);
    // A one-off statement with parameters.
    PgResult exec(const char* sql, const std::vector<Oid>& types, const PgParams& params);
    PgResult run(const PgStatement& statement, const PgParams& params);

    // Transactions of the set-up writes; the connection knows whether one is open.
    PgResult begin();
    PgResult commit();  // a transaction the server rolled back is a failure
    void rollback();
    bool in_transaction() const { return in_transaction_; }

    // The first failure of each loss of the connection is true, the others
    // false until a connection is made again: one outage, one report.
    bool first_report_of_loss();

    // Listens on a channel from now on, also after a reconnect.
    bool listen(const std::string& channel);
    // How many notifications other sessions sent on `channel` since the last
    // call; those of this session are left out, those of other channels
    // dropped. Reads only what the server has already sent: no statement, no
    // wait. A connection found lost is left to the next call to connect again.
    int notifications(const std::string& channel);

    // "host:port" (a socket folder for host) of the server, for messages.
    std::string server() const;
    int backend_pid() const;
    // The server's version as it reports it ("16.4 (Debian 16.4-1)").
    std::string server_version() const;
    // A name quoted for use as an SQL identifier (a role or schema name in
    // statements that take no parameters); empty when it cannot be.
    std::string quote_identifier(std::string_view name) const;
    // The last connection failure, or the reason calls fail now.
    const std::string& last_error() const { return error_; }

    // False with the reason when the conninfo cannot be parsed or holds a
    // password: a password belongs in ~/.pgpass or a service file.
    static bool conninfo_acceptable(const std::string& conninfo, std::string* error);

  private:
    bool start_session(std::string* error);
    PgResult finish(PGresult* result);
    PgResult lost_result(const std::string& why);

    PGconn* conn_ = nullptr;
    std::string conninfo_;
    int busy_timeout_ms_ = 0;
    bool broken_ = false;  // lost; connect again on the next call
    bool loss_reported_ = false;
    std::vector<std::string> channels_;
    bool in_transaction_ = false;
    std::unordered_set<std::string> prepared_;
    std::string error_;
};

// Seconds a connection attempt waits for a server that does not answer,
// unless the conninfo's connect_timeout or PGCONNECT_TIMEOUT says otherwise.
inline constexpr int kDefaultConnectTimeout = 10;

// The first line of a server's or libpq's message: its reason.
std::string one_line(std::string_view message);

}  // namespace hostlibs::detail
