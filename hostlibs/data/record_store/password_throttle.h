// Slows password guessing. After kFreeFailures failed entries for a name,
// each further try of that name waits: the first wait, doubling with each
// failure up to 30 first waits. The failures live in the store
// (RecordStorage::find_failures), so neither a new process nor another
// workstation on the same store starts afresh; the store's own clock times
// the waits, so no process's host clock shortens them.
//
// A try is counted as a failure before its password is checked and forgotten
// when the check grants it: processes trying at once, or one killed while it
// checks, gain no try. A try within the wait is refused unchecked. Unknown
// names count like known ones, so the waits tell nobody which names exist;
// names count without regard to letter case.
//
// The error log gets one PASSWORD record when a name's failures first make it
// wait, and one when a granted entry ends such a run, each naming the name
// and the count of failures, never the typed password.
#pragma once

#include <cstdint>

#include "record_store/record_storage.h"

namespace hostlibs::detail {

inline constexpr int64_t kFreeFailures = 3;
inline constexpr int64_t kLongestWaits = 30;  // the longest wait, in first waits

// The wait before the next try after `failures` failed entries in a row.
int64_t wait_after_failures(int64_t failures, int64_t first_wait_ms);

struct PasswordTry {
    int status = 0;            // RS_OK: counted, check the password; else refused or failed
    int64_t wait_left_ms = 0;  // refused within the wait: how much of it is left
    int64_t failures_before = 0;
};

// Takes a try of the name (its first 30 bytes) before its password is
// checked: refused (RS_KEY_NOT_FOUND, the wait left) while the name's wait
// lasts, else counted. A store failure is its status.
PasswordTry begin_password_try(RecordStorage& storage, const uint8_t* name, int64_t first_wait_ms);

// Ends a counted try: a granted one forgets the name's failures. Returns the
// wait the name now has before its next try (0 after a grant).
int64_t end_password_try(RecordStorage& storage, const uint8_t* name, const PasswordTry& taken,
                         bool granted, int64_t first_wait_ms);

}  // namespace hostlibs::detail
