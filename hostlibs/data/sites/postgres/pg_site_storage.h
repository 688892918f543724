// The site directory in a shared PostgreSQL store: sites and site_lines of
// the store's schema, on the connection the store's record files use, so a
// site made on one workstation is offered on all.
#pragma once

#include <memory>

#include "core/pg_connection.h"
#include "sites/site_storage.h"

namespace hostlibs::detail {

class PgSiteStorage : public SiteStorage {
  public:
    explicit PgSiteStorage(std::shared_ptr<PgConnection> conn) : conn_(std::move(conn)) {}

    std::optional<SiteInfo> seek(Seek seek, int site_class, uint32_t id) override;
    bool list(std::vector<SiteInfo>* sites, std::string* error) override;
    bool add(const SiteInfo& site, uint32_t* id, std::string* error) override;

  private:
    // The sites a prepared select finds, with their lines; false with the
    // reason on failure (logged once per failed call).
    bool select(const PgStatement& statement, const PgParams& params, std::vector<SiteInfo>* sites,
                std::string* error);
    void log_failure(const std::string& why) const;

    std::shared_ptr<PgConnection> conn_;
};

}  // namespace hostlibs::detail
