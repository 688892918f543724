// The host libraries' C interfaces use the shared exception guard.
#pragma once

#include <exception>
#include <string>

#include "platform/c_boundary.h"

namespace hostlibs::detail {

using platform::guarded;

// Runs a listing of the set-up interface: an exception becomes an empty
// listing with its reason in *error (when given).
template <typename Listing>
auto guarded_listing(std::string* error, Listing listing) noexcept -> decltype(listing()) {
    try {
        return listing();
    } catch (const std::exception& e) {
        if (error != nullptr) {
            *error = e.what();
        }
    } catch (...) {
        if (error != nullptr) {
            *error = "unexpected failure";
        }
    }
    return {};
}

}  // namespace hostlibs::detail
