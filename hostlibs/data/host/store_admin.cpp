// The store's administration: making and upgrading the shared store's
// schema, what the open host's store holds, and copying it into a shared
// store. The source is read through the storage interfaces, so a root on
// SQLite files and one on a shared store copy alike.
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>

#include "core/pg_connection.h"
#include "host/host_state.h"
#include "hostlibs/host_setup.h"
#include "platform/host_libraries.h"
#include "record_store/postgres/pg_record_storage.h"
#include "record_store/postgres/pg_schema.h"
#include "record_store/postgres/pg_store_copy.h"

namespace hostlibs {

namespace {

using detail::HostState;
using detail::RecordFile;
using detail::RecordStorage;

// Rows sent to the target per statement.
constexpr size_t kCopyBatch = 1000;

// The record files in the order they are reported and copied.
std::array<RecordFile*, 3> record_files(HostState& host) {
    return {&host.devices, &host.settings, &host.passwords};
}

// The storage of a record file, opened when first used; *storage is null
// for an SQLite file not made yet (missing, or left empty until first used),
// which holds nothing and cannot be opened on a root that is read only.
bool storage_of(HostState& host, RecordFile& file, RecordStorage** storage, std::string* error) {
    *storage = nullptr;
    if (!file.is_open() && host.configuration.store.empty()) {
        struct stat info {};
        if (stat((host.data_native + file.layout().file_name).c_str(), &info) != 0 ||
            info.st_size == 0) {
            return true;
        }
    }
    if (!file.ensure_open(error)) {
        error->insert(0, std::string(file.layout().table) + ": ");
        return false;
    }
    *storage = file.storage();
    return true;
}

// A storage call's failure, with the storage's reason.
bool storage_failed(const RecordStorage& storage, std::string* error) {
    *error = storage.last_error();
    return false;
}

bool count_hashes(RecordStorage& storage, int64_t* count, std::string* error) {
    *count = 0;
    const int status = storage.scan_hashes([&](std::span<const uint8_t>, const std::string&) {
        ++*count;
        return true;
    });
    return status == RS_OK || storage_failed(storage, error);
}

bool facts_of(HostState& host, StoreFacts* facts, std::string* error) {
    *facts = StoreFacts{};
    facts->program_version = detail::kStoreSchemaVersion;
    if (host.configuration.store.empty()) {
        facts->backend = "sqlite";
        facts->location = host.data_native;
        facts->engine_version = sqlite3_libversion();
    } else {
        auto* shared = dynamic_cast<detail::PgRecordStore*>(host.record_store.get());
        if (shared == nullptr || shared->connection() == nullptr) {
            *error = "the shared store is not open";
            return false;
        }
        detail::PgConnection& conn = *shared->connection();
        facts->backend = "postgresql";
        facts->location = conn.server();
        facts->engine_version = conn.server_version();
        if (!detail::stored_schema_version(conn, &facts->schema_version, error)) {
            return false;
        }
    }
    for (RecordFile* file : record_files(host)) {
        StoreFileFacts counted{file->layout().table};
        RecordStorage* storage = nullptr;
        if (!storage_of(host, *file, &storage, error)) {
            return false;
        }
        if (storage != nullptr) {
            if (storage->count(&counted.records, &counted.journal_rows,
                               &counted.highest_position) != RS_OK) {
                return storage_failed(*storage, error);
            }
            if (detail::keeps_hashes(file->layout()) &&
                !count_hashes(*storage, &facts->password_hashes, error)) {
                return false;
            }
        }
        facts->files.push_back(counted);
    }
    std::vector<SiteInfo> sites;
    if (!host.site_storage->list(&sites, error)) {
        return false;
    }
    facts->sites = static_cast<int64_t>(sites.size());
    return true;
}

// One record file into the target: its layout, records, hashes and journal.
bool copy_file(HostState& host, RecordFile& file, const StoreFileFacts& facts,
               detail::PgStoreCopy& copy, std::string* error) {
    const detail::RecordLayout& layout = file.layout();
    if (!copy.add_layout(layout, error)) {
        return false;
    }
    copy.keep_positions_past(layout, facts.highest_position);
    RecordStorage* storage = nullptr;
    if (!storage_of(host, file, &storage, error)) {
        return false;
    }
    if (storage == nullptr) {
        return true;  // an SQLite file not made yet: nothing to copy
    }
    bool copied = true;  // false once the target refused a batch
    std::vector<detail::StoredRecord> records;
    auto send_records = [&] {
        copied = records.empty() || copy.add_records(layout, records, error);
        records.clear();
        return copied;
    };
    int status = storage->scan([&](const detail::StoredRecord& record) {
        records.push_back(record);
        return records.size() < kCopyBatch || send_records();
    });
    if (status != RS_OK) {
        return storage_failed(*storage, error);
    }
    if (!copied || !send_records()) {
        return false;
    }

    std::vector<std::string> names, hashes;
    auto send_hashes = [&] {
        copied = names.empty() || copy.add_hashes(names, hashes, error);
        names.clear();
        hashes.clear();
        return copied;
    };
    status = storage->scan_hashes([&](std::span<const uint8_t> name, const std::string& hash) {
        names.emplace_back(name.begin(), name.end());
        hashes.push_back(hash);
        return names.size() < kCopyBatch || send_hashes();
    });
    if (status != RS_OK) {
        return storage_failed(*storage, error);
    }
    if (!copied || !send_hashes()) {
        return false;
    }

    copy.begin_journal(facts.journal_rows);
    std::vector<StoredJournalRow> rows;
    auto send_rows = [&] {
        copied = rows.empty() || copy.add_journal(rows, error);
        rows.clear();
        return copied;
    };
    status = storage->read_journal(nullptr, [&](const StoredJournalRow& row) {
        // Once the target refused a batch, the reading stops.
        rows.push_back(row);
        return rows.size() < kCopyBatch || send_rows();
    });
    if (status != RS_OK) {
        return storage_failed(*storage, error);
    }
    return copied && send_rows() && copy.end_journal(layout, error);
}

// What the copy wrote, as the target holds it in the copy's transaction.
bool target_facts(HostState& host, detail::PgStoreCopy& copy, StoreFacts* facts,
                  std::string* error) {
    for (RecordFile* file : record_files(host)) {
        StoreFileFacts counted{file->layout().table};
        if (!copy.count_file(file->layout(), &counted.records, &counted.journal_rows, error)) {
            return false;
        }
        facts->files.push_back(counted);
    }
    return copy.count_shared(&facts->password_hashes, &facts->sites, error);
}

bool same_counts(const StoreFacts& a, const StoreFacts& b) {
    if (a.files.size() != b.files.size() || a.password_hashes != b.password_hashes ||
        a.sites != b.sites) {
        return false;
    }
    for (size_t i = 0; i < a.files.size(); ++i) {
        if (a.files[i].records != b.files[i].records ||
            a.files[i].journal_rows != b.files[i].journal_rows) {
            return false;
        }
    }
    return true;
}

bool copy_into(HostState& host, detail::PgConnection& conn, const StoreFacts& source,
               StoreFacts* copied, std::string* error) {
    detail::PgStoreCopy copy(conn);
    if (!copy.begin(error)) {
        return false;
    }
    const auto files = record_files(host);
    for (size_t i = 0; i < files.size(); ++i) {
        if (!copy_file(host, *files[i], source.files[i], copy, error)) {
            return false;
        }
    }
    std::vector<SiteInfo> sites;
    if (!host.site_storage->list(&sites, error)) {
        return false;
    }
    for (size_t at = 0; at < sites.size(); at += kCopyBatch) {
        const size_t count = std::min(kCopyBatch, sites.size() - at);
        if (!copy.add_sites(std::span(sites).subspan(at, count), error)) {
            return false;
        }
    }
    copied->backend = "postgresql";
    copied->location = conn.server();
    copied->engine_version = conn.server_version();
    copied->schema_version = copied->program_version = detail::kStoreSchemaVersion;
    if (!target_facts(host, copy, copied, error)) {
        return false;
    }
    if (!same_counts(source, *copied)) {
        *error =
            "the copy does not hold what the source held (it changed while it was copied?);"
            " nothing was written";
        return false;  // the copy rolls back as it goes
    }
    return copy.commit(error);
}

}  // namespace

bool init_store(const std::string& conninfo, std::string* error, StoreInit* done,
                const std::string& grant_role) {
    detail::PgConnection conn;
    StoreInit result;
    if (!conn.open(conninfo, 2000, error) ||
        !detail::init_schema(conn, error, &result.found_version)) {
        return false;
    }
    result.version = detail::kStoreSchemaVersion;
    if (done != nullptr) {
        *done = result;
    }
    if (!grant_role.empty() && !detail::grant_workstation_role(conn, grant_role, error)) {
        // The schema stands; running init again grants without changing it.
        error->insert(0, "schema at version " + std::to_string(result.version) + ", but ");
        return false;
    }
    return true;
}

bool store_facts(StoreFacts* facts, std::string* error) {
    HostState* host = detail::host_state();
    if (host == nullptr) {
        *error = "host not open";
        return false;
    }
    try {
        return facts_of(*host, facts, error);
    } catch (const std::exception& e) {
        *error = e.what();
        return false;
    }
}

bool copy_store(const std::string& target, StoreFacts* copied, std::string* error) {
    HostState* host = detail::host_state();
    if (host == nullptr) {
        *error = "host not open";
        return false;
    }
    try {
        StoreFacts source;
        detail::PgConnection conn;
        if (!detail::PgConnection::conninfo_acceptable(target, error) ||
            !store_facts(&source, error) ||
            !conn.open(target, host->configuration.busy_timeout_ms, error) ||
            !detail::init_schema(conn, error)) {
            return false;
        }
        *copied = StoreFacts{};
        return copy_into(*host, conn, source, copied, error);
    } catch (const std::exception& e) {
        *error = e.what();
        return false;
    }
}

}  // namespace hostlibs
