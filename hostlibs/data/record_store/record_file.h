// One record-store file: fixed-size records in an SQLite table, found by a
// fixed-width key at the start of each record, with the classic record
// operations and status codes.
//
// Table: records(pos INTEGER PRIMARY KEY AUTOINCREMENT, key BLOB UNIQUE, data BLOB).
// `pos` is the record's 4-byte position; AUTOINCREMENT never hands out a
// position again after a delete. Keys order as bytes (memcmp).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/sqlite_handle.h"
#include "record_store/change_journal.h"

namespace hostlibs::detail {

struct RecordLayout {
    const char* file_name;      // below the data directory
    int record_size;            // bytes
    int key_size;               // bytes at offset 0 of the record
    const RecordField* fields;  // the record's fields, as the change journal names them
    int field_count;
};

inline constexpr int kMaxRecordSize = 120;

class RecordFile {
  public:
    RecordFile() = default;
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    bool open(const std::string& native_path, const RecordLayout& layout, int busy_timeout_ms,
              std::string* error, bool read_only = false);
    // Makes the file ready to open at its first use (see ensure_open), so a
    // session that never reads it never pays for opening it; a file that
    // cannot be opened then fails that use, and the first such failure is
    // written to the error log. `then` opens what else lives in its database.
    void open_on_use(const std::string& native_path, const RecordLayout& layout,
                     int busy_timeout_ms, bool read_only,
                     std::function<bool(Database&, std::string*)> then = nullptr);
    // Opens a file made ready to open on use; true when the file is open.
    bool ensure_open(std::string* error);
    void close();
    bool is_open() const { return db_.is_open(); }
    const RecordLayout& layout() const { return layout_; }

    // The bound record buffer (record_size bytes), or null.
    void bind(void* buffer) { buffer_ = static_cast<uint8_t*>(buffer); }
    void* bound() const { return buffer_; }

    // Where journal entries take their clock and user from; without a stamp
    // nothing is journalled.
    void set_journal_stamp(std::function<JournalStamp()> stamp) {
        journal_.set_stamp(std::move(stamp));
    }

    // One classic record operation; returns its status.
    int call(int operation, void* key, int key_number);

    // The change journal, newest first; only `key`'s entries when not null.
    bool read_journal(const uint8_t* key, const std::function<void(const JournalChange&)>& visit,
                      std::string* error) {
        return ensure_open(error) && journal_.read(db_, key, visit, error);
    }

    // Set-up access outside the operation codes (no effect on the current record).
    // Inserts or replaces each record by key, all in one transaction; `also`
    // (an SQLite result) writes what belongs with them in the same one.
    bool put_all(const uint8_t* records, size_t count, std::string* error,
                 const std::function<int()>& also = nullptr);
    bool for_each(const std::function<bool(const uint8_t*)>& visit, std::string* error);
    bool remove(const uint8_t* key, std::string* error);

  private:
    enum class Move { kFirst, kLast, kNext, kPrevious };

    int get_move(Move move, uint8_t* key);
    // Next or previous, served from records read ahead while calls in one
    // direction follow each other closely.
    int walk(Move move, uint8_t* key);
    // Reads up to `batch` records on from the current key.
    int read_ahead(Move move, int batch);
    // Leaves the read-ahead records, keeping the current record's bytes.
    void end_walk();
    int get_equal(uint8_t* key);
    int get_direct(uint8_t* key);
    int get_position(uint8_t* key);
    int update();
    // Steps a prepared select of (pos, data); on a row, delivers it.
    int deliver(Statement& select, uint8_t* key, int not_found_status);
    // Copies the row a select stands on into the buffer and makes it current.
    int take_row(const Statement& select, uint8_t* key);
    int take_record(int64_t position, const void* data, int size, uint8_t* key);

    // The stored record of a key, if any: its position and bytes (record_size).
    bool find_stored(const uint8_t* key, int64_t* position, uint8_t* data);

    // How to open a file left to open on use.
    struct OnUse {
        std::string native_path;
        int busy_timeout_ms = 0;
        bool read_only = false;
        std::function<bool(Database&, std::string*)> then;
        bool failure_logged = false;
    };
    std::optional<OnUse> on_use_;

    Database db_;
    ChangeJournal journal_;
    Statement first_, last_, equal_, direct_, write_, write_data_, upsert_, erase_, all_;
    Statement walk_next_, walk_previous_;
    // Records read ahead by the last walk seek (kFirst: none), served in order.
    struct AheadRecord {
        int64_t position;
        std::array<uint8_t, kMaxRecordSize> data;
    };
    std::unique_ptr<AheadRecord[]> ahead_;  // grows with the longest batch read
    int ahead_capacity_ = 0;
    int ahead_batch_ = 0;  // records the last seek asked for
    Move ahead_move_ = Move::kFirst;
    int ahead_count_ = 0;
    int ahead_next_ = 0;
    int64_t ahead_read_at_ns_ = 0;  // coarse monotonic clock
    // The read-ahead record a walk last delivered, whose bytes and key
    // last_read_ and current_key_ stand for until end_walk copies them in.
    const AheadRecord* walk_current_ = nullptr;
    RecordLayout layout_{};
    uint8_t* buffer_ = nullptr;
    // The current record: its position, key and the bytes this handle last read of it.
    bool has_current_ = false;
    int64_t current_position_ = 0;
    std::array<uint8_t, kMaxRecordSize> current_key_{};
    std::array<uint8_t, kMaxRecordSize> last_read_{};
};

// Maps an SQLite result to a record status (busy: locked; others: I/O error).
int status_of_sqlite(int rc, int busy_status);

}  // namespace hostlibs::detail
