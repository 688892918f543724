// Handing a finished report to the chosen site: the host's job queue, or the
// host's text viewer through the shell's run list.
#pragma once

#include <stdint.h>

// Results of submit_job and submit_report.
enum SubmitResult : int {
    SUBMIT_NOTHING = 0,  // nothing submitted
    SUBMIT_QUEUED = 1,   // the job queue took the job (and the report file)
    SUBMIT_VIEWER = 2,   // the text viewer is on the run list; the caller leaves
};

// Submits the report file `path` under `title` as a report-file job. A
// report whose path does not fit the job's path field is refused and removed.
int submit_report(uint32_t site_id, const char* path, const char* title);

// Submits job data of `type` (low 16 bits) to site `site_id`.
int submit_job(uint32_t site_id, int type, const void* data);
