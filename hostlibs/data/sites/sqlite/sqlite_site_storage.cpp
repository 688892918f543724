#include "sites/sqlite/sqlite_site_storage.h"

#include "platform/host_libraries.h"

namespace hostlibs::detail {

namespace {

constexpr const char* kColumns =
    "id, class, name, short_name, flags, device_type, device_text, connect_driver,"
    " connect_parameters, transfer_driver, transfer_parameters, mode, state";

SiteInfo read_site(const Statement& row) {
    SiteInfo site;
    site.id = static_cast<uint32_t>(row.column_int64(0));
    site.site_class = static_cast<int>(row.column_int64(1));
    site.name = row.column_text(2);
    site.short_name = row.column_text(3);
    site.flags = static_cast<uint32_t>(row.column_int64(4));
    site.device_type = static_cast<uint8_t>(row.column_int64(5));
    site.device_text = row.column_text(6);
    site.connect_driver = row.column_text(7);
    site.connect_parameters = row.column_text(8);
    site.transfer_driver = row.column_text(9);
    site.transfer_parameters = row.column_text(10);
    site.mode = static_cast<int>(row.column_int64(11));
    site.state = static_cast<int>(row.column_int64(12));
    return site;
}

}  // namespace

const char* SqliteSiteStorage::schema() {
    return "CREATE TABLE IF NOT EXISTS sites("
           " id INTEGER PRIMARY KEY AUTOINCREMENT, class INTEGER NOT NULL,"
           " name TEXT NOT NULL, short_name TEXT NOT NULL, flags INTEGER NOT NULL,"
           " device_type INTEGER NOT NULL, device_text TEXT NOT NULL,"
           " connect_driver TEXT NOT NULL, connect_parameters TEXT NOT NULL,"
           " transfer_driver TEXT NOT NULL, transfer_parameters TEXT NOT NULL,"
           " mode INTEGER NOT NULL, state INTEGER NOT NULL);"
           "CREATE INDEX IF NOT EXISTS sites_by_class ON sites(class, id);"
           "CREATE TABLE IF NOT EXISTS site_lines("
           " site_id INTEGER NOT NULL, line INTEGER NOT NULL, text TEXT NOT NULL,"
           " PRIMARY KEY(site_id, line));";
}

std::optional<SiteInfo> SqliteSiteStorage::seek(Seek seek, int site_class, uint32_t id) {
    const char* where = "1 ORDER BY id LIMIT 1";
    std::vector<int64_t> values;
    switch (seek) {
        case Seek::kLowestId:
            break;
        case Seek::kId:
            where = "id = ?1";
            values = {static_cast<int64_t>(id)};
            break;
        case Seek::kFirstOfClass:
            where = "class = ?1 ORDER BY id LIMIT 1";
            values = {site_class};
            break;
        case Seek::kLastOfClass:
            where = "class = ?1 ORDER BY id DESC LIMIT 1";
            values = {site_class};
            break;
        case Seek::kNextInClass:
            where = "class = ?1 AND id > ?2 ORDER BY id LIMIT 1";
            values = {site_class, id};
            break;
        case Seek::kPreviousInClass:
            where = "class = ?1 AND id < ?2 ORDER BY id DESC LIMIT 1";
            values = {site_class, id};
            break;
    }
    std::vector<SiteInfo> found;
    if (!select(where, values, &found, nullptr) || found.empty()) {
        return std::nullopt;
    }
    return std::move(found.front());
}

bool SqliteSiteStorage::add(const SiteInfo& site, uint32_t* id, std::string* error) {
    WriteTransaction transaction(db_);
    Statement insert, line;
    bool ok = transaction.begin() == SQLITE_OK &&
              insert.prepare(db_,
                             "INSERT INTO sites(class, name, short_name, flags, device_type,"
                             " device_text, connect_driver, connect_parameters, transfer_driver,"
                             " transfer_parameters, mode, state)"
                             " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)",
                             error) &&
              line.prepare(db_,
                           "INSERT OR REPLACE INTO site_lines(site_id, line, text)"
                           " VALUES(?1, ?2, ?3)",
                           error);
    if (ok) {
        insert.bind_int64(1, site.site_class);
        insert.bind_text(2, site.name);
        insert.bind_text(3, site.short_name);
        insert.bind_int64(4, site.flags);
        insert.bind_int64(5, site.device_type);
        insert.bind_text(6, site.device_text);
        insert.bind_text(7, site.connect_driver);
        insert.bind_text(8, site.connect_parameters);
        insert.bind_text(9, site.transfer_driver);
        insert.bind_text(10, site.transfer_parameters);
        insert.bind_int64(11, site.mode);
        insert.bind_int64(12, site.state);
        ok = insert.step() == SQLITE_DONE;
        insert.reset();
    }
    const sqlite3_int64 new_id = ok ? sqlite3_last_insert_rowid(db_.get()) : 0;
    for (size_t i = 0; ok && i < site.lines.size(); ++i) {
        line.bind_int64(1, new_id);
        line.bind_int64(2, site.lines[i].first);
        line.bind_text(3, site.lines[i].second);
        ok = line.step() == SQLITE_DONE;
        line.reset();
    }
    if (ok) {
        ok = transaction.commit() == SQLITE_OK;
    }
    if (!ok) {
        if (error != nullptr && error->empty()) {
            *error = db_.last_error();
        }
        return false;
    }
    if (id != nullptr) {
        *id = static_cast<uint32_t>(new_id);
    }
    return true;
}

bool SqliteSiteStorage::select(const char* where, const std::vector<int64_t>& values,
                               std::vector<SiteInfo>* sites, std::string* error) {
    sites->clear();
    auto fail = [&] {
        sites->clear();
        if (error != nullptr) {
            *error = "sites: " + db_.last_error();
        }
        return false;
    };
    Statement query;
    std::string sql = std::string("SELECT ") + kColumns + " FROM sites WHERE " + where;
    if (!query.prepare(db_, sql.c_str(), nullptr)) {
        return fail();
    }
    for (size_t i = 0; i < values.size(); ++i) {
        query.bind_int64(static_cast<int>(i + 1), values[i]);
    }
    int rc;
    while ((rc = query.step()) == SQLITE_ROW) {
        sites->push_back(read_site(query));
    }
    if (rc != SQLITE_DONE) {
        return fail();
    }
    query.reset();
    if (sites->empty()) {
        return true;
    }
    Statement lines;
    if (!lines.prepare(db_, "SELECT line, text FROM site_lines WHERE site_id = ?1 ORDER BY line",
                       nullptr)) {
        return fail();
    }
    for (SiteInfo& site : *sites) {
        lines.bind_int64(1, site.id);
        while ((rc = lines.step()) == SQLITE_ROW) {
            site.lines.emplace_back(static_cast<int>(lines.column_int64(0)), lines.column_text(1));
        }
        if (rc != SQLITE_DONE) {
            return fail();
        }
        lines.reset();
    }
    return true;
}

bool SqliteSiteStorage::list(std::vector<SiteInfo>* sites, std::string* error) {
    return select("1 ORDER BY id", {}, sites, error);
}

}  // namespace hostlibs::detail
