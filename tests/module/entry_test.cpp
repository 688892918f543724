// The entry point with a context the host built without its records: it
// opens nothing, and still leaves once and clears the return flag.
#include "entry/entry.h"

#include <gtest/gtest.h>

#include "hostlibs/host_setup.h"
#include "module_test_support.h"

namespace {

class EntryPoint : public HostFixture {};

TEST_F(EntryPoint, ContextWithoutItsRecordsLeavesAtOnce) {
    HostContext context{};
    context.return_flag = 77;
    EXPECT_EQ(Appstart(&context), 0);
    EXPECT_EQ(context.return_flag, 0);
    EXPECT_EQ(hostlibs::host_leave_count(), 1);
    EXPECT_TRUE(hostlibs::read_error_log().empty());

    EXPECT_EQ(Appstart(nullptr), 0);
    EXPECT_EQ(hostlibs::host_leave_count(), 2);
}

}  // namespace
