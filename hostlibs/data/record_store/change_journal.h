// The change journal of one record file: every insert and update appends,
// in the writing transaction, one row per changed field with its old and new
// bytes, the record's key and position, the host clock and the user.
//
// Table: journal(id, file, time, user, key, pos, field, old, new); `old` is
// NULL for a field of a new record. Fields marked secret (the password) are
// journalled as changed without their bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/sqlite_handle.h"

namespace hostlibs::detail {

enum class FieldShape { kText, kNumber, kHex, kSecret };

// One field of a record layout, for the journal.
struct RecordField {
    const char* name;
    int offset;
    int width;
    FieldShape shape;
};

// One journalled field change, readable.
struct JournalChange {
    int64_t id = 0;
    std::string file;
    uint32_t time = 0;
    std::string user;
    std::string key;  // trailing blanks dropped
    int64_t position = 0;
    std::string field;
    bool inserted = false;  // the record was new: no old value
    std::string old_value;
    std::string new_value;
};

struct JournalStamp {
    uint32_t time = 0;
    std::string user;
};

class ChangeJournal {
  public:
    static const char* schema();

    // Prepares the journal's insert on the record file's connection.
    bool open(const Database& db, const char* file_name, const RecordField* fields, int field_count,
              int key_size, std::string* error);
    void close();
    // Where each entry's clock and user come from; none disables the journal.
    void set_stamp(std::function<JournalStamp()> stamp) { stamp_ = std::move(stamp); }
    bool enabled() const { return static_cast<bool>(stamp_); }

    // Reads the journal newest first, only the entries of `key` (key_size
    // bytes) when it is not null, with values made readable by field shape.
    bool read(const Database& db, const uint8_t* key,
              const std::function<void(const JournalChange&)>& visit, std::string* error) const;

    // Journals the fields that differ between `before` (null for a new
    // record) and `after`; an SQLite result, SQLITE_OK when all was written.
    int record(int64_t position, const uint8_t* before, const uint8_t* after);

  private:
    Statement insert_;
    const char* file_name_ = "";
    const RecordField* fields_ = nullptr;
    int field_count_ = 0;
    int key_size_ = 0;
    std::function<JournalStamp()> stamp_;
};

}  // namespace hostlibs::detail
