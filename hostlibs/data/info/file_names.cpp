#include "info/file_names.h"

#include <sys/stat.h>

#include <random>

namespace hostlibs::detail {

namespace {

constexpr uint32_t kCounterRange = 36u * 36u * 36u * 36u;
constexpr uint32_t kClockRange = 36u * 36u * 36u * 36u * 36u * 36u;

void base36(uint32_t value, int digits, char* out) {
    static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = kDigits[value % 36];
        value /= 36;
    }
}

}  // namespace

FileNames::FileNames() : counter_(std::random_device{}() % kCounterRange) {}

bool FileNames::next(uint32_t now, const std::string& folder, const char* suffix, char out[12]) {
    // Each call takes a new counter value, so a retry after a clash gets
    // another name even while the clock stands still.
    for (uint32_t attempt = 0; attempt < kCounterRange; ++attempt) {
        counter_ = (counter_ + 1) % kCounterRange;
        out[0] = 'R';
        base36(now % kClockRange, 6, out + 1);
        base36(counter_, 4, out + 7);
        out[11] = '\0';
        struct stat info {};
        std::string path = folder + out + suffix;
        if (stat(path.c_str(), &info) != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace hostlibs::detail
