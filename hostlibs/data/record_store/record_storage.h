// What a record file needs of the database under it, as one interface with a
// backend per database (sqlite/, postgres/). A backend holds only its SQL and
// its connection; currency, read-ahead, the byte merge of an update, which
// journal rows a change makes and password hashing live above it
// (record_file, change_journal, password_file) and serve every backend alike.
//
// Every call returns a record status: RS_OK, the "none" status it names,
// RS_RECORD_LOCKED (a write lock not had within the busy timeout),
// RS_FILE_LOCKED (a read lock not had), RS_BUFFER_TOO_SHORT (a stored record
// longer than its layout) or RS_IO_ERROR (anything else: a lost connection, a
// server or disk error). A backend writes one error-log record for each
// RS_IO_ERROR it returns, naming the file and the database's reason, and the
// next call after a lost connection connects again.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "hostlibs/host_setup.h"  // StoredJournalRow

namespace hostlibs::detail {

inline constexpr int kMaxRecordSize = 120;

enum class FieldShape { kText, kNumber, kHex, kSecret };

// One field of a record layout, as the change journal names it.
struct RecordField {
    const char* name;
    int offset;
    int width;
    FieldShape shape;
};

// The shape of one record file: fixed-size records, found by the fixed-width
// key at their start, which orders as unsigned bytes.
struct RecordLayout {
    const char* file_name;      // "devices.db": the SQLite file, and the journal's name of the file
    const char* table;          // "devices": the file's name in a shared store
    int record_size;            // bytes
    int key_size;               // bytes at offset 0 of the record
    const RecordField* fields;  // the record's fields, as the change journal names them
    int field_count;
};

// A file with a secret field (the password file) keeps its hashes beside its records.
inline bool keeps_hashes(const RecordLayout& layout) {
    for (int i = 0; i < layout.field_count; ++i) {
        if (layout.fields[i].shape == FieldShape::kSecret) {
            return true;
        }
    }
    return false;
}

// One stored record. A record stored shorter than its layout reads with the
// missing bytes zero; `size` keeps its stored length, so that a
// compare-and-swap compares what is really stored.
struct StoredRecord {
    int64_t position = 0;  // assigned once, never reused; fits 32 bits
    int size = 0;
    std::array<uint8_t, kMaxRecordSize> data{};
};

// One journal row of a record change; change_journal decides which rows.
struct JournalRow {
    const char* field;
    bool has_old = false;  // false for the fields of a new record
    std::span<const uint8_t> old_bytes;
    std::span<const uint8_t> new_bytes;
};

// The journal rows of one change of one record.
struct JournalRows {
    const char* file = "";  // RecordLayout::file_name
    uint32_t time = 0;      // host clock
    std::string user;
    std::string login;             // the operating-system login
    std::span<const uint8_t> key;  // as journalled: a secret in it is blanked
    std::vector<JournalRow> rows;
};

// A compare-and-swap found the record holding other bytes than expected, or gone.
inline constexpr int kSwapMissed = -1;

// The failed password entries of one name (password_throttle), kept beside
// the hashes so that every process and workstation on the store sees them.
// Times are the store's own clock in milliseconds since 1970: the system
// clock for SQLite files, the server's for a shared store, so that neither
// the host clock of one process nor a workstation's skew moves a wait.
struct PasswordFailures {
    int64_t failures = 0;  // 0: the name has no row
    int64_t last_failure_ms = 0;
    int64_t now_ms = 0;  // the store's clock when the row was read
};

class RecordStorage {
  public:
    virtual ~RecordStorage() = default;

    // Reads; RS_OK with the record, else the status named or an error.
    virtual int first(StoredRecord* record) = 0;                      // none: RS_END_OF_FILE
    virtual int last(StoredRecord* record) = 0;                       // none: RS_END_OF_FILE
    virtual int equal(const uint8_t* key, StoredRecord* record) = 0;  // none: RS_KEY_NOT_FOUND
    // None: RS_INVALID_RECORD_ADDRESS.
    virtual int direct(int64_t position, StoredRecord* record) = 0;
    // Up to `limit` records whose keys follow `key` (forward) or precede it,
    // in that order, into out[0..*count). One query that ends at once: no
    // cursor or snapshot stays open between calls. None: RS_END_OF_FILE; an
    // error after some records were read gives RS_OK with those.
    virtual int batch(bool forward, const uint8_t* key, int limit, StoredRecord* out,
                      int* count) = 0;
    // Every record in key order until `visit` returns false.
    virtual int scan(const std::function<bool(const StoredRecord&)>& visit) = 0;

    // Writes `after` (record_size bytes) over the record at `position` when it
    // holds exactly `expected` now, with the journal rows (when not null), in
    // one transaction. RS_OK when written; kSwapMissed when the record holds
    // other bytes or is gone, nothing written; RS_DUPLICATE_KEY when `after`
    // takes another record's key; else an error.
    virtual int swap(int64_t position, std::span<const uint8_t> expected,
                     std::span<const uint8_t> after, const JournalRows* journal) = 0;

    // Set-up writes, between begin_write and commit_write (rollback_write
    // drops them): insert or replace a record by key, keeping a replaced
    // record's position; `*position` gets the record's position.
    virtual int begin_write() = 0;
    virtual int commit_write() = 0;
    virtual void rollback_write() = 0;
    virtual int upsert(std::span<const uint8_t> record, int64_t* position) = 0;
    virtual int append_journal(int64_t position, const JournalRows& journal) = 0;
    // Removes the record of `key` (alone, its own transaction); RS_KEY_NOT_FOUND when none.
    virtual int remove(const uint8_t* key) = 0;

    // The journal of this file, newest first; only `key`'s rows when not null.
    // Rows are read a few at a time, never the whole journal at once; stops
    // when `visit` returns false.
    virtual int read_journal(const uint8_t* key,
                             const std::function<bool(const StoredJournalRow&)>& visit) = 0;
    // Pruning: up to `limit` journal rows of this file written before the
    // clock value `before` with ids above `after_id`, oldest first, into
    // *rows. One query that ends at once. None: RS_OK with no rows.
    virtual int old_journal(int64_t before, int64_t after_id, int limit,
                            std::vector<StoredJournalRow>* rows) = 0;
    // Deletes the journal rows of this file with these ids, in one
    // transaction; *deleted counts the rows that were there.
    virtual int delete_journal(std::span<const int64_t> ids, int64_t* deleted) = 0;

    // The password file's hashes beside its records, by the 30-byte name.
    // None: RS_KEY_NOT_FOUND. store_hash runs inside a write when one is open.
    virtual int find_hash(const uint8_t* name, std::string* hash) = 0;
    virtual int store_hash(const uint8_t* name, const std::string& hash) = 0;
    // Every name and hash of the password file, in name order, until `visit`
    // returns false (moving a store to another database). None: RS_OK.
    virtual int scan_hashes(const std::function<bool(std::span<const uint8_t> name,
                                                     const std::string& hash)>& visit) = 0;

    // The failed password entries of a 30-byte name, with the store's clock.
    virtual int find_failures(const uint8_t* name, PasswordFailures* failures) = 0;
    // Counts one more failure of the name at the store's clock, when its row
    // still holds what `seen` read (no row when seen.failures is 0): RS_OK,
    // or kSwapMissed with nothing written when another try counted meanwhile.
    virtual int count_failure(const uint8_t* name, const PasswordFailures& seen) = 0;
    // Forgets the name's failures (a granted entry).
    virtual int clear_failures(const uint8_t* name) = 0;

    // How many records the file holds, how many journal rows, and the
    // highest position it ever handed out (0 for none): a record deleted
    // since keeps its position from being handed out again, also in a copy.
    virtual int count(int64_t* records, int64_t* journal_rows, int64_t* highest_position) = 0;

    // The database's reason for the last failure, with the file's name.
    virtual std::string last_error() const = 0;
};

// The operations every storage overrides, declared in one place so that an
// operation added to the interface is declared for each backend at once.
#define RECORD_STORAGE_OVERRIDES                                                                  \
    int first(StoredRecord* record) override;                                                     \
    int last(StoredRecord* record) override;                                                      \
    int equal(const uint8_t* key, StoredRecord* record) override;                                 \
    int direct(int64_t position, StoredRecord* record) override;                                  \
    int batch(bool forward, const uint8_t* key, int limit, StoredRecord* out, int* count)         \
        override;                                                                                 \
    int scan(const std::function<bool(const StoredRecord&)>& visit) override;                     \
    int swap(int64_t position, std::span<const uint8_t> expected, std::span<const uint8_t> after, \
             const JournalRows* journal) override;                                                \
    int begin_write() override;                                                                   \
    int commit_write() override;                                                                  \
    void rollback_write() override;                                                               \
    int upsert(std::span<const uint8_t> record, int64_t* position) override;                      \
    int append_journal(int64_t position, const JournalRows& journal) override;                    \
    int remove(const uint8_t* key) override;                                                      \
    int read_journal(const uint8_t* key,                                                          \
                     const std::function<bool(const StoredJournalRow&)>& visit) override;         \
    int old_journal(int64_t before, int64_t after_id, int limit,                                  \
                    std::vector<StoredJournalRow>* rows) override;                                \
    int delete_journal(std::span<const int64_t> ids, int64_t* deleted) override;                  \
    int find_hash(const uint8_t* name, std::string* hash) override;                               \
    int store_hash(const uint8_t* name, const std::string& hash) override;                        \
    int scan_hashes(                                                                              \
        const std::function<bool(std::span<const uint8_t>, const std::string&)>& visit) override; \
    int find_failures(const uint8_t* name, PasswordFailures* failures) override;                  \
    int count_failure(const uint8_t* name, const PasswordFailures& seen) override;                \
    int clear_failures(const uint8_t* name) override;                                             \
    int count(int64_t* records, int64_t* journal_rows, int64_t* highest_position) override;

// Where one root's record files are stored: SQLite files under DATA/, or a
// shared PostgreSQL store.
class RecordStore {
  public:
    virtual ~RecordStore() = default;
    // Opens the storage of one record file; null with a reason when it
    // cannot (a file of another layout is refused). A read-only open makes
    // and changes nothing.
    virtual std::unique_ptr<RecordStorage> open_file(const RecordLayout& layout, bool read_only,
                                                     std::string* error) = 0;
    // Looks at a file that opens at its first use, so that one that cannot
    // serve (unreadable, empty, no record file) is refused at once with its
    // name; a missing one is made or refused as open_file would. A store that
    // keeps no files says yes.
    virtual bool check_file(const RecordLayout&, bool, std::string*) { return true; }

    // Writes of other workstations to a record file: after watch(layout),
    // changed_elsewhere(layout) tells whether another workstation stored a
    // change to it since the call before. Files only this root uses (SQLite)
    // report none.
    virtual void watch(const RecordLayout&) {}
    virtual bool changed_elsewhere(const RecordLayout&) { return false; }
};

}  // namespace hostlibs::detail
