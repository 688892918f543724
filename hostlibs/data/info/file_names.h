// Fresh base names for new files: "R", six base-36 digits of the clock and
// four of a counter that starts at a random value, 11 characters.
#pragma once

#include <cstdint>
#include <string>

namespace hostlibs::detail {

class FileNames {
  public:
    FileNames();
    // A name not handed out before by this instance whose "<name><suffix>"
    // does not exist in `folder` (native, ending in '/'); false when none is found.
    bool next(uint32_t now, const std::string& folder, const char* suffix, char out[12]);

  private:
    uint32_t counter_;
};

}  // namespace hostlibs::detail
