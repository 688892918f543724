// Shared set-up for the screen library's tests: a headless screen, screen
// files written to a temporary folder, and collected diagnostics.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/screen_library.h"
#include "screenlib/screenlib.h"
#include "temp_folder.h"

template <typename Function>
inline AnyFunction any_function(Function function) {
    return reinterpret_cast<AnyFunction>(function);
}

// A ScreenFunctionTable of the library's own objects plus a test's own
// entries, each added to its class section.
class FunctionTable {
  public:
    FunctionTable& add(int section, const char* name, AnyFunction function, const void* data) {
        extra_.push_back({section, ScreenFunctionEntry{name, function, data}});
        return *this;
    }
    const ScreenFunctionEntry* get() {
        entries_.clear();
        int section = -1;
        for (const ScreenFunctionEntry* entry = screenlib::library_function_table(); entry->name;
             ++entry) {
            if (entry->name[0] == '$') {
                section = std::atoi(entry->name + 1);
                entries_.push_back(*entry);
                for (const auto& [extra_section, extra] : extra_) {
                    if (extra_section == section)
                        entries_.push_back(extra);
                }
                continue;
            }
            entries_.push_back(*entry);
        }
        entries_.push_back({nullptr, nullptr, nullptr});
        return entries_.data();
    }

  private:
    std::vector<std::pair<int, ScreenFunctionEntry>> extra_;
    std::vector<ScreenFunctionEntry> entries_;
};

class ScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        screen_ = &screenlib::use_headless(25, 80);
        screenlib::set_diagnostic_sink(
            [this](const std::string& message) { diagnostics_.push_back(message); });
        temp_ = std::make_unique<TempFolder>("screenlib-test-");
        folder_ = temp_->path();
    }
    void TearDown() override {
        screenlib::shutdown();
        temp_.reset();
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
    std::unique_ptr<TempFolder> temp_;
    std::filesystem::path folder_;
};
