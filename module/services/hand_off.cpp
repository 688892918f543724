#include "services/hand_off.h"

#include <cstdio>

#include "platform/host_libraries.h"

namespace {

// Copies a name of at most 8 characters with its terminator into a 9-byte slot.
void copy_name(char (&slot)[9], const char* name) {
    std::snprintf(slot, sizeof slot, "%.8s", name);
}

void queue_only(const char* first_dir, const char* second_dir, const char* module_name) {
    filelist_clear();
    RunListEntry entry{};
    copy_name(entry.first_dir, first_dir);
    copy_name(entry.second_dir, second_dir);
    copy_name(entry.module_name, module_name);
    entry.parameters[0] = '\0';
    entry.word = 0;
    filelist_push(&entry);
}

}  // namespace

void hand_off_to_error_log() {
    queue_only("USER", "ERRORLOG", "ERRORLOG");
}

void hand_off_to_sign_on() {
    queue_only("USER", "SIGNON", "SIGNON");
}

void clear_run_list() {
    filelist_clear();
}
