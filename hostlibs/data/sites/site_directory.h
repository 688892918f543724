// The site directory: sites walked by class in id order through independent
// handles, each with its own current site and draft of a new site, over the
// site storage of the root's store.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "hostlibs/host_setup.h"
#include "sites/site_storage.h"

namespace hostlibs::detail {

// Results of the site operations besides 0.
enum : int {
    SITE_NOT_FOUND = 1,   // no such site, or none in that direction
    SITE_BAD_HANDLE = 2,  // not a handle of site_open
    SITE_NO_CURRENT = 3,  // no current site, or no draft for a setter
    SITE_FAILED = 4,      // storage failure or bad argument
};

class SiteTable {
  public:
    SiteTable() = default;
    SiteTable(const SiteTable&) = delete;
    SiteTable& operator=(const SiteTable&) = delete;

    // Where the sites are stored (owned by the caller; null: none).
    void use(SiteStorage* storage) { storage_ = storage; }

    // Handle lifecycle.
    int open(uint32_t* handle);
    int close(uint32_t handle);

    // Navigation; on success the found site becomes the handle's current one.
    int go_to(uint32_t handle, uint32_t id);
    enum class Walk { kFirst, kNext, kPrevious, kLast };
    int walk(uint32_t handle, int site_class, Walk walk);

    // The handle's current site; SITE_NO_CURRENT when there is none.
    int current(uint32_t handle, SiteInfo* site);

    // Draft of a new site: site_new starts it, the setters fill it, site_add stores it.
    int start_draft(uint32_t handle);
    int edit_draft(uint32_t handle, SiteInfo** draft);
    int add_draft(uint32_t handle);

    // Set-up access.
    bool add(const SiteInfo& site, uint32_t* id, std::string* error);
    std::vector<SiteInfo> list(std::string* error);
    bool exists(uint32_t id);
    std::optional<SiteInfo> find(uint32_t id);

  private:
    struct Cursor {
        std::optional<uint32_t> current;
        int last_class = 0;
        std::optional<SiteInfo> draft;
    };

    Cursor* cursor(uint32_t handle);
    std::optional<SiteInfo> seek(SiteStorage::Seek how, int site_class, uint32_t id);

    SiteStorage* storage_ = nullptr;
    std::map<uint32_t, Cursor> cursors_;
    uint32_t next_handle_ = 1;
};

}  // namespace hostlibs::detail
