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

}  // namespace

namespace {

// An update whose compare-and-swap keeps missing (another writer changes the
// record between each read and write) gives up after this many tries.
constexpr int kMostSwapTries = 16;

}  // namespace

bool RecordFile::open(RecordStore& store, const RecordLayout& layout, bool read_only,
                      std::string* error) {
    close();
    layout_ = layout;
    storage_ = store.open_file(layout, read_only, error);
    if (storage_ == nullptr) {
        return false;
    }
    journal_.open(layout);
    return true;
}

void RecordFile::open_on_use(RecordStore& store, const RecordLayout& layout, bool read_only) {
    close();
    layout_ = layout;
    on_use_ = OnUse{&store, read_only};
}

bool RecordFile::ensure_open(std::string* error) {
    if (is_open()) {
        return true;
    }
    std::string reason = "record file not open";
    if (on_use_) {
        OnUse& how = *on_use_;
        uint8_t* const bound = buffer_;  // a buffer bound before the first use stays bound
        const bool opened = open(*how.store, layout_, how.read_only, &reason);
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
    storage_.reset();
    buffer_ = nullptr;
    has_current_ = false;
    current_.position = 0;
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

int RecordFile::take(int status, const StoredRecord& record, uint8_t* key) {
    if (status != RS_OK) {
        return status;  // a failed operation leaves the current record as it was
    }
    current_ = record;
    has_current_ = true;
    std::memcpy(buffer_, current_.data.data(), static_cast<size_t>(layout_.record_size));
    if (key != nullptr) {
        std::memcpy(key, current_.data.data(), static_cast<size_t>(layout_.key_size));
    }
    return RS_OK;
}

int RecordFile::get_move(Move move, uint8_t* key) {
    StoredRecord record;
    switch (move) {
        case Move::kFirst:
            return take(storage_->first(&record), record, key);
        case Move::kLast:
            return take(storage_->last(&record), record, key);
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
        // The age counts from the batch's arrival: counted from the seek, a
        // batch that took longer than the limit to arrive would be dropped
        // after one record, and the walk would seek once per record.
        ahead_read_at_ns_ = coarse_now_ns();
    }
    // The record goes straight to the caller; the handle's own copy of its
    // bytes is made only when the walk ends (see end_walk).
    const StoredRecord& next = ahead_[static_cast<size_t>(ahead_next_++)];
    std::memcpy(buffer_, next.data.data(), static_cast<size_t>(layout_.record_size));
    if (key != nullptr) {
        std::memcpy(key, next.data.data(), static_cast<size_t>(layout_.key_size));
    }
    current_.position = next.position;
    has_current_ = true;
    walk_current_ = &next;
    return RS_OK;
}

int RecordFile::read_ahead(Move move, int batch) {
    end_walk();
    if (batch > ahead_capacity_) {
        ahead_ = std::make_unique_for_overwrite<StoredRecord[]>(static_cast<size_t>(batch));
        ahead_capacity_ = batch;
    }
    ahead_batch_ = batch;
    const int status = storage_->batch(move == Move::kNext, current_.data.data(), batch,
                                       ahead_.get(), &ahead_count_);
    if (status == RS_OK && ahead_count_ > 0) {
        ahead_move_ = move;
        return RS_OK;
    }
    ahead_count_ = 0;
    return status == RS_OK ? RS_END_OF_FILE : status;
}

void RecordFile::end_walk() {
    if (walk_current_ != nullptr) {
        current_ = *walk_current_;
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
    StoredRecord record;
    return take(storage_->equal(key, &record), record, key);
}

int RecordFile::get_direct(uint8_t* key) {
    const uint32_t position = load_u32(buffer_);
    if (position == 0) {
        return RS_INVALID_RECORD_ADDRESS;
    }
    StoredRecord record;
    return take(storage_->direct(position, &record), record, key);
}

int RecordFile::get_position(uint8_t* key) {
    if (key == nullptr) {
        return RS_BUFFER_TOO_SHORT;
    }
    if (!has_current_) {
        return RS_INVALID_POSITIONING;
    }
    store_u32(key, static_cast<uint32_t>(current_.position));
    return RS_OK;
}

// Writes the bytes of the buffer that differ from what this handle last read
// of the current record, merged onto the record as it is stored now, so that
// another process's change to other bytes survives. When the other process
// changed one of the same bytes to a different value, or deleted the record,
// nothing is written and the status is 80.
//
// The write is a compare-and-swap on the bytes the merge started from: in
// the common case (nobody wrote meanwhile) one write does it; when it misses,
// the record is read again, merged again and swapped again, a bounded number
// of times.
int RecordFile::update() {
    if (!has_current_) {
        return RS_INVALID_POSITIONING;
    }
    const size_t size = static_cast<size_t>(layout_.record_size);
    StoredRecord stored = current_;  // the record as this handle believes it stored
    for (int tries = 0; tries < kMostSwapTries; ++tries) {
        std::array<uint8_t, kMaxRecordSize> merged = stored.data;
        for (size_t i = 0; i < size; ++i) {
            const bool mine = buffer_[i] != current_.data[i];
            if (!mine) {
                continue;
            }
            const bool theirs = merged[i] != current_.data[i];
            if (theirs && merged[i] != buffer_[i]) {
                return RS_CHANGED_BY_OTHER;
            }
            merged[i] = buffer_[i];
        }
        const std::span<const uint8_t> after(merged.data(), size);
        std::optional<JournalRows> rows = journal_.rows(stored.data.data(), merged.data());
        const int status = storage_->swap(current_.position,
                                          std::span<const uint8_t>(stored.data.data(), stored.size),
                                          after, rows ? &*rows : nullptr);
        if (status == RS_OK) {
            // The buffer now holds the record as stored, which is what this handle last read.
            current_.data = merged;
            current_.size = static_cast<int>(size);
            std::memcpy(buffer_, merged.data(), size);
            return RS_OK;
        }
        if (status != kSwapMissed) {
            return status;
        }
        const int read = storage_->direct(current_.position, &stored);
        if (read == RS_INVALID_RECORD_ADDRESS) {
            return RS_CHANGED_BY_OTHER;  // deleted since this handle read it
        }
        if (read != RS_OK) {
            return read;
        }
    }
    return RS_CHANGED_BY_OTHER;
}

bool RecordFile::failure(int status, std::string* error) const {
    if (error != nullptr) {
        *error = status == RS_RECORD_LOCKED || status == RS_FILE_LOCKED
                     ? std::string(layout_.file_name) + ": locked by another process"
                     : storage_->last_error();
    }
    return false;
}

bool RecordFile::put_all(const uint8_t* records, size_t count, std::string* error,
                         const std::function<int(RecordStorage&)>& also) {
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
    int status = storage_->begin_write();
    if (status != RS_OK) {
        return failure(status, error);
    }
    StoredRecord before;
    for (size_t i = 0; i < count && status == RS_OK; ++i) {
        const uint8_t* record = records + i * size;
        bool replaces = false;
        if (journal_.enabled()) {
            status = storage_->equal(record, &before);
            replaces = status == RS_OK;
            status = status == RS_KEY_NOT_FOUND ? RS_OK : status;
        }
        int64_t position = 0;
        if (status == RS_OK) {
            status = storage_->upsert(std::span<const uint8_t>(record, size), &position);
        }
        if (status == RS_OK) {
            std::optional<JournalRows> rows =
                journal_.rows(replaces ? before.data.data() : nullptr, record);
            if (rows) {
                status = storage_->append_journal(position, *rows);
            }
        }
    }
    if (status == RS_OK && also) {
        status = also(*storage_);
    }
    if (status == RS_OK) {
        status = storage_->commit_write();
    }
    if (status != RS_OK) {
        const bool failed = failure(status, error);
        storage_->rollback_write();
        return failed;
    }
    return true;
}

bool RecordFile::for_each(const std::function<bool(const uint8_t*)>& visit, std::string* error) {
    end_walk();
    if (!ensure_open(error)) {
        return false;
    }
    const int status =
        storage_->scan([&](const StoredRecord& record) { return visit(record.data.data()); });
    return status == RS_OK || failure(status, error);
}

bool RecordFile::remove(const uint8_t* key, std::string* error) {
    end_walk();
    if (!ensure_open(error)) {
        return false;
    }
    const int status = storage_->remove(key);
    if (status == RS_KEY_NOT_FOUND) {
        *error = "no record with this key";
        return false;
    }
    return status == RS_OK || failure(status, error);
}

bool RecordFile::read_journal(const uint8_t* key,
                              const std::function<bool(const JournalChange&)>& visit,
                              std::string* error) {
    if (!ensure_open(error)) {
        return false;
    }
    const int status = storage_->read_journal(
        key, [&](const StoredJournalRow& row) { return visit(journal_.readable(row)); });
    return status == RS_OK || failure(status, error);
}

bool RecordFile::prune_journal(
    int64_t before,
    const std::function<bool(const std::vector<StoredJournalRow>&, std::string*)>& keep,
    int64_t* moved, std::string* error) {
    // A batch bounds the memory a prune takes and the rows one delete holds locked.
    constexpr int kBatch = 5000;
    if (!ensure_open(error)) {
        return false;
    }
    std::vector<StoredJournalRow> rows;
    std::vector<int64_t> ids;
    for (int64_t after_id = 0;;) {
        int status = storage_->old_journal(before, after_id, kBatch, &rows);
        if (status != RS_OK) {
            return failure(status, error);
        }
        if (rows.empty()) {
            return true;
        }
        if (!keep(rows, error)) {
            return false;
        }
        // Deleted by id, never by time: a row that arrived meanwhile was not kept.
        ids.clear();
        for (const StoredJournalRow& row : rows) {
            ids.push_back(row.id);
        }
        int64_t deleted = 0;
        status = storage_->delete_journal(ids, &deleted);
        if (status != RS_OK) {
            return failure(status, error);
        }
        *moved += deleted;
        after_id = rows.back().id;
    }
}

}  // namespace hostlibs::detail
