// Shared set-up for the screen library's tests: a headless screen, screen
// files written to a temporary folder, and collected diagnostics.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "screen_library.h"
#include "screenlib/screenlib.h"

template <typename Function>
inline AnyFunction any_function(Function function) {
    return reinterpret_cast<AnyFunction>(function);
}

// A table naming only the library's own objects.
inline const ScreenFunctionEntry* library_table() {
    static const ScreenFunctionEntry table[] = {
        {"$0", nullptr, nullptr},
        {"$9", nullptr, nullptr},
        {"$10", nullptr, nullptr},
        {"sedwin_Class", any_function(sedwin_Class), nullptr},
        {"$5", nullptr, nullptr},
        {"bd_prompt", any_function(bd_prompt), nullptr},
        {"bd_1", any_function(bd_1), nullptr},
        {"$6", nullptr, nullptr},
        {"$1", nullptr, nullptr},
        {"$4", nullptr, nullptr},
        {"$2", nullptr, nullptr},
        {"$8", nullptr, nullptr},
        {nullptr, nullptr, nullptr},
    };
    return table;
}

class ScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        screen_ = &screenlib::use_headless(25, 80);
        screenlib::set_diagnostic_sink(
            [this](const std::string& message) { diagnostics_.push_back(message); });
        folder_ = std::filesystem::temp_directory_path() /
                  ("screenlib-test-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        screenlib::shutdown();
        std::filesystem::remove_all(folder_);
    }

    std::string write_file(const std::string& name, const std::string& text) {
        const auto path = folder_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    void keys(const std::string& script) {
        std::string error;
        ASSERT_TRUE(screen_->set_script(script, &error)) << error;
    }

    std::string row(int r) const {
        std::string text = screen_->row_text(r);
        return text.erase(text.find_last_not_of(' ') + 1);
    }

    screenlib::HeadlessBackend* screen_ = nullptr;
    std::vector<std::string> diagnostics_;
    std::filesystem::path folder_;
};
