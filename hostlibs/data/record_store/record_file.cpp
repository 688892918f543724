#include "record_store/record_file.h"

#include <time.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string_view>

#include "hostlibs/host_setup.h"
#include "platform/byte_fields.h"
#include "platform/host_libraries.h"

namespace hostlibs::detail {

namespace {

// How long records read ahead may be served before the walk seeks afresh:
// this bounds how stale a get-next can be, while a bulk walk still reads
// a batch of records per seek. The age is read from the coarse clock (one
// tick, a few milliseconds, late at most): a walk asks it once per record,
// and the precise clock would cost a tenth of a million-record walk.
constexpr int64_t kReadAheadLimitNs = 5'000'000;

// A walk's first seek reads few records, since most walks are short; each
// further seek of the same walk reads twice as many, up to the most.
constexpr int kFirstReadAhead = 32;
constexpr int kMostReadAhead = 2048;

int64_t coarse_now_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS records("
    " pos INTEGER PRIMARY KEY AUTOINCREMENT, key BLOB NOT NULL UNIQUE, data BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS layout(record_size INTEGER NOT NULL, key_size INTEGER NOT NULL);";

}  // namespace

int status_of_sqlite(int rc, int busy_status) {
    switch (rc & 0xFF) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW:
            return RS_OK;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return busy_status;
        default:
            return RS_IO_ERROR;
    }
}

bool RecordFile::open(const std::string& native_path, const RecordLayout& layout,
                      int busy_timeout_ms, std::string* error, bool read_only) {
    close();
    layout_ = layout;
    if (!db_.open(native_path, busy_timeout_ms, error, read_only) || !db_.exec(kSchema, error) ||
        !db_.exec(ChangeJournal::schema(), error) ||
        !journal_.open(db_, layout.file_name, layout.fields, layout.field_count, layout.key_size,
                       error)) {
        close();
        return false;
    }
    // The file remembers its record layout; a file of another layout is refused.
    Statement check;
    if (!check.prepare(db_, "SELECT record_size, key_size FROM layout", error)) {
        close();
        return false;
    }
    if (check.step() == SQLITE_ROW) {
        if (check.column_int64(0) != layout.record_size ||
            check.column_int64(1) != layout.key_size) {
            if (error != nullptr) {
                *error = native_path + ": holds records of another layout";
            }
            close();
            return false;
        }
        check.reset();
    } else {
        check.reset();
        std::string insert = "INSERT INTO layout VALUES(" + std::to_string(layout.record_size) +
                             "," + std::to_string(layout.key_size) + ")";
        if (!db_.exec(insert.c_str(), error)) {
            close();
            return false;
        }
    }
    check.finalize();
    struct Prepared {
        Statement* statement;
        const char* sql;
    };
    const Prepared statements[] = {
        {&first_, "SELECT pos, data FROM records ORDER BY key LIMIT 1"},
        {&last_, "SELECT pos, data FROM records ORDER BY key DESC LIMIT 1"},
        {&equal_, "SELECT pos, data FROM records WHERE key = ?1"},
        {&direct_, "SELECT pos, data FROM records WHERE pos = ?1"},
        {&write_, "UPDATE records SET key = ?2, data = ?3 WHERE pos = ?1"},
        {&write_data_, "UPDATE records SET data = ?3 WHERE pos = ?1"},
        {&upsert_,
         "INSERT INTO records(key, data) VALUES(?1, ?2)"
         " ON CONFLICT(key) DO UPDATE SET data = excluded.data"},
        {&erase_, "DELETE FROM records WHERE key = ?1"},
        {&all_, "SELECT pos, data FROM records ORDER BY key"},
        {&walk_next_, "SELECT pos, data FROM records WHERE key > ?1 ORDER BY key LIMIT ?2"},
        {&walk_previous_,
         "SELECT pos, data FROM records WHERE key < ?1 ORDER BY key DESC LIMIT ?2"},
    };
    for (const Prepared& p : statements) {
        p.statement->prepare_later(db_, p.sql);
    }
    return true;
}

void RecordFile::open_on_use(const std::string& native_path, const RecordLayout& layout,
                             int busy_timeout_ms, bool read_only,
                             std::function<bool(Database&, std::string*)> then) {
    close();
    layout_ = layout;
    if (!read_only) {
        make_private(native_path);
    }
    on_use_ = OnUse{native_path, busy_timeout_ms, read_only, std::move(then)};
}

bool RecordFile::ensure_open(std::string* error) {
    if (is_open()) {
        return true;
    }
    std::string reason = "record file not open";
    if (on_use_) {
        OnUse& how = *on_use_;
        uint8_t* const bound = buffer_;  // a buffer bound before the first use stays bound
        const bool opened =
            open(how.native_path, layout_, how.busy_timeout_ms, &reason, how.read_only) &&
            (!how.then || how.then(db_, &reason));
        if (!opened) {
            close();
        }
        buffer_ = bound;
        if (opened) {
            return true;
        }
        if (!how.failure_logged) {
            how.failure_logged = true;
            log_host_failure("RECORDS", kRecordFileFailed, reason);
        }
    }
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

void RecordFile::close() {
    end_walk();
    journal_.close();
    for (Statement* s : {&first_, &last_, &equal_, &direct_, &write_, &write_data_, &upsert_,
                         &erase_, &all_, &walk_next_, &walk_previous_}) {
        s->finalize();
    }
    db_.close();
    buffer_ = nullptr;
    has_current_ = false;
    current_position_ = 0;
}

int RecordFile::call(int operation, void* key, int key_number) {
    if (!ensure_open(nullptr)) {
        return on_use_ ? RS_IO_ERROR : RS_NOT_OPEN;
    }
    if (key_number != 0) {
        return RS_INVALID_KEY_NUMBER;
    }
    if (buffer_ == nullptr) {
        return RS_BUFFER_TOO_SHORT;
    }
    uint8_t* key_bytes = static_cast<uint8_t*>(key);
    const bool continues_walk = (operation == RS_GET_NEXT && ahead_move_ == Move::kNext) ||
                                (operation == RS_GET_PREVIOUS && ahead_move_ == Move::kPrevious);
    if (!continues_walk) {
        end_walk();
    }
    switch (operation) {
        case RS_UPDATE:
            return update();
        case RS_GET_EQUAL:
            return get_equal(key_bytes);
        case RS_GET_NEXT:
            return get_move(Move::kNext, key_bytes);
        case RS_GET_PREVIOUS:
            return get_move(Move::kPrevious, key_bytes);
        case RS_GET_FIRST:
            return get_move(Move::kFirst, key_bytes);
        case RS_GET_LAST:
            return get_move(Move::kLast, key_bytes);
        case RS_GET_POSITION:
            return get_position(key_bytes);
        case RS_GET_DIRECT:
            return get_direct(key_bytes);
        default:
            return RS_INVALID_OPERATION;
    }
}

int RecordFile::deliver(Statement& select, uint8_t* key, int not_found_status) {
    ResetOnExit reset(select);
    int rc = select.step();
    if (rc == SQLITE_DONE) {
        return not_found_status;
    }
    if (rc != SQLITE_ROW) {
        return status_of_sqlite(rc, RS_FILE_LOCKED);
    }
    return take_row(select, key);
}

int RecordFile::take_row(const Statement& select, uint8_t* key) {
    const int size = select.column_bytes(1);
    if (size > layout_.record_size) {
        return RS_BUFFER_TOO_SHORT;  // never write past the caller's buffer
    }
    return take_record(select.column_int64(0), select.column_blob(1), size, key);
}

int RecordFile::take_record(int64_t position, const void* data, int size, uint8_t* key) {
    if (size > 0) {
        std::memcpy(last_read_.data(), data, static_cast<size_t>(size));
    }
    // A shorter stored record reads with its missing bytes zero.
    std::memset(last_read_.data() + size, 0, static_cast<size_t>(layout_.record_size - size));
    std::memcpy(buffer_, last_read_.data(), static_cast<size_t>(layout_.record_size));
    std::memcpy(current_key_.data(), last_read_.data(), static_cast<size_t>(layout_.key_size));
    current_position_ = position;
    has_current_ = true;
    if (key != nullptr) {
        std::memcpy(key, current_key_.data(), static_cast<size_t>(layout_.key_size));
    }
    return RS_OK;
}

int RecordFile::get_move(Move move, uint8_t* key) {
    switch (move) {
        case Move::kFirst:
            return deliver(first_, key, RS_END_OF_FILE);
        case Move::kLast:
            return deliver(last_, key, RS_END_OF_FILE);
        case Move::kNext:
        case Move::kPrevious:
            if (!has_current_) {
                return RS_INVALID_POSITIONING;
            }
            return walk(move, key);
    }
    return RS_INVALID_OPERATION;
}

// Moves by key from the current record, so a record that another process
// deleted or inserted meanwhile is stepped over correctly. One seek reads a
// batch of the following records and ends its query at once (no snapshot stays
// open); successive moves in the same direction are served from the batch for
// at most kReadAheadLimitNs, then the walk seeks again from the current key.
int RecordFile::walk(Move move, uint8_t* key) {
    const int64_t now = coarse_now_ns();
    if (ahead_move_ != move || ahead_next_ >= ahead_count_ ||
        now - ahead_read_at_ns_ > kReadAheadLimitNs) {
        const int batch =
            ahead_move_ == move ? std::min(ahead_batch_ * 2, kMostReadAhead) : kFirstReadAhead;
        const int status = read_ahead(move, batch);
        if (status != RS_OK) {
            return status;
        }
        ahead_read_at_ns_ = now;
    }
    // The record goes straight to the caller; the handle's own copies of its
    // bytes and key are made only when the walk ends (see end_walk).
    const AheadRecord& next = ahead_[static_cast<size_t>(ahead_next_++)];
    std::memcpy(buffer_, next.data.data(), static_cast<size_t>(layout_.record_size));
    if (key != nullptr) {
        std::memcpy(key, next.data.data(), static_cast<size_t>(layout_.key_size));
    }
    current_position_ = next.position;
    has_current_ = true;
    walk_current_ = &next;
    return RS_OK;
}

int RecordFile::read_ahead(Move move, int batch) {
    end_walk();
    if (batch > ahead_capacity_) {
        ahead_ = std::make_unique_for_overwrite<AheadRecord[]>(static_cast<size_t>(batch));
        ahead_capacity_ = batch;
    }
    ahead_batch_ = batch;
    Statement& select = move == Move::kNext ? walk_next_ : walk_previous_;
    ResetOnExit reset(select);
    select.bind_blob(1, current_key_.data(), layout_.key_size);
    select.bind_int64(2, batch);
    int rc = SQLITE_ROW;
    while (ahead_count_ < batch && (rc = select.step()) == SQLITE_ROW) {
        const int size = select.column_bytes(1);
        if (size > layout_.record_size) {
            rc = SQLITE_TOOBIG;  // never write past the caller's buffer
            break;
        }
        AheadRecord& record = ahead_[static_cast<size_t>(ahead_count_++)];
        record.position = select.column_int64(0);
        if (size > 0) {
            std::memcpy(record.data.data(), select.column_blob(1), static_cast<size_t>(size));
        }
        // A shorter stored record reads with its missing bytes zero.
        if (size < layout_.record_size) {
            std::memset(record.data.data() + size, 0,
                        static_cast<size_t>(layout_.record_size - size));
        }
    }
    if (ahead_count_ > 0) {
        ahead_move_ = move;  // an error after the first records shows on the next seek
        return RS_OK;
    }
    if (rc == SQLITE_DONE) {
        return RS_END_OF_FILE;
    }
    return rc == SQLITE_TOOBIG ? RS_BUFFER_TOO_SHORT : status_of_sqlite(rc, RS_FILE_LOCKED);
}

void RecordFile::end_walk() {
    if (walk_current_ != nullptr) {
        std::memcpy(last_read_.data(), walk_current_->data.data(),
                    static_cast<size_t>(layout_.record_size));
        std::memcpy(current_key_.data(), walk_current_->data.data(),
                    static_cast<size_t>(layout_.key_size));
        walk_current_ = nullptr;
    }
    ahead_move_ = Move::kFirst;
    ahead_count_ = 0;
    ahead_next_ = 0;
}

int RecordFile::get_equal(uint8_t* key) {
    if (key == nullptr) {
        return RS_BUFFER_TOO_SHORT;
    }
    equal_.bind_blob(1, key, layout_.key_size);
    return deliver(equal_, key, RS_KEY_NOT_FOUND);
}

int RecordFile::get_direct(uint8_t* key) {
    const uint32_t position = load_u32(buffer_);
    if (position == 0) {
        return RS_INVALID_RECORD_ADDRESS;
    }
    direct_.bind_int64(1, position);
    return deliver(direct_, key, RS_INVALID_RECORD_ADDRESS);
}

int RecordFile::get_position(uint8_t* key) {
    if (key == nullptr) {
        return RS_BUFFER_TOO_SHORT;
    }
    if (!has_current_) {
        return RS_INVALID_POSITIONING;
    }
    store_u32(key, static_cast<uint32_t>(current_position_));
    return RS_OK;
}

// Writes the bytes of the buffer that differ from what this handle last read
// of the current record, merged onto the record as it is stored now, so that
// another process's change to other bytes survives. When the other process
// changed one of the same bytes to a different value, nothing is written.
int RecordFile::update() {
    if (!has_current_) {
        return RS_INVALID_POSITIONING;
    }
    const size_t size = static_cast<size_t>(layout_.record_size);
    WriteTransaction transaction(db_);
    int rc = transaction.begin();
    if (rc != SQLITE_OK) {
        return status_of_sqlite(rc, RS_RECORD_LOCKED);
    }
    std::array<uint8_t, kMaxRecordSize> merged{};
    {
        direct_.bind_int64(1, current_position_);
        ResetOnExit reset(direct_);
        rc = direct_.step();
        if (rc == SQLITE_DONE) {
            return RS_CHANGED_BY_OTHER;  // deleted since this handle read it
        }
        if (rc != SQLITE_ROW) {
            return status_of_sqlite(rc, RS_RECORD_LOCKED);
        }
        const int stored_size = direct_.column_bytes(1);
        if (stored_size > layout_.record_size) {
            return RS_BUFFER_TOO_SHORT;
        }
        if (stored_size > 0) {
            std::memcpy(merged.data(), direct_.column_blob(1), static_cast<size_t>(stored_size));
        }
    }
    const std::array<uint8_t, kMaxRecordSize> before = merged;
    for (size_t i = 0; i < size; ++i) {
        const bool mine = buffer_[i] != last_read_[i];
        if (!mine) {
            continue;
        }
        const bool theirs = merged[i] != last_read_[i];
        if (theirs && merged[i] != buffer_[i]) {
            return RS_CHANGED_BY_OTHER;
        }
        merged[i] = buffer_[i];
    }
    // The key's index is written only when the key itself changes.
    const bool key_changed =
        std::memcmp(merged.data(), before.data(), static_cast<size_t>(layout_.key_size)) != 0;
    Statement& write = key_changed ? write_ : write_data_;
    write.bind_int64(1, current_position_);
    if (key_changed) {
        write.bind_blob(2, merged.data(), layout_.key_size);
    }
    write.bind_blob(3, merged.data(), layout_.record_size);
    {
        ResetOnExit reset(write);
        rc = write.step();
    }
    if ((rc & 0xFF) == SQLITE_CONSTRAINT) {
        return RS_DUPLICATE_KEY;
    }
    if (rc != SQLITE_DONE) {
        return status_of_sqlite(rc, RS_RECORD_LOCKED);
    }
    rc = journal_.record(current_position_, before.data(), merged.data());
    if (rc != SQLITE_OK) {
        return status_of_sqlite(rc, RS_RECORD_LOCKED);
    }
    rc = transaction.commit();
    if (rc != SQLITE_OK) {
        return status_of_sqlite(rc, RS_RECORD_LOCKED);
    }
    // The buffer now holds the record as stored, which is what this handle last read.
    std::memcpy(last_read_.data(), merged.data(), size);
    std::memcpy(buffer_, merged.data(), size);
    std::memcpy(current_key_.data(), merged.data(), static_cast<size_t>(layout_.key_size));
    return RS_OK;
}

bool RecordFile::put_all(const uint8_t* records, size_t count, std::string* error,
                         const std::function<int()>& also) {
    end_walk();
    if (!ensure_open(error)) {
        return false;
    }
    const size_t size = static_cast<size_t>(layout_.record_size);
    const size_t key_size = static_cast<size_t>(layout_.key_size);
    std::set<std::string_view> keys;
    for (size_t i = 0; i < count; ++i) {
        std::string_view key(reinterpret_cast<const char*>(records + i * size), key_size);
        if (!keys.insert(key).second) {
            *error = "record " + std::to_string(i + 1) + ": duplicate key";
            return false;
        }
    }
    WriteTransaction transaction(db_);
    int rc = transaction.begin();
    std::array<uint8_t, kMaxRecordSize> before{};
    for (size_t i = 0; i < count && rc == SQLITE_OK; ++i) {
        const uint8_t* record = records + i * size;
        int64_t position = 0;
        const bool replaces = journal_.enabled() && find_stored(record, &position, before.data());
        {
            upsert_.bind_blob(1, record, layout_.key_size);
            upsert_.bind_blob(2, record, layout_.record_size);
            ResetOnExit reset(upsert_);
            rc = upsert_.step();
            rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        }
        if (rc == SQLITE_OK && journal_.enabled()) {
            if (!replaces) {
                position = sqlite3_last_insert_rowid(db_.get());
            }
            rc = journal_.record(position, replaces ? before.data() : nullptr, record);
        }
    }
    if (rc == SQLITE_OK && also) {
        rc = also();
    }
    if (rc == SQLITE_OK) {
        rc = transaction.commit();
    }
    if (rc != SQLITE_OK) {
        *error = db_.last_error();
        return false;
    }
    return true;
}

bool RecordFile::find_stored(const uint8_t* key, int64_t* position, uint8_t* data) {
    equal_.bind_blob(1, key, layout_.key_size);
    ResetOnExit reset(equal_);
    if (equal_.step() != SQLITE_ROW) {
        return false;
    }
    const int stored = std::min(equal_.column_bytes(1), layout_.record_size);
    std::memset(data, 0, static_cast<size_t>(layout_.record_size));
    if (stored > 0) {
        std::memcpy(data, equal_.column_blob(1), static_cast<size_t>(stored));
    }
    *position = equal_.column_int64(0);
    return true;
}

bool RecordFile::for_each(const std::function<bool(const uint8_t*)>& visit, std::string* error) {
    end_walk();
    if (!ensure_open(error)) {
        return false;
    }
    std::array<uint8_t, kMaxRecordSize> record{};
    ResetOnExit reset(all_);
    int rc;
    while ((rc = all_.step()) == SQLITE_ROW) {
        const int stored = all_.column_bytes(1);
        record.fill(0);
        if (stored > 0) {
            std::memcpy(record.data(), all_.column_blob(1),
                        static_cast<size_t>(std::min(stored, layout_.record_size)));
        }
        if (!visit(record.data())) {
            return true;
        }
    }
    if (rc != SQLITE_DONE) {
        *error = db_.last_error();
        return false;
    }
    return true;
}

bool RecordFile::remove(const uint8_t* key, std::string* error) {
    end_walk();
    if (!ensure_open(error)) {
        return false;
    }
    erase_.bind_blob(1, key, layout_.key_size);
    ResetOnExit reset(erase_);
    if (erase_.step() != SQLITE_DONE) {
        *error = db_.last_error();
        return false;
    }
    if (sqlite3_changes(db_.get()) == 0) {
        *error = "no record with this key";
        return false;
    }
    return true;
}

}  // namespace hostlibs::detail
