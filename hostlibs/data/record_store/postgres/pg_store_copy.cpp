#include "record_store/postgres/pg_store_copy.h"

#include <optional>

namespace hostlibs::detail {

namespace {

using ByteArray = std::vector<std::optional<std::span<const uint8_t>>>;

std::span<const uint8_t> bytes_of(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

PgStoreCopy::~PgStoreCopy() {
    if (open_) {
        conn_.rollback();
    }
}

bool PgStoreCopy::failed(const std::string& what, const PgResult& result, std::string* error) {
    if (open_) {
        conn_.rollback();
        open_ = false;
    }
    *error = what + " at " + conn_.server() + ": " + result.error();
    return false;
}

bool PgStoreCopy::begin(std::string* error) {
    PgResult begun = conn_.begin();
    if (!begun.ok()) {
        return failed("cannot start the copy", begun, error);
    }
    open_ = true;
    // EXCLUSIVE lets others read but not write until the copy ends, so the
    // store stays empty between the check and the copy.
    PgResult locked = conn_.exec(
        "LOCK TABLE layouts, devices, settings, passwords, password_hashes, journal, sites,"
        " site_lines IN EXCLUSIVE MODE");
    if (!locked.ok()) {
        return failed("cannot lock the shared store's tables", locked, error);
    }
    PgResult held = conn_.exec(
        "SELECT EXISTS(SELECT 1 FROM devices) OR EXISTS(SELECT 1 FROM settings)"
        " OR EXISTS(SELECT 1 FROM passwords) OR EXISTS(SELECT 1 FROM password_hashes)"
        " OR EXISTS(SELECT 1 FROM journal) OR EXISTS(SELECT 1 FROM sites)"
        " OR EXISTS(SELECT 1 FROM site_lines)",
        {}, PgParams());
    if (!held.ok()) {
        return failed("cannot read the shared store", held, error);
    }
    if (held.boolean(0, 0)) {
        conn_.rollback();
        open_ = false;
        *error = "the shared store at " + conn_.server() +
                 " already holds records, journal rows or sites; a copy goes only into an empty "
                 "store (nothing was written)";
        return false;
    }
    return true;
}

bool PgStoreCopy::add_layout(const RecordLayout& layout, std::string* error) {
    PgParams row;
    row.text(layout.table).int4(layout.record_size).int4(layout.key_size);
    PgResult stored = conn_.exec(
        "WITH added AS (INSERT INTO layouts(table_name, record_size, key_size)"
        " VALUES($1, $2, $3) ON CONFLICT (table_name) DO NOTHING RETURNING 1)"
        " SELECT record_size = $2 AND key_size = $3 FROM layouts WHERE table_name = $1"
        " UNION ALL SELECT true FROM added",
        {kTextOid, kInt4Oid, kInt4Oid}, row);
    if (!stored.ok()) {
        return failed("cannot record the layout of " + std::string(layout.table), stored, error);
    }
    for (int i = 0; i < stored.rows(); ++i) {
        if (!stored.boolean(i, 0)) {
            conn_.rollback();
            open_ = false;
            *error = "the shared store at " + conn_.server() + " keeps " + layout.table +
                     " records of another layout (nothing was written)";
            return false;
        }
    }
    return true;
}

bool PgStoreCopy::add_records(const RecordLayout& layout, std::span<const StoredRecord> records,
                              std::string* error) {
    std::vector<int64_t> positions;
    ByteArray keys, data;
    for (const StoredRecord& record : records) {
        positions.push_back(record.position);
        keys.emplace_back(std::span(record.data).first(static_cast<size_t>(layout.key_size)));
        data.emplace_back(std::span(record.data).first(static_cast<size_t>(record.size)));
    }
    PgParams params;
    params.int8_array(positions).bytea_array(keys).bytea_array(data);
    const std::string sql = "INSERT INTO " + conn_.quote_identifier(layout.table) +
                            "(pos, key, data) OVERRIDING SYSTEM VALUE"
                            " SELECT * FROM unnest($1::int8[], $2::bytea[], $3::bytea[])";
    PgResult inserted =
        conn_.exec(sql.c_str(), {kInt8ArrayOid, kByteaArrayOid, kByteaArrayOid}, params);
    return inserted.ok() || failed("cannot copy " + std::string(layout.table), inserted, error);
}

bool PgStoreCopy::add_hashes(const std::vector<std::string>& names,
                             const std::vector<std::string>& hashes, std::string* error) {
    ByteArray name_bytes;
    std::vector<std::string_view> hash_texts(hashes.begin(), hashes.end());
    for (const std::string& name : names) {
        name_bytes.emplace_back(bytes_of(name));
    }
    PgParams params;
    params.bytea_array(name_bytes).text_array(hash_texts);
    PgResult inserted = conn_.exec(
        "INSERT INTO password_hashes(name, hash) SELECT * FROM unnest($1::bytea[], $2::text[])",
        {kByteaArrayOid, kTextArrayOid}, params);
    return inserted.ok() || failed("cannot copy the password hashes", inserted, error);
}

bool PgStoreCopy::add_journal(std::span<const StoredJournalRow> newest_first, std::string* error) {
    std::vector<int64_t> ids, times, positions;
    std::vector<std::string_view> files, users, logins, fields;
    ByteArray keys, olds, news;
    for (const StoredJournalRow& row : newest_first) {
        // The newest row of the file takes the highest of its ids.
        ids.push_back(journal_base_ + journal_expected_ - journal_added_);
        ++journal_added_;
        files.emplace_back(row.file);
        times.push_back(row.time);
        users.emplace_back(row.user);
        logins.emplace_back(row.login);
        keys.emplace_back(bytes_of(row.key));
        positions.push_back(row.position);
        fields.emplace_back(row.field);
        olds.push_back(row.has_old ? std::optional(bytes_of(row.old_bytes)) : std::nullopt);
        news.emplace_back(bytes_of(row.new_bytes));
    }
    if (journal_added_ > journal_expected_) {
        conn_.rollback();
        open_ = false;
        *error = "the journal grew while it was copied; run the copy again when no one writes";
        return false;
    }
    PgParams params;
    params.int8_array(ids)
        .text_array(files)
        .int8_array(times)
        .text_array(users)
        .bytea_array(keys)
        .int8_array(positions)
        .text_array(fields)
        .bytea_array(olds)
        .bytea_array(news)
        .text_array(logins);
    PgResult inserted = conn_.exec(
        "INSERT INTO journal(id, file, time, \"user\", key, pos, field, old, new, login)"
        " OVERRIDING SYSTEM VALUE SELECT * FROM unnest($1::int8[], $2::text[], $3::int8[],"
        " $4::text[], $5::bytea[], $6::int8[], $7::text[], $8::bytea[], $9::bytea[],"
        " $10::text[])",
        {kInt8ArrayOid, kTextArrayOid, kInt8ArrayOid, kTextArrayOid, kByteaArrayOid, kInt8ArrayOid,
         kTextArrayOid, kByteaArrayOid, kByteaArrayOid, kTextArrayOid},
        params);
    return inserted.ok() || failed("cannot copy the journal", inserted, error);
}

bool PgStoreCopy::end_journal(const RecordLayout& layout, std::string* error) {
    if (journal_added_ != journal_expected_) {
        conn_.rollback();
        open_ = false;
        *error = std::string("the journal of ") + layout.table +
                 " changed while it was copied; run the copy again when no one writes";
        return false;
    }
    journal_base_ += journal_added_;
    journal_expected_ = journal_added_ = 0;
    return true;
}

bool PgStoreCopy::add_sites(std::span<const SiteInfo> sites, std::string* error) {
    std::vector<int64_t> ids, classes, flags, device_types, modes, states;
    std::vector<std::string_view> names, short_names, device_texts, connect_drivers,
        connect_parameters, transfer_drivers, transfer_parameters;
    std::vector<int64_t> line_sites, line_numbers;
    std::vector<std::string_view> line_texts;
    for (const SiteInfo& site : sites) {
        ids.push_back(site.id);
        classes.push_back(site.site_class);
        names.emplace_back(site.name);
        short_names.emplace_back(site.short_name);
        flags.push_back(site.flags);
        device_types.push_back(site.device_type);
        device_texts.emplace_back(site.device_text);
        connect_drivers.emplace_back(site.connect_driver);
        connect_parameters.emplace_back(site.connect_parameters);
        transfer_drivers.emplace_back(site.transfer_driver);
        transfer_parameters.emplace_back(site.transfer_parameters);
        modes.push_back(site.mode);
        states.push_back(site.state);
        for (const auto& [number, text] : site.lines) {
            line_sites.push_back(site.id);
            line_numbers.push_back(number);
            line_texts.emplace_back(text);
        }
    }
    PgParams params;
    params.int8_array(ids)
        .int8_array(classes)
        .text_array(names)
        .text_array(short_names)
        .int8_array(flags)
        .int8_array(device_types)
        .text_array(device_texts)
        .text_array(connect_drivers)
        .text_array(connect_parameters)
        .text_array(transfer_drivers)
        .text_array(transfer_parameters)
        .int8_array(modes)
        .int8_array(states);
    PgResult inserted = conn_.exec(
        "INSERT INTO sites(id, class, name, short_name, flags, device_type, device_text,"
        " connect_driver, connect_parameters, transfer_driver, transfer_parameters, mode, state)"
        " OVERRIDING SYSTEM VALUE SELECT id, class::integer, name, short_name, flags,"
        " device_type::integer, device_text, connect_driver, connect_parameters, transfer_driver,"
        " transfer_parameters, mode::integer, state::integer"
        " FROM unnest($1::int8[], $2::int8[], $3::text[], $4::text[], $5::int8[], $6::int8[],"
        " $7::text[], $8::text[], $9::text[], $10::text[], $11::text[], $12::int8[], $13::int8[])"
        " AS s(id, class, name, short_name, flags, device_type, device_text, connect_driver,"
        " connect_parameters, transfer_driver, transfer_parameters, mode, state)",
        {kInt8ArrayOid, kInt8ArrayOid, kTextArrayOid, kTextArrayOid, kInt8ArrayOid, kInt8ArrayOid,
         kTextArrayOid, kTextArrayOid, kTextArrayOid, kTextArrayOid, kTextArrayOid, kInt8ArrayOid,
         kInt8ArrayOid},
        params);
    if (!inserted.ok()) {
        return failed("cannot copy the sites", inserted, error);
    }
    PgParams lines;
    lines.int8_array(line_sites).int8_array(line_numbers).text_array(line_texts);
    PgResult lines_inserted = conn_.exec(
        "INSERT INTO site_lines(site_id, line, text)"
        " SELECT site_id, line::integer, text FROM unnest($1::int8[], $2::int8[], $3::text[])"
        " AS l(site_id, line, text)",
        {kInt8ArrayOid, kInt8ArrayOid, kTextArrayOid}, lines);
    return lines_inserted.ok() || failed("cannot copy the site lines", lines_inserted, error);
}

bool PgStoreCopy::count_file(const RecordLayout& layout, int64_t* records, int64_t* journal_rows,
                             std::string* error) {
    PgParams params;
    params.text(layout.file_name);
    const std::string sql = "SELECT (SELECT count(*) FROM " + conn_.quote_identifier(layout.table) +
                            "), (SELECT count(*) FROM journal WHERE file = $1)";
    PgResult counted = conn_.exec(sql.c_str(), {kTextOid}, params);
    if (!counted.ok()) {
        return failed("cannot count the copied " + std::string(layout.table), counted, error);
    }
    *records = counted.integer(0, 0);
    *journal_rows = counted.integer(0, 1);
    return true;
}

bool PgStoreCopy::count_shared(int64_t* password_hashes, int64_t* sites, std::string* error) {
    PgResult counted =
        conn_.exec("SELECT (SELECT count(*) FROM password_hashes), (SELECT count(*) FROM sites)",
                   {}, PgParams());
    if (!counted.ok()) {
        return failed("cannot count the copied sites", counted, error);
    }
    *password_hashes = counted.integer(0, 0);
    *sites = counted.integer(0, 1);
    return true;
}

bool PgStoreCopy::commit(std::string* error) {
    // setval is strict: a table left empty keeps its identity as it is.
    // A record file's positions go on past the highest it ever gave, even
    // when the record that had it was deleted before the copy.
    PgParams highest;
    for (const char* table : {"devices", "settings", "passwords"}) {
        const auto given = highest_positions_.find(table);
        highest.int8(given != highest_positions_.end() ? given->second : 0);
    }
    PgResult moved = conn_.exec(
        "SELECT setval(pg_get_serial_sequence('devices', 'pos'),"
        "  GREATEST((SELECT max(pos) FROM devices), NULLIF($1, 0))),"
        " setval(pg_get_serial_sequence('settings', 'pos'),"
        "  GREATEST((SELECT max(pos) FROM settings), NULLIF($2, 0))),"
        " setval(pg_get_serial_sequence('passwords', 'pos'),"
        "  GREATEST((SELECT max(pos) FROM passwords), NULLIF($3, 0))),"
        " setval(pg_get_serial_sequence('journal', 'id'), (SELECT max(id) FROM journal)),"
        " setval(pg_get_serial_sequence('sites', 'id'), (SELECT max(id) FROM sites))",
        {kInt8Oid, kInt8Oid, kInt8Oid}, highest);
    if (!moved.ok()) {
        return failed("cannot move the identities past the copied rows", moved, error);
    }
    PgResult committed = conn_.commit();
    open_ = false;
    if (!committed.ok()) {
        *error = "cannot commit the copy at " + conn_.server() + ": " + committed.error();
        return false;
    }
    return true;
}

}  // namespace hostlibs::detail
