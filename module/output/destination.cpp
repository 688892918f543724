#include "output/destination.h"

#include <cstring>

#include "dialogs/list_popup.h"
#include "output/fax_site.h"
#include "output/site_preferences.h"
#include "platform/native_files.h"
#include "services/host_paths.h"
#include "services/module_state.h"

DestinationChoice destination_choice{};

namespace {

constexpr int kPrinterClass = 3;
constexpr int kSpoolClass = 4;
constexpr int kFaxClass = 5;
constexpr int kNameWidth = 30;
constexpr const char kCreateFaxText[] = "---- create new FAX site ---- ";
static_assert(sizeof kCreateFaxText - 1 == kNameWidth);

// The list window: row 3, column 25, 20 rows of one 30-character name.
constexpr int kListRow = 3;
constexpr int kListColumn = 25;
constexpr int kListHeight = 20;
constexpr int32_t kListWidths[] = {1, kNameWidth, 1};

// What a walk over the list found; it leaves a found site current.
enum WalkResult : int {
    WALK_NONE = 0,
    WALK_SITE = 1,
    WALK_CREATE = 2,
};

DestinationChoice& choice = destination_choice;

bool has_default() {
    return choice.site_class == kPrinterClass && choice.default_site != 0;
}

// A site the walk passes over: not eligible, or (class 3) the default site,
// which heads the list, or a site whose id cannot be read.
bool passed_over() {
    if (!site_eligible()) {
        return true;
    }
    if (choice.site_class != kPrinterClass) {
        return false;
    }
    uint32_t id = 0;
    return site_get_id(choice.directory, &id) != 0 || id == choice.default_site;
}

// Steps on from a site just found (status 0) while it is passed over.
bool skip_forward(int status) {
    while (status == 0 && passed_over()) {
        status = site_next(choice.directory, choice.site_class);
    }
    return status == 0;
}

bool skip_backward(int status) {
    while (status == 0 && passed_over()) {
        status = site_prev(choice.directory, choice.site_class);
    }
    return status == 0;
}

// Makes site `id` current, moving only when it is not already.
bool make_current(uint32_t id) {
    uint32_t current = 0;
    if (site_get_id(choice.directory, &current) == 0 && current == id) {
        return true;
    }
    return site_goto(choice.directory, id) == 0;
}

// The list ends with the default site when nothing else is found backward.
int default_or_none() {
    if (has_default() && site_goto(choice.directory, choice.default_site) == 0) {
        return WALK_SITE;
    }
    return WALK_NONE;
}

int walk_first() {
    if (has_default()) {
        return site_goto(choice.directory, choice.default_site) == 0 ? WALK_SITE : WALK_NONE;
    }
    if (skip_forward(site_first(choice.directory, choice.site_class))) {
        return WALK_SITE;
    }
    return choice.create_offered ? WALK_CREATE : WALK_NONE;
}

int walk_next(uint32_t from) {
    if (from == kCreateFaxEntry) {
        return WALK_NONE;
    }
    int status = 0;
    if (has_default() && from == choice.default_site) {
        status = site_first(choice.directory, choice.site_class);
    } else if (make_current(from)) {
        status = site_next(choice.directory, choice.site_class);
    } else {
        return WALK_NONE;  // the site has gone: there is nothing to step on from
    }
    return skip_forward(status) ? WALK_SITE : WALK_NONE;
}

int walk_previous(uint32_t from) {
    int status = 0;
    if (from == kCreateFaxEntry) {
        status = site_last(choice.directory, choice.site_class);
    } else {
        // Nothing comes before the default site, nor before a site that has gone.
        if ((has_default() && from == choice.default_site) || !make_current(from)) {
            return WALK_NONE;
        }
        status = site_prev(choice.directory, choice.site_class);
    }
    return skip_backward(status) ? WALK_SITE : default_or_none();
}

int walk_last() {
    if (choice.create_offered) {
        return WALK_CREATE;
    }
    return skip_backward(site_last(choice.directory, choice.site_class)) ? WALK_SITE
                                                                         : default_or_none();
}

int walk(int operation) {
    switch (operation) {
        case LIST_FIRST:
            return walk_first();
        case LIST_NEXT:
            return walk_next(choice.list_position);
        case LIST_PREV:
            return walk_previous(choice.list_position);
        case LIST_LAST:
            return walk_last();
        default:
            return WALK_NONE;
    }
}

int site_class_of(int kind) {
    switch (kind) {
        case DESTINATION_PRINTER:
            return kPrinterClass;
        case DESTINATION_SPOOL:
            return kSpoolClass;
        case DESTINATION_FAX:
            return kFaxClass;
        default:
            return 0;
    }
}

// The default site heads the list only when it exists and is eligible.
uint32_t eligible_default_site() {
    uint32_t id = 0;
    if (read_default_site(&id) == SETTING_NONE || id == 0) {
        return 0;
    }
    return site_goto(choice.directory, id) == 0 && site_eligible() ? id : 0;
}

// FAX sites can be made when the FAX driver is installed and a template site
// is configured.
bool fax_creation_possible() {
    char driver[kPathSize];
    if (!format_path(driver, sizeof driver, "%sDLLS\\CONNECT\\FAXLNK_.DLL", root_directory()) ||
        !native_file_exists(driver)) {
        return false;
    }
    return read_template_site(&choice.template_site) != SETTING_NONE && choice.template_site != 0;
}

// With no create entry, one eligible site is taken without a list. Gives
// true when the walk settled the choice (into *site, 0 for none).
bool only_site(uint32_t* site) {
    if (walk(LIST_FIRST) == WALK_NONE) {
        *site = 0;
        return true;
    }
    uint32_t id = 0;
    site_get_id(choice.directory, &id);
    if (walk_next(id) == WALK_NONE) {
        *site = id;
        return true;
    }
    return false;
}

uint32_t choose_from_list() {
    ListPopupLayout layout{};
    set_list_colours(&layout);
    layout.row = kListRow;
    layout.column = kListColumn;
    layout.extra = 0;
    layout.height = kListHeight;
    layout.column_count = sizeof kListWidths / sizeof kListWidths[0];
    layout.widths = kListWidths;
    if (list_popup(site_fetch, &choice.list_position, choice.line, &layout, 0) != LIST_CHOSEN) {
        return 0;
    }
    if (choice.list_position == kCreateFaxEntry) {
        return create_fax_site();
    }
    return choice.list_position;
}

}  // namespace

bool site_eligible() {
    uint32_t flags = 0;
    // A site whose flags cannot be read is not offered.
    if (site_get_flags(choice.directory, &flags) != 0) {
        return false;
    }
    if ((flags & SITE_FLAG_HIDDEN) != 0) {
        return false;
    }
    return (flags & SITE_FLAG_DISABLED) == 0;
}

int site_fetch(int operation) {
    switch (walk(operation)) {
        case WALK_SITE:
            site_get_name(choice.directory, choice.line, kNameWidth);
            site_get_id(choice.directory, &choice.list_position);
            return 1;
        case WALK_CREATE:
            std::memcpy(choice.line, kCreateFaxText, kNameWidth);
            choice.list_position = kCreateFaxEntry;
            return 1;
        default:
            return 0;
    }
}

uint32_t choose_destination(int kind) {
    choice.create_offered = false;
    choice.site_class = site_class_of(kind);
    if (choice.site_class == 0) {
        return 0;
    }
    if (site_open(&choice.directory) != 0) {
        return 0;
    }
    if (kind == DESTINATION_PRINTER) {
        choice.default_site = eligible_default_site();
    }
    if (kind == DESTINATION_FAX) {
        choice.create_offered = fax_creation_possible();
    }
    uint32_t site = 0;
    if (choice.create_offered || !only_site(&site)) {
        site = choose_from_list();
    }
    site_close(choice.directory);
    return site;
}
