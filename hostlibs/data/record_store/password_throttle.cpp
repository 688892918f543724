#include "record_store/password_throttle.h"

#include <algorithm>
#include <array>
#include <string>

#include "hostlibs/host_setup.h"
#include "platform/host_libraries.h"
#include "record_store/password_file.h"

namespace hostlibs::detail {

namespace {

// Tries that lose the count to other processes this often in a row give up.
constexpr int kCountAttempts = 16;

using FailureName = std::array<uint8_t, kPasswordNameSize>;

// The name as the failures are kept: ASCII letters in upper case.
FailureName failure_name(const uint8_t* name) {
    FailureName folded{};
    std::transform(name, name + kPasswordNameSize, folded.begin(), [](uint8_t c) {
        return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 'a' + 'A') : c;
    });
    return folded;
}

std::string name_text(const uint8_t* name) {
    std::string text(reinterpret_cast<const char*>(name), kPasswordNameSize);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

int64_t wait_left(const PasswordFailures& seen, int64_t first_wait_ms) {
    const int64_t wait = wait_after_failures(seen.failures, first_wait_ms);
    // A stored time ahead of the clock (a clock set back) counts as just now.
    const int64_t elapsed = std::max<int64_t>(seen.now_ms - seen.last_failure_ms, 0);
    return std::max<int64_t>(wait - elapsed, 0);
}

}  // namespace

int64_t wait_after_failures(int64_t failures, int64_t first_wait_ms) {
    if (failures < kFreeFailures) {
        return 0;
    }
    int64_t waits = 1;
    for (int64_t more = failures - kFreeFailures; more > 0 && waits < kLongestWaits; --more) {
        waits *= 2;
    }
    return std::min(waits, kLongestWaits) * first_wait_ms;
}

PasswordTry begin_password_try(RecordStorage& storage, const uint8_t* name, int64_t first_wait_ms) {
    const FailureName key = failure_name(name);
    PasswordTry taken;
    for (int attempt = 0; attempt < kCountAttempts; ++attempt) {
        PasswordFailures seen;
        taken.status = storage.find_failures(key.data(), &seen);
        if (taken.status != RS_OK) {
            return taken;
        }
        taken.failures_before = seen.failures;
        taken.wait_left_ms = wait_left(seen, first_wait_ms);
        if (taken.wait_left_ms > 0) {
            taken.status = RS_KEY_NOT_FOUND;
            return taken;
        }
        taken.status = storage.count_failure(key.data(), seen);
        if (taken.status != kSwapMissed) {
            return taken;
        }
    }
    // Others count tries of this name faster than this one can: not checked.
    taken.status = RS_RECORD_LOCKED;
    return taken;
}

int64_t end_password_try(RecordStorage& storage, const uint8_t* name, const PasswordTry& taken,
                         bool granted, int64_t first_wait_ms) {
    const int64_t failures = taken.failures_before + 1;
    if (granted) {
        // A failure to forget leaves the name slower, never let in more;
        // the store's error is in the error log.
        storage.clear_failures(failure_name(name).data());
        if (taken.failures_before >= kFreeFailures) {
            log_host_failure("PASSWORD", kPasswordGuessing,
                             "password of " + name_text(name) + " accepted after " +
                                 std::to_string(taken.failures_before) + " failed entries");
        }
        return 0;
    }
    if (failures == kFreeFailures) {
        log_host_failure("PASSWORD", kPasswordGuessing,
                         "password of " + name_text(name) + " failed " + std::to_string(failures) +
                             " times in a row; each further try waits");
    }
    return wait_after_failures(failures, first_wait_ms);
}

}  // namespace hostlibs::detail
