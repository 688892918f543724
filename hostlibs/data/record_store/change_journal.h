// The change journal of one record file: every insert and update appends,
// in the writing transaction, one row per changed field with its old and new
// bytes, the record's key and position, the host clock, the user and the
// operating-system login. This
// decides the rows and reads them back; the storage writes and keeps them.
//
// `old` is absent for a field of a new record. Fields marked secret (the
// password) are journalled as changed without their bytes, and blanked in
// the journalled key.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "record_store/record_storage.h"

namespace hostlibs::detail {

// One journalled field change, readable.
struct JournalChange {
    int64_t id = 0;
    std::string file;
    uint32_t time = 0;
    std::string user;
    std::string login;
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
    std::string login;  // the operating-system login
};

class ChangeJournal {
  public:
    void open(const RecordLayout& layout) { layout_ = layout; }
    // Where each entry's clock and user come from; none disables the journal.
    void set_stamp(std::function<JournalStamp()> stamp) { stamp_ = std::move(stamp); }
    bool enabled() const { return static_cast<bool>(stamp_); }

    // The rows of the fields that differ between `before` (null for a new
    // record) and `after`, stamped now; none when the journal is off. The
    // rows point into `before`, `after` and this journal's key buffer.
    std::optional<JournalRows> rows(const uint8_t* before, const uint8_t* after);

    // A stored row with its values made readable by field shape.
    JournalChange readable(const StoredJournalRow& row) const;

  private:
    RecordLayout layout_{};
    std::function<JournalStamp()> stamp_;
    std::array<uint8_t, kMaxRecordSize> key_{};  // the journalled key of the last rows
};

}  // namespace hostlibs::detail
