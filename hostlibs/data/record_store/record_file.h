// One record-store file: fixed-size records found by a fixed-width key at
// the start of each record, with the classic record operations and status
// codes, over the storage of whichever backend the root uses.
//
// The handle keeps the current record (its position, key and the bytes last
// read of it), reads ahead in batches while a walk goes on, and merges an
// update onto the record as stored now: the parts every backend shares.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "record_store/change_journal.h"
#include "record_store/record_storage.h"

namespace hostlibs::detail {

class RecordFile {
  public:
    RecordFile() = default;
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Opens the file's storage in `store` now; false with the reason.
    bool open(RecordStore& store, const RecordLayout& layout, bool read_only, std::string* error);
    // Makes the file ready to open at its first use (see ensure_open), so a
    // session that never reads it never pays for opening it; a file that
    // cannot be opened then fails that use, and the first such failure is
    // written to the error log.
    void open_on_use(RecordStore& store, const RecordLayout& layout, bool read_only);
    // Opens a file made ready to open on use; true when the file is open.
    bool ensure_open(std::string* error);
    void close();
    bool is_open() const { return storage_ != nullptr; }
    const RecordLayout& layout() const { return layout_; }
    // The open storage (after ensure_open), for what lives beside the records.
    RecordStorage* storage() const { return storage_.get(); }

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
    // Stops when `visit` returns false.
    bool read_journal(const uint8_t* key, const std::function<bool(const JournalChange&)>& visit,
                      std::string* error);
    // Moves the journal rows written before `before`, oldest first, a batch
    // at a time: each batch is deleted only after `keep` returned true for
    // it. *moved grows by the rows deleted.
    bool prune_journal(
        int64_t before,
        const std::function<bool(const std::vector<StoredJournalRow>&, std::string*)>& keep,
        int64_t* moved, std::string* error);

    // Set-up access outside the operation codes (no effect on the current record).
    // Inserts or replaces each record by key, all in one transaction; `also`
    // (a record status) writes what belongs with them in the same one.
    bool put_all(const uint8_t* records, size_t count, std::string* error,
                 const std::function<int(RecordStorage&)>& also = nullptr);
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
    // Makes a record read from storage current and hands it to the caller.
    int take(int status, const StoredRecord& record, uint8_t* key);
    // The failure of a set-up call, with the storage's reason.
    bool failure(int status, std::string* error) const;

    // How to open a file left to open on use.
    struct OnUse {
        RecordStore* store = nullptr;
        bool read_only = false;
        bool failure_logged = false;
    };
    std::optional<OnUse> on_use_;

    std::unique_ptr<RecordStorage> storage_;
    ChangeJournal journal_;
    // Records read ahead by the last walk seek (kFirst: none), served in order.
    std::unique_ptr<StoredRecord[]> ahead_;  // grows with the longest batch read
    int ahead_capacity_ = 0;
    int ahead_batch_ = 0;  // records the last seek asked for
    Move ahead_move_ = Move::kFirst;
    int ahead_count_ = 0;
    int ahead_next_ = 0;
    int64_t ahead_read_at_ns_ = 0;  // coarse monotonic clock
    // The read-ahead record a walk last delivered, which current_ stands for
    // until end_walk copies it in.
    const StoredRecord* walk_current_ = nullptr;
    RecordLayout layout_{};
    uint8_t* buffer_ = nullptr;
    // The current record: its position, stored length and the bytes this
    // handle last read of it (its key at their start).
    bool has_current_ = false;
    StoredRecord current_;
};

}  // namespace hostlibs::detail
