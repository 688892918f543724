// RAII handles over SQLite connections and prepared statements.
#pragma once

#include <sqlite3.h>

#include <string>

namespace hostlibs::detail {

class Statement;

// The host's data files hold passwords and who changed what: readable by
// their owner only, whatever the umask. The file is made (or narrowed) before
// SQLite opens it, since its write-ahead log and index take the file's mode;
// the log and index of an older, wider file are narrowed too.
void make_private(const std::string& native_path);

class Database {
  public:
    Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database() { close(); }

    // Opens (creating) the file in WAL mode with the busy timeout, every
    // commit synced to disk; false with the reason in *error (a file or folder
    // that cannot be written is named with the system's reason). Read-only,
    // nothing is created or changed. With `set_up_later` the modes wait for
    // set_up(), so a file can be looked at before anything is written to it.
    bool open(const std::string& native_path, int busy_timeout_ms, std::string* error,
              bool read_only = false, bool set_up_later = false);
    // Sets the journal mode (WAL, unless read-only) and the syncing.
    bool set_up(bool read_only, std::string* error);
    void close();
    bool is_open() const { return db_ != nullptr; }
    sqlite3* get() const { return db_; }
    // Runs SQL without results; false with the reason in *error.
    bool exec(const char* sql, std::string* error);
    std::string last_error() const;

    // Transaction control through statements prepared once per connection.
    int begin_immediate();
    int commit();
    void rollback();

  private:
    sqlite3* db_ = nullptr;
    std::string native_path_;
    // A long path's folder, through which SQLite reaches the file.
    int folder_ = -1;
    sqlite3_stmt* begin_ = nullptr;
    sqlite3_stmt* commit_ = nullptr;
    sqlite3_stmt* rollback_ = nullptr;
};

class Statement {
  public:
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { finalize(); }

    bool prepare(const Database& db, const char* sql, std::string* error);
    // Prepares `sql` (kept by pointer: a literal) at the first bind or step,
    // so a statement that a session never runs costs nothing. Should that
    // fail, binds do nothing and a step gives the reason (SQLITE_BUSY, say).
    void prepare_later(const Database& db, const char* sql);
    void finalize();
    sqlite3_stmt* get() const { return stmt_; }
    // Binds without copying: the bytes must stay valid until reset().
    void bind_blob(int index, const void* data, int size) {
        sqlite3_bind_blob(ready(), index, data, size, SQLITE_STATIC);
    }
    void bind_int64(int index, sqlite3_int64 value) { sqlite3_bind_int64(ready(), index, value); }
    void bind_text(int index, const std::string& text) {
        sqlite3_bind_text(ready(), index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    int step() {
        sqlite3_stmt* statement = ready();
        return statement != nullptr ? sqlite3_step(statement) : not_prepared_;
    }
    // A statement that could not be prepared has nothing to reset
    // (sqlite3_clear_bindings does not take a null statement).
    void reset() {
        if (stmt_ != nullptr) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }

    sqlite3_int64 column_int64(int column) const { return sqlite3_column_int64(stmt_, column); }
    const void* column_blob(int column) const { return sqlite3_column_blob(stmt_, column); }
    int column_bytes(int column) const { return sqlite3_column_bytes(stmt_, column); }
    std::string column_text(int column) const;

  private:
    sqlite3_stmt* ready() {
        return stmt_ != nullptr || later_sql_ == nullptr ? stmt_ : prepare_now();
    }
    sqlite3_stmt* prepare_now();

    sqlite3_stmt* stmt_ = nullptr;
    sqlite3* later_db_ = nullptr;
    const char* later_sql_ = nullptr;
    int not_prepared_ = SQLITE_MISUSE;  // why the last preparing failed
};

// Resets a statement when the scope ends, so no read transaction stays open.
class ResetOnExit {
  public:
    explicit ResetOnExit(Statement& statement) : statement_(statement) {}
    ResetOnExit(const ResetOnExit&) = delete;
    ResetOnExit& operator=(const ResetOnExit&) = delete;
    ~ResetOnExit() { statement_.reset(); }

  private:
    Statement& statement_;
};

// A write transaction (BEGIN IMMEDIATE) rolled back unless committed.
class WriteTransaction {
  public:
    explicit WriteTransaction(Database& db) : db_(db) {}
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    ~WriteTransaction();

    // SQLite result of BEGIN IMMEDIATE / COMMIT.
    int begin();
    int commit();

  private:
    Database& db_;
    bool active_ = false;
};

}  // namespace hostlibs::detail
