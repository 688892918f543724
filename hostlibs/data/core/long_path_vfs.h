// SQLite's unix layer copies paths into buffers of 512 bytes, and resolves
// symbolic links into the full, possibly longer, path. The host reaches a
// database in a folder with a long path through the short path of a
// descriptor of the folder ("/proc/self/fd/N/devices.db"), which this layer
// keeps as it is: it is SQLite's unix layer with absolute paths taken as given.
#pragma once

#include <string>

namespace hostlibs::detail {

// The name of the layer to open databases with (registered on first use);
// null when it could not be registered.
const char* long_path_vfs();

// Paths at least this long are opened through their folder's descriptor.
inline constexpr size_t kLongDatabasePath = 400;

}  // namespace hostlibs::detail
