// The job queue's C interface and set-up access.
#include "core/c_boundary.h"
#include "host/host_state.h"
#include "platform/host_libraries.h"

namespace hostlibs {

namespace {

template <typename Action>
int with_queue(Action action) {
    detail::HostState* host = detail::host_state();
    if (host == nullptr) {
        return detail::JOB_STORE_FAILED;
    }
    return detail::guarded(int{detail::JOB_STORE_FAILED}, [&] { return action(host->jobs); });
}

}  // namespace

std::vector<JobInfo> list_jobs(std::string* error) {
    return detail::host_listing(error,
                                [&](detail::HostState& host) { return host.jobs.list(error); });
}

}  // namespace hostlibs

using hostlibs::detail::JobQueue;

extern "C" {

int job_open(JobHandle* job) {
    return hostlibs::with_queue([&](JobQueue& queue) { return queue.open(job); });
}

int job_begin(JobHandle job, uint32_t site_id, const JobHeader* header, const char* user,
              int reserved) {
    (void)reserved;
    return hostlibs::with_queue(
        [&](JobQueue& queue) { return queue.begin(job, site_id, header, user); });
}

int job_add(JobHandle job, int type, const void* data) {
    return hostlibs::with_queue([&](JobQueue& queue) { return queue.add(job, type, data); });
}

int job_end(JobHandle job) {
    return hostlibs::with_queue(
        [&](JobQueue& queue) { return queue.end(job, hostlibs::detail::clock_now()); });
}

int job_close(JobHandle job) {
    return hostlibs::with_queue([&](JobQueue& queue) { return queue.close(job); });
}

}  // extern "C"
