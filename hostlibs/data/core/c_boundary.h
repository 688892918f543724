// The host libraries' C interfaces use the shared exception guard.
#pragma once

#include "platform/c_boundary.h"

namespace hostlibs::detail {

using platform::guarded;

}  // namespace hostlibs::detail
