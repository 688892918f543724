// The `store` commands: where a root's register is kept, making the shared
// store's schema, and copying a root's register into a shared store.
#pragma once

#include <string>

namespace hostapp {

// `store status` on the open host: the backend and what it holds.
int store_status_command();

// `store init [--grant ROLE]`: makes or upgrades the schema of the shared
// store the root's host.conf names; needs no open host, as the schema may
// not exist yet. An empty `grant_role` grants nothing.
int store_init_command(const std::string& root, const std::string& grant_role);

// `store copy --to CONNINFO` on the open host.
int store_copy_command(const std::string& target);

}  // namespace hostapp
