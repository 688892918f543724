#include "sites/postgres/pg_site_storage.h"

#include "hostlibs/host_setup.h"

namespace hostlibs::detail {

namespace {

#define SITE_COLUMNS                                                                \
    "id, class, name, short_name, flags, device_type, device_text, connect_driver," \
    " connect_parameters, transfer_driver, transfer_parameters, mode, state,"       \
    " ARRAY(SELECT line FROM site_lines WHERE site_id = sites.id ORDER BY line),"   \
    " ARRAY(SELECT text FROM site_lines WHERE site_id = sites.id ORDER BY line)"

const PgStatement kLowestId{
    "site_lowest", "SELECT " SITE_COLUMNS " FROM sites ORDER BY id LIMIT 1", {}};
const PgStatement kById{
    "site_by_id", "SELECT " SITE_COLUMNS " FROM sites WHERE id = $1", {kInt8Oid}};
const PgStatement kFirstOfClass{"site_first",
                                "SELECT " SITE_COLUMNS
                                " FROM sites WHERE class = $1 ORDER BY id LIMIT 1",
                                {kInt4Oid}};
const PgStatement kLastOfClass{"site_last",
                               "SELECT " SITE_COLUMNS
                               " FROM sites WHERE class = $1 ORDER BY id DESC LIMIT 1",
                               {kInt4Oid}};
const PgStatement kNextInClass{"site_next",
                               "SELECT " SITE_COLUMNS
                               " FROM sites WHERE class = $1 AND id > $2 ORDER BY id LIMIT 1",
                               {kInt4Oid, kInt8Oid}};
const PgStatement kPreviousInClass{
    "site_previous",
    "SELECT " SITE_COLUMNS " FROM sites WHERE class = $1 AND id < $2 ORDER BY id DESC LIMIT 1",
    {kInt4Oid, kInt8Oid}};
const PgStatement kAll{"site_all", "SELECT " SITE_COLUMNS " FROM sites ORDER BY id", {}};
// One statement stores the site and its lines, so it is one transaction.
const PgStatement kAdd{
    "site_add",
    "WITH added AS (INSERT INTO sites(class, name, short_name, flags, device_type, device_text,"
    " connect_driver, connect_parameters, transfer_driver, transfer_parameters, mode, state)"
    " VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12) RETURNING id),"
    " lines AS (INSERT INTO site_lines(site_id, line, text)"
    " SELECT added.id, l.line::integer, l.text FROM added,"
    " unnest($13::text[], $14::text[]) AS l(line, text))"
    " SELECT id FROM added",
    {kInt4Oid, kTextOid, kTextOid, kInt8Oid, kInt4Oid, kTextOid, kTextOid, kTextOid, kTextOid,
     kTextOid, kInt4Oid, kInt4Oid, kTextArrayOid, kTextArrayOid}};

#undef SITE_COLUMNS

// The elements of a one-dimensional binary array of int4 or text.
std::vector<std::string> array_elements(std::span<const uint8_t> bytes) {
    std::vector<std::string> elements;
    auto be32 = [&](size_t at) -> int32_t {
        if (at + 4 > bytes.size()) {
            return -1;
        }
        return static_cast<int32_t>((uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
                                    (uint32_t{bytes[at + 2]} << 8) | uint32_t{bytes[at + 3]});
    };
    const int32_t dimensions = be32(0);
    if (dimensions != 1) {
        return elements;  // empty arrays have no dimension
    }
    const int32_t count = be32(12);
    size_t at = 20;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t length = be32(at);
        at += 4;
        if (length < 0 || at + static_cast<size_t>(length) > bytes.size()) {
            elements.emplace_back();
            continue;
        }
        elements.emplace_back(reinterpret_cast<const char*>(bytes.data() + at),
                              static_cast<size_t>(length));
        at += static_cast<size_t>(length);
    }
    return elements;
}

int32_t int4_of(const std::string& bytes) {
    if (bytes.size() != 4) {
        return 0;
    }
    return static_cast<int32_t>((uint32_t{static_cast<uint8_t>(bytes[0])} << 24) |
                                (uint32_t{static_cast<uint8_t>(bytes[1])} << 16) |
                                (uint32_t{static_cast<uint8_t>(bytes[2])} << 8) |
                                uint32_t{static_cast<uint8_t>(bytes[3])});
}

SiteInfo read_site(const PgResult& result, int row) {
    SiteInfo site;
    site.id = static_cast<uint32_t>(result.integer(row, 0));
    site.site_class = static_cast<int>(result.integer(row, 1));
    site.name = result.text(row, 2);
    site.short_name = result.text(row, 3);
    site.flags = static_cast<uint32_t>(result.integer(row, 4));
    site.device_type = static_cast<uint8_t>(result.integer(row, 5));
    site.device_text = result.text(row, 6);
    site.connect_driver = result.text(row, 7);
    site.connect_parameters = result.text(row, 8);
    site.transfer_driver = result.text(row, 9);
    site.transfer_parameters = result.text(row, 10);
    site.mode = static_cast<int>(result.integer(row, 11));
    site.state = static_cast<int>(result.integer(row, 12));
    const std::vector<std::string> numbers = array_elements(result.bytes(row, 13));
    const std::vector<std::string> texts = array_elements(result.bytes(row, 14));
    for (size_t i = 0; i < numbers.size() && i < texts.size(); ++i) {
        site.lines.emplace_back(int4_of(numbers[i]), texts[i]);
    }
    return site;
}

}  // namespace

void PgSiteStorage::log_failure(const std::string& why) const {
    log_host_failure("SITES", kStoreFailed, "shared store sites: " + why);
}

bool PgSiteStorage::select(const PgStatement& statement, const PgParams& params,
                           std::vector<SiteInfo>* sites, std::string* error) {
    sites->clear();
    std::string why;
    PgResult result;
    if (conn_->ensure_connected(&why)) {
        result = conn_->run(statement, params);
        why = result.error();
    }
    if (!result.ok()) {
        log_failure(why);
        if (error != nullptr) {
            *error = "shared store sites: " + why;
        }
        return false;
    }
    for (int row = 0; row < result.rows(); ++row) {
        sites->push_back(read_site(result, row));
    }
    return true;
}

std::optional<SiteInfo> PgSiteStorage::seek(Seek seek, int site_class, uint32_t id) {
    PgParams params;
    const PgStatement* statement = &kLowestId;
    switch (seek) {
        case Seek::kLowestId:
            break;
        case Seek::kId:
            statement = &kById;
            params.int8(id);
            break;
        case Seek::kFirstOfClass:
            statement = &kFirstOfClass;
            params.int4(site_class);
            break;
        case Seek::kLastOfClass:
            statement = &kLastOfClass;
            params.int4(site_class);
            break;
        case Seek::kNextInClass:
            statement = &kNextInClass;
            params.int4(site_class).int8(id);
            break;
        case Seek::kPreviousInClass:
            statement = &kPreviousInClass;
            params.int4(site_class).int8(id);
            break;
    }
    std::vector<SiteInfo> found;
    if (!select(*statement, params, &found, nullptr) || found.empty()) {
        return std::nullopt;
    }
    return std::move(found.front());
}

bool PgSiteStorage::list(std::vector<SiteInfo>* sites, std::string* error) {
    return select(kAll, PgParams{}, sites, error);
}

bool PgSiteStorage::add(const SiteInfo& site, uint32_t* id, std::string* error) {
    std::vector<std::string> numbers;
    std::vector<std::string_view> numbers_view, texts;
    numbers.reserve(site.lines.size());
    for (const auto& [line, text] : site.lines) {
        numbers.push_back(std::to_string(line));
        texts.push_back(text);
    }
    for (const std::string& number : numbers) {
        numbers_view.push_back(number);
    }
    PgParams params;
    params.int4(site.site_class)
        .text(site.name)
        .text(site.short_name)
        .int8(site.flags)
        .int4(site.device_type)
        .text(site.device_text)
        .text(site.connect_driver)
        .text(site.connect_parameters)
        .text(site.transfer_driver)
        .text(site.transfer_parameters)
        .int4(site.mode)
        .int4(site.state)
        .text_array(numbers_view)
        .text_array(texts);
    std::string why;
    if (!conn_->ensure_connected(&why)) {
        log_failure(why);
        if (error != nullptr) {
            *error = why;
        }
        return false;
    }
    PgResult result = conn_->run(kAdd, params);
    if (!result.ok() || result.rows() != 1) {
        log_failure(result.error());
        if (error != nullptr) {
            *error = "shared store sites: " + result.error();
        }
        return false;
    }
    if (id != nullptr) {
        *id = static_cast<uint32_t>(result.integer(0, 0));
    }
    return true;
}

}  // namespace hostlibs::detail
