#include "record_store/change_journal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace hostlibs::detail {

namespace {

constexpr size_t kMaxKeySize = 64;

std::string trimmed(const uint8_t* bytes, size_t size) {
    std::string text(reinterpret_cast<const char*>(bytes), size);
    text.resize(std::min(text.size(), text.find('\0')));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// A field's bytes as an operator reads them.
std::string readable(const RecordField* field, const void* data, int size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (field == nullptr || field->shape == FieldShape::kSecret) {
        return field == nullptr ? trimmed(bytes, static_cast<size_t>(size)) : "(hidden)";
    }
    if (field->shape == FieldShape::kText) {
        return trimmed(bytes, static_cast<size_t>(size));
    }
    uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    char number[32];
    std::snprintf(number, sizeof number, field->shape == FieldShape::kHex ? "0x%08llX" : "%llu",
                  static_cast<unsigned long long>(value));
    return number;
}

}  // namespace

const char* ChangeJournal::schema() {
    // Rows are only ever appended, so the plain rowid keeps their order; no
    // index or sequence table adds a page write to each save.
    return "CREATE TABLE IF NOT EXISTS journal("
           " id INTEGER PRIMARY KEY, file TEXT NOT NULL, time INTEGER NOT NULL,"
           " user TEXT NOT NULL, key BLOB NOT NULL, pos INTEGER NOT NULL, field TEXT NOT NULL,"
           " old BLOB, new BLOB NOT NULL);";
}

bool ChangeJournal::open(const Database& db, const char* file_name, const RecordField* fields,
                         int field_count, int key_size, std::string* error) {
    file_name_ = file_name;
    fields_ = fields;
    field_count_ = field_count;
    key_size_ = key_size;
    return insert_.prepare(db,
                           "INSERT INTO journal(file, time, user, key, pos, field, old, new)"
                           " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
                           error);
}

void ChangeJournal::close() {
    insert_.finalize();
}

bool ChangeJournal::read(const Database& db, const uint8_t* key,
                         const std::function<void(const JournalChange&)>& visit,
                         std::string* error) const {
    Statement select;
    const char* sql = key != nullptr
                          ? "SELECT id, file, time, user, key, pos, field, old, new FROM journal"
                            " WHERE key = ?1 ORDER BY id DESC"
                          : "SELECT id, file, time, user, key, pos, field, old, new FROM journal"
                            " ORDER BY id DESC";
    if (!select.prepare(db, sql, error)) {
        return false;
    }
    if (key != nullptr) {
        select.bind_blob(1, key, key_size_);
    }
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        JournalChange change;
        change.id = select.column_int64(0);
        change.file = select.column_text(1);
        change.time = static_cast<uint32_t>(select.column_int64(2));
        change.user = select.column_text(3);
        change.key = trimmed(static_cast<const uint8_t*>(select.column_blob(4)),
                             static_cast<size_t>(select.column_bytes(4)));
        change.position = select.column_int64(5);
        change.field = select.column_text(6);
        const RecordField* field = nullptr;
        for (int i = 0; i < field_count_; ++i) {
            if (change.field == fields_[i].name) {
                field = &fields_[i];
            }
        }
        change.inserted = sqlite3_column_type(select.get(), 7) == SQLITE_NULL;
        if (!change.inserted) {
            change.old_value = readable(field, select.column_blob(7), select.column_bytes(7));
        }
        change.new_value = readable(field, select.column_blob(8), select.column_bytes(8));
        visit(change);
    }
    if (rc != SQLITE_DONE) {
        *error = db.last_error();
        return false;
    }
    return true;
}

int ChangeJournal::record(int64_t position, const uint8_t* before, const uint8_t* after) {
    if (!stamp_ || insert_.get() == nullptr) {
        return SQLITE_OK;
    }
    const JournalStamp stamp = stamp_();
    // The key as journalled: a secret inside it (the password file's key
    // holds the password) is blanked.
    uint8_t key[kMaxKeySize];
    const size_t key_size = std::min(static_cast<size_t>(key_size_), sizeof key);
    std::memcpy(key, after, key_size);
    for (int i = 0; i < field_count_; ++i) {
        const RecordField& field = fields_[i];
        if (field.shape == FieldShape::kSecret && static_cast<size_t>(field.offset) < key_size) {
            const size_t end = std::min(key_size, static_cast<size_t>(field.offset + field.width));
            std::memset(key + field.offset, ' ', end - static_cast<size_t>(field.offset));
        }
    }
    for (int i = 0; i < field_count_; ++i) {
        const RecordField& field = fields_[i];
        const uint8_t* old_bytes = before != nullptr ? before + field.offset : nullptr;
        const uint8_t* new_bytes = after + field.offset;
        const size_t width = static_cast<size_t>(field.width);
        if (old_bytes != nullptr && std::memcmp(old_bytes, new_bytes, width) == 0) {
            continue;
        }
        // A secret is journalled as changed, never with its bytes.
        static const uint8_t kHidden[1] = {0};
        const bool secret = field.shape == FieldShape::kSecret;
        ResetOnExit reset(insert_);
        insert_.bind_text(1, file_name_);
        insert_.bind_int64(2, stamp.time);
        insert_.bind_text(3, stamp.user);
        insert_.bind_blob(4, key, static_cast<int>(key_size));
        insert_.bind_int64(5, position);
        insert_.bind_text(6, field.name);
        if (old_bytes == nullptr) {
            sqlite3_bind_null(insert_.get(), 7);
        } else {
            insert_.bind_blob(7, secret ? kHidden : old_bytes, secret ? 0 : field.width);
        }
        insert_.bind_blob(8, secret ? kHidden : new_bytes, secret ? 0 : field.width);
        const int rc = insert_.step();
        if (rc != SQLITE_DONE) {
            return rc;
        }
    }
    return SQLITE_OK;
}

}  // namespace hostlibs::detail
