// The request block handed to host_error_log lives only during the call, so
// its bytes are taken at the boundary: this test binary supplies its own
// host_error_log and host_user_id, which the module resolves before the
// host library's.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "platform/byte_fields.h"
#include "platform/host_libraries.h"
#include "services/error_report.h"

namespace {

std::array<uint8_t, sizeof(ErrorLogRequest)> last_request{};
std::array<uint8_t, sizeof(ErrorRecord)> last_record{};
int requests = 0;
const char* user_id = nullptr;

}  // namespace

extern "C" int host_error_log(const ErrorLogRequest* request) {
    std::memcpy(last_request.data(), request, sizeof(ErrorLogRequest));
    std::memcpy(last_record.data(), request->record, sizeof(ErrorRecord));
    ++requests;
    return 0;
}

extern "C" const char* host_user_id(void) {
    return user_id;
}

namespace {

class ErrorRequest : public ::testing::Test {
  protected:
    void SetUp() override {
        last_request.fill(0xAA);
        requests = 0;
        user_id = nullptr;
    }
    std::string request_bytes(size_t at, size_t count) const {
        return std::string(reinterpret_cast<const char*>(last_request.data()) + at, count);
    }
};

TEST_F(ErrorRequest, CarriesTheRecordAndItsLengthAndZeroesTheRest) {
    user_id = "OPERATOR";  // 8 characters, not terminated beyond
    report_error("ABC", 0x80007530, "path");
    ASSERT_EQ(requests, 1);
    EXPECT_EQ(request_bytes(0, 4), std::string(4, '\0'));
    EXPECT_EQ(request_bytes(4, 8), "OPERATOR");
    EXPECT_EQ(load_i16(last_request.data() + 12), 0);
    ErrorRecord* record = nullptr;
    std::memcpy(&record, last_request.data() + offsetof(ErrorLogRequest, record), sizeof record);
    EXPECT_EQ(record, &error_record);
    EXPECT_EQ(load_i16(last_request.data() + offsetof(ErrorLogRequest, record_length)), 148);
    EXPECT_EQ(load_i16(last_request.data() + offsetof(ErrorLogRequest, field44)), -1);
    for (size_t i = offsetof(ErrorLogRequest, field44) + 2; i < sizeof(ErrorLogRequest); ++i) {
        ASSERT_EQ(last_request[i], 0) << "byte " << i;
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(last_record.data()) + 20, 4), "path");
}

TEST_F(ErrorRequest, UserIdStaysZeroWhenTheHostGivesNone) {
    user_id = nullptr;
    report_error("ABC", 0x80007531, nullptr);
    ASSERT_EQ(requests, 1);
    EXPECT_EQ(request_bytes(4, 8), std::string(8, '\0'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(last_record.data()) + 20, 128),
              std::string(128, ' '));
}

}  // namespace
