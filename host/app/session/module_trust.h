// Which module library the host is willing to load: only one that nobody but
// the user running the program or root can have put there or changed.
#pragma once

#include <string>

namespace hostapp {

// Checks a module library before it is loaded, so that no code of an
// untrusted one (not even a constructor) ever runs. The library's real path
// (every symbolic link resolved), each folder from the library's own up to /,
// and `host_conf` must be owned by the user running the program or root and
// writable by neither group nor others; a world-writable folder with the
// sticky bit (/tmp) does not pass. True with the real path, which is the one
// to load, in *real_path; false with the file and the reason in *error.
bool check_module_trust(const std::string& library, const std::string& host_conf,
                        std::string* real_path, std::string* error);

}  // namespace hostapp
