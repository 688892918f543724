// Prompt-line messages and tones, and the forward field walk, on the
// editor's screen in the headless backend.
#include "services/screen_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "entry/editor_screen_table.h"
#include "platform/byte_fields.h"
#include "platform/screen_library.h"
#include "screenlib/screenlib.h"
#include "services/module_state.h"

namespace {

constexpr int kFirstTone = 440;
constexpr int kSecondTone = 220;

struct MessageCall {
    int index;
    int size;
};
std::vector<MessageCall> message_calls;

int numbered_message(int index, char* buffer, int size) {
    message_calls.push_back({index, size});
    std::snprintf(buffer, static_cast<size_t>(size), "message entry %d", index);
    return 0;
}

class ScreenHelpers : public ::testing::Test {
  protected:
    void SetUp() override {
        headless_ = &screenlib::use_headless();
        message_calls.clear();
        settings_.first_tone_on = 1;
        store_u16(settings_.first_tone, kFirstTone);
        settings_.second_tone_on = 1;
        store_u16(settings_.second_tone, kSecondTone);
        context_.settings = &settings_;
        context_.message_text = numbered_message;
        host_context = &context_;
        file_ = screenfile_open(TOOLBANK_ASSETS "/USER/DEVGROUP/TOOLBANK.L01", main_functions);
        ASSERT_NE(file_, nullptr);
        screen_ = screenfile_load(file_, "screen", 0);
        ASSERT_NE(screen_, nullptr);
        screen_paint(screen_);
    }
    void TearDown() override {
        if (screen_ != nullptr)
            screen_close(screen_);
        if (file_ != nullptr)
            screenfile_close(file_);
        screenlib::shutdown();
        host_context = nullptr;
    }
    // The prompt line: the window's bottom frame row, dashes where there is no text.
    std::string prompt() const { return headless_->row_text(23).substr(1, 78); }
    static std::string line_with(const std::string& text) {
        return text + std::string(78 - text.size(), '-');
    }

    HostSettings settings_{};
    HostContext context_{};
    screenlib::HeadlessBackend* headless_ = nullptr;
    ScreenFile* file_ = nullptr;
    Screen* screen_ = nullptr;
};

TEST_F(ScreenHelpers, MessagesAreFetchedCountedFromZeroWithTheLineSize) {
    show_message(1, screen_, MESSAGE_SILENT);
    EXPECT_EQ(prompt(), line_with("message entry 0"));
    show_message(12, screen_, MESSAGE_SILENT);
    EXPECT_EQ(prompt(), line_with("message entry 11"));
    ASSERT_EQ(message_calls.size(), 2u);
    EXPECT_EQ(message_calls[1].index, 11);
    EXPECT_EQ(message_calls[0].size, 41);
    EXPECT_EQ(message_calls[1].size, 41);
    EXPECT_TRUE(headless_->tones().empty());
}

TEST_F(ScreenHelpers, MessageZeroClearsTheLineAndStillSoundsItsTone) {
    show_message(3, screen_, MESSAGE_SILENT);
    show_message(0, screen_, MESSAGE_SECOND_TONE);
    EXPECT_EQ(prompt(), line_with(""));
    EXPECT_EQ(message_calls.size(), 1u) << "message 0 asks the host for nothing";
    EXPECT_EQ(headless_->tones(), std::vector<int>{kSecondTone});
}

TEST_F(ScreenHelpers, TheModeChoosesTheToneAndAToneSwitchedOffIsSilent) {
    show_prompt("one", screen_, MESSAGE_FIRST_TONE);
    show_prompt("two", screen_, MESSAGE_SECOND_TONE);
    show_prompt("three", screen_, 3);
    show_prompt("four", screen_, -1);
    settings_.first_tone_on = 0;
    show_prompt("five", screen_, MESSAGE_FIRST_TONE);
    EXPECT_EQ(prompt(), line_with("five"));
    EXPECT_EQ(headless_->tones(), (std::vector<int>{kFirstTone, kSecondTone}));
}

TEST_F(ScreenHelpers, SeekForwardStopsOnTheFirstFieldThatTakesTheCursor) {
    // Field 2 is an instrument field (display-only): the walk goes on to 3.
    screen_goto_field(screen_, 5);
    seek_field_forward(screen_, 2);
    EXPECT_EQ(screen_field_no(screen_), 3);
    seek_field_forward(screen_, screen_field_count(screen_));
    EXPECT_EQ(screen_field_no(screen_), 3) << "a walk from past the last field moves nothing";
}

}  // namespace
