// The job queue: jobs in host.db. A report-file job takes over its file by
// moving it into the spool folder; the job is stored when it ends.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/sqlite_handle.h"
#include "hostlibs/host_setup.h"

namespace hostlibs::detail {

class SiteTable;

// Results of the job operations besides 0.
enum : int {
    JOB_BAD_HANDLE = 1,    // not a handle of job_open
    JOB_BAD_STATE = 2,     // begin twice, add before begin, end without a job_add, ...
    JOB_NO_SITE = 3,       // the site id names no site
    JOB_BAD_DATA = 4,      // null or unterminated data, unsupported job type
    JOB_FILE_FAILED = 5,   // the report file could not be taken over
    JOB_STORE_FAILED = 6,  // the queue could not be written
};

class JobQueue {
  public:
    JobQueue(Database& db, SiteTable& sites, std::string spool_dir)
        : db_(db), sites_(sites), spool_dir_(std::move(spool_dir)) {}
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;
    ~JobQueue();

    static const char* schema();

    int open(uint32_t* handle);
    int begin(uint32_t handle, uint32_t site_id, const JobHeader* header, const char* user);
    int add(uint32_t handle, int type, const void* data);
    int end(uint32_t handle, uint32_t now);
    int close(uint32_t handle);

    // The finished jobs; on a failure *error says why (see list_jobs).
    std::vector<JobInfo> list(std::string* error);

  private:
    struct Draft {
        bool begun = false;
        bool ended = false;
        JobInfo job;
    };

    // Moves a file into the spool folder under a name not yet taken there;
    // the new native path, or "" on failure.
    std::string take_over(const std::string& native_source);

    Database& db_;
    SiteTable& sites_;
    std::string spool_dir_;  // native, ends in '/'
    std::map<uint32_t, Draft> drafts_;
    uint32_t next_handle_ = 1;
};

}  // namespace hostlibs::detail
