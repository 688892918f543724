// The edge between the C interface and the C++ inside: no exception crosses it.
#pragma once

namespace hostlibs::detail {

// Runs the body of a C-interface function; an exception (only running out of
// memory can throw in these bodies) becomes the function's failure result.
template <typename Result, typename Body>
Result guarded(Result failure, Body body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

// The same for a function without a result.
template <typename Body>
void guarded(Body body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace hostlibs::detail
