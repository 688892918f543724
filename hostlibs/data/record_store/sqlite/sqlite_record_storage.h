// The record store on SQLite: one database file per record file under the
// root's DATA/ folder, holding its records, its layout, its change journal
// and (the password file) the password hashes.
//
// Tables: records(pos INTEGER PRIMARY KEY AUTOINCREMENT, key BLOB UNIQUE,
// data BLOB), layout(record_size, key_size), journal(...), password_hashes(name, hash),
// password_failures(name, failures, last_failure).
// AUTOINCREMENT never hands out a position again after a delete; BLOBs
// compare as bytes (memcmp).
#pragma once

#include <string>

#include "core/sqlite_handle.h"
#include "record_store/record_storage.h"

namespace hostlibs::detail {

class SqliteRecordStore : public RecordStore {
  public:
    // `make_files`: a missing file is made (for a new root); else it is refused.
    SqliteRecordStore(std::string data_native, int busy_timeout_ms, bool make_files)
        : data_native_(std::move(data_native)),
          busy_timeout_ms_(busy_timeout_ms),
          make_files_(make_files) {}

    std::unique_ptr<RecordStorage> open_file(const RecordLayout& layout, bool read_only,
                                             std::string* error) override;
    bool check_file(const RecordLayout& layout, bool read_only, std::string* error) override;

  private:
    std::string data_native_;  // ends in '/'
    int busy_timeout_ms_;
    bool make_files_;
};

class SqliteRecordStorage : public RecordStorage {
  public:
    enum class Access { kRead, kWrite, kWriteOrMake };
    // Opens the record file at `native_path`; kWriteOrMake makes it, whole,
    // when it is missing. A file without its records and layout tables (an
    // empty file, another database) is refused, never given them.
    bool open(const std::string& native_path, const RecordLayout& layout, int busy_timeout_ms,
              Access access, std::string* error);

    RECORD_STORAGE_OVERRIDES
    std::string last_error() const override;

  private:
    // Steps a select of (pos, data); on a row, copies it into *record.
    int deliver(Statement& select, StoredRecord* record, int none_status);
    // Copies the row a select stands on; false when it is longer than the layout.
    bool take_row(const Statement& select, StoredRecord* record) const;
    // The record status of an SQLite result; an I/O error is logged once here.
    int failed(int rc, int busy_status);
    // Writes a new file's tables and layout in one transaction.
    bool create(std::string* error);
    // Reads what tables an existing file holds; refuses a file without its
    // records and layout tables, or of another layout.
    bool check_tables(std::string* error);
    // Opened for writing, a file of an older version gets what was added since.
    bool upgrade(std::string* error);

    Database db_;
    // What the file holds; an older file opened read-only may lack the later ones.
    bool has_layout_row_ = false;
    bool has_journal_ = false;
    bool has_journal_login_ = false;  // the journal's login column
    bool has_hashes_ = false;
    RecordLayout layout_{};
    std::string native_path_;
    Statement first_, last_, equal_, direct_, swap_, swap_data_, upsert_, erase_, all_;
    Statement walk_next_, walk_previous_, journal_insert_, hash_select_, hash_upsert_;
    Statement failures_select_, failure_first_, failure_more_, failures_clear_;
};

}  // namespace hostlibs::detail
