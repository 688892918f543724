// What the site directory needs of the database under it, one backend per
// database (sqlite/: host.db of the root; postgres/: a shared store). The
// handles, their current sites and drafts live above it (site_directory).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hostlibs/host_setup.h"

namespace hostlibs::detail {

class SiteStorage {
  public:
    virtual ~SiteStorage() = default;

    enum class Seek {
        kLowestId,         // the site with the lowest id, of any class
        kId,               // the site `id`
        kFirstOfClass,     // lowest id of `site_class`
        kLastOfClass,      // highest id of `site_class`
        kNextInClass,      // lowest id above `id` in `site_class`
        kPreviousInClass,  // highest id below `id` in `site_class`
    };
    // The site a seek finds, with its lines; none when there is none or the
    // database failed (a backend logs its failures).
    virtual std::optional<SiteInfo> seek(Seek seek, int site_class, uint32_t id) = 0;
    // Every site in id order, with its lines; false with the reason (and no
    // sites) when the database failed.
    virtual bool list(std::vector<SiteInfo>* sites, std::string* error) = 0;
    // Stores a new site with its lines in one transaction; its id into *id.
    virtual bool add(const SiteInfo& site, uint32_t* id, std::string* error) = 0;
};

}  // namespace hostlibs::detail
