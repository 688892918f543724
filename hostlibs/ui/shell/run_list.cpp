// The shell library: the run list as a stack, hot keys and the shell menu.
#include <strings.h>

#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "core/c_boundary.h"
#include "hostlibs/shell.h"

namespace hostlibs {
namespace {

struct ShellState {
    std::vector<RunListEntry> entries;
    std::array<std::optional<RunListEntry>, SHELL_HOT_KEYS> hot_keys;
    uint64_t edits = 0;
    bool cleared = false;
    int sign_ons = 0;
};

ShellState& shell() {
    static ShellState state;
    return state;
}

void terminate_field(char* field, size_t size) {
    field[size - 1] = '\0';
}

bool push(const RunListEntry& entry) {
    ShellState& state = shell();
    if (state.entries.size() >= SHELL_MAX_ENTRIES) {
        return false;
    }
    state.entries.push_back(terminated(entry));
    state.cleared = false;
    return true;
}

bool pop() {
    ShellState& state = shell();
    if (state.entries.empty()) {
        return false;
    }
    state.entries.pop_back();
    state.cleared = false;
    return true;
}

void clear() {
    ShellState& state = shell();
    state.entries.clear();
    state.cleared = true;
}

}  // namespace

std::vector<RunListEntry> run_list() {
    return shell().entries;
}

void reset_shell() {
    shell() = ShellState{};
}

uint64_t run_list_edits() {
    return shell().edits;
}

bool quit_requested() {
    return shell().cleared && shell().entries.empty();
}

void host_push(const RunListEntry& entry) {
    push(entry);
}
void host_pop() {
    pop();
}
void host_clear() {
    clear();
    shell().cleared = false;
}

bool set_hot_key(int n, const RunListEntry& entry) {
    if (n < 0 || n >= SHELL_HOT_KEYS) {
        return false;
    }
    shell().hot_keys[static_cast<size_t>(n)] = terminated(entry);
    return true;
}

void clear_hot_keys() {
    shell().hot_keys = {};
}

int technician_sign_ons() {
    return shell().sign_ons;
}

RunListEntry shell_menu_entry() {
    RunListEntry entry{};
    std::strcpy(entry.first_dir, "USER");
    std::strcpy(entry.second_dir, "SHELL");
    std::strcpy(entry.module_name, "SHELL");
    return entry;
}

RunListEntry terminated(const RunListEntry& entry) {
    RunListEntry copy = entry;
    terminate_field(copy.first_dir, sizeof copy.first_dir);
    terminate_field(copy.second_dir, sizeof copy.second_dir);
    terminate_field(copy.module_name, sizeof copy.module_name);
    terminate_field(copy.parameters, sizeof copy.parameters);
    return copy;
}

bool same_module(const RunListEntry& a, const RunListEntry& b) {
    RunListEntry x = terminated(a);
    RunListEntry y = terminated(b);
    return strcasecmp(x.first_dir, y.first_dir) == 0 &&
           strcasecmp(x.second_dir, y.second_dir) == 0 &&
           strcasecmp(x.module_name, y.module_name) == 0;
}

std::string describe_entry(const RunListEntry& entry) {
    RunListEntry copy = terminated(entry);
    return std::string(copy.first_dir) + "\\" + copy.second_dir + "\\" + copy.module_name;
}

}  // namespace hostlibs

using hostlibs::shell;

namespace {

// The shell keeps its own copy: the caller's entry is valid only during the call.
int push_entry(const RunListEntry* entry) {
    if (entry == nullptr || !hostlibs::push(*entry)) {
        return 1;
    }
    ++shell().edits;
    return 0;
}

}  // namespace

int filelist_pop(void) {
    if (!hostlibs::pop()) {
        return 0;
    }
    ++shell().edits;
    return 1;
}

int filelist_clear(void) {
    hostlibs::clear();
    ++shell().edits;
    return 1;
}

namespace {

int run_hot_key(int n) {
    if (n < 0 || n >= hostlibs::SHELL_HOT_KEYS) {
        return 0;
    }
    const auto& entry = shell().hot_keys[static_cast<size_t>(n)];
    if (!entry || !hostlibs::push(*entry)) {
        return 0;
    }
    ++shell().edits;
    return 1;
}

int open_shell_menu(void) {
    if (!hostlibs::push(hostlibs::shell_menu_entry())) {
        return 0;
    }
    ++shell().edits;
    return 1;
}

}  // namespace

void shellbar_set_tech(void) {
    ++shell().sign_ons;
}

// The C interface: nothing thrown inside gets out.
int filelist_push(const RunListEntry* entry) {
    return hostlibs::detail::guarded(1, [&] { return push_entry(entry); });
}

int dohotkey(int n) {
    return hostlibs::detail::guarded(0, [&] { return run_hot_key(n); });
}

int shellbar_doit(void) {
    return hostlibs::detail::guarded(0, [&] { return open_shell_menu(); });
}
