#include "sites/site_directory.h"

#include "platform/host_libraries.h"

namespace hostlibs::detail {

std::optional<SiteInfo> SiteTable::seek(SiteStorage::Seek how, int site_class, uint32_t id) {
    return storage_ != nullptr ? storage_->seek(how, site_class, id) : std::nullopt;
}

SiteTable::Cursor* SiteTable::cursor(uint32_t handle) {
    auto it = cursors_.find(handle);
    return it == cursors_.end() ? nullptr : &it->second;
}

int SiteTable::open(uint32_t* handle) {
    if (handle == nullptr) {
        return SITE_FAILED;
    }
    uint32_t id = next_handle_++;
    if (next_handle_ == 0) {
        next_handle_ = 1;
    }
    Cursor& fresh = cursors_[id];
    // A new handle stands on the first site by id, so a query of the current
    // site right after opening has a defined answer.
    std::optional<SiteInfo> first = seek(SiteStorage::Seek::kLowestId, 0, 0);
    if (first) {
        fresh.current = first->id;
    }
    *handle = id;
    return 0;
}

int SiteTable::close(uint32_t handle) {
    return cursors_.erase(handle) == 1 ? 0 : SITE_BAD_HANDLE;
}

int SiteTable::go_to(uint32_t handle, uint32_t id) {
    Cursor* c = cursor(handle);
    if (c == nullptr) {
        return SITE_BAD_HANDLE;
    }
    if (!exists(id)) {
        return SITE_NOT_FOUND;
    }
    c->current = id;
    return 0;
}

int SiteTable::walk(uint32_t handle, int site_class, Walk walk) {
    Cursor* c = cursor(handle);
    if (c == nullptr) {
        return SITE_BAD_HANDLE;
    }
    c->last_class = site_class;
    std::optional<SiteInfo> found;
    switch (walk) {
        case Walk::kFirst:
            found = seek(SiteStorage::Seek::kFirstOfClass, site_class, 0);
            break;
        case Walk::kLast:
            found = seek(SiteStorage::Seek::kLastOfClass, site_class, 0);
            break;
        case Walk::kNext:
        case Walk::kPrevious:
            if (!c->current) {
                return SITE_NO_CURRENT;
            }
            found = seek(walk == Walk::kNext ? SiteStorage::Seek::kNextInClass
                                             : SiteStorage::Seek::kPreviousInClass,
                         site_class, *c->current);
            break;
    }
    if (!found) {
        return SITE_NOT_FOUND;
    }
    c->current = found->id;
    return 0;
}

int SiteTable::current(uint32_t handle, SiteInfo* site) {
    Cursor* c = cursor(handle);
    if (c == nullptr) {
        return SITE_BAD_HANDLE;
    }
    if (!c->current) {
        return SITE_NO_CURRENT;
    }
    std::optional<SiteInfo> found = find(*c->current);
    if (!found) {
        return SITE_NOT_FOUND;  // removed meanwhile
    }
    *site = std::move(*found);
    return 0;
}

int SiteTable::start_draft(uint32_t handle) {
    Cursor* c = cursor(handle);
    if (c == nullptr) {
        return SITE_BAD_HANDLE;
    }
    // A new site joins the class this handle walked last.
    c->draft.emplace();
    c->draft->site_class = c->last_class;
    return 0;
}

int SiteTable::edit_draft(uint32_t handle, SiteInfo** draft) {
    Cursor* c = cursor(handle);
    if (c == nullptr) {
        return SITE_BAD_HANDLE;
    }
    if (!c->draft) {
        return SITE_NO_CURRENT;
    }
    *draft = &*c->draft;
    return 0;
}

int SiteTable::add_draft(uint32_t handle) {
    Cursor* c = cursor(handle);
    if (c == nullptr) {
        return SITE_BAD_HANDLE;
    }
    if (!c->draft) {
        return SITE_NO_CURRENT;
    }
    uint32_t id = 0;
    std::string error;
    if (!add(*c->draft, &id, &error)) {
        return SITE_FAILED;
    }
    c->draft.reset();
    c->current = id;
    return 0;
}

bool SiteTable::add(const SiteInfo& site, uint32_t* id, std::string* error) {
    if (storage_ == nullptr) {
        if (error != nullptr) {
            *error = "no site directory open";
        }
        return false;
    }
    return storage_->add(site, id, error);
}

std::vector<SiteInfo> SiteTable::list(std::string* error) {
    std::vector<SiteInfo> sites;
    if (storage_ == nullptr) {
        if (error != nullptr) {
            *error = "no site directory open";
        }
    } else {
        storage_->list(&sites, error);
    }
    return sites;
}

bool SiteTable::exists(uint32_t id) {
    return find(id).has_value();
}

std::optional<SiteInfo> SiteTable::find(uint32_t id) {
    return seek(SiteStorage::Seek::kId, 0, id);
}

}  // namespace hostlibs::detail
