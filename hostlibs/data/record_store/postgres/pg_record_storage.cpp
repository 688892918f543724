#include "record_store/postgres/pg_record_storage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "hostlibs/host_setup.h"
#include "platform/host_libraries.h"
#include "record_store/postgres/pg_schema.h"

namespace hostlibs::detail {

namespace {

// Records read per query by scan(), and journal rows by read_journal(): each
// page is its own query, so no cursor or snapshot stays open between pages.
constexpr int kScanPage = 1000;
constexpr int kJournalPage = 500;

// The password file's name, the key of its hashes.
constexpr size_t kHashNameSize = 30;

constexpr int64_t kLastPosition = std::numeric_limits<uint32_t>::max();

// The server's clock in milliseconds since 1970: one clock for every
// workstation, whatever their own clocks say.
#define SERVER_CLOCK_MS "(extract(epoch FROM clock_timestamp()) * 1000)::bigint"

// Table names come from the program's layouts; they are still checked, as
// they are the one name written into SQL.
bool plain_name(const char* name) {
    if (name == nullptr || *name == '\0') {
        return false;
    }
    for (const char* c = name; *c != '\0'; ++c) {
        if (!((*c >= 'a' && *c <= 'z') || *c == '_' || (c != name && *c >= '0' && *c <= '9'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

// Every write of a record file is announced, in its own transaction, on the
// file's channel; the notification carries the writer's backend pid, by
// which a workstation tells its own writes from those of others.
std::string change_channel(const RecordLayout& layout) {
    return std::string("devgroup_") + (layout.table != nullptr ? layout.table : "");
}

// ---------------------------------------------------------------- store

bool PgRecordStore::open(const std::string& conninfo, int busy_timeout_ms, std::string* error) {
    auto conn = std::make_shared<PgConnection>();
    if (!conn->open(conninfo, busy_timeout_ms, error) || !check_schema(*conn, error)) {
        return false;
    }
    conn_ = std::move(conn);
    return true;
}

std::unique_ptr<RecordStorage> PgRecordStore::open_file(const RecordLayout& layout, bool read_only,
                                                        std::string* error) {
    const std::string table = layout.table != nullptr ? layout.table : "";
    if (conn_ == nullptr) {
        *error = "the shared store is not open";
        return nullptr;
    }
    if (!plain_name(layout.table) || layout.record_size <= 0 ||
        layout.record_size > kMaxRecordSize || layout.key_size <= 0 ||
        layout.key_size > layout.record_size) {
        *error = "shared store table " + table + ": not a layout this store can hold";
        return nullptr;
    }
    const std::string where = "shared store table " + table + " at " + conn_->server() + ": ";
    PgParams name;
    name.text(table);
    PgResult exists = conn_->exec(
        "SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = current_schema()"
        " AND tablename = $1",
        {kTextOid}, name);
    if (!exists.ok()) {
        *error = where + exists.error();
        return nullptr;
    }
    if (exists.rows() == 0) {
        *error = where + "no such table in the store's schema";
        return nullptr;
    }
    // The store remembers each file's record layout; a file of another
    // layout is refused. Two workstations may record a missing layout at
    // once: the first one's stands, and the second reads it back.
    constexpr const char* kReadLayout =
        "SELECT record_size, key_size FROM layouts WHERE table_name = $1";
    PgResult stored = conn_->exec(kReadLayout, {kTextOid}, name);
    if (stored.ok() && stored.rows() == 0 && !read_only) {
        PgParams row;
        row.text(table).int4(layout.record_size).int4(layout.key_size);
        PgResult inserted = conn_->exec(
            "INSERT INTO layouts(table_name, record_size, key_size) VALUES($1, $2, $3)"
            " ON CONFLICT (table_name) DO NOTHING",
            {kTextOid, kInt4Oid, kInt4Oid}, row);
        if (!inserted.ok()) {
            *error = where + inserted.error();
            return nullptr;
        }
        stored = conn_->exec(kReadLayout, {kTextOid}, name);
    }
    if (!stored.ok()) {
        *error = where + stored.error();
        return nullptr;
    }
    if (stored.rows() == 1 &&
        (stored.integer(0, 0) != layout.record_size || stored.integer(0, 1) != layout.key_size)) {
        *error = where + "holds records of another layout (" +
                 std::to_string(stored.integer(0, 0)) + "-byte records, " +
                 std::to_string(stored.integer(0, 1)) +
                 "-byte keys; this program's: " + std::to_string(layout.record_size) + " and " +
                 std::to_string(layout.key_size) + ")";
        return nullptr;
    }
    return std::make_unique<PgRecordStorage>(conn_, layout, read_only);
}

// Not listening costs the notice only, never a write: a failure is let be.
void PgRecordStore::watch(const RecordLayout& layout) {
    if (conn_ != nullptr && plain_name(layout.table)) {
        conn_->listen(change_channel(layout));
    }
}

bool PgRecordStore::changed_elsewhere(const RecordLayout& layout) {
    return conn_ != nullptr && conn_->notifications(change_channel(layout)) > 0;
}

// ---------------------------------------------------------------- storage

PgRecordStorage::PgRecordStorage(std::shared_ptr<PgConnection> conn, const RecordLayout& layout,
                                 bool read_only)
    : conn_(std::move(conn)),
      layout_(layout),
      read_only_(read_only),
      channel_(change_channel(layout)) {
    const std::string t = layout.table;
    constexpr const char* kJournalColumns =
        "id, file, time, \"user\", key, pos, field, old, new, login FROM journal";
    struct Definition {
        Query query;
        const char* suffix;
        std::string sql;
        std::vector<Oid> types;
    };
    const Definition definitions[] = {
        {kFirst, "first", "SELECT pos, data FROM " + t + " ORDER BY key LIMIT 1", {}},
        {kLast, "last", "SELECT pos, data FROM " + t + " ORDER BY key DESC LIMIT 1", {}},
        {kEqual, "equal", "SELECT pos, data FROM " + t + " WHERE key = $1", {kByteaOid}},
        {kDirect, "direct", "SELECT pos, data FROM " + t + " WHERE pos = $1", {kInt8Oid}},
        {kNext,
         "next",
         "SELECT pos, data FROM " + t + " WHERE key > $1 ORDER BY key LIMIT $2",
         {kByteaOid, kInt4Oid}},
        {kScan,
         "scan",
         "SELECT pos, data, key FROM " + t + " WHERE key > $1 ORDER BY key LIMIT $2",
         {kByteaOid, kInt4Oid}},
        {kPrevious,
         "previous",
         "SELECT pos, data FROM " + t + " WHERE key < $1 ORDER BY key DESC LIMIT $2",
         {kByteaOid, kInt4Oid}},
        // One statement is one transaction: the record is written only when
        // it holds the expected bytes, and the journal rows only with it.
        {kSwap,
         "swap",
         "WITH updated AS (UPDATE " + t +
             " SET key = $2, data = $3 WHERE pos = $1 AND data = $4 RETURNING pos),"
             " journalled AS (INSERT INTO journal(file, time, \"user\", key, pos, field, old, new,"
             " login) SELECT $5, $6, $7, $8, updated.pos, j.field, j.old, j.new, $13"
             " FROM updated, unnest($9::text[], $10::bytea[], $11::bytea[]) AS j(field, old, new)"
             " RETURNING 1),"
             " notified AS (SELECT pg_notify($12, '') FROM updated)"
             " SELECT (SELECT count(*) FROM updated), (SELECT count(*) FROM journalled),"
             " (SELECT count(*) FROM notified)",
         {kInt8Oid, kByteaOid, kByteaOid, kByteaOid, kTextOid, kInt8Oid, kTextOid, kByteaOid,
          kTextArrayOid, kByteaArrayOid, kByteaArrayOid, kTextOid, kTextOid}},
        // A replaced record keeps its position. Updating first means a
        // replacement draws no number from the identity, which a plain
        // INSERT ... ON CONFLICT would do and so run through the 32-bit
        // positions with every re-import; ON CONFLICT still covers another
        // session inserting the key meanwhile.
        {kUpsert,
         "upsert",
         "WITH updated AS (UPDATE " + t +
             " SET data = $2 WHERE key = $1 RETURNING pos),"
             " inserted AS (INSERT INTO " +
             t +
             "(key, data)"
             " SELECT $1, $2 WHERE NOT EXISTS (SELECT 1 FROM updated)"
             " ON CONFLICT (key) DO UPDATE SET data = EXCLUDED.data RETURNING pos)"
             " SELECT pos FROM updated UNION ALL SELECT pos FROM inserted",
         {kByteaOid, kByteaOid}},
        {kRemove,
         "remove",
         "WITH removed AS (DELETE FROM " + t +
             " WHERE key = $1 RETURNING pos)"
             " SELECT count(*) FROM (SELECT pg_notify($2, '') FROM removed) AS notified",
         {kByteaOid, kTextOid}},
        {kNotify, "notify", "SELECT pg_notify($1, '')", {kTextOid}},
        {kAppendJournal,
         "append_journal",
         "INSERT INTO journal(file, time, \"user\", key, pos, field, old, new, login)"
         " SELECT $1, $2, $3, $4, $5, j.field, j.old, j.new, $9"
         " FROM unnest($6::text[], $7::bytea[], $8::bytea[]) AS j(field, old, new)",
         {kTextOid, kInt8Oid, kTextOid, kByteaOid, kInt8Oid, kTextArrayOid, kByteaArrayOid,
          kByteaArrayOid, kTextOid}},
        {kJournal,
         "journal",
         std::string("SELECT ") + kJournalColumns +
             " WHERE file = $1 AND id < $2 ORDER BY id DESC LIMIT $3",
         {kTextOid, kInt8Oid, kInt4Oid}},
        {kKeyJournal,
         "key_journal",
         std::string("SELECT ") + kJournalColumns +
             " WHERE file = $1 AND id < $2 AND key = $4 ORDER BY id DESC LIMIT $3",
         {kTextOid, kInt8Oid, kInt4Oid, kByteaOid}},
        {kOldJournal,
         "old_journal",
         std::string("SELECT ") + kJournalColumns +
             " WHERE file = $1 AND id > $2 AND time < $3 ORDER BY id LIMIT $4",
         {kTextOid, kInt8Oid, kInt8Oid, kInt4Oid}},
        {kDeleteJournal,
         "delete_journal",
         "DELETE FROM journal WHERE file = $1 AND id = ANY($2)",
         {kTextOid, kInt8ArrayOid}},
        {kFindHash, "find_hash", "SELECT hash FROM password_hashes WHERE name = $1", {kByteaOid}},
        {kStoreHash,
         "store_hash",
         "INSERT INTO password_hashes(name, hash) VALUES($1, $2)"
         " ON CONFLICT (name) DO UPDATE SET hash = EXCLUDED.hash",
         {kByteaOid, kTextOid}},
        {kScanHashes,
         "scan_hashes",
         "SELECT name, hash FROM password_hashes WHERE name > $1 ORDER BY name LIMIT $2",
         {kByteaOid, kInt4Oid}},
        {kFindFailures,
         "find_failures",
         "SELECT f.failures, f.last_failure, " SERVER_CLOCK_MS " FROM (SELECT 1) AS one"
         " LEFT JOIN password_failures AS f ON f.name = $1",
         {kByteaOid}},
        {kFirstFailure,
         "first_failure",
         "INSERT INTO password_failures(name, failures, last_failure)"
         " VALUES($1, 1, " SERVER_CLOCK_MS ") ON CONFLICT (name) DO NOTHING",
         {kByteaOid}},
        {kMoreFailure,
         "more_failure",
         "UPDATE password_failures SET failures = failures + 1, last_failure = " SERVER_CLOCK_MS
         " WHERE name = $1 AND failures = $2 AND last_failure = $3",
         {kByteaOid, kInt8Oid, kInt8Oid}},
        {kClearFailures,
         "clear_failures",
         "DELETE FROM password_failures WHERE name = $1",
         {kByteaOid}},
        {kCount,
         "count",
         "SELECT (SELECT count(*) FROM " + t +
             "), (SELECT count(*) FROM journal WHERE file = $1),"
             " coalesce(pg_sequence_last_value(pg_get_serial_sequence($2, 'pos')::regclass), 0)",
         {kTextOid, kTextOid}},
    };
    for (const Definition& d : definitions) {
        queries_[d.query] = PgStatement{t + "_" + d.suffix, d.sql, d.types};
    }
}

std::span<const uint8_t> PgRecordStorage::key_of(const uint8_t* key) const {
    return {key, static_cast<size_t>(layout_.key_size)};
}

int PgRecordStorage::failed(const std::string& why) {
    error_ = "shared store " + std::string(layout_.table) + ": " + why;
    log_host_failure("RECORDS", kStoreFailed, error_);
    return RS_IO_ERROR;
}

int PgRecordStorage::failed(const PgResult& result, int lock) {
    switch (result.outcome()) {
        case PgOutcome::kLock:
            error_ = "shared store " + std::string(layout_.table) + ": " + result.error();
            return lock;
        case PgOutcome::kDuplicate:
            error_ = "shared store " + std::string(layout_.table) + ": " + result.error();
            return RS_DUPLICATE_KEY;
        case PgOutcome::kLost:
            // One record for each loss of the connection, not one per call
            // that fails until it is back.
            if (!conn_->first_report_of_loss()) {
                error_ = "shared store " + std::string(layout_.table) + ": " + result.error();
                return RS_IO_ERROR;
            }
            return failed(result.error());
        default:
            return failed(result.error());
    }
}

int PgRecordStorage::take(const PgResult& result, int row, StoredRecord* record) const {
    const std::span<const uint8_t> data = result.bytes(row, 1);
    if (data.size() > static_cast<size_t>(layout_.record_size)) {
        return RS_BUFFER_TOO_SHORT;  // never write past the record's buffer
    }
    record->position = result.integer(row, 0);
    record->size = static_cast<int>(data.size());
    std::copy(data.begin(), data.end(), record->data.begin());
    // A shorter stored record reads with its missing bytes zero.
    std::fill(record->data.begin() + record->size, record->data.end(), 0);
    return RS_OK;
}

int PgRecordStorage::read_one(Query query, const PgParams& params, int none, StoredRecord* record) {
    PgResult result = conn_->run(queries_[query], params);
    if (!result.ok()) {
        return failed(result, RS_FILE_LOCKED);
    }
    if (result.rows() == 0) {
        return none;
    }
    return take(result, 0, record);
}

int PgRecordStorage::first(StoredRecord* record) {
    return read_one(kFirst, PgParams(), RS_END_OF_FILE, record);
}

int PgRecordStorage::last(StoredRecord* record) {
    return read_one(kLast, PgParams(), RS_END_OF_FILE, record);
}

int PgRecordStorage::equal(const uint8_t* key, StoredRecord* record) {
    PgParams params;
    params.bytes(key_of(key));
    return read_one(kEqual, params, RS_KEY_NOT_FOUND, record);
}

int PgRecordStorage::direct(int64_t position, StoredRecord* record) {
    if (position <= 0 || position > kLastPosition) {
        return RS_INVALID_RECORD_ADDRESS;
    }
    PgParams params;
    params.int8(position);
    return read_one(kDirect, params, RS_INVALID_RECORD_ADDRESS, record);
}

int PgRecordStorage::batch(bool forward, const uint8_t* key, int limit, StoredRecord* out,
                           int* count) {
    *count = 0;
    if (limit <= 0) {
        return RS_END_OF_FILE;
    }
    PgParams params;
    params.bytes(key_of(key)).int4(limit);
    PgResult result = conn_->run(queries_[forward ? kNext : kPrevious], params);
    if (!result.ok()) {
        return failed(result, RS_FILE_LOCKED);
    }
    const int rows = std::min(result.rows(), limit);
    for (int row = 0; row < rows; ++row) {
        const int status = take(result, row, &out[*count]);
        if (status != RS_OK) {
            // Records read before an over-long one are served; it shows on the next batch.
            return *count > 0 ? RS_OK : status;
        }
        ++*count;
    }
    return *count > 0 ? RS_OK : RS_END_OF_FILE;
}

int PgRecordStorage::scan(const std::function<bool(const StoredRecord&)>& visit) {
    // The empty key precedes every stored key.
    std::array<uint8_t, kMaxRecordSize> after{};
    int after_size = 0;
    StoredRecord record;
    for (;;) {
        PgParams params;
        params.bytes({after.data(), static_cast<size_t>(after_size)}).int4(kScanPage);
        PgResult result = conn_->run(queries_[kScan], params);
        if (!result.ok()) {
            return failed(result, RS_FILE_LOCKED);
        }
        for (int row = 0; row < result.rows(); ++row) {
            const int status = take(result, row, &record);
            if (status != RS_OK) {
                return status;
            }
            if (!visit(record)) {
                return RS_OK;
            }
        }
        if (result.rows() < kScanPage) {
            return RS_OK;
        }
        const std::span<const uint8_t> key = result.bytes(result.rows() - 1, 2);
        if (key.size() > after.size()) {
            return failed("a stored key longer than its layout");
        }
        std::copy(key.begin(), key.end(), after.begin());
        after_size = static_cast<int>(key.size());
    }
}

void PgRecordStorage::add_journal(PgParams* params, const JournalRows& journal) {
    std::vector<std::string_view> fields;
    std::vector<std::optional<std::span<const uint8_t>>> olds;
    std::vector<std::optional<std::span<const uint8_t>>> news;
    for (const JournalRow& row : journal.rows) {
        fields.emplace_back(row.field != nullptr ? row.field : "");
        olds.push_back(row.has_old ? std::optional(row.old_bytes) : std::nullopt);
        news.emplace_back(row.new_bytes);
    }
    params->text_array(fields).bytea_array(olds).bytea_array(news);
}

int PgRecordStorage::swap(int64_t position, std::span<const uint8_t> expected,
                          std::span<const uint8_t> after, const JournalRows* journal) {
    if (read_only_) {
        return failed("opened for reading only");
    }
    if (after.size() < static_cast<size_t>(layout_.key_size)) {
        return failed("a record shorter than its key");
    }
    static const JournalRows kNoJournal;
    const JournalRows& rows = journal != nullptr ? *journal : kNoJournal;
    PgParams params;
    params.int8(position)
        .bytes(after.first(static_cast<size_t>(layout_.key_size)))
        .bytes(after)
        .bytes(expected)
        .text(rows.file != nullptr ? rows.file : "")
        .int8(rows.time)
        .text(rows.user)
        .bytes(rows.key);
    add_journal(&params, rows);
    params.text(channel_).text(rows.login);
    PgResult result = conn_->run(queries_[kSwap], params);
    if (!result.ok()) {
        return failed(result, RS_RECORD_LOCKED);
    }
    return result.rows() == 1 && result.integer(0, 0) == 1 ? RS_OK : kSwapMissed;
}

int PgRecordStorage::begin_write() {
    if (read_only_) {
        return failed("opened for reading only");
    }
    PgResult result = conn_->begin();
    wrote_ = false;
    return result.ok() ? RS_OK : failed(result, RS_RECORD_LOCKED);
}

int PgRecordStorage::commit_write() {
    if (std::exchange(wrote_, false)) {
        PgParams channel;
        channel.text(channel_);
        PgResult notified = conn_->run(queries_[kNotify], channel);
        if (!notified.ok()) {
            conn_->rollback();
            return failed(notified, RS_RECORD_LOCKED);
        }
    }
    PgResult result = conn_->commit();
    return result.ok() ? RS_OK : failed(result, RS_RECORD_LOCKED);
}

void PgRecordStorage::rollback_write() {
    wrote_ = false;
    conn_->rollback();
}

int PgRecordStorage::upsert(std::span<const uint8_t> record, int64_t* position) {
    if (read_only_) {
        return failed("opened for reading only");
    }
    if (record.size() < static_cast<size_t>(layout_.key_size)) {
        return failed("a record shorter than its key");
    }
    PgParams params;
    params.bytes(record.first(static_cast<size_t>(layout_.key_size))).bytes(record);
    PgResult result = conn_->run(queries_[kUpsert], params);
    if (!result.ok()) {
        return failed(result, RS_RECORD_LOCKED);
    }
    if (result.rows() != 1) {
        return failed("the record was not stored");
    }
    *position = result.integer(0, 0);
    wrote_ = true;
    return RS_OK;
}

int PgRecordStorage::append_journal(int64_t position, const JournalRows& journal) {
    if (read_only_) {
        return failed("opened for reading only");
    }
    PgParams params;
    params.text(journal.file != nullptr ? journal.file : "")
        .int8(journal.time)
        .text(journal.user)
        .bytes(journal.key)
        .int8(position);
    add_journal(&params, journal);
    params.text(journal.login);
    PgResult result = conn_->run(queries_[kAppendJournal], params);
    return result.ok() ? RS_OK : failed(result, RS_RECORD_LOCKED);
}

int PgRecordStorage::remove(const uint8_t* key) {
    if (read_only_) {
        return failed("opened for reading only");
    }
    PgParams params;
    params.bytes(key_of(key)).text(channel_);
    PgResult result = conn_->run(queries_[kRemove], params);
    if (!result.ok()) {
        return failed(result, RS_RECORD_LOCKED);
    }
    return result.rows() == 1 && result.integer(0, 0) > 0 ? RS_OK : RS_KEY_NOT_FOUND;
}

namespace {

StoredJournalRow journal_row(const PgResult& result, int row) {
    StoredJournalRow stored;
    stored.id = result.integer(row, 0);
    stored.file = result.text(row, 1);
    stored.time = static_cast<uint32_t>(result.integer(row, 2));
    stored.user = result.text(row, 3);
    stored.key = result.text(row, 4);
    stored.position = result.integer(row, 5);
    stored.field = result.text(row, 6);
    stored.has_old = !result.is_null(row, 7);
    if (stored.has_old) {
        stored.old_bytes = result.text(row, 7);
    }
    stored.new_bytes = result.text(row, 8);
    stored.login = result.text(row, 9);
    return stored;
}

}  // namespace

int PgRecordStorage::read_journal(const uint8_t* key,
                                  const std::function<bool(const StoredJournalRow&)>& visit) {
    // Pages of ids below the last one read: memory stays that of one page,
    // and no cursor or snapshot is held between pages.
    int64_t before = std::numeric_limits<int64_t>::max();
    for (;;) {
        PgParams params;
        params.text(layout_.file_name).int8(before).int4(kJournalPage);
        if (key != nullptr) {
            params.bytes(key_of(key));
        }
        PgResult result = conn_->run(queries_[key != nullptr ? kKeyJournal : kJournal], params);
        if (!result.ok()) {
            return failed(result, RS_FILE_LOCKED);
        }
        for (int row = 0; row < result.rows(); ++row) {
            const StoredJournalRow stored = journal_row(result, row);
            before = stored.id;
            if (!visit(stored)) {
                return RS_OK;
            }
        }
        if (result.rows() < kJournalPage) {
            return RS_OK;
        }
    }
}

int PgRecordStorage::old_journal(int64_t before, int64_t after_id, int limit,
                                 std::vector<StoredJournalRow>* rows) {
    rows->clear();
    PgParams params;
    params.text(layout_.file_name).int8(after_id).int8(before).int4(limit);
    PgResult result = conn_->run(queries_[kOldJournal], params);
    if (!result.ok()) {
        return failed(result, RS_FILE_LOCKED);
    }
    for (int row = 0; row < result.rows(); ++row) {
        rows->push_back(journal_row(result, row));
    }
    return RS_OK;
}

int PgRecordStorage::delete_journal(std::span<const int64_t> ids, int64_t* deleted) {
    *deleted = 0;
    if (read_only_) {
        return failed("opened for reading only");
    }
    PgParams params;
    params.text(layout_.file_name).int8_array(ids);
    PgResult result = conn_->run(queries_[kDeleteJournal], params);
    if (!result.ok()) {
        return failed(result, RS_RECORD_LOCKED);
    }
    *deleted = result.affected();
    return RS_OK;
}

int PgRecordStorage::find_hash(const uint8_t* name, std::string* hash) {
    PgParams params;
    params.bytes({name, kHashNameSize});
    PgResult result = conn_->run(queries_[kFindHash], params);
    if (!result.ok()) {
        return failed(result, RS_FILE_LOCKED);
    }
    if (result.rows() == 0) {
        return RS_KEY_NOT_FOUND;
    }
    *hash = result.text(0, 0);
    return RS_OK;
}

int PgRecordStorage::store_hash(const uint8_t* name, const std::string& hash) {
    if (read_only_) {
        return failed("opened for reading only");
    }
    PgParams params;
    params.bytes({name, kHashNameSize}).text(hash);
    PgResult result = conn_->run(queries_[kStoreHash], params);
    return result.ok() ? RS_OK : failed(result, RS_RECORD_LOCKED);
}

int PgRecordStorage::scan_hashes(
    const std::function<bool(std::span<const uint8_t>, const std::string&)>& visit) {
    if (!keeps_hashes(layout_)) {
        return RS_OK;  // the store's hashes are the password file's alone
    }
    std::string after;  // the empty name precedes every stored one
    for (;;) {
        PgParams params;
        params.bytes({reinterpret_cast<const uint8_t*>(after.data()), after.size()})
            .int4(kScanPage);
        PgResult result = conn_->run(queries_[kScanHashes], params);
        if (!result.ok()) {
            return failed(result, RS_FILE_LOCKED);
        }
        for (int row = 0; row < result.rows(); ++row) {
            if (!visit(result.bytes(row, 0), result.text(row, 1))) {
                return RS_OK;
            }
        }
        if (result.rows() < kScanPage) {
            return RS_OK;
        }
        after = result.text(result.rows() - 1, 0);
    }
}

int PgRecordStorage::find_failures(const uint8_t* name, PasswordFailures* failures) {
    *failures = PasswordFailures{};
    PgParams params;
    params.bytes({name, kHashNameSize});
    PgResult result = conn_->run(queries_[kFindFailures], params);
    if (!result.ok()) {
        return failed(result, RS_FILE_LOCKED);
    }
    if (result.rows() != 1) {
        return failed("the server's clock was not read");
    }
    if (!result.is_null(0, 0)) {
        failures->failures = result.integer(0, 0);
        failures->last_failure_ms = result.integer(0, 1);
    }
    failures->now_ms = result.integer(0, 2);
    return RS_OK;
}

int PgRecordStorage::count_failure(const uint8_t* name, const PasswordFailures& seen) {
    if (read_only_) {
        return failed("opened for reading only");
    }
    PgParams params;
    params.bytes({name, kHashNameSize});
    if (seen.failures != 0) {
        params.int8(seen.failures).int8(seen.last_failure_ms);
    }
    PgResult result =
        conn_->run(queries_[seen.failures == 0 ? kFirstFailure : kMoreFailure], params);
    if (!result.ok()) {
        return failed(result, RS_RECORD_LOCKED);
    }
    return result.affected() == 1 ? RS_OK : kSwapMissed;
}

int PgRecordStorage::clear_failures(const uint8_t* name) {
    if (read_only_) {
        return failed("opened for reading only");
    }
    PgParams params;
    params.bytes({name, kHashNameSize});
    PgResult result = conn_->run(queries_[kClearFailures], params);
    return result.ok() ? RS_OK : failed(result, RS_RECORD_LOCKED);
}

int PgRecordStorage::count(int64_t* records, int64_t* journal_rows, int64_t* highest_position) {
    PgParams params;
    params.text(layout_.file_name).text(layout_.table);
    PgResult result = conn_->run(queries_[kCount], params);
    if (!result.ok()) {
        return failed(result, RS_FILE_LOCKED);
    }
    *records = result.integer(0, 0);
    *journal_rows = result.integer(0, 1);
    *highest_position = result.integer(0, 2);
    return RS_OK;
}

}  // namespace hostlibs::detail
