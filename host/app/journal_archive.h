// The CSV file that journal rows moved out of the journal go to (history
// --prune-before ... --to OUT): raw enough to put every row back.
//
// Columns: id, file (the stored name, "devices.db"), time (host clock,
// seconds since 1970 UTC), user, login (the operating-system login, empty
// for rows written before it was kept), key, position, field, old, new. Bytes (key,
// old, new) are written as "\x" and two lowercase hex digits a byte, the form
// PostgreSQL reads for bytea; old is empty for a new record, whose fields
// had no old bytes.
#pragma once

#include <string>
#include <vector>

#include "hostlibs/host_setup.h"

namespace hostapp {

class JournalArchive {
  public:
    JournalArchive() = default;
    JournalArchive(const JournalArchive&) = delete;
    JournalArchive& operator=(const JournalArchive&) = delete;
    ~JournalArchive();

    // Makes the file with its header line, its name synced to disk; an
    // existing file is refused, never overwritten.
    bool create(const std::string& path, std::string* error);
    // Appends the rows and syncs the file: true only once they are on disk.
    bool append(const std::vector<hostlibs::StoredJournalRow>& rows, std::string* error);

  private:
    bool write_all(const std::string& bytes, std::string* error);

    std::string path_;
    int file_ = -1;
};

// "YYYY-MM-DD" as the clock value of that day's midnight UTC; false for any
// other text or a day that does not exist.
bool parse_utc_date(const std::string& text, int64_t* clock);

}  // namespace hostapp
