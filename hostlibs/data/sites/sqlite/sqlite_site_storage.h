// The site directory in the root's host.db: sites(id, class, name, ...) and
// site_lines(site_id, line, text).
#pragma once

#include "core/sqlite_handle.h"
#include "sites/site_storage.h"

namespace hostlibs::detail {

class SqliteSiteStorage : public SiteStorage {
  public:
    explicit SqliteSiteStorage(Database& db) : db_(db) {}

    static const char* schema();

    std::optional<SiteInfo> seek(Seek seek, int site_class, uint32_t id) override;
    bool list(std::vector<SiteInfo>* sites, std::string* error) override;
    bool add(const SiteInfo& site, uint32_t* id, std::string* error) override;

  private:
    // The sites a select finds, with their lines; false with the reason (and
    // no sites) when the database failed.
    bool select(const char* where, const std::vector<int64_t>& values, std::vector<SiteInfo>* sites,
                std::string* error);

    Database& db_;
};

}  // namespace hostlibs::detail
