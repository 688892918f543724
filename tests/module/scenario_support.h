// Scenario tests run the real module through the host program's loading
// path, over the real host libraries and the headless screen.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "hostapp/host_app.h"
#include "hostlibs/host_setup.h"
#include "module_test_support.h"
#include "platform/color_roles.h"
#include "platform/host_libraries.h"
#include "screen_picture.h"
#include "screenlib/screenlib.h"

// The editor's screen as it stood when the module closed it.
using EditorPicture = ScreenPicture;

// Set by the test before each run; the spy on screen_close reads it.
extern HostContext* watched_context;
extern EditorPicture editor_picture;
// Every other window the module closed while watched (its popups), in order,
// as it stood just before it closed.
extern std::vector<EditorPicture> popup_pictures;
// When set, runs at each screen_close before the screen goes: a test's way
// to change the data at the moment a popup ends.
extern std::function<void()> before_screen_close;
// Closing calls of the module's run, in order (screen_close, screenfile_close,
// menubar_close, host_leave).
extern std::vector<std::string> teardown_calls;

// Screen cells of the editor window (at row 1, framed): the data rows start
// below the heading line, which also holds the title and the page number.
constexpr int kTitleRow = 2;
constexpr int kFirstDataRow = 3;
constexpr int kGroupColumn = 3;
constexpr int kInstrumentColumn = 14;
constexpr int kPageColumn = 76;
constexpr int kPromptRow = 23;

class EditorScenario : public ::testing::Test {
  protected:
    void SetUp() override { make_root(root_.path()); }
    void TearDown() override {
        before_screen_close = nullptr;
        session_.close();
        watched_context = nullptr;
    }

    void make_root(const std::string& root) {
        std::string error;
        ASSERT_TRUE(hostapp::create_root(root, false, &error)) << error;
        root_path_ = root;
    }

    // Opens the host on the root with the key script; language 0 is the user's own.
    void open(const std::string& keys, int language = 0) {
        hostapp::HostOptions options;
        options.root = root_path_;
        options.language = language;
        options.now = 1000;
        options.keys = keys;
        options.module_path = TOOLBANK_LIBRARY;
        std::string error;
        ASSERT_TRUE(session_.open(options, &error)) << error;
        if (!pending_devices_.empty()) {
            ASSERT_TRUE(hostlibs::put_devices(pending_devices_, &error)) << error;
            pending_devices_.clear();
        }
    }

    // One call of the module's entry point, as the host makes it.
    int run_editor() {
        watched_context = &session_.context();
        editor_picture = {};
        popup_pictures.clear();
        teardown_calls.clear();
        const int result = session_.call_module(session_.module_entry());
        teardown = teardown_calls;
        return result;
    }

    screenlib::HeadlessBackend& headless() {
        return *dynamic_cast<screenlib::HeadlessBackend*>(screenlib::backend());
    }

    // A user of the password file (key: name and password), written at once.
    void put_user(const std::string& name, const std::string& password, const std::string& code,
                  uint32_t rights, int8_t language) {
        PasswordRecord record{};
        std::memcpy(record.name, padded(name, 30).data(), 30);
        std::memcpy(record.password, padded(password, 8).data(), 8);
        std::memcpy(record.user_code, padded(code, 4).data(), 4);
        for (int i = 0; i < 4; ++i)
            record.rights[i] = static_cast<uint8_t>(rights >> (8 * i));
        record.language = language;
        std::string error;
        ASSERT_TRUE(hostlibs::put_password(record, &error)) << error;
    }
    // The users of host.conf with their passwords: ADAM may save and quit,
    // BERTA save (German), CARL nothing.
    void put_users() {
        put_user("ADAM", "secret", "AD01", 0x82000000, 1);
        put_user("BERTA", "geheim", "BE02", 0x02000000, 2);
        put_user("CARL", "guest", "CA03", 0, 1);
    }

    // Records for the devices file, written once the host is open.
    void put_devices(const std::vector<DeviceRecord>& records) {
        pending_devices_.insert(pending_devices_.end(), records.begin(), records.end());
    }

    // Records 0..count-1 with instruments "Instrument <i>" and groups "G<i>".
    void put_numbered(int count) {
        std::vector<DeviceRecord> records;
        for (int i = 0; i < count; ++i) {
            records.push_back(
                device(i, "Instrument " + std::to_string(i), "G" + std::to_string(i)));
        }
        put_devices(records);
    }

    std::filesystem::path module_dir() const {
        return std::filesystem::path(root_path_) / "USER" / "DEVGROUP";
    }

    // The root as the open host hands it to modules: its drive, "C:\\".
    std::string host_root() const { return host_root_dir(); }

    std::string row(int r) const {
        EXPECT_TRUE(editor_picture.taken);
        return editor_picture.taken ? editor_picture.rows.at(r) : std::string();
    }
    std::string cells(int r, int column, int width) const { return row(r).substr(column, width); }
    uint8_t attribute(int r, int column) const {
        return editor_picture.taken ? editor_picture.attributes.at(r).at(column) : 0;
    }
    std::string group_cell(int data_row) const {
        return cells(kFirstDataRow + data_row, kGroupColumn, 8);
    }
    std::string instrument_cell(int data_row) const {
        return cells(kFirstDataRow + data_row, kInstrumentColumn, 30);
    }
    uint8_t group_attribute(int data_row) const {
        return attribute(kFirstDataRow + data_row, kGroupColumn);
    }
    uint8_t field_color(FieldColorByte byte) {
        return ::field_color(*session_.context().settings, byte);
    }

    TempFolder root_;
    std::string root_path_;
    hostapp::HostSession session_;
    std::vector<DeviceRecord> pending_devices_;
    // The closing calls of the last run_editor, as they stood when it returned.
    std::vector<std::string> teardown;
};
