#include "core/sqlite_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/long_path_vfs.h"

namespace hostlibs::detail {

void make_private(const std::string& native_path) {
    struct stat status {};
    if (::stat(native_path.c_str(), &status) == 0 && (status.st_mode & 077) == 0) {
        return;  // already private, and so are the log and index made from it
    }
    const int file = ::open(native_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (file >= 0) {
        fchmod(file, 0600);
        ::close(file);
    }
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        chmod((native_path + suffix).c_str(), 0600);
    }
}

namespace {

// Runs one of a connection's transaction statements, prepared at its first use
// and kept for the connection's life.
int run_control(sqlite3* db, const char* sql, sqlite3_stmt** stmt) {
    if (*stmt == nullptr) {
        const int rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr);
        if (rc != SQLITE_OK) {
            return rc;
        }
    }
    int rc = sqlite3_step(*stmt);
    sqlite3_reset(*stmt);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace

namespace {

// A file URI of a path, for opening options that only a URI carries.
std::string file_uri(const std::string& path) {
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (std::isalnum(c) != 0 || std::strchr("/-._~", c) != nullptr) {
            uri += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    return uri;
}

// SQLite's message of the last failure, with the system's reason where the
// failure was the system's ("unable to open database file: Permission denied").
std::string failure_text(sqlite3* db) {
    std::string text = sqlite3_errmsg(db);
    const int code = sqlite3_errcode(db) & 0xFF;
    const int reason = sqlite3_system_errno(db);
    if ((code == SQLITE_CANTOPEN || code == SQLITE_IOERR) && reason != 0) {
        text += std::string(": ") + std::strerror(reason);
    }
    return text;
}

// Why a file (or, when it does not exist yet, its folder) cannot be written;
// empty when it can.
std::string unwritable(const std::string& native_path) {
    const std::string folder = native_path.substr(0, native_path.find_last_of('/') + 1);
    for (const std::string& path : {folder, native_path}) {
        if (::access(path.c_str(), W_OK) != 0 && errno != ENOENT) {
            return "cannot write " + path + ": " + std::strerror(errno);
        }
    }
    return {};
}

// Each connection here reads a few pages at a time. The library's default
// up-front page-cache block (20 pages a connection) costs a page fault per
// page at every start for memory that is mostly never used; pages are taken
// one at a time instead. Only possible before the library's first use.
void configure_library() {
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0);
        return true;
    }();
    (void)configured;
}

}  // namespace

bool Database::open(const std::string& native_path, int busy_timeout_ms, std::string* error,
                    bool read_only, bool set_up_later) {
    close();
    configure_library();
    std::string reason = read_only ? std::string() : unwritable(native_path);
    if (!reason.empty()) {
        if (error != nullptr) {
            *error = reason;
        }
        return false;
    }
    if (!read_only) {
        make_private(native_path);
    }
    std::string path = native_path;
    const size_t slash = native_path.find_last_of('/');
    if (native_path.size() >= kLongDatabasePath && slash != std::string::npos) {
        folder_ =
            ::open(native_path.substr(0, slash + 1).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder_ < 0) {
            if (error != nullptr) {
                *error = native_path + ": " + std::strerror(errno);
            }
            return false;
        }
        path = "/proc/self/fd/" + std::to_string(folder_) + native_path.substr(slash);
    }
    const int flags =
        SQLITE_OPEN_NOMUTEX |
        (read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, long_path_vfs());
    // A file in a folder that cannot be written has no shared-memory index to
    // read its log through; nobody writes it there, so it is read as it stands.
    if (rc == SQLITE_OK && read_only &&
        sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) !=
            SQLITE_OK) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        rc = sqlite3_open_v2((file_uri(path) + "?immutable=1").c_str(), &db_,
                             flags | SQLITE_OPEN_URI, long_path_vfs());
    }
    if (rc != SQLITE_OK) {
        if (error != nullptr) {
            *error = native_path + ": " + (db_ != nullptr ? failure_text(db_) : "cannot open");
        }
        close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 0);
    sqlite3_busy_timeout(db_, busy_timeout_ms);
    native_path_ = native_path;
    return set_up_later || set_up(read_only, error);
}

bool Database::set_up(bool read_only, std::string* error) {
    // A save that reported success survives a power cut: every commit is
    // synced to disk before it returns.
    std::string reason;
    if ((!read_only && !exec("PRAGMA journal_mode=WAL", &reason)) ||
        !exec("PRAGMA synchronous=FULL", &reason)) {
        if (error != nullptr) {
            *error = native_path_ + ": " + reason;
        }
        close();
        return false;
    }
    return true;
}

void Database::close() {
    for (sqlite3_stmt** stmt : {&begin_, &commit_, &rollback_}) {
        sqlite3_finalize(*stmt);
        *stmt = nullptr;
    }
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    if (folder_ >= 0) {
        ::close(folder_);
        folder_ = -1;
    }
}

bool Database::exec(const char* sql, std::string* error) {
    char* message = nullptr;
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        if (error != nullptr) {
            *error = message != nullptr ? message : sqlite3_errstr(rc);
        }
        sqlite3_free(message);
        return false;
    }
    return true;
}

int Database::begin_immediate() {
    return run_control(db_, "BEGIN IMMEDIATE", &begin_);
}

int Database::commit() {
    return run_control(db_, "COMMIT", &commit_);
}

void Database::rollback() {
    if (db_ != nullptr && sqlite3_get_autocommit(db_) == 0) {
        run_control(db_, "ROLLBACK", &rollback_);
    }
}

std::string Database::last_error() const {
    return db_ != nullptr ? failure_text(db_) : "database not open";
}

bool Statement::prepare(const Database& db, const char* sql, std::string* error) {
    finalize();
    int rc = sqlite3_prepare_v3(db.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        if (error != nullptr) {
            *error = std::string(sql) + ": " + db.last_error();
        }
        finalize();
        return false;
    }
    return true;
}

void Statement::prepare_later(const Database& db, const char* sql) {
    finalize();
    later_db_ = db.get();
    later_sql_ = sql;
}

sqlite3_stmt* Statement::prepare_now() {
    const int rc =
        sqlite3_prepare_v3(later_db_, later_sql_, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    not_prepared_ = rc != SQLITE_OK ? rc : SQLITE_MISUSE;
    return stmt_;
}

void Statement::finalize() {
    if (stmt_ != nullptr) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
    later_db_ = nullptr;
    later_sql_ = nullptr;
}

std::string Statement::column_text(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text),
                                         static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                           : std::string();
}

WriteTransaction::~WriteTransaction() {
    if (active_) {
        db_.rollback();
    }
}

int WriteTransaction::begin() {
    int rc = db_.begin_immediate();
    active_ = rc == SQLITE_OK;
    return rc;
}

int WriteTransaction::commit() {
    int rc = db_.commit();
    if (rc == SQLITE_OK) {
        active_ = false;
    }
    return rc;
}

}  // namespace hostlibs::detail
