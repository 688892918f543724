#include <algorithm>
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
    const uint32_t late_fax = add(5, "Fax two");  // the highest id, of another class

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
    ASSERT_EQ(site_last(second, 5), 0);
    EXPECT_EQ(current_id(second), late_fax);
    ASSERT_EQ(site_prev(second, 5), 0);
    EXPECT_EQ(current_id(second), fax);
    EXPECT_EQ(site_goto(first, 999), 1);
    EXPECT_EQ(site_first(first, 4), 1);

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
    EXPECT_EQ(site_get_flags(handle, &flags), 3);
    EXPECT_EQ(site_get_id(handle, &id), 3);
    EXPECT_EQ(site_first(handle, 3), 1);
    EXPECT_EQ(site_next(handle, 3), 3);
    EXPECT_EQ(site_prev(handle, 3), 3);
    EXPECT_EQ(flags, 7u);
    EXPECT_EQ(site_close(handle), 0);
    EXPECT_EQ(site_get_id(handle, &id), 2) << "a closed handle";
    hostlibs::close_host();
    EXPECT_EQ(site_open(&handle), 4) << "no host open";
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

// A draft keeps what its setters gave: the lines in line order with their own
// texts, a line set twice with its later text; a second site_new starts over.
TEST_P(SitesTest, ANewSiteKeepsEveryLineAndSetting) {
    add(4, "Queue");
    SiteDirectory handle = 0;
    ASSERT_EQ(site_open(&handle), 0);
    ASSERT_EQ(site_last(handle, 4), 0);
    ASSERT_EQ(site_new(handle), 0);
    ASSERT_EQ(site_set_name(handle, "Dropped", 30), 0);
    ASSERT_EQ(site_set_line(handle, 9, "dropped"), 0);
    ASSERT_EQ(site_new(handle), 0);
    ASSERT_EQ(site_set_name(handle, "Kept", 30), 0);
    ASSERT_EQ(site_set_line(handle, 5, "five"), 0);
    ASSERT_EQ(site_set_line(handle, 3, "first three"), 0);
    ASSERT_EQ(site_set_line(handle, 1, "one"), 0);
    ASSERT_EQ(site_set_line(handle, 3, "three"), 0);
    ASSERT_EQ(site_set_transfer(handle, "XFER.DLL", "baud 9600"), 0);
    ASSERT_EQ(site_set_mode(handle, 2), 0);
    ASSERT_EQ(site_set_state(handle, 3), 0);
    ASSERT_EQ(site_add(handle), 0);
    ASSERT_EQ(site_close(handle), 0);

    const std::vector<hostlibs::SiteInfo> sites = hostlibs::list_sites();
    ASSERT_EQ(sites.size(), 2u);
    const hostlibs::SiteInfo& made = sites[1];
    EXPECT_EQ(made.site_class, 4);
    EXPECT_EQ(made.name, "Kept");
    const std::vector<std::pair<int, std::string>> lines = {{1, "one"}, {3, "three"}, {5, "five"}};
    EXPECT_EQ(made.lines, lines);
    EXPECT_EQ(made.transfer_driver, "XFER.DLL");
    EXPECT_EQ(made.transfer_parameters, "baud 9600");
    EXPECT_EQ(made.mode, 2);
    EXPECT_EQ(made.state, 3);
}

// Texts are cut to their fields both ways: a setter keeps what the field
// holds, a getter fills the caller's buffer and no more, terminated.
TEST_P(SitesTest, TextsAreCutToTheirFields) {
    hostlibs::SiteInfo site;
    site.site_class = 3;
    site.name = std::string(40, 'N');
    site.device_type = 2;
    site.device_text = std::string(120, 'D');
    site.connect_driver = std::string(250, 'C');
    site.connect_parameters = std::string(250, 'P');
    ASSERT_TRUE(hostlibs::add_site(site, nullptr, &error_)) << error_;

    SiteDirectory handle = 0;
    ASSERT_EQ(site_open(&handle), 0);
    std::vector<char> name(11, 'x');
    ASSERT_EQ(site_get_name(handle, name.data(), 10), 0);
    EXPECT_EQ(std::string(name.data(), 11), std::string(10, 'N') + "x");
    EXPECT_EQ(site_get_name(handle, name.data(), -1), 4);
    EXPECT_EQ(site_get_id(handle, nullptr), 4);
    EXPECT_EQ(site_get_flags(handle, nullptr), 4);
    // Buffers of the interface's sizes exactly, on the heap where a byte
    // too many is caught.
    std::vector<uint8_t> device(SITE_DEVICE_SIZE, 0xAA);
    std::vector<char> text(SITE_DEVICE_TEXT_SIZE, 'x');
    ASSERT_EQ(site_get_device(handle, device.data(), text.data()), 0);
    EXPECT_EQ(device[0], 2);
    EXPECT_EQ(std::count(device.begin() + 1, device.end(), 0), SITE_DEVICE_SIZE - 1);
    EXPECT_EQ(std::string(text.data()), std::string(SITE_DEVICE_TEXT_SIZE - 1, 'D'));
    std::vector<char> driver(SITE_DRIVER_SIZE, 'x'), parameters(SITE_DRIVER_SIZE, 'x');
    ASSERT_EQ(site_get_connect(handle, driver.data(), parameters.data()), 0);
    EXPECT_EQ(std::string(driver.data()), std::string(SITE_DRIVER_SIZE - 1, 'C'));
    EXPECT_EQ(std::string(parameters.data()), std::string(SITE_DRIVER_SIZE - 1, 'P'));

    const std::string long_text(250, 'L');
    ASSERT_EQ(site_new(handle), 0);
    ASSERT_EQ(site_set_name(handle, long_text.c_str(), 40), 0);
    ASSERT_EQ(site_set_short_name(handle, long_text.c_str(), 30), 0);
    ASSERT_EQ(site_set_line(handle, 1, long_text.c_str()), 0);
    ASSERT_EQ(site_set_connect(handle, long_text.c_str(), long_text.c_str()), 0);
    ASSERT_EQ(site_add(handle), 0);
    ASSERT_EQ(site_close(handle), 0);
    const hostlibs::SiteInfo made = hostlibs::list_sites().back();
    EXPECT_EQ(made.name.size(), 30u);
    EXPECT_EQ(made.short_name.size(), 20u);
    ASSERT_EQ(made.lines.size(), 1u);
    EXPECT_EQ(made.lines[0].second.size(), SITE_DRIVER_SIZE - 1u);
    EXPECT_EQ(made.connect_driver.size(), SITE_DRIVER_SIZE - 1u);
}

// A site removed behind a handle's back (by another workstation) is not
// read any more; the walk goes on from where the handle stood.
TEST_P(SitesTest, ASiteRemovedMeanwhileIsNotFound) {
    const uint32_t a = add(3, "Queue A");
    const uint32_t b = add(3, "Queue B");
    SiteDirectory handle = 0;
    ASSERT_EQ(site_open(&handle), 0);
    ASSERT_EQ(site_goto(handle, b), 0);
    change_stored("host", "DELETE FROM sites WHERE id = " + std::to_string(b));
    uint32_t id = 0;
    EXPECT_EQ(site_get_id(handle, &id), 1);
    EXPECT_EQ(id, 0u);
    std::vector<char> name(30, 'x');
    EXPECT_EQ(site_get_name(handle, name.data(), 30), 1);
    EXPECT_EQ(name[0], 'x');
    ASSERT_EQ(site_prev(handle, 3), 0);
    EXPECT_EQ(current_id(handle), a);
    EXPECT_EQ(site_close(handle), 0);
}

// A site whose lines cannot be stored is not stored at all, and its draft
// stays for another try.
TEST_P(SitesTest, AFailedAddStoresNothingAndKeepsTheDraft) {
    const uint32_t queue = add(5, "Template");
    if (schema_) {
        change_stored("host",
                      "ALTER TABLE site_lines ADD CONSTRAINT refuse CHECK (text <> 'refused')");
    } else {
        change_stored("host",
                      "CREATE TRIGGER refuse BEFORE INSERT ON site_lines WHEN NEW.text = 'refused'"
                      " BEGIN SELECT RAISE(ABORT, 'refused'); END");
    }
    SiteDirectory handle = 0;
    ASSERT_EQ(site_open(&handle), 0);
    ASSERT_EQ(site_first(handle, 5), 0);
    ASSERT_EQ(site_new(handle), 0);
    ASSERT_EQ(site_set_name(handle, "FAX: 1", 30), 0);
    ASSERT_EQ(site_set_line(handle, 3, "refused"), 0);
    EXPECT_EQ(site_add(handle), 4);
    EXPECT_EQ(hostlibs::list_sites().size(), 1u);
    EXPECT_EQ(current_id(handle), queue);
    if (schema_) {
        EXPECT_EQ(store_failures().size(), 1u) << "the shared store's failure is logged";
    }
    ASSERT_EQ(site_set_line(handle, 3, "phone"), 0);
    ASSERT_EQ(site_add(handle), 0);
    const std::vector<hostlibs::SiteInfo> sites = hostlibs::list_sites();
    ASSERT_EQ(sites.size(), 2u);
    EXPECT_EQ(sites[1].name, "FAX: 1");
    if (schema_) {
        change_stored("host", "DROP TABLE site_lines");
        EXPECT_NE(site_first(handle, 5), 0);
        EXPECT_EQ(store_failures().size(), 2u) << "so is a failed read";
    }
    ASSERT_EQ(site_close(handle), 0);
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

// Jobs built at once stay apart, and each report of a name already in
// SPOOL gets a name of its own there.
TEST_P(JobsTest, JobsBuiltAtOnceStayApart) {
    const uint32_t printer = add(3, "Printer");
    const uint32_t queue = add(4, "Queue");
    const JobHeader h = header();
    JobHandle jobs[3] = {};
    const uint32_t sites[3] = {printer, queue, printer};
    for (int n = 0; n < 3; ++n) {
        ASSERT_EQ(job_open(&jobs[n]), 0);
        ASSERT_EQ(job_begin(jobs[n], sites[n], &h, "OPER", 0), 0);
    }
    EXPECT_NE(jobs[0], jobs[1]);
    EXPECT_NE(jobs[1], jobs[2]);
    for (int n = 0; n < 3; ++n) {
        const ReportFileJob data = report_job(write_report("R1.LST", "report " + std::to_string(n)),
                                              "T" + std::to_string(n));
        ASSERT_EQ(job_add(jobs[n], JOB_TYPE_REPORT_FILE, &data), 0);
    }
    for (int n : {2, 0, 1}) {
        ASSERT_EQ(job_end(jobs[n]), 0);
        ASSERT_EQ(job_close(jobs[n]), 0);
    }
    const std::vector<hostlibs::JobInfo> listed = hostlibs::list_jobs();
    ASSERT_EQ(listed.size(), 3u);
    const std::string spool = root_ + "/DATA/SPOOL/";
    const std::string expected[3][3] = {
        {"T2", "2-R1.LST", "Printer"}, {"T0", "R1.LST", "Printer"}, {"T1", "1-R1.LST", "Queue"}};
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(listed[n].title, expected[n][0]);
        EXPECT_EQ(listed[n].spool_file, spool + expected[n][1]);
        EXPECT_EQ(listed[n].site_name, expected[n][2]);
    }
    std::ifstream second(spool + "1-R1.LST");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(second), {}), "report 1");
}

class JobFilesTest : public JobsTestFixture {};

// A job takes one report once: missing or unterminated data, a second report
// and a second job_end are refused, leaving the files where they are.
TEST_F(JobFilesTest, AJobTakesOneReportOnce) {
    const uint32_t site = add(3, "Printer");
    const JobHeader h = header();
    EXPECT_NE(job_open(nullptr), 0);
    JobHandle job = 0;
    ASSERT_EQ(job_open(&job), 0);
    EXPECT_NE(job_begin(job, site, nullptr, "OPER", 0), 0) << "no header";
    ASSERT_EQ(job_begin(job, site, &h, "OPER", 0), 0);
    EXPECT_NE(job_add(job, JOB_TYPE_REPORT_FILE, nullptr), 0);
    const std::string temp = root_ + "/DATA/TEMP/";
    ReportFileJob first = report_job(write_report("R1.LST", "one"), "");
    std::memset(first.title, 'x', sizeof first.title);
    EXPECT_NE(job_add(job, JOB_TYPE_REPORT_FILE, &first), 0) << "unterminated title";
    EXPECT_TRUE(std::filesystem::exists(temp + "R1.LST"));
    first = report_job(first.path, "First");
    ASSERT_EQ(job_add(job, JOB_TYPE_REPORT_FILE, &first), 0);
    const ReportFileJob second = report_job(write_report("R2.LST", "two"), "Second");
    EXPECT_NE(job_add(job, JOB_TYPE_REPORT_FILE, &second), 0) << "one report a job";
    EXPECT_TRUE(std::filesystem::exists(temp + "R2.LST"));
    ASSERT_EQ(job_end(job), 0);
    EXPECT_NE(job_end(job), 0) << "ended twice";
    ASSERT_EQ(job_close(job), 0);
    const std::vector<hostlibs::JobInfo> listed = hostlibs::list_jobs();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].title, "First");
    EXPECT_TRUE(std::filesystem::exists(listed[0].spool_file));
}

// A job that is not queued leaves no spooled file: not when the queue cannot
// be written, nor when the host closes under an unfinished job. A SPOOL
// replaced by a link takes no report at all.
TEST_F(JobFilesTest, AJobNotQueuedLeavesNoSpooledFile) {
    const uint32_t site = add(3, "Printer");
    const JobHeader h = header();
    const std::string spool = root_ + "/DATA/SPOOL/";
    change_stored("host",
                  "CREATE TRIGGER refuse BEFORE INSERT ON jobs"
                  " BEGIN SELECT RAISE(ABORT, 'queue full'); END");
    JobHandle job = 0;
    ASSERT_EQ(job_open(&job), 0);
    ASSERT_EQ(job_begin(job, site, &h, "OPER", 0), 0);
    const ReportFileJob refused = report_job(write_report("R1.LST", "one"), "t");
    ASSERT_EQ(job_add(job, JOB_TYPE_REPORT_FILE, &refused), 0);
    EXPECT_NE(job_end(job), 0) << "the queue could not be written";
    ASSERT_EQ(job_close(job), 0);
    EXPECT_FALSE(std::filesystem::exists(spool + "R1.LST"));
    EXPECT_TRUE(hostlibs::list_jobs().empty());
    change_stored("host", "DROP TRIGGER refuse");

    ASSERT_EQ(job_open(&job), 0);
    ASSERT_EQ(job_begin(job, site, &h, "OPER", 0), 0);
    const ReportFileJob unfinished = report_job(write_report("R2.LST", "two"), "t");
    ASSERT_EQ(job_add(job, JOB_TYPE_REPORT_FILE, &unfinished), 0);
    ASSERT_TRUE(std::filesystem::exists(spool + "R2.LST"));
    hostlibs::close_host();
    EXPECT_FALSE(std::filesystem::exists(spool + "R2.LST"));
    EXPECT_NE(job_open(&job), 0) << "no host open";

    ASSERT_TRUE(open(configuration())) << error_;
    TempFolder outside("devgroup-outside-");
    std::filesystem::remove_all(spool);
    std::filesystem::create_directory_symlink(outside.path(), root_ + "/DATA/SPOOL");
    const ReportFileJob linked = report_job(write_report("R3.LST", "three"), "t");
    ASSERT_EQ(job_open(&job), 0);
    ASSERT_EQ(job_begin(job, site, &h, "OPER", 0), 0);
    EXPECT_NE(job_add(job, JOB_TYPE_REPORT_FILE, &linked), 0);
    EXPECT_TRUE(std::filesystem::exists(root_ + "/DATA/TEMP/R3.LST"));
    EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
    EXPECT_NE(job_end(job), 0);
    ASSERT_EQ(job_close(job), 0);
    std::filesystem::remove(root_ + "/DATA/SPOOL");
}

}  // namespace
