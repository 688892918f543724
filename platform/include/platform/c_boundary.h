// The edge between a library's C interface and the C++ inside it: no
// exception crosses it.
#pragma once

namespace platform {

// Runs the body of a C-interface function; an exception becomes the
// function's failure result.
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

}  // namespace platform
