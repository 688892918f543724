// Printing as an operator does it: a print command from the menu bar, the
// destination taken or chosen, the Device Group report queued with the job
// queue or shown in the host's text viewer, and the failures on the way.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "hostapp/host_app.h"
#include "hostlibs/shell.h"
#include "platform/byte_fields.h"
#include "scenario_support.h"

namespace {

constexpr int kFirstTone = 440;
constexpr int kSecondTone = 880;
// Print (command 8), Print to spool (19) and Send as fax (24) from the File menu.
const std::string kPrint = "<A-f>p";
const std::string kPrintToSpool = "<A-f>l";
const std::string kSendAsFax = "<A-f>f";

class Printing : public EditorScenario {
  protected:
    void open_editor(const std::string& keys) {
        open(keys);
        HostSettings* settings = session_.context().settings;
        settings->first_tone_on = 1;
        store_u16(settings->first_tone, kFirstTone);
        settings->second_tone_on = 1;
        store_u16(settings->second_tone, kSecondTone);
    }

    uint32_t add_site(int site_class, const std::string& name, uint8_t device_type) {
        hostlibs::SiteInfo site;
        site.site_class = site_class;
        site.name = name;
        site.device_type = device_type;
        uint32_t id = 0;
        std::string error;
        EXPECT_TRUE(hostlibs::add_site(site, &id, &error)) << error;
        return id;
    }

    // The windows the run closed (pull-downs, lists) whose picture holds `text`.
    static int popups_showing(const std::string& text) {
        int count = 0;
        for (const EditorPicture& picture : popup_pictures) {
            for (const std::string& r : picture.rows) {
                if (r.find(text) != std::string::npos) {
                    ++count;
                    break;
                }
            }
        }
        return count;
    }

    std::string prompt() const { return cells(kPromptRow, 1, 78); }
    bool prompt_shows(int message) const {
        const std::string text = session_.message(message);
        return !text.empty() && prompt().substr(0, text.size()) == text;
    }

    std::vector<std::string> temp_files() const {
        std::vector<std::string> names;
        for (const auto& entry :
             std::filesystem::directory_iterator(std::filesystem::path(root_path_) / "DATA/TEMP"))
            names.push_back(entry.path().filename().string());
        return names;
    }

    // What `devgroup jobs` prints for the root, once the session is closed.
    std::string jobs_listing() {
        session_.close();
        std::ostringstream out;
        std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
        std::string root = root_path_;
        char program[] = "devgroup", root_option[] = "--root", command[] = "jobs";
        char* arguments[] = {program, root_option, root.data(), command};
        const int code = hostapp::host_main(4, arguments);
        std::cout.rdbuf(saved);
        EXPECT_EQ(code, 0);
        return out.str();
    }
};

TEST_F(Printing, UnsavedChangesShowMessageSevenAndNoList) {
    put_numbered(5);
    open_editor("PUMPS" + kPrint);
    add_site(3, "Office printer", 1);
    add_site(3, "Workshop printer", 1);
    run_editor();
    EXPECT_TRUE(prompt_shows(7)) << prompt();
    EXPECT_EQ(headless().tones(), std::vector<int>{kSecondTone});
    EXPECT_EQ(popups_showing("Office printer"), 0) << "no destination list";
    EXPECT_TRUE(hostlibs::list_jobs().empty());
    EXPECT_TRUE(temp_files().empty());
}

TEST_F(Printing, TheOnlyPrinterTakesTheQueuedReportSeenInDevgroupJobs) {
    put_numbered(5);
    open_editor(kPrint);
    const uint32_t printer = add_site(3, "Office printer", 1);
    add_site(4, "Archive spool", 2);  // another class: not offered
    run_editor();
    EXPECT_EQ(popups_showing("Office printer"), 0) << "the only site is taken without a list";
    EXPECT_TRUE(prompt_shows(2)) << prompt();
    EXPECT_EQ(headless().tones(), std::vector<int>{kFirstTone});
    const std::vector<hostlibs::JobInfo> jobs = hostlibs::list_jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].site_id, printer);
    EXPECT_TRUE(std::filesystem::exists(jobs[0].spool_file));
    EXPECT_TRUE(temp_files().empty()) << "the report left TEMP for the spool";
    EXPECT_TRUE(hostlibs::run_list().empty()) << "the editor stays";

    const std::string listing = jobs_listing();
    EXPECT_NE(listing.find("Office printer"), std::string::npos) << listing;
    EXPECT_NE(listing.find("user ADAM"), std::string::npos) << listing;
    EXPECT_NE(listing.find("  Toolbank  Toolbank"), std::string::npos) << "job name and title";
    EXPECT_NE(listing.find("DATA/SPOOL/R"), std::string::npos) << listing;
    EXPECT_NE(listing.find(".LST  pages 1"), std::string::npos) << listing;
}

TEST_F(Printing, TheSpoolCommandChoosesAmongSitesOfItsOwnClass) {
    put_numbered(3);
    // The list opens with the first spool site current; Down and Enter take the second.
    open_editor(kPrintToSpool + "<Down><Enter>");
    add_site(3, "Office printer", 1);
    add_site(4, "Archive spool", 2);
    const uint32_t mail = add_site(4, "Mail gateway", 3);
    run_editor();
    EXPECT_EQ(popups_showing("Mail gateway"), 1);
    EXPECT_EQ(popups_showing("Office printer"), 0) << "a site of another class";
    const std::vector<hostlibs::JobInfo> jobs = hostlibs::list_jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].site_id, mail);
}

TEST_F(Printing, NothingChosenClearsThePromptWithTheSecondTone) {
    put_numbered(3);
    open_editor("<PgDn><PgDn><PgDn><PgDn><PgDn>" + kPrintToSpool + "<Esc>");
    add_site(4, "Archive spool", 2);
    add_site(4, "Mail gateway", 3);
    run_editor();
    EXPECT_EQ(popups_showing("Mail gateway"), 1);
    EXPECT_EQ(prompt(), std::string(78, '-')) << "message 5 of the last page is cleared";
    // The last-page message's tone, then the one of the cleared prompt line.
    EXPECT_EQ(headless().tones(), (std::vector<int>{kSecondTone, kSecondTone}));
    EXPECT_TRUE(hostlibs::list_jobs().empty());
    EXPECT_TRUE(temp_files().empty()) << "no report was written";
}

TEST_F(Printing, NoSiteOfTheClassGivesMessageZeroAndWritesNoReport) {
    put_numbered(3);
    open_editor(kSendAsFax);
    add_site(3, "Office printer", 1);
    run_editor();
    EXPECT_EQ(popups_showing("Office printer"), 0);
    EXPECT_EQ(prompt(), std::string(78, '-'));
    EXPECT_EQ(headless().tones(), std::vector<int>{kSecondTone});
    EXPECT_TRUE(temp_files().empty());
}

TEST_F(Printing, AFailingJobAddRemovesTheReportAndShowsMessageSix) {
    put_numbered(3);
    open_editor(kPrint);
    add_site(3, "Office printer", 1);
    // The spool folder is a file: the job queue cannot take the report over.
    const std::filesystem::path spool = std::filesystem::path(root_path_) / "DATA/SPOOL";
    std::filesystem::remove_all(spool);
    std::ofstream(spool) << "in the way";
    run_editor();
    EXPECT_TRUE(prompt_shows(6)) << prompt();
    EXPECT_EQ(headless().tones(), std::vector<int>{kSecondTone});
    EXPECT_TRUE(hostlibs::list_jobs().empty());
    EXPECT_TRUE(temp_files().empty()) << "the report file is removed";
}

class PrintingToScreen : public Printing {
  protected:
    // 100 rows: with the root's three-line header template a page holds 45
    // rows, so the report has three pages.
    void open_with_viewer(const std::string& keys) {
        put_numbered(100);
        open_editor(keys);
        viewer_ = add_site(3, "Screen viewer", SITE_DEVICE_SCREEN_VIEWER);
    }
    uint32_t viewer_ = 0;
};

TEST_F(PrintingToScreen, PutsTheViewerOnTheRunListAndLeavesTheEditor) {
    open_with_viewer(kPrint + "<PgDn>");
    run_editor();
    EXPECT_EQ(cells(kTitleRow, kPageColumn, 1), "1") << "the editor ended before Page Down";
    EXPECT_TRUE(hostlibs::list_jobs().empty());
    const std::vector<RunListEntry> entries = hostlibs::run_list();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(hostlibs::describe_entry(entries[0]), "USER\\GENUSER\\TEXTDISP");
    const std::vector<std::string> files = temp_files();
    ASSERT_EQ(files.size(), 1u) << "the report stays for the viewer";
    char id[9];
    std::snprintf(id, sizeof id, "%08X", viewer_);
    const std::string path = host_root() + "DATA\\TEMP\\" + files[0];
    EXPECT_EQ(std::string(entries[0].parameters), std::string(id) + " 4 " + path + " \"Toolbank\"");
}

TEST_F(PrintingToScreen, TheViewerShowsTheReportsPagesAndReturnsToTheEditor) {
    // Print, page on in the viewer, leave it, and page on in the editor.
    open_with_viewer(kPrint + "<PgDn><PgDn><PgUp><Esc><PgDn>");
    watched_context = &session_.context();
    ASSERT_EQ(session_.run(), 0);
    const std::vector<RunListEntry>& modules = session_.modules_run();
    ASSERT_EQ(modules.size(), 3u);
    EXPECT_EQ(hostlibs::describe_entry(modules[1]), "USER\\GENUSER\\TEXTDISP");
    EXPECT_TRUE(hostlibs::same_module(modules[2], session_.module_entry()));
    EXPECT_EQ(cells(kTitleRow, kPageColumn, 1), "2") << "the editor took the last key";
    EXPECT_TRUE(temp_files().empty()) << "the viewer removed the report it showed";
}

TEST_F(PrintingToScreen, TheViewerPagesThroughTheReportWithoutShowingCodes) {
    // A report page is longer than the screen: Page Down scrolls through it
    // and then turns to the next page; Page Up scrolls back to its top.
    open_with_viewer(kPrint + "<PgDn><PgDn><PgDn><PgDn><PgUp>");
    ASSERT_EQ(session_.run(), 0);
    const std::string screen = session_.final_screen();
    EXPECT_EQ(screen.substr(0, screen.find('\n')), "Toolbank   (2/3)") << screen;
    EXPECT_NE(screen.find("Device Group"), std::string::npos) << screen;
    EXPECT_NE(screen.find(" G45         Instrument 45"), std::string::npos) << screen;
    EXPECT_EQ(screen.find(" G44 "), std::string::npos) << "page 1's last row";
    for (const char code : {'\x81', '\x82', '\x84', '\x85'})
        EXPECT_EQ(screen.find(code), std::string::npos);
}

}  // namespace
