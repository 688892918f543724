#include "journal_archive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "csv.h"
#include "durable_files.h"

namespace hostapp {
namespace {

std::string hex_bytes(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "\\x";
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text += kDigits[value >> 4];
        text += kDigits[value & 0x0F];
    }
    return text;
}

}  // namespace

JournalArchive::~JournalArchive() {
    if (file_ >= 0) {
        ::close(file_);
    }
}

bool JournalArchive::create(const std::string& path, std::string* error) {
    path_ = path;
    file_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file_ < 0) {
        *error = errno == EEXIST ? path + " exists; give a new file"
                                 : "cannot make " + path + ": " + std::strerror(errno);
        return false;
    }
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return write_all(csv_line({"id", "file", "time", "user", "login", "key", "position", "field",
                               "old", "new"}),
                     error) &&
           sync_path(folder.empty() ? "." : folder.string(), error);
}

bool JournalArchive::append(const std::vector<hostlibs::StoredJournalRow>& rows,
                            std::string* error) {
    std::string text;
    for (const hostlibs::StoredJournalRow& row : rows) {
        text += csv_line({std::to_string(row.id), row.file, std::to_string(row.time), row.user,
                          row.login, hex_bytes(row.key), std::to_string(row.position), row.field,
                          row.has_old ? hex_bytes(row.old_bytes) : std::string(),
                          hex_bytes(row.new_bytes)});
    }
    if (!write_all(text, error)) {
        return false;
    }
    if (::fsync(file_) != 0) {
        *error = "cannot write " + path_ + " to disk: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool JournalArchive::write_all(const std::string& bytes, std::string* error) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(file_, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            *error = "cannot write " + path_ + ": " + std::strerror(wrote < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

bool parse_utc_date(const std::string& text, int64_t* clock) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    for (const size_t at : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[at] < '0' || text[at] > '9') {
            return false;
        }
    }
    struct tm day {};
    day.tm_year = std::stoi(text.substr(0, 4)) - 1900;
    day.tm_mon = std::stoi(text.substr(5, 2)) - 1;
    day.tm_mday = std::stoi(text.substr(8, 2));
    const struct tm asked = day;
    const time_t midnight = timegm(&day);
    // timegm moves a day that does not exist (February 30) into the next month.
    if (day.tm_year != asked.tm_year || day.tm_mon != asked.tm_mon ||
        day.tm_mday != asked.tm_mday) {
        return false;
    }
    *clock = static_cast<int64_t>(midnight);
    return true;
}

}  // namespace hostapp
