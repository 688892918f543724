// The site directory's C interface and set-up access.
#include <cstring>

#include "core/c_boundary.h"
#include "host/host_state.h"
#include "platform/fixed_text.h"
#include "platform/host_libraries.h"

namespace hostlibs {

namespace {

using detail::SiteTable;

SiteTable* directory() {
    detail::HostState* host = detail::host_state();
    return host != nullptr ? &host->sites : nullptr;
}

// Runs `action` on the open directory, turning a closed host or an exception
// into a failure result.
template <typename Action>
int with_directory(Action action) {
    SiteTable* sites = directory();
    if (sites == nullptr) {
        return detail::SITE_FAILED;
    }
    return detail::guarded(int{detail::SITE_FAILED}, [&] { return action(*sites); });
}

// Text of at most `width` characters (and no more than `limit`), ending at a
// zero byte, trailing blanks dropped.
std::string site_text(const char* text, int width, size_t limit) {
    if (width <= 0) {
        return std::string();
    }
    return std::string(fixed_text(text, std::min(static_cast<size_t>(width), limit)));
}

// Copies a terminated text into a field of `size` bytes, cut to fit.
void copy_terminated(const std::string& text, char* out, size_t size) {
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

template <typename Edit>
int with_draft(uint32_t handle, Edit edit) {
    return with_directory([&](SiteTable& sites) {
        SiteInfo* draft = nullptr;
        int result = sites.edit_draft(handle, &draft);
        if (result == 0) {
            edit(*draft);
        }
        return result;
    });
}

int walk(uint32_t handle, int site_class, SiteTable::Walk how) {
    return with_directory([&](SiteTable& sites) { return sites.walk(handle, site_class, how); });
}

template <typename Read>
int with_current(uint32_t handle, Read read) {
    return with_directory([&](SiteTable& sites) {
        SiteInfo site;
        int result = sites.current(handle, &site);
        if (result == 0) {
            read(site);
        }
        return result;
    });
}

constexpr size_t kNameSize = 30;
constexpr size_t kShortNameSize = 20;

}  // namespace

bool add_site(const SiteInfo& site, uint32_t* id, std::string* error) {
    SiteTable* sites = directory();
    if (sites == nullptr) {
        if (error != nullptr) {
            *error = "host not open";
        }
        return false;
    }
    try {
        return sites->add(site, id, error);
    } catch (const std::exception& e) {
        if (error != nullptr) {
            *error = e.what();
        }
        return false;
    }
}

std::vector<SiteInfo> list_sites(std::string* error) {
    return detail::host_listing(error,
                                [&](detail::HostState& host) { return host.sites.list(error); });
}

}  // namespace hostlibs

using namespace hostlibs;
using Walk = hostlibs::detail::SiteTable::Walk;

extern "C" {

int site_open(SiteDirectory* handle) {
    return with_directory([&](detail::SiteTable& sites) { return sites.open(handle); });
}

int site_close(SiteDirectory handle) {
    return with_directory([&](detail::SiteTable& sites) { return sites.close(handle); });
}

int site_goto(SiteDirectory handle, uint32_t id) {
    return with_directory([&](detail::SiteTable& sites) { return sites.go_to(handle, id); });
}

int site_first(SiteDirectory handle, int site_class) {
    return walk(handle, site_class, Walk::kFirst);
}

int site_next(SiteDirectory handle, int site_class) {
    return walk(handle, site_class, Walk::kNext);
}

int site_prev(SiteDirectory handle, int site_class) {
    return walk(handle, site_class, Walk::kPrevious);
}

int site_last(SiteDirectory handle, int site_class) {
    return walk(handle, site_class, Walk::kLast);
}

int site_get_id(SiteDirectory handle, uint32_t* id) {
    if (id == nullptr) {
        return detail::SITE_FAILED;
    }
    return with_current(handle, [&](const SiteInfo& site) { *id = site.id; });
}

int site_get_name(SiteDirectory handle, char* text, int width) {
    if (text == nullptr || width < 0) {
        return detail::SITE_FAILED;
    }
    return with_current(handle, [&](const SiteInfo& site) {
        const size_t length = std::min(site.name.size(), static_cast<size_t>(width));
        std::memcpy(text, site.name.data(), length);
        std::memset(text + length, ' ', static_cast<size_t>(width) - length);
    });
}

int site_get_flags(SiteDirectory handle, uint32_t* flags) {
    if (flags == nullptr) {
        return detail::SITE_FAILED;
    }
    return with_current(handle, [&](const SiteInfo& site) { *flags = site.flags; });
}

int site_get_device(SiteDirectory handle, uint8_t* device, char* text) {
    return with_current(handle, [&](const SiteInfo& site) {
        if (device != nullptr) {
            std::memset(device, 0, SITE_DEVICE_SIZE);
            device[0] = site.device_type;
        }
        if (text != nullptr) {
            copy_terminated(site.device_text, text, SITE_DEVICE_TEXT_SIZE);
        }
    });
}

int site_get_connect(SiteDirectory handle, char* driver, char* parameters) {
    return with_current(handle, [&](const SiteInfo& site) {
        if (driver != nullptr) {
            copy_terminated(site.connect_driver, driver, SITE_DRIVER_SIZE);
        }
        if (parameters != nullptr) {
            copy_terminated(site.connect_parameters, parameters, SITE_DRIVER_SIZE);
        }
    });
}

int site_new(SiteDirectory handle) {
    return with_directory([&](detail::SiteTable& sites) { return sites.start_draft(handle); });
}

int site_set_short_name(SiteDirectory handle, const char* text, int width) {
    return with_draft(
        handle, [&](SiteInfo& site) { site.short_name = site_text(text, width, kShortNameSize); });
}

int site_set_name(SiteDirectory handle, const char* text, int width) {
    return with_draft(handle,
                      [&](SiteInfo& site) { site.name = site_text(text, width, kNameSize); });
}

int site_set_line(SiteDirectory handle, int line, const char* text) {
    return with_draft(handle, [&](SiteInfo& site) {
        std::string value = site_text(text, SITE_DRIVER_SIZE - 1, SITE_DRIVER_SIZE - 1);
        for (auto& entry : site.lines) {
            if (entry.first == line) {
                entry.second = value;
                return;
            }
        }
        site.lines.emplace_back(line, value);
    });
}

int site_set_connect(SiteDirectory handle, const char* driver, const char* parameters) {
    return with_draft(handle, [&](SiteInfo& site) {
        site.connect_driver = site_text(driver, SITE_DRIVER_SIZE - 1, SITE_DRIVER_SIZE - 1);
        site.connect_parameters = site_text(parameters, SITE_DRIVER_SIZE - 1, SITE_DRIVER_SIZE - 1);
    });
}

int site_set_transfer(SiteDirectory handle, const char* driver, const char* parameters) {
    return with_draft(handle, [&](SiteInfo& site) {
        site.transfer_driver = site_text(driver, SITE_DRIVER_SIZE - 1, SITE_DRIVER_SIZE - 1);
        site.transfer_parameters =
            site_text(parameters, SITE_DRIVER_SIZE - 1, SITE_DRIVER_SIZE - 1);
    });
}

int site_set_mode(SiteDirectory handle, int mode) {
    return with_draft(handle, [&](SiteInfo& site) { site.mode = mode; });
}

int site_set_state(SiteDirectory handle, int state) {
    return with_draft(handle, [&](SiteInfo& site) { site.state = state; });
}

int site_add(SiteDirectory handle) {
    return with_directory([&](detail::SiteTable& sites) { return sites.add_draft(handle); });
}

}  // extern "C"
