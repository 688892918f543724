#include "record_store/sqlite/sqlite_record_storage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "hostlibs/host_setup.h"
#include "platform/host_libraries.h"

namespace hostlibs::detail {

namespace {

// A new record file: its tables and its layout, written in one transaction,
// so no file ever holds records without its layout.
constexpr const char* kRecordTables =
    "CREATE TABLE IF NOT EXISTS records("
    " pos INTEGER PRIMARY KEY AUTOINCREMENT, key BLOB NOT NULL UNIQUE, data BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS layout(record_size INTEGER NOT NULL, key_size INTEGER NOT NULL);";

// Journal rows are only ever appended, so the plain rowid keeps their
// order; no index or sequence table adds a page write to each save. Files
// made before the journal get the table when first opened for writing, and
// journals made before the login column get it, empty in their old rows.
constexpr const char* kJournalSchema =
    "CREATE TABLE IF NOT EXISTS journal("
    " id INTEGER PRIMARY KEY, file TEXT NOT NULL, time INTEGER NOT NULL,"
    " user TEXT NOT NULL, key BLOB NOT NULL, pos INTEGER NOT NULL, field TEXT NOT NULL,"
    " old BLOB, new BLOB NOT NULL, login TEXT NOT NULL DEFAULT '');";
constexpr const char* kJournalLogin =
    "ALTER TABLE journal ADD COLUMN login TEXT NOT NULL DEFAULT '';";

constexpr const char* kHashSchema =
    "CREATE TABLE IF NOT EXISTS password_hashes(name BLOB PRIMARY KEY, hash TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS password_failures(name BLOB PRIMARY KEY,"
    " failures INTEGER NOT NULL, last_failure INTEGER NOT NULL)";

constexpr int kHashNameSize = 30;  // the password file's name field

// Why a file is not opened as a record file, after its path.
constexpr const char* kMissing = ": missing; a record file is made only with its data root";
constexpr const char* kEmpty = ": empty, not a record file";
constexpr const char* kNotRecordFile = ": not a record file (it has no records or layout table)";

std::string blob_text(const Statement& row, int column) {
    const void* bytes = row.column_blob(column);
    const int size = row.column_bytes(column);
    return size > 0 ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size))
                    : std::string();
}

}  // namespace

std::unique_ptr<RecordStorage> SqliteRecordStore::open_file(const RecordLayout& layout,
                                                            bool read_only, std::string* error) {
    auto storage = std::make_unique<SqliteRecordStorage>();
    if (!storage->open(data_native_ + layout.file_name, layout, busy_timeout_ms_,
                       read_only     ? SqliteRecordStorage::Access::kRead
                       : make_files_ ? SqliteRecordStorage::Access::kWriteOrMake
                                     : SqliteRecordStorage::Access::kWrite,
                       error)) {
        return nullptr;
    }
    return storage;
}

bool SqliteRecordStore::check_file(const RecordLayout& layout, bool read_only, std::string* error) {
    // A file that cannot be read is named with the system's reason, which
    // SQLite does not give.
    const std::string path = data_native_ + layout.file_name;
    char byte = 0;
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if ((file < 0 && errno != ENOENT) || (file >= 0 && ::read(file, &byte, 1) < 0)) {
        *error = path + ": " + std::strerror(errno);
        if (file >= 0) {
            ::close(file);
        }
        return false;
    }
    if (file >= 0) {
        ::close(file);
    }
    // Opened once and closed: a file that is no record file is refused now;
    // a missing one is made or refused; an older one gets what was added since.
    return open_file(layout, read_only, error) != nullptr;
}

bool SqliteRecordStorage::open(const std::string& native_path, const RecordLayout& layout,
                               int busy_timeout_ms, Access access, std::string* error) {
    layout_ = layout;
    native_path_ = native_path;
    const bool read_only = access == Access::kRead;
    struct stat info {};
    const bool missing = ::stat(native_path.c_str(), &info) != 0 && errno == ENOENT;
    if (missing && access != Access::kWriteOrMake) {
        *error = native_path + kMissing;
        return false;
    }
    // An empty file is refused unopened: opening it would write a header into it.
    if (!missing && info.st_size == 0) {
        *error = native_path + kEmpty;
        return false;
    }
    // An existing file is looked at before its modes are set, which would write to it.
    if (!db_.open(native_path, busy_timeout_ms, error, read_only, !missing) ||
        (missing ? !create(error)
                 : !(check_tables(error) && db_.set_up(read_only, error) &&
                     (read_only || upgrade(error))))) {
        return false;
    }
    struct Prepared {
        Statement* statement;
        const char* sql;
    };
    const Prepared statements[] = {
        {&first_, "SELECT pos, data FROM records ORDER BY key LIMIT 1"},
        {&last_, "SELECT pos, data FROM records ORDER BY key DESC LIMIT 1"},
        {&equal_, "SELECT pos, data FROM records WHERE key = ?1"},
        {&direct_, "SELECT pos, data FROM records WHERE pos = ?1"},
        {&swap_, "UPDATE records SET key = ?4, data = ?3 WHERE pos = ?1 AND data = ?2"},
        {&swap_data_, "UPDATE records SET data = ?3 WHERE pos = ?1 AND data = ?2"},
        {&upsert_,
         "INSERT INTO records(key, data) VALUES(?1, ?2)"
         " ON CONFLICT(key) DO UPDATE SET data = excluded.data RETURNING pos"},
        {&erase_, "DELETE FROM records WHERE key = ?1"},
        {&all_, "SELECT pos, data FROM records ORDER BY key"},
        {&walk_next_, "SELECT pos, data FROM records WHERE key > ?1 ORDER BY key LIMIT ?2"},
        {&walk_previous_,
         "SELECT pos, data FROM records WHERE key < ?1 ORDER BY key DESC LIMIT ?2"},
        {&journal_insert_,
         "INSERT INTO journal(file, time, user, key, pos, field, old, new, login)"
         " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"},
        {&hash_select_, "SELECT hash FROM password_hashes WHERE name = ?1"},
        {&hash_upsert_,
         "INSERT INTO password_hashes(name, hash) VALUES(?1, ?2)"
         " ON CONFLICT(name) DO UPDATE SET hash = excluded.hash"},
        {&failures_select_, "SELECT failures, last_failure FROM password_failures WHERE name = ?1"},
        {&failure_first_,
         "INSERT INTO password_failures(name, failures, last_failure) VALUES(?1, 1, ?2)"
         " ON CONFLICT(name) DO NOTHING"},
        {&failure_more_,
         "UPDATE password_failures SET failures = failures + 1, last_failure = ?2"
         " WHERE name = ?1 AND failures = ?3 AND last_failure = ?4"},
        {&failures_clear_, "DELETE FROM password_failures WHERE name = ?1"},
    };
    for (const Prepared& p : statements) {
        p.statement->prepare_later(db_, p.sql);
    }
    return true;
}

bool SqliteRecordStorage::create(std::string* error) {
    // Another process making the same file at once finds it made and takes it.
    const std::string sql =
        std::string("BEGIN IMMEDIATE;") + kRecordTables + kJournalSchema +
        (keeps_hashes(layout_) ? std::string(kHashSchema) + ";" : std::string()) +
        "INSERT INTO layout SELECT " + std::to_string(layout_.record_size) + ", " +
        std::to_string(layout_.key_size) + " WHERE NOT EXISTS (SELECT 1 FROM layout);COMMIT;";
    if (!db_.exec(sql.c_str(), error)) {
        db_.rollback();
        *error = native_path_ + ": cannot make the record file: " + *error;
        return false;
    }
    has_layout_row_ = has_journal_ = has_journal_login_ = true;
    has_hashes_ = keeps_hashes(layout_);
    return true;
}

bool SqliteRecordStorage::check_tables(std::string* error) {
    bool records = false;
    bool layout = false;
    Statement tables;
    int rc = SQLITE_ERROR;
    if (tables.prepare(db_, "SELECT name FROM sqlite_master WHERE type = 'table'", nullptr)) {
        while ((rc = tables.step()) == SQLITE_ROW) {
            const std::string name = tables.column_text(0);
            records = records || name == "records";
            layout = layout || name == "layout";
            has_journal_ = has_journal_ || name == "journal";
            has_hashes_ = has_hashes_ || name == "password_hashes";
        }
    }
    if (rc != SQLITE_DONE) {
        *error = last_error();  // a damaged file: SQLite's reason
        return false;
    }
    if (has_journal_) {
        Statement columns;
        if (!columns.prepare(db_, "SELECT name FROM pragma_table_info('journal')", nullptr)) {
            *error = last_error();
            return false;
        }
        while ((rc = columns.step()) == SQLITE_ROW) {
            has_journal_login_ = has_journal_login_ || columns.column_text(0) == "login";
        }
        if (rc != SQLITE_DONE) {
            *error = last_error();
            return false;
        }
    }
    // Only the making of a file writes its tables: a file without them is
    // not taken for an empty record file.
    if (!records || !layout) {
        *error = native_path_ + kNotRecordFile;
        return false;
    }
    // The file remembers its record layout; a file of another layout is refused.
    Statement check;
    if (!check.prepare(db_, "SELECT record_size, key_size FROM layout", nullptr)) {
        *error = last_error();
        return false;
    }
    rc = check.step();
    if (rc == SQLITE_ROW && (check.column_int64(0) != layout_.record_size ||
                             check.column_int64(1) != layout_.key_size)) {
        *error = native_path_ + ": holds records of another layout";
        return false;
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        *error = last_error();
        return false;
    }
    has_layout_row_ = rc == SQLITE_ROW;
    return true;
}

bool SqliteRecordStorage::upgrade(std::string* error) {
    // The first versions wrote the layout table and its row apart; files made
    // before the journal, or the password hashes, lack their tables.
    std::string sql;
    if (!has_layout_row_) {
        sql += "INSERT INTO layout VALUES(" + std::to_string(layout_.record_size) + ", " +
               std::to_string(layout_.key_size) + ");";
    }
    if (!has_journal_) {
        sql += kJournalSchema;
    } else if (!has_journal_login_) {
        sql += kJournalLogin;
    }
    if (keeps_hashes(layout_) && !has_hashes_) {
        sql += std::string(kHashSchema) + ";";
    }
    if (!sql.empty() && !db_.exec(("BEGIN IMMEDIATE;" + sql + "COMMIT;").c_str(), error)) {
        db_.rollback();
        *error = native_path_ + ": " + *error;
        return false;
    }
    has_layout_row_ = has_journal_ = has_journal_login_ = true;
    has_hashes_ = has_hashes_ || keeps_hashes(layout_);
    return true;
}

int SqliteRecordStorage::failed(int rc, int busy_status) {
    switch (rc & 0xFF) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW:
            return RS_OK;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return busy_status;
        default:
            log_host_failure("RECORDS", kStoreFailed, last_error());
            return RS_IO_ERROR;
    }
}

std::string SqliteRecordStorage::last_error() const {
    return native_path_ + ": " + db_.last_error();
}

bool SqliteRecordStorage::take_row(const Statement& select, StoredRecord* record) const {
    const int size = select.column_bytes(1);
    if (size > layout_.record_size) {
        return false;  // never write past the caller's buffer
    }
    record->position = select.column_int64(0);
    record->size = size;
    if (size > 0) {
        std::memcpy(record->data.data(), select.column_blob(1), static_cast<size_t>(size));
    }
    // A shorter stored record reads with its missing bytes zero.
    std::memset(record->data.data() + size, 0, static_cast<size_t>(layout_.record_size - size));
    return true;
}

int SqliteRecordStorage::deliver(Statement& select, StoredRecord* record, int none_status) {
    ResetOnExit reset(select);
    const int rc = select.step();
    if (rc == SQLITE_DONE) {
        return none_status;
    }
    if (rc != SQLITE_ROW) {
        return failed(rc, RS_FILE_LOCKED);
    }
    return take_row(select, record) ? RS_OK : RS_BUFFER_TOO_SHORT;
}

int SqliteRecordStorage::first(StoredRecord* record) {
    return deliver(first_, record, RS_END_OF_FILE);
}

int SqliteRecordStorage::last(StoredRecord* record) {
    return deliver(last_, record, RS_END_OF_FILE);
}

int SqliteRecordStorage::equal(const uint8_t* key, StoredRecord* record) {
    equal_.bind_blob(1, key, layout_.key_size);
    return deliver(equal_, record, RS_KEY_NOT_FOUND);
}

int SqliteRecordStorage::direct(int64_t position, StoredRecord* record) {
    direct_.bind_int64(1, position);
    return deliver(direct_, record, RS_INVALID_RECORD_ADDRESS);
}

int SqliteRecordStorage::batch(bool forward, const uint8_t* key, int limit, StoredRecord* out,
                               int* count) {
    Statement& select = forward ? walk_next_ : walk_previous_;
    ResetOnExit reset(select);
    select.bind_blob(1, key, layout_.key_size);
    select.bind_int64(2, limit);
    *count = 0;
    int rc = SQLITE_ROW;
    bool too_long = false;
    while (*count < limit && (rc = select.step()) == SQLITE_ROW) {
        if (!take_row(select, &out[*count])) {
            too_long = true;
            break;
        }
        ++*count;
    }
    if (*count > 0) {
        return RS_OK;  // an error after the first records shows on the next batch
    }
    if (too_long) {
        return RS_BUFFER_TOO_SHORT;
    }
    return rc == SQLITE_DONE ? RS_END_OF_FILE : failed(rc, RS_FILE_LOCKED);
}

int SqliteRecordStorage::scan(const std::function<bool(const StoredRecord&)>& visit) {
    ResetOnExit reset(all_);
    StoredRecord record;
    int rc;
    while ((rc = all_.step()) == SQLITE_ROW) {
        if (!take_row(all_, &record)) {
            return RS_BUFFER_TOO_SHORT;
        }
        if (!visit(record)) {
            return RS_OK;
        }
    }
    return rc == SQLITE_DONE ? RS_OK : failed(rc, RS_FILE_LOCKED);
}

int SqliteRecordStorage::swap(int64_t position, std::span<const uint8_t> expected,
                              std::span<const uint8_t> after, const JournalRows* journal) {
    WriteTransaction transaction(db_);
    int rc = transaction.begin();
    if (rc != SQLITE_OK) {
        return failed(rc, RS_RECORD_LOCKED);
    }
    // The key's index is written only when the key itself changes.
    const size_t key_size = static_cast<size_t>(layout_.key_size);
    const bool key_changed =
        expected.size() < key_size || std::memcmp(expected.data(), after.data(), key_size) != 0;
    Statement& write = key_changed ? swap_ : swap_data_;
    write.bind_int64(1, position);
    write.bind_blob(2, expected.data(), static_cast<int>(expected.size()));
    write.bind_blob(3, after.data(), static_cast<int>(after.size()));
    if (key_changed) {
        write.bind_blob(4, after.data(), layout_.key_size);
    }
    {
        ResetOnExit reset(write);
        rc = write.step();
    }
    if ((rc & 0xFF) == SQLITE_CONSTRAINT) {
        return RS_DUPLICATE_KEY;
    }
    if (rc != SQLITE_DONE) {
        return failed(rc, RS_RECORD_LOCKED);
    }
    if (sqlite3_changes(db_.get()) == 0) {
        return kSwapMissed;
    }
    if (journal != nullptr) {
        const int status = append_journal(position, *journal);
        if (status != RS_OK) {
            return status;
        }
    }
    return failed(transaction.commit(), RS_RECORD_LOCKED);
}

int SqliteRecordStorage::begin_write() {
    return failed(db_.begin_immediate(), RS_RECORD_LOCKED);
}

int SqliteRecordStorage::commit_write() {
    const int rc = db_.commit();
    if (rc != SQLITE_OK) {
        rollback_write();
    }
    return failed(rc, RS_RECORD_LOCKED);
}

void SqliteRecordStorage::rollback_write() {
    if (sqlite3_get_autocommit(db_.get()) == 0) {
        db_.rollback();
    }
}

int SqliteRecordStorage::upsert(std::span<const uint8_t> record, int64_t* position) {
    upsert_.bind_blob(1, record.data(), layout_.key_size);
    upsert_.bind_blob(2, record.data(), static_cast<int>(record.size()));
    ResetOnExit reset(upsert_);
    const int rc = upsert_.step();
    if (rc != SQLITE_ROW) {
        return failed(rc, RS_RECORD_LOCKED);
    }
    *position = upsert_.column_int64(0);
    return RS_OK;
}

int SqliteRecordStorage::append_journal(int64_t position, const JournalRows& journal) {
    static const uint8_t kNoBytes[1] = {0};
    for (const JournalRow& row : journal.rows) {
        ResetOnExit reset(journal_insert_);
        journal_insert_.bind_text(1, journal.file);
        journal_insert_.bind_int64(2, journal.time);
        journal_insert_.bind_text(3, journal.user);
        journal_insert_.bind_blob(4, journal.key.data(), static_cast<int>(journal.key.size()));
        journal_insert_.bind_int64(5, position);
        journal_insert_.bind_text(6, row.field);
        if (row.has_old) {
            journal_insert_.bind_blob(7, row.old_bytes.empty() ? kNoBytes : row.old_bytes.data(),
                                      static_cast<int>(row.old_bytes.size()));
        } else {
            sqlite3_bind_null(journal_insert_.get(), 7);
        }
        journal_insert_.bind_blob(8, row.new_bytes.empty() ? kNoBytes : row.new_bytes.data(),
                                  static_cast<int>(row.new_bytes.size()));
        journal_insert_.bind_text(9, journal.login);
        const int rc = journal_insert_.step();
        if (rc != SQLITE_DONE) {
            return failed(rc, RS_RECORD_LOCKED);
        }
    }
    return RS_OK;
}

int SqliteRecordStorage::remove(const uint8_t* key) {
    erase_.bind_blob(1, key, layout_.key_size);
    ResetOnExit reset(erase_);
    const int rc = erase_.step();
    if (rc != SQLITE_DONE) {
        return failed(rc, RS_RECORD_LOCKED);
    }
    return sqlite3_changes(db_.get()) == 0 ? RS_KEY_NOT_FOUND : RS_OK;
}

namespace {

// A journal read before its file got the login column (opened read-only)
// reads its rows with an empty login.
std::string journal_select(bool has_login) {
    return std::string("SELECT id, file, time, user, key, pos, field, old, new, ") +
           (has_login ? "login" : "''") + " FROM journal";
}

StoredJournalRow journal_row(const Statement& select) {
    StoredJournalRow row;
    row.id = select.column_int64(0);
    row.file = select.column_text(1);
    row.time = static_cast<uint32_t>(select.column_int64(2));
    row.user = select.column_text(3);
    row.key = blob_text(select, 4);
    row.position = select.column_int64(5);
    row.field = select.column_text(6);
    row.has_old = sqlite3_column_type(select.get(), 7) != SQLITE_NULL;
    row.old_bytes = blob_text(select, 7);
    row.new_bytes = blob_text(select, 8);
    row.login = select.column_text(9);
    return row;
}

}  // namespace

int SqliteRecordStorage::read_journal(const uint8_t* key,
                                      const std::function<bool(const StoredJournalRow&)>& visit) {
    // One statement stepped row by row: the rows are never all in memory.
    Statement select;
    const std::string sql =
        journal_select(has_journal_login_) +
        (key != nullptr ? " WHERE key = ?1 ORDER BY id DESC" : " ORDER BY id DESC");
    if (!select.prepare(db_, sql.c_str(), nullptr)) {
        return failed(SQLITE_ERROR, RS_FILE_LOCKED);
    }
    if (key != nullptr) {
        select.bind_blob(1, key, layout_.key_size);
    }
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        if (!visit(journal_row(select))) {
            return RS_OK;
        }
    }
    return rc == SQLITE_DONE ? RS_OK : failed(rc, RS_FILE_LOCKED);
}

int SqliteRecordStorage::old_journal(int64_t before, int64_t after_id, int limit,
                                     std::vector<StoredJournalRow>* rows) {
    rows->clear();
    Statement select;
    const std::string sql =
        journal_select(has_journal_login_) + " WHERE id > ?1 AND time < ?2 ORDER BY id LIMIT ?3";
    if (!select.prepare(db_, sql.c_str(), nullptr)) {
        return failed(SQLITE_ERROR, RS_FILE_LOCKED);
    }
    select.bind_int64(1, after_id);
    select.bind_int64(2, before);
    select.bind_int64(3, limit);
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        rows->push_back(journal_row(select));
    }
    return rc == SQLITE_DONE ? RS_OK : failed(rc, RS_FILE_LOCKED);
}

int SqliteRecordStorage::delete_journal(std::span<const int64_t> ids, int64_t* deleted) {
    *deleted = 0;
    WriteTransaction transaction(db_);
    int rc = transaction.begin();
    if (rc != SQLITE_OK) {
        return failed(rc, RS_RECORD_LOCKED);
    }
    Statement erase;
    if (!erase.prepare(db_, "DELETE FROM journal WHERE id = ?1", nullptr)) {
        return failed(SQLITE_ERROR, RS_RECORD_LOCKED);
    }
    int64_t count = 0;
    for (const int64_t id : ids) {
        ResetOnExit reset(erase);
        erase.bind_int64(1, id);
        rc = erase.step();
        if (rc != SQLITE_DONE) {
            return failed(rc, RS_RECORD_LOCKED);
        }
        count += sqlite3_changes(db_.get());
    }
    rc = transaction.commit();
    if (rc != SQLITE_OK) {
        return failed(rc, RS_RECORD_LOCKED);
    }
    *deleted = count;
    return RS_OK;
}

int SqliteRecordStorage::find_hash(const uint8_t* name, std::string* hash) {
    // An older file opened read-only may have no table of hashes: no name has one.
    if (!has_hashes_) {
        return RS_KEY_NOT_FOUND;
    }
    hash_select_.bind_blob(1, name, kHashNameSize);
    ResetOnExit reset(hash_select_);
    const int rc = hash_select_.step();
    if (rc == SQLITE_DONE) {
        return RS_KEY_NOT_FOUND;
    }
    if (rc != SQLITE_ROW) {
        return failed(rc, RS_FILE_LOCKED);
    }
    *hash = hash_select_.column_text(0);
    return RS_OK;
}

int SqliteRecordStorage::store_hash(const uint8_t* name, const std::string& hash) {
    hash_upsert_.bind_blob(1, name, kHashNameSize);
    hash_upsert_.bind_text(2, hash);
    ResetOnExit reset(hash_upsert_);
    const int rc = hash_upsert_.step();
    return rc == SQLITE_DONE ? RS_OK : failed(rc, RS_RECORD_LOCKED);
}

int SqliteRecordStorage::scan_hashes(
    const std::function<bool(std::span<const uint8_t>, const std::string&)>& visit) {
    // An older file opened read-only may have no table of hashes: it has none.
    if (!has_hashes_) {
        return RS_OK;
    }
    Statement select;
    if (!select.prepare(db_, "SELECT name, hash FROM password_hashes ORDER BY name", nullptr)) {
        return failed(SQLITE_ERROR, RS_FILE_LOCKED);
    }
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        const auto* name = static_cast<const uint8_t*>(select.column_blob(0));
        const std::span<const uint8_t> bytes(name, static_cast<size_t>(select.column_bytes(0)));
        if (!visit(bytes, select.column_text(1))) {
            return RS_OK;
        }
    }
    return rc == SQLITE_DONE ? RS_OK : failed(rc, RS_FILE_LOCKED);
}

namespace {

// The store's clock for password failures: the system clock of this machine,
// which every process on the files shares.
int64_t system_clock_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int SqliteRecordStorage::find_failures(const uint8_t* name, PasswordFailures* failures) {
    *failures = PasswordFailures{};
    failures->now_ms = system_clock_ms();
    failures_select_.bind_blob(1, name, kHashNameSize);
    ResetOnExit reset(failures_select_);
    const int rc = failures_select_.step();
    if (rc == SQLITE_ROW) {
        failures->failures = failures_select_.column_int64(0);
        failures->last_failure_ms = failures_select_.column_int64(1);
        return RS_OK;
    }
    return rc == SQLITE_DONE ? RS_OK : failed(rc, RS_FILE_LOCKED);
}

int SqliteRecordStorage::count_failure(const uint8_t* name, const PasswordFailures& seen) {
    // One statement each way: the row changes only when it is as it was read.
    Statement& write = seen.failures == 0 ? failure_first_ : failure_more_;
    ResetOnExit reset(write);
    write.bind_blob(1, name, kHashNameSize);
    write.bind_int64(2, system_clock_ms());
    if (seen.failures != 0) {
        write.bind_int64(3, seen.failures);
        write.bind_int64(4, seen.last_failure_ms);
    }
    const int rc = write.step();
    if (rc != SQLITE_DONE) {
        return failed(rc, RS_RECORD_LOCKED);
    }
    return sqlite3_changes(db_.get()) == 1 ? RS_OK : kSwapMissed;
}

int SqliteRecordStorage::clear_failures(const uint8_t* name) {
    failures_clear_.bind_blob(1, name, kHashNameSize);
    ResetOnExit reset(failures_clear_);
    const int rc = failures_clear_.step();
    return rc == SQLITE_DONE ? RS_OK : failed(rc, RS_RECORD_LOCKED);
}

int SqliteRecordStorage::count(int64_t* records, int64_t* journal_rows, int64_t* highest_position) {
    Statement select;
    // AUTOINCREMENT keeps the highest position ever given in sqlite_sequence.
    if (!select.prepare(db_,
                        "SELECT (SELECT count(*) FROM records), (SELECT count(*) FROM journal),"
                        " (SELECT coalesce(max(seq), 0) FROM sqlite_sequence"
                        " WHERE name = 'records')",
                        nullptr)) {
        return failed(SQLITE_ERROR, RS_FILE_LOCKED);
    }
    const int rc = select.step();
    if (rc != SQLITE_ROW) {
        return failed(rc, RS_FILE_LOCKED);
    }
    *records = select.column_int64(0);
    *journal_rows = select.column_int64(1);
    *highest_position = select.column_int64(2);
    return RS_OK;
}

}  // namespace hostlibs::detail
