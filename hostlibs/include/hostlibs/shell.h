// The shell's run list as the host program and tests see it. Modules use the
// C interface of host_libraries.h (filelist_push, filelist_pop, ...).
//
// The run list is a stack of RunListEntry copies. The host runs the top
// entry; after a module returns, the host asks whether the module edited the
// list (edits()) and whether its last edit emptied it (quit_requested()).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host_libraries.h"

namespace hostlibs {

enum : int { SHELL_HOT_KEYS = 20, SHELL_MAX_ENTRIES = 64 };

// The entries, bottom first.
HOSTLIB_API std::vector<RunListEntry> run_list();
// Empties the list and forgets hot keys, edits and sign-ons.
HOSTLIB_API void reset_shell();

// Counts every change the shell interface made to the list (push, pop,
// clear, hot key, shell menu), so the host can see whether a module touched it.
HOSTLIB_API uint64_t run_list_edits();
// True when the list is empty because filelist_clear emptied it and nothing
// was pushed since: the operator quit.
HOSTLIB_API bool quit_requested();
// The host's own edits, which do not count as a module's.
HOSTLIB_API void host_push(const RunListEntry& entry);
HOSTLIB_API void host_pop();
HOSTLIB_API void host_clear();

// Hot key n (0..19) pushes this entry; an unmapped one does nothing.
HOSTLIB_API bool set_hot_key(int n, const RunListEntry& entry);
HOSTLIB_API void clear_hot_keys();

// How many times shellbar_set_tech was called since the last reset.
HOSTLIB_API int technician_sign_ons();

// The entry of the shell menu: "USER", "SHELL", "SHELL".
HOSTLIB_API RunListEntry shell_menu_entry();

// A copy of the entry with its names and parameters terminated.
HOSTLIB_API RunListEntry terminated(const RunListEntry& entry);
// True when both name the same module (directories and name, ignoring case).
HOSTLIB_API bool same_module(const RunListEntry& a, const RunListEntry& b);
// "FIRST\SECOND\NAME", for messages.
HOSTLIB_API std::string describe_entry(const RunListEntry& entry);

}  // namespace hostlibs
