// Choosing a report's destination and making a FAX site, over the real site
// directory, settings file and screen library (headless) of a host session:
// which sites are offered in which order, when no list is shown, and the
// site a typed FAX number makes.
#include "output/destination.h"

#include <filesystem>

#include "output/site_preferences.h"
#include "scenario_support.h"
#include "services/module_state.h"

namespace {

constexpr int kListRow = 3;
constexpr int kListColumn = 25;
constexpr int kNameWidth = 30;
constexpr uint32_t kNow = 0x12345678;
const std::string kCreateEntry = "---- create new FAX site ---- ";

class Destinations : public EditorScenario {
  protected:
    // Opens the host on the root and makes its context the module's, as the
    // entry point does.
    void start(int language = 1) {
        open("", language);
        hostlibs::set_host_clock(kNow);
        host_context = &session_.context();
        watched_context = host_context;
        popup_pictures.clear();
    }
    void keys(const std::string& script) {
        std::string error;
        EXPECT_TRUE(headless().set_script(script, &error)) << error;
    }
    void TearDown() override {
        host_context = nullptr;
        EditorScenario::TearDown();
    }

    uint32_t site(int site_class, const std::string& name, uint32_t flags = 0) {
        hostlibs::SiteInfo info;
        info.site_class = site_class;
        info.name = name;
        info.flags = flags;
        info.connect_driver = "FAXLNK_";
        info.connect_parameters = "COM" + std::to_string(site_class) + " 9600";
        uint32_t id = 0;
        std::string error;
        EXPECT_TRUE(hostlibs::add_site(info, &id, &error)) << error;
        return id;
    }
    void setting(const std::string& key, const std::string& value) {
        std::string error;
        EXPECT_TRUE(hostlibs::put_setting_text(key, value, &error)) << error;
    }
    static std::string hex(uint32_t id) {
        char text[16];
        std::snprintf(text, sizeof text, "%X", id);
        return text;
    }
    // The FAX kind offers the create entry with the driver file and a template site.
    uint32_t fax_template() {
        const uint32_t id = site(5, "FAX template", SITE_FLAG_HIDDEN);
        setting("default_screen:", hex(id));
        return id;
    }

    // The names the list showed as it closed (the first window that closed).
    std::vector<std::string> listed(int rows) const {
        std::vector<std::string> names;
        if (popup_pictures.empty())
            return names;
        const ScreenPicture& picture = popup_pictures.front();
        for (int r = 0; r < rows; ++r)
            names.push_back(picture.rows.at(kListRow + 1 + r).substr(kListColumn + 3, kNameWidth));
        return names;
    }
    static std::vector<std::string> names(const std::vector<std::string>& list) {
        std::vector<std::string> padded_names;
        for (const auto& name : list)
            padded_names.push_back(padded(name, kNameWidth));
        return padded_names;
    }
    size_t site_count() { return hostlibs::list_sites().size(); }
};

TEST_F(Destinations, OneEligibleSiteOfTheClassIsTakenWithoutAList) {
    start();
    site(4, "Hidden spool", SITE_FLAG_HIDDEN);
    const uint32_t spool = site(4, "Archive spool");
    site(4, "Disabled spool", SITE_FLAG_DISABLED);
    site(3, "Printer");
    keys("<Esc>");
    EXPECT_EQ(choose_destination(DESTINATION_SPOOL), spool);
    EXPECT_TRUE(popup_pictures.empty()) << "no list was shown";
}

TEST_F(Destinations, NoEligibleSiteGivesNothingWithoutAList) {
    start();
    site(4, "Hidden spool", SITE_FLAG_HIDDEN);
    site(3, "Printer");
    keys("<Enter>");
    EXPECT_EQ(choose_destination(DESTINATION_SPOOL), 0u);
    EXPECT_TRUE(popup_pictures.empty());
}

TEST_F(Destinations, PrintersListTheDefaultSiteFirstAndNeverRepeatIt) {
    start();
    const uint32_t office = site(3, "Office");
    site(3, "Plotter", SITE_FLAG_HIDDEN);
    const uint32_t shop = site(3, "Workshop");
    site(3, "Lab", SITE_FLAG_DISABLED);
    const uint32_t viewer = site(3, "Screen viewer");
    setting("default_site:", hex(shop));
    keys("<Down><Down><Down><Down><Enter>");
    EXPECT_EQ(choose_destination(DESTINATION_PRINTER), viewer);
    EXPECT_EQ(listed(3), names({"Workshop", "Office", "Screen viewer"}));
    ASSERT_FALSE(popup_pictures.empty());
    EXPECT_EQ(popup_pictures.front().rows.at(kListRow + 4).substr(kListColumn, 1), "+")
        << "the list holds exactly the three eligible sites";
    (void)office;
}

TEST_F(Destinations, TheUsersOwnDefaultWinsAndIsPutFirstWhateverItsClass) {
    start();
    site(3, "Office");
    site(3, "Workshop");
    const uint32_t spool = site(4, "Archive spool");
    setting("default_site:", "1");
    setting("default_site: 1", hex(spool));  // ADAM is user 1
    keys("<Enter>");
    EXPECT_EQ(choose_destination(DESTINATION_PRINTER), spool);
    EXPECT_EQ(listed(3), names({"Archive spool", "Office", "Workshop"}));
}

TEST_F(Destinations, ADefaultThatIsNotEligibleOrMissingIsDropped) {
    start();
    site(3, "Office");
    const uint32_t hidden = site(3, "Plotter", SITE_FLAG_HIDDEN);
    site(3, "Workshop");
    setting("default_site:", hex(hidden));
    keys("<Esc>");
    EXPECT_EQ(choose_destination(DESTINATION_PRINTER), 0u);
    EXPECT_EQ(listed(2), names({"Office", "Workshop"}));

    setting("default_site:", "7777");
    popup_pictures.clear();
    keys("<Up><Enter>");
    EXPECT_NE(choose_destination(DESTINATION_PRINTER), 0u);
    EXPECT_EQ(listed(2), names({"Office", "Workshop"}));
}

TEST_F(Destinations, AnEligibleDefaultWithNoOtherPrinterIsTakenAtOnce) {
    start();
    site(3, "Plotter", SITE_FLAG_HIDDEN);
    const uint32_t office = site(3, "Office");
    setting("default_site:", hex(office));
    keys("<Esc>");
    EXPECT_EQ(choose_destination(DESTINATION_PRINTER), office);
    EXPECT_TRUE(popup_pictures.empty());
}

TEST_F(Destinations, TheFaxListOffersTheCreateEntryOnlyAfterEnd) {
    start();
    fax_template();
    const uint32_t head = site(5, "FAX: Head office");
    site(5, "FAX: Supplier");
    // Down past the last site does not reach the entry; End shows it last.
    keys("<Down><Down><Down><Esc>");
    EXPECT_EQ(choose_destination(DESTINATION_FAX), 0u);
    EXPECT_EQ(listed(2), names({"FAX: Head office", "FAX: Supplier"}));

    popup_pictures.clear();
    keys("<End><Esc>");
    EXPECT_EQ(choose_destination(DESTINATION_FAX), 0u);
    EXPECT_EQ(listed(2), names({"FAX: Supplier", kCreateEntry}));

    popup_pictures.clear();
    keys("<End><Up><Up><Enter>");
    EXPECT_EQ(choose_destination(DESTINATION_FAX), head);
}

TEST_F(Destinations, WithoutAnEligibleFaxSiteTheListHoldsOnlyTheCreateEntry) {
    start();
    fax_template();
    keys("<Esc>");
    EXPECT_EQ(choose_destination(DESTINATION_FAX), 0u);
    EXPECT_EQ(listed(1), names({kCreateEntry}));
}

TEST_F(Destinations, WithoutTheDriverFileOrATemplateTheFaxKindTakesItsOnlySite) {
    start();
    const uint32_t fax = site(5, "FAX: Head office");
    const auto driver = std::filesystem::path(root_path_) / "DLLS/CONNECT/FAXLNK_.DLL";
    std::filesystem::remove(driver);
    fax_template();
    keys("<Esc>");
    EXPECT_EQ(choose_destination(DESTINATION_FAX), fax);
    EXPECT_TRUE(popup_pictures.empty());
    std::filesystem::copy_file(hostapp::assets_dir() + "/root/DLLS/CONNECT/FAXLNK_.DLL", driver);
    setting("default_screen:", "not a number");
    EXPECT_EQ(choose_destination(DESTINATION_FAX), fax);
    EXPECT_TRUE(popup_pictures.empty());
}

TEST_F(Destinations, ATypedNumberMakesAFaxSiteFromTheTemplate) {
    start();
    const uint32_t model = fax_template();
    // Leading blanks go, a blank inside the number stays.
    keys("<End><Enter>  0049 301234<Enter><Enter>");
    const uint32_t made = choose_destination(DESTINATION_FAX);
    ASSERT_NE(made, 0u);
    const auto sites = hostlibs::list_sites();
    ASSERT_EQ(sites.size(), 2u);
    const hostlibs::SiteInfo& fax = sites.back();
    EXPECT_EQ(fax.id, made);
    EXPECT_EQ(fax.name, "FAX: 0049 301234 (5678)");
    EXPECT_EQ(fax.short_name, "FAX: 0049 301234 (56");
    EXPECT_EQ(fax.site_class, 5);
    const hostlibs::SiteInfo& source = sites.front();
    EXPECT_EQ(source.id, model);
    EXPECT_EQ(fax.connect_driver, source.connect_driver);
    EXPECT_EQ(fax.connect_parameters, source.connect_parameters);
    EXPECT_EQ(fax.lines, (std::vector<std::pair<int, std::string>>{{3, "phone \"0049 301234\""}}));
    EXPECT_EQ(fax.transfer_driver, host_root() + "DLLS\\XFER\\RAWLINE.DLL");
    EXPECT_EQ(fax.transfer_parameters, "");
    EXPECT_EQ(fax.mode, 0);
    EXPECT_EQ(fax.state, 1);
    // The list closed, then the popup.
    ASSERT_EQ(popup_pictures.size(), 2u);
    EXPECT_NE(popup_pictures.back().rows.at(11).find("New FAX site"), std::string::npos);
}

TEST_F(Destinations, ATwentyFiveCharacterNumberPushesTheStampOutOfTheName) {
    start();
    fax_template();
    keys("<End><Enter>1234567890123456789012345<Enter><Enter>");
    ASSERT_NE(choose_destination(DESTINATION_FAX), 0u);
    EXPECT_EQ(hostlibs::list_sites().back().name, "FAX: 1234567890123456789012345");
}

TEST_F(Destinations, AnEmptyNumberOrEscapeMakesNoSite) {
    start();
    fax_template();
    keys("<End><Enter>   <Enter><Enter>");
    EXPECT_EQ(choose_destination(DESTINATION_FAX), 0u);
    EXPECT_EQ(site_count(), 1u);
    keys("<End><Enter>555<Esc>");
    EXPECT_EQ(choose_destination(DESTINATION_FAX), 0u);
    EXPECT_EQ(site_count(), 1u);
    EXPECT_TRUE(hostlibs::read_error_log().empty());
}

TEST_F(Destinations, UpAndDownMoveBetweenThePopupsFields) {
    start();
    fax_template();
    // Down from the number wraps to the confirming field; Up from there goes
    // back to the number, where Enter only moves on.
    keys("<End><Enter>55<Down><Up>5<Enter><Enter>");
    ASSERT_NE(choose_destination(DESTINATION_FAX), 0u);
    EXPECT_EQ(hostlibs::list_sites().back().lines.at(0).second, "phone \"555\"");
}

TEST_F(Destinations, AnUnreadableTemplateSiteMakesNoSiteAndIsReported) {
    start();
    setting("default_screen:", "4711");
    keys("<End><Enter>555<Enter><Enter>");
    EXPECT_EQ(choose_destination(DESTINATION_FAX), 0u);
    EXPECT_EQ(site_count(), 0u);
    const auto log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, 0x80007532u);
    EXPECT_EQ(log[0].source, "ADAM");
    EXPECT_EQ(log[0].text, "FAX template site 00004711 cannot be read");
}

TEST_F(Destinations, APopupFileMissingInBothLanguagesIsReportedWithTheFallbackPath) {
    start(2);
    fax_template();
    const auto folder = std::filesystem::path(root_path_) / "SITES" / "USER";
    // The user's language is 2; the fallback language 1 stands in for it.
    std::filesystem::remove(folder / "LOOKUP.L02");
    keys("<End><Enter>555<Enter><Enter>");
    EXPECT_NE(choose_destination(DESTINATION_FAX), 0u);
    EXPECT_TRUE(hostlibs::read_error_log().empty());
    std::filesystem::remove(folder / "LOOKUP.L01");
    keys("<End><Enter>");
    EXPECT_EQ(choose_destination(DESTINATION_FAX), 0u);
    EXPECT_EQ(site_count(), 2u);
    const auto log = hostlibs::read_error_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, 0x80007530u);
    EXPECT_EQ(log[0].source, "ADAM");
    EXPECT_EQ(log[0].text, host_root() + "SITES\\USER\\LOOKUP.L01");
}

}  // namespace

namespace {

using SitePreferences = Destinations;

TEST_F(SitePreferences, TheUsersOwnRecordWinsAndTheSharedOneIsTheFallback) {
    start();
    SettingRecord callers_buffer{};
    rs_settings_set_buffer(&callers_buffer);
    setting("default_site:", "1A");
    setting("default_site: 2", "77");  // another user's
    uint32_t value = 99;
    EXPECT_EQ(read_default_site(&value), SETTING_SHARED);
    EXPECT_EQ(value, 0x1Au);
    setting("default_site: 1", "2b");  // ADAM is user 1
    EXPECT_EQ(read_default_site(&value), SETTING_USER);
    EXPECT_EQ(value, 0x2Bu);
    EXPECT_EQ(read_template_site(&value), SETTING_NONE);
    EXPECT_EQ(value, 0u);
    void* bound = nullptr;
    rs_settings_get_buffer(&bound);
    EXPECT_EQ(bound, &callers_buffer) << "the caller's binding is given back";
}

TEST_F(SitePreferences, AUserValueThatIsNoSiteIdGivesNothingWithoutTryingTheSharedOne) {
    start();
    setting("default_screen:", "10");
    setting("default_screen: 1", "none");
    uint32_t value = 99;
    EXPECT_EQ(read_template_site(&value), SETTING_NONE);
    EXPECT_EQ(value, 0u);
    // Nine hexadecimal digits name no 32-bit site; they are not cut to another id.
    setting("default_screen: 1", "123456789");
    EXPECT_EQ(read_template_site(&value), SETTING_NONE);
    EXPECT_EQ(value, 0u);
}

}  // namespace
