// Writing a whole register into an empty shared store, in one transaction:
// records at their positions, password hashes, journal rows in their order
// and sites with their ids. What is copied is read elsewhere, through the
// storage interfaces; here rows arrive in batches and travel as bound arrays.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "core/pg_connection.h"
#include "hostlibs/host_setup.h"
#include "record_store/record_storage.h"

namespace hostlibs::detail {

class PG_STORE_API PgStoreCopy {
  public:
    // `conn` is open on the target, its schema at this program's version.
    explicit PgStoreCopy(PgConnection& conn) : conn_(conn) {}
    PgStoreCopy(const PgStoreCopy&) = delete;
    PgStoreCopy& operator=(const PgStoreCopy&) = delete;
    ~PgStoreCopy();  // rolls back what was not committed

    // Starts the transaction, locks the store's tables against every other
    // writer, and refuses a store that holds any record, password hash,
    // journal row or site.
    bool begin(std::string* error);

    // The file's layout; refused when the store remembers another one.
    bool add_layout(const RecordLayout& layout, std::string* error);
    // Records, each at its position.
    bool add_records(const RecordLayout& layout, std::span<const StoredRecord> records,
                     std::string* error);
    bool add_hashes(const std::vector<std::string>& names, const std::vector<std::string>& hashes,
                    std::string* error);
    // One file's journal: begin_journal with the number of its rows, then the
    // rows newest first (as read_journal gives them), then end_journal. The
    // rows take the ids after the rows copied before, oldest lowest.
    void begin_journal(int64_t rows) {
        journal_expected_ = rows;
        journal_added_ = 0;
    }
    bool add_journal(std::span<const StoredJournalRow> newest_first, std::string* error);
    bool end_journal(const RecordLayout& layout, std::string* error);
    // Sites with their ids and lines.
    bool add_sites(std::span<const SiteInfo> sites, std::string* error);

    // What the target holds now, in the copy's transaction.
    bool count_file(const RecordLayout& layout, int64_t* records, int64_t* journal_rows,
                    std::string* error);
    bool count_shared(int64_t* password_hashes, int64_t* sites, std::string* error);

    // Moves each identity past the highest value copied, so that new records
    // and sites never take a copied position or id, and commits.
    // The highest position a file's source ever gave: the target's positions
    // go on past it.
    void keep_positions_past(const RecordLayout& layout, int64_t highest) {
        highest_positions_[layout.table] = highest;
    }
    bool commit(std::string* error);

  private:
    // False with "what: the server's reason"; the transaction is rolled back.
    bool failed(const std::string& what, const PgResult& result, std::string* error);

    PgConnection& conn_;
    bool open_ = false;
    int64_t journal_base_ = 0;  // journal ids given so far
    int64_t journal_expected_ = 0;
    int64_t journal_added_ = 0;
    std::map<std::string, int64_t> highest_positions_;
};

}  // namespace hostlibs::detail
