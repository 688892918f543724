// The record files in a shared PostgreSQL store: one connection serves the
// three files of a workstation, each file a table of the store's schema
// (see pg_schema.h), with one journal and the password hashes and failures.
#pragma once

#include <memory>
#include <string>

#include "core/pg_connection.h"
#include "record_store/record_storage.h"

namespace hostlibs::detail {

// The channel on which the writes of a record file are announced.
std::string change_channel(const RecordLayout& layout);

class PG_STORE_API PgRecordStore : public RecordStore {
  public:
    // Connects and checks the schema; false with a reason naming the server
    // when it cannot. `busy_timeout_ms` bounds every wait for a lock.
    bool open(const std::string& conninfo, int busy_timeout_ms, std::string* error);

    std::unique_ptr<RecordStorage> open_file(const RecordLayout& layout, bool read_only,
                                             std::string* error) override;

    void watch(const RecordLayout& layout) override;
    bool changed_elsewhere(const RecordLayout& layout) override;

    // The connection the files share, for what else lives in the store (sites).
    const std::shared_ptr<PgConnection>& connection() const { return conn_; }

  private:
    std::shared_ptr<PgConnection> conn_;
};

class PG_STORE_API PgRecordStorage : public RecordStorage {
  public:
    PgRecordStorage(std::shared_ptr<PgConnection> conn, const RecordLayout& layout, bool read_only);

    RECORD_STORAGE_OVERRIDES

    std::string last_error() const override { return error_; }

  private:
    enum Query {
        kFirst,
        kLast,
        kEqual,
        kDirect,
        kNext,
        kPrevious,
        kScan,
        kSwap,
        kUpsert,
        kRemove,
        kNotify,
        kAppendJournal,
        kJournal,
        kKeyJournal,
        kOldJournal,
        kDeleteJournal,
        kFindHash,
        kStoreHash,
        kScanHashes,
        kFindFailures,
        kFirstFailure,
        kMoreFailure,
        kClearFailures,
        kCount,
        kQueryCount
    };

    std::span<const uint8_t> key_of(const uint8_t* key) const;
    // One record of a result into `record`; RS_BUFFER_TOO_SHORT when the
    // stored record is longer than the layout.
    int take(const PgResult& result, int row, StoredRecord* record) const;
    int read_one(Query query, const PgParams& params, int none, StoredRecord* record);
    // The status of a failed statement; `lock` is what a lock not had means
    // (RS_RECORD_LOCKED for writes, RS_FILE_LOCKED for reads). An error is
    // logged once here.
    int failed(const PgResult& result, int lock);
    int failed(const std::string& why);
    static void add_journal(PgParams* params, const JournalRows& journal);

    std::shared_ptr<PgConnection> conn_;
    RecordLayout layout_;
    bool read_only_;
    std::string channel_;  // announces this file's writes (change_channel)
    bool wrote_ = false;   // the open set-up write changed a record
    PgStatement queries_[kQueryCount];
    std::string error_;
};

}  // namespace hostlibs::detail
