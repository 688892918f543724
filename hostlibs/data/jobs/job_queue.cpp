#include "jobs/job_queue.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/host_libraries.h"
#include "platform/native_files.h"
#include "sites/site_directory.h"

namespace hostlibs::detail {

namespace {

// Text of a terminated field of `size` bytes; false when it is not terminated.
bool terminated_text(const char* field, size_t size, std::string* text) {
    const void* end = std::memchr(field, '\0', size);
    if (end == nullptr) {
        return false;
    }
    text->assign(field, static_cast<size_t>(static_cast<const char*>(end) - field));
    return true;
}

// Copies `source` to a new file `name` (which must not exist) in `folder`,
// then removes the source.
bool copy_then_remove(const std::string& source, int folder, const std::string& name) {
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    int out = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        ::close(in);
        return false;
    }
    char block[8192];
    ssize_t got;
    bool ok = true;
    while (ok && (got = ::read(in, block, sizeof block)) > 0) {
        ok = ::write(out, block, static_cast<size_t>(got)) == got;
    }
    ok = ok && got == 0;
    ::close(in);
    ok = ::close(out) == 0 && ok;
    if (!ok) {
        ::unlinkat(folder, name.c_str(), 0);
        return false;
    }
    ::unlink(source.c_str());
    return true;
}

}  // namespace

const char* JobQueue::schema() {
    return "CREATE TABLE IF NOT EXISTS jobs("
           " id INTEGER PRIMARY KEY AUTOINCREMENT, site_id INTEGER NOT NULL,"
           " header BLOB NOT NULL, user TEXT NOT NULL, type INTEGER NOT NULL,"
           " title TEXT NOT NULL, spool_file TEXT NOT NULL, submitted_at INTEGER NOT NULL);";
}

JobQueue::~JobQueue() {
    while (!drafts_.empty()) {
        close(drafts_.begin()->first);
    }
}

int JobQueue::open(uint32_t* handle) {
    if (handle == nullptr) {
        return JOB_BAD_DATA;
    }
    *handle = next_handle_++;
    drafts_[*handle] = Draft{};
    return 0;
}

int JobQueue::begin(uint32_t handle, uint32_t site_id, const JobHeader* header, const char* user) {
    auto it = drafts_.find(handle);
    if (it == drafts_.end()) {
        return JOB_BAD_HANDLE;
    }
    Draft& draft = it->second;
    if (draft.begun) {
        return JOB_BAD_STATE;
    }
    if (header == nullptr) {
        return JOB_BAD_DATA;
    }
    std::optional<SiteInfo> site = sites_.find(site_id);
    if (!site) {
        return JOB_NO_SITE;
    }
    draft.begun = true;
    draft.job.site_id = site_id;
    draft.job.site_name = site->name;
    std::memcpy(&draft.job.header, header, sizeof(JobHeader));
    draft.job.user = user != nullptr ? std::string(user, 4) : std::string(4, ' ');
    return 0;
}

int JobQueue::add(uint32_t handle, int type, const void* data) {
    auto it = drafts_.find(handle);
    if (it == drafts_.end()) {
        return JOB_BAD_HANDLE;
    }
    Draft& draft = it->second;
    if (!draft.begun || draft.ended || !draft.job.spool_file.empty()) {
        return JOB_BAD_STATE;
    }
    if ((type & 0xFFFF) != JOB_TYPE_REPORT_FILE || data == nullptr) {
        return JOB_BAD_DATA;
    }
    ReportFileJob report;
    std::memcpy(&report, data, sizeof report);
    std::string host_path, title;
    if (!terminated_text(report.path, sizeof report.path, &host_path) ||
        !terminated_text(report.title, sizeof report.title, &title)) {
        return JOB_BAD_DATA;
    }
    char native[4096];
    if (host_path.empty() || !native_path(host_path.c_str(), native, sizeof native)) {
        return JOB_BAD_DATA;
    }
    std::string spooled = take_over(native);
    if (spooled.empty()) {
        return JOB_FILE_FAILED;
    }
    draft.job.type = JOB_TYPE_REPORT_FILE;
    draft.job.title = title;
    draft.job.spool_file = spooled;
    return 0;
}

std::string JobQueue::take_over(const std::string& native_source) {
    const size_t slash = native_source.find_last_of('/');
    const std::string base =
        slash == std::string::npos ? native_source : native_source.substr(slash + 1);
    if (base.empty()) {
        return "";
    }
    // The spool folder is opened without following a link: a SPOOL replaced
    // by a link to elsewhere takes no report.
    const std::string folder_path = spool_dir_.substr(0, spool_dir_.find_last_not_of('/') + 1);
    const int folder = ::open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        return "";
    }
    std::string taken;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string name = attempt == 0 ? base : std::to_string(attempt) + "-" + base;
        bool moved = ::renameat2(AT_FDCWD, native_source.c_str(), folder, name.c_str(),
                                 RENAME_NOREPLACE) == 0;
        if (!moved && (errno == EXDEV || errno == EINVAL)) {
            moved = copy_then_remove(native_source, folder, name);
        }
        if (moved) {
            taken = spool_dir_ + name;
            break;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    ::close(folder);
    return taken;
}

int JobQueue::end(uint32_t handle, uint32_t now) {
    auto it = drafts_.find(handle);
    if (it == drafts_.end()) {
        return JOB_BAD_HANDLE;
    }
    Draft& draft = it->second;
    // A job whose job_add failed or never came has nothing to queue.
    if (!draft.begun || draft.ended || draft.job.spool_file.empty()) {
        return JOB_BAD_STATE;
    }
    Statement insert;
    if (!insert.prepare(db_,
                        "INSERT INTO jobs(site_id, header, user, type, title, spool_file,"
                        " submitted_at) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                        nullptr)) {
        return JOB_STORE_FAILED;
    }
    uint8_t header[sizeof(JobHeader)];
    std::memcpy(header, &draft.job.header, sizeof header);
    insert.bind_int64(1, draft.job.site_id);
    insert.bind_blob(2, header, sizeof header);
    insert.bind_text(3, draft.job.user);
    insert.bind_int64(4, draft.job.type);
    insert.bind_text(5, draft.job.title);
    insert.bind_text(6, draft.job.spool_file);
    insert.bind_int64(7, now);
    if (insert.step() != SQLITE_DONE) {
        return JOB_STORE_FAILED;
    }
    draft.ended = true;
    return 0;
}

int JobQueue::close(uint32_t handle) {
    auto it = drafts_.find(handle);
    if (it == drafts_.end()) {
        return JOB_BAD_HANDLE;
    }
    // A job closed without being ended is dropped with the file it took over.
    if (!it->second.ended && !it->second.job.spool_file.empty()) {
        ::unlink(it->second.job.spool_file.c_str());
    }
    drafts_.erase(it);
    return 0;
}

std::vector<JobInfo> JobQueue::list(std::string* error) {
    std::vector<JobInfo> jobs;
    Statement query;
    if (!query.prepare(db_,
                       "SELECT id, site_id, header, user, type, title, spool_file,"
                       " submitted_at FROM jobs ORDER BY id",
                       nullptr)) {
        if (error != nullptr) {
            *error = "jobs: " + db_.last_error();
        }
        return jobs;
    }
    int rc;
    while ((rc = query.step()) == SQLITE_ROW) {
        JobInfo job;
        job.id = static_cast<uint32_t>(query.column_int64(0));
        job.site_id = static_cast<uint32_t>(query.column_int64(1));
        if (query.column_bytes(2) == static_cast<int>(sizeof(JobHeader))) {
            std::memcpy(&job.header, query.column_blob(2), sizeof(JobHeader));
        }
        job.user = query.column_text(3);
        job.type = static_cast<int>(query.column_int64(4));
        job.title = query.column_text(5);
        job.spool_file = query.column_text(6);
        job.submitted_at = static_cast<uint32_t>(query.column_int64(7));
        jobs.push_back(std::move(job));
    }
    if (rc != SQLITE_DONE && error != nullptr) {
        *error = "jobs: " + db_.last_error();
    }
    query.reset();
    // The sites may live in a shared store: their names are looked up there.
    for (JobInfo& job : jobs) {
        std::optional<SiteInfo> site = sites_.find(job.site_id);
        job.site_name = site ? site->name : std::string();
    }
    return jobs;
}

}  // namespace hostlibs::detail
