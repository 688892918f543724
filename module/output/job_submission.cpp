#include "output/job_submission.h"

#include <cstdio>
#include <cstring>

#include "platform/host_libraries.h"
#include "platform/native_files.h"
#include "services/module_state.h"

namespace {

constexpr char kJobName[8] = {'T', 'o', 'o', 'l', 'b', 'a', 'n', 'k'};
constexpr int kUserNameWidth = 4;
constexpr int kArgumentLimit = sizeof(RunListEntry::parameters) - 1;

// The job block of the last report; the viewer reads its title from here too.
ReportFileJob report_job;

// 0: the site is unknown; otherwise its device type.
int site_device_type(uint32_t site_id, uint8_t* device_type) {
    SiteDirectory sites = 0;
    if (site_open(&sites) != 0) {
        return 0;
    }
    if (site_goto(sites, site_id) != 0) {
        site_close(sites);
        return 0;
    }
    uint8_t device[SITE_DEVICE_SIZE] = {};
    char device_text[SITE_DEVICE_TEXT_SIZE] = {};
    site_get_device(sites, device, device_text);
    site_close(sites);
    *device_type = device[0];
    return 1;
}

// Puts the text viewer on the run list with the job's argument text:
// site id, job type, then the report path and the quoted title.
int hand_to_viewer(uint32_t site_id, int type, const void* data) {
    RunListEntry entry{};
    std::snprintf(entry.first_dir, sizeof entry.first_dir, "USER");
    std::snprintf(entry.second_dir, sizeof entry.second_dir, "GENUSER");
    std::snprintf(entry.module_name, sizeof entry.module_name, "TEXTDISP");
    entry.word = 0;
    // Site id and type take at most 8 + 1 + 5 + 1 characters before the job text.
    char text[16 + sizeof(ReportFileJob) + 4] = {};
    int length =
        std::snprintf(text, sizeof text, "%08lX %d ", static_cast<unsigned long>(site_id), type);
    if (type == JOB_TYPE_REPORT_FILE) {
        const auto* job = static_cast<const ReportFileJob*>(data);
        length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length),
                                "%.*s \"%.*s\"", static_cast<int>(sizeof job->path), job->path,
                                static_cast<int>(sizeof job->title), job->title);
    }
    if (length > kArgumentLimit) {
        // A cut text still closes the title with its quote.
        length = kArgumentLimit;
        text[length - 1] = '"';
    }
    std::memcpy(entry.parameters, text, static_cast<size_t>(length));
    entry.parameters[length] = '\0';
    filelist_push(&entry);
    return SUBMIT_VIEWER;
}

void fill_job_header(JobHeader* header) {
    std::memset(header->note, ' ', sizeof header->note);
    header->user_no = host_user_no();
    const char* user_id = host_user_id();
    if (user_id != nullptr) {
        std::memcpy(header->user_id, user_id, sizeof header->user_id);
    } else {
        std::memset(header->user_id, ' ', sizeof header->user_id);
    }
    std::memcpy(header->job_name, kJobName, sizeof header->job_name);
}

const char* user_name() {
    static const char kNoUser[kUserNameWidth + 1] = "    ";
    if (host_context == nullptr || host_context->user == nullptr) {
        return kNoUser;
    }
    return host_context->user->name;
}

void remove_report_file(int type, const void* data) {
    if (type == JOB_TYPE_REPORT_FILE) {
        native_remove(static_cast<const ReportFileJob*>(data)->path);
    }
}

}  // namespace

int submit_job(uint32_t site_id, int type, const void* data) {
    type &= 0xFFFF;
    uint8_t device_type = 0;
    if (site_device_type(site_id, &device_type) == 0) {
        return SUBMIT_NOTHING;
    }
    if (device_type == SITE_DEVICE_SCREEN_VIEWER) {
        return hand_to_viewer(site_id, type, data);
    }
    JobHandle job = 0;
    if (job_open(&job) != 0) {
        return SUBMIT_NOTHING;
    }
    JobHeader header;
    fill_job_header(&header);
    bool queued = false;
    if (job_begin(job, site_id, &header, user_name(), 0) == 0) {
        const bool added = job_add(job, type, data) == 0;
        // A job that could not be ended is not in the queue either.
        const bool ended = job_end(job) == 0;
        queued = added && ended;
    }
    job_close(job);
    if (!queued) {
        remove_report_file(type, data);
        return SUBMIT_NOTHING;
    }
    return SUBMIT_QUEUED;
}

int submit_report(uint32_t site_id, const char* path, const char* title) {
    std::memset(&report_job, 0, sizeof report_job);
    // A cut path would name another file: the report is refused instead.
    if (path == nullptr || std::strlen(path) >= sizeof report_job.path) {
        if (path != nullptr) {
            native_remove(path);
        }
        return SUBMIT_NOTHING;
    }
    std::memcpy(report_job.path, path, std::strlen(path) + 1);
    std::snprintf(report_job.title, sizeof report_job.title, "%s", title != nullptr ? title : "");
    return submit_job(site_id, JOB_TYPE_REPORT_FILE, &report_job);
}
