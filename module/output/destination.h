// Choosing where a report goes: the eligible sites of the site directory of
// a class that the print command selects, or a new FAX site made on the spot.
#pragma once

#include <stdint.h>

#include "platform/host_libraries.h"

// Destination kinds of the three print commands.
enum DestinationKind : int {
    DESTINATION_PRINTER = 1,  // site class 3, the operator's default site first
    DESTINATION_SPOOL = 2,    // site class 4
    DESTINATION_FAX = 3,      // site class 5, may offer to create a FAX site
};

// The list position of the "create new FAX site" entry.
constexpr uint32_t kCreateFaxEntry = 0xFFFFFFFF;

// The state of one choice, from the start of choose_destination until it
// returns; the list's fetch callback and the FAX site popup work on it.
struct DestinationChoice {
    SiteDirectory directory;
    int site_class;
    uint32_t default_site;   // class 3 only; 0 for none
    uint32_t template_site;  // the site new FAX sites copy their connection from
    bool create_offered;
    uint32_t list_position;  // site id of the list's entry, or kCreateFaxEntry
    char line[200];          // the list's line buffer
};

extern DestinationChoice destination_choice;

// The chosen site's id, or 0 when nothing was chosen.
uint32_t choose_destination(int kind);
// The list popup's fetch callback over the eligible sites.
int site_fetch(int operation);
// True when the directory's current site may receive reports.
bool site_eligible();
