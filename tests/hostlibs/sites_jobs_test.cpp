#include <fstream>
#include <sstream>

#include "platform/host_libraries.h"
#include "temp_root.h"

namespace {

class SitesTestFixture : public TempRootTest {
  protected:
    uint32_t add(int site_class, const std::string& name, uint32_t flags = 0,
                 uint8_t device_type = 1) {
        hostlibs::SiteInfo site;
        site.site_class = site_class;
        site.name = name;
        site.short_name = name.substr(0, 20);
        site.flags = flags;
        site.device_type = device_type;
        site.device_text = name + " device";
        site.connect_driver = "\\DLLS\\CONNECT\\FAXLNK_.DLL";
        site.connect_parameters = "port 1";
        uint32_t id = 0;
        EXPECT_TRUE(hostlibs::add_site(site, &id, &error_)) << error_;
        return id;
    }

    uint32_t current_id(SiteDirectory handle) {
        uint32_t id = 0;
        EXPECT_EQ(site_get_id(handle, &id), 0);
        return id;
    }
};

// Each test runs on both backends.
using SitesTest = OnEachBackend<SitesTestFixture>;
ON_EACH_BACKEND(SitesTest);

TEST_P(SitesTest, WalksAClassInIdOrderWithIndependentHandles) {
    const uint32_t a = add(3, "Queue A");
    const uint32_t fax = add(5, "Fax one");
    const uint32_t b = add(3, "Queue B", SITE_FLAG_HIDDEN);
    const uint32_t c = add(3, "Queue C");

    SiteDirectory first = 0, second = 0;
    ASSERT_EQ(site_open(&first), 0);
    ASSERT_EQ(site_open(&second), 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(current_id(first), a) << "a fresh handle stands on the first site";

    ASSERT_EQ(site_first(first, 3), 0);
    ASSERT_EQ(site_next(first, 3), 0);
    EXPECT_EQ(current_id(first), b);
    ASSERT_EQ(site_last(second, 3), 0);
    EXPECT_EQ(current_id(second), c);
    ASSERT_EQ(site_next(first, 3), 0);
    EXPECT_EQ(current_id(first), c);
    EXPECT_NE(site_next(first, 3), 0);
    EXPECT_EQ(current_id(first), c) << "a failed walk keeps the current site";
    ASSERT_EQ(site_prev(second, 3), 0);
    EXPECT_EQ(current_id(second), b);
    uint32_t flags = 0;
    ASSERT_EQ(site_get_flags(second, &flags), 0);
    EXPECT_EQ(flags, static_cast<uint32_t>(SITE_FLAG_HIDDEN));

    // A site of another class made current by id; walking goes on by id in the class.
    ASSERT_EQ(site_goto(first, fax), 0);
    ASSERT_EQ(site_next(first, 3), 0);
    EXPECT_EQ(current_id(first), b);
    ASSERT_EQ(site_goto(first, fax), 0);
    ASSERT_EQ(site_prev(first, 3), 0);
    EXPECT_EQ(current_id(first), a);
    EXPECT_NE(site_goto(first, 999), 0);
    EXPECT_NE(site_first(first, 4), 0);

    char name[31] = {};
    ASSERT_EQ(site_get_name(first, name, 30), 0);
    EXPECT_EQ(std::string(name, 30), "Queue A" + std::string(23, ' '));
    uint8_t device[SITE_DEVICE_SIZE];
    char text[SITE_DEVICE_TEXT_SIZE];
    ASSERT_EQ(site_get_device(first, device, text), 0);
    EXPECT_EQ(device[0], 1);
    EXPECT_STREQ(text, "Queue A device");
    char driver[SITE_DRIVER_SIZE], parameters[SITE_DRIVER_SIZE];
    ASSERT_EQ(site_get_connect(first, driver, parameters), 0);
    EXPECT_STREQ(driver, "\\DLLS\\CONNECT\\FAXLNK_.DLL");
    EXPECT_STREQ(parameters, "port 1");

    EXPECT_EQ(site_close(first), 0);
    EXPECT_NE(site_close(first), 0);
    EXPECT_NE(site_first(first, 3), 0) << "a closed handle is refused";
    EXPECT_EQ(site_close(second), 0);
}

TEST_P(SitesTest, AnEmptyDirectoryHasNoCurrentSite) {
    SiteDirectory handle = 0;
    ASSERT_EQ(site_open(&handle), 0);
    uint32_t flags = 7, id = 7;
    EXPECT_NE(site_get_flags(handle, &flags), 0);
    EXPECT_NE(site_get_id(handle, &id), 0);
    EXPECT_NE(site_first(handle, 3), 0);
    EXPECT_NE(site_next(handle, 3), 0);
    EXPECT_EQ(flags, 7u);
    EXPECT_EQ(site_close(handle), 0);
    hostlibs::close_host();
    EXPECT_NE(site_open(&handle), 0) << "no host open";
}

TEST_P(SitesTest, NewSiteIsAddedToTheWalkedClassAndBecomesCurrent) {
    add(5, "Template");
    SiteDirectory handle = 0;
    ASSERT_EQ(site_open(&handle), 0);
    EXPECT_NE(site_set_name(handle, "x", 1), 0) << "setters need site_new";
    EXPECT_NE(site_add(handle), 0);
    ASSERT_EQ(site_first(handle, 5), 0);
    ASSERT_EQ(site_new(handle), 0);
    const char name[] = "FAX: 555 1234 #1F2A            ";  // longer than 30
    ASSERT_EQ(site_set_short_name(handle, name, 20), 0);
    ASSERT_EQ(site_set_name(handle, name, 30), 0);
    ASSERT_EQ(site_set_connect(handle, "\\r\\DLLS\\CONNECT\\FAXLNK_.DLL", "modem"), 0);
    ASSERT_EQ(site_set_line(handle, 3, "phone \"555 1234\""), 0);
    ASSERT_EQ(site_set_transfer(handle, "\\r\\DLLS\\XFER\\RAWLINE.DLL", ""), 0);
    ASSERT_EQ(site_set_mode(handle, 0), 0);
    ASSERT_EQ(site_set_state(handle, 1), 0);
    ASSERT_EQ(site_add(handle), 0);
    uint32_t id = 0;
    ASSERT_EQ(site_get_id(handle, &id), 0);
    EXPECT_NE(site_add(handle), 0) << "the draft is used up";
    ASSERT_EQ(site_close(handle), 0);

    std::vector<hostlibs::SiteInfo> sites = hostlibs::list_sites();
    ASSERT_EQ(sites.size(), 2u);
    const hostlibs::SiteInfo& made = sites[1];
    EXPECT_EQ(made.id, id);
    EXPECT_EQ(made.site_class, 5);
    EXPECT_EQ(made.name, "FAX: 555 1234 #1F2A");
    EXPECT_EQ(made.short_name, "FAX: 555 1234 #1F2A");
    EXPECT_EQ(made.connect_driver, "\\r\\DLLS\\CONNECT\\FAXLNK_.DLL");
    EXPECT_EQ(made.connect_parameters, "modem");
    EXPECT_EQ(made.transfer_driver, "\\r\\DLLS\\XFER\\RAWLINE.DLL");
    ASSERT_EQ(made.lines.size(), 1u);
    EXPECT_EQ(made.lines[0].first, 3);
    EXPECT_EQ(made.lines[0].second, "phone \"555 1234\"");
    EXPECT_EQ(made.mode, 0);
    EXPECT_EQ(made.state, 1);
}

class JobsTestFixture : public SitesTestFixture {
  protected:
    // Writes a report file in DATA/TEMP; returns its host-form path.
    std::string write_report(const std::string& name, const std::string& content) {
        std::ofstream(root_ + "/DATA/TEMP/" + name, std::ios::binary) << content;
        return std::string(host_data_dir()) + "TEMP\\" + name;
    }

    static JobHeader header() {
        JobHeader h;
        put_text(h.note, 16, "");
        h.user_no = 42;
        put_text(h.user_id, 8, "OPERATOR");
        std::memcpy(h.job_name, "Toolbank", 8);
        return h;
    }

    static ReportFileJob report_job(const std::string& path, const std::string& title) {
        ReportFileJob job{};
        std::snprintf(job.path, sizeof job.path, "%s", path.c_str());
        std::snprintf(job.title, sizeof job.title, "%s", title.c_str());
        return job;
    }
};

using JobsTest = OnEachBackend<JobsTestFixture>;
ON_EACH_BACKEND(JobsTest);

TEST_P(JobsTest, ReportJobTakesOverTheFileAndIsListed) {
    const uint32_t site = add(3, "Printer room");
    const std::string path = write_report("R1.LST", "line\x81page\x82");
    const JobHeader h = header();
    const ReportFileJob data = report_job(path, "Device Group");
    JobHandle job = 0;
    ASSERT_EQ(job_open(&job), 0);
    ASSERT_EQ(job_begin(job, site, &h, "OPER", 0), 0);
    ASSERT_EQ(job_add(job, 0x10000 | JOB_TYPE_REPORT_FILE, &data), 0) << "high bits ignored";
    EXPECT_FALSE(std::filesystem::exists(root_ + "/DATA/TEMP/R1.LST"));
    ASSERT_EQ(job_end(job), 0);
    ASSERT_EQ(job_close(job), 0);

    std::vector<hostlibs::JobInfo> jobs = hostlibs::list_jobs();
    ASSERT_EQ(jobs.size(), 1u);
    const hostlibs::JobInfo& listed = jobs[0];
    EXPECT_EQ(listed.site_id, site);
    EXPECT_EQ(listed.site_name, "Printer room");
    EXPECT_EQ(listed.user, "OPER");
    EXPECT_EQ(listed.title, "Device Group");
    EXPECT_EQ(listed.type, JOB_TYPE_REPORT_FILE);
    EXPECT_EQ(listed.submitted_at, 1614834367u);
    EXPECT_EQ(std::memcmp(&listed.header, &h, sizeof h), 0);
    EXPECT_EQ(listed.spool_file, root_ + "/DATA/SPOOL/R1.LST");
    std::ifstream spooled(listed.spool_file, std::ios::binary);
    std::stringstream content;
    content << spooled.rdbuf();
    EXPECT_EQ(content.str(), "line\x81page\x82");

    // A second report of the same name does not overwrite the first.
    const std::string again = write_report("R1.LST", "second");
    const ReportFileJob data2 = report_job(again, "Again");
    ASSERT_EQ(job_open(&job), 0);
    ASSERT_EQ(job_begin(job, site, &h, nullptr, 0), 0);
    ASSERT_EQ(job_add(job, JOB_TYPE_REPORT_FILE, &data2), 0);
    ASSERT_EQ(job_end(job), 0);
    ASSERT_EQ(job_close(job), 0);
    jobs = hostlibs::list_jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_NE(jobs[1].spool_file, jobs[0].spool_file);
    EXPECT_EQ(jobs[1].user, "    ");
    EXPECT_TRUE(std::filesystem::exists(jobs[0].spool_file));
}

TEST_P(JobsTest, BadJobsAreRefusedAndAnUnendedJobIsDropped) {
    const uint32_t site = add(4, "Queue");
    const JobHeader h = header();
    JobHandle job = 0;
    ASSERT_EQ(job_open(&job), 0);
    EXPECT_NE(job_add(job, JOB_TYPE_REPORT_FILE, nullptr), 0) << "add before begin";
    EXPECT_NE(job_end(job), 0) << "end before begin";
    EXPECT_NE(job_begin(job, 999, &h, "OPER", 0), 0) << "unknown site";
    ASSERT_EQ(job_begin(job, site, &h, "OPER", 0), 0);
    EXPECT_NE(job_begin(job, site, &h, "OPER", 0), 0) << "begun twice";

    ReportFileJob unterminated;
    std::memset(&unterminated, 'x', sizeof unterminated);
    EXPECT_NE(job_add(job, JOB_TYPE_REPORT_FILE, &unterminated), 0);
    const ReportFileJob missing = report_job(std::string(host_data_dir()) + "TEMP\\NONE.LST", "");
    EXPECT_NE(job_add(job, JOB_TYPE_REPORT_FILE, &missing), 0);
    const ReportFileJob data = report_job(write_report("R2.LST", "x"), "t");
    EXPECT_NE(job_add(job, 3, &data), 0) << "unsupported type";
    ASSERT_EQ(job_add(job, JOB_TYPE_REPORT_FILE, &data), 0);
    ASSERT_EQ(job_close(job), 0);
    EXPECT_TRUE(hostlibs::list_jobs().empty());
    EXPECT_FALSE(std::filesystem::exists(root_ + "/DATA/SPOOL/R2.LST"));
    EXPECT_NE(job_close(job), 0);

    // Ending a job whose data was refused queues nothing.
    ASSERT_EQ(job_open(&job), 0);
    ASSERT_EQ(job_begin(job, site, &h, "OPER", 0), 0);
    EXPECT_NE(job_add(job, JOB_TYPE_REPORT_FILE, &missing), 0);
    EXPECT_NE(job_end(job), 0);
    ASSERT_EQ(job_close(job), 0);
    EXPECT_TRUE(hostlibs::list_jobs().empty());
}

}  // namespace
