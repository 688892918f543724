// Text from input made safe to show: messages that quote a file, a field or
// an argument must not send its control bytes to the terminal.
#pragma once

#include <string>
#include <string_view>

#include "hostlibs/host_setup.h"

namespace hostlibs {

// True for the bytes 0x00 to 0x1F and 0x7F.
HOSTSETUP_API bool is_control_byte(char c);

// The text with every control byte written as \xNN (ESC becomes \x1b).
HOSTSETUP_API std::string printable(std::string_view text);

}  // namespace hostlibs
