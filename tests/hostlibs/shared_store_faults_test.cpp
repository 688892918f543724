// Faults of a shared store as the module meets them through the C interface:
// a server that restarts or stops under an open session, one that never
// answers, and the notice of changes other workstations store.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/host_libraries.h"
#include "temp_root.h"

namespace {

using Clock = std::chrono::steady_clock;

DeviceRecord device(const std::string& key, const std::string& group) {
    DeviceRecord record;
    std::memset(&record, ' ', sizeof record);
    put_text(record.key, sizeof record.key, key);
    put_text(record.instrument, sizeof record.instrument, "Instrument " + key);
    record.status = 1;
    put_text(record.group, sizeof record.group, group);
    return record;
}

std::vector<std::string> group_changes(const std::string& key) {
    std::vector<std::string> changes;
    std::string error;
    EXPECT_TRUE(hostlibs::read_journal(
        "devices", key,
        [&](const hostlibs::JournalEntry& entry) {
            if (entry.field == "group" && !entry.inserted) {
                changes.push_back(entry.old_value + " -> " + entry.new_value);
            }
            return true;
        },
        &error))
        << error;
    return changes;
}

// The root's record files on a private server the test restarts and stops.
class SharedStoreFaults : public TempRootTest {
  protected:
    void SetUp() override {
        TempRootTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        REQUIRE_POSTGRES();
        server_.emplace();
        store_ = server_->conninfo();
        ASSERT_TRUE(hostlibs::init_store(store_, &error_)) << error_;
        ASSERT_TRUE(open(configuration())) << error_;
        ASSERT_TRUE(hostlibs::put_devices({device("K1", "OLD1"), device("K2", "OLD2")}, &error_))
            << error_;
        std::memset(&record_, 0, sizeof record_);
        ASSERT_EQ(rs_bind(&record_), RS_OK);
    }

    int get(const char* key) {
        std::memcpy(key_, key, std::min<size_t>(std::strlen(key), 8));
        std::memset(key_ + std::strlen(key), ' ', 8 - std::strlen(key));
        return rs_call(RS_GET_EQUAL, key_, 0);
    }

    std::optional<PgPrivateServer> server_;
    DeviceRecord record_;
    char key_[8] = {};
};

TEST_F(SharedStoreFaults, AnUpdateCutByARestartFailsOnceAndTheNextCallReconnects) {
    ASSERT_EQ(get("K1"), RS_OK);
    server_->restart();
    put_text(record_.group, 8, "NEW1");
    EXPECT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_IO_ERROR);
    EXPECT_EQ(store_failures().size(), 1u);

    // The next call connects again: the record is as it was, and the update
    // goes through once it is tried again.
    ASSERT_EQ(get("K1"), RS_OK);
    EXPECT_EQ(get_text(record_.group, 8), "OLD1");
    EXPECT_TRUE(group_changes("K1").empty());
    put_text(record_.group, 8, "NEW1");
    EXPECT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_OK);
    EXPECT_EQ(group_changes("K1"), std::vector<std::string>{"OLD1 -> NEW1"});
    EXPECT_EQ(store_failures().size(), 1u);
}

TEST_F(SharedStoreFaults, AServerDownFailsEveryCallWithOneRecordUntilItIsBack) {
    ASSERT_EQ(get("K1"), RS_OK);
    server_->halt();
    EXPECT_EQ(get("K2"), RS_IO_ERROR);
    EXPECT_EQ(rs_call(RS_GET_FIRST, key_, 0), RS_IO_ERROR);
    put_text(record_.group, 8, "NEW1");
    EXPECT_EQ(rs_call(RS_UPDATE, &record_, 0), RS_IO_ERROR);
    const auto log = hostlibs::read_error_log();
    ASSERT_EQ(store_failures().size(), 1u);
    EXPECT_NE(log.back().text.find("shared store"), std::string::npos) << log.back().text;

    server_->resume();
    ASSERT_EQ(get("K2"), RS_OK);
    EXPECT_EQ(get_text(record_.group, 8), "OLD2");
    // Lost again later: one more record.
    server_->restart();
    EXPECT_EQ(get("K1"), RS_IO_ERROR);
    EXPECT_EQ(store_failures().size(), 2u);
}

// A server that takes the connection but never answers (or a host that
// drops every packet) fails the start within the default connect timeout.
TEST(SharedStoreConnect, AServerThatNeverAnswersFailsWithinTheDefaultTimeout) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 8), 0);  // never accepted: the kernel answers, no server does
    socklen_t length = sizeof address;
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string port = std::to_string(ntohs(address.sin_port));
    unsetenv("PGCONNECT_TIMEOUT");

    TempFolder root("hostlibs-silent-");
    hostlibs::HostConfiguration config;
    config.root = root.path();
    config.store = "host=127.0.0.1 port=" + port + " dbname=devgroup sslmode=disable";
    std::string error;
    const auto started = Clock::now();
    EXPECT_FALSE(hostlibs::open_host(config, &error));
    const auto took = Clock::now() - started;
    close(listener);
    EXPECT_LT(took, std::chrono::seconds(15)) << error;
    EXPECT_GE(took, std::chrono::seconds(8)) << error;
    EXPECT_NE(error.find("127.0.0.1:" + port), std::string::npos) << error;
    EXPECT_NE(error.find("timeout"), std::string::npos) << error;

    // A closed port is refused at once, with libpq's reason.
    config.store = "host=127.0.0.1 port=" + port + " dbname=devgroup";
    const auto again = Clock::now();
    EXPECT_FALSE(hostlibs::open_host(config, &error));
    EXPECT_LT(Clock::now() - again, std::chrono::seconds(3)) << error;
    EXPECT_NE(error.find("refused"), std::string::npos) << error;
}

// The notice of changes stored elsewhere: another workstation's write is
// seen once, the workstation's own writes never.
class SharedStoreNotice : public TempRootTest {
  protected:
    Backend backend() const override { return Backend::kPostgres; }

    // Polls for a while: the server sends a notification once the writer commits.
    bool changed_elsewhere_soon() {
        const auto until = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < until) {
            if (hostlibs::devices_changed_elsewhere()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    int peer(const std::string& arguments) {
        const std::string command = std::string(RECORD_PEER_PATH) + " " + root_ + " " + arguments;
        const int rc = std::system(command.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
};

TEST_F(SharedStoreNotice, AChangeStoredByAnotherWorkstationIsSeenOnceAndOwnChangesNever) {
    // A name for this session alone, so that the test can cut its connection.
    const std::string name = "devgroup_notice_" + std::to_string(getpid());
    hostlibs::HostConfiguration config = configuration();
    config.store += " application_name=" + name;
    ASSERT_TRUE(open(config)) << error_;
    const std::string group = " " + std::to_string(offsetof(DeviceRecord, group)) + " ";
    ASSERT_TRUE(hostlibs::put_devices({device("K1", "OLD1")}, &error_)) << error_;
    DeviceRecord record{};
    ASSERT_EQ(rs_bind(&record), RS_OK);
    char key[8] = {'K', '1', ' ', ' ', ' ', ' ', ' ', ' '};
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key, 0), RS_OK);
    put_text(record.group, 8, "MINE");
    ASSERT_EQ(rs_call(RS_UPDATE, &record, 0), RS_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(hostlibs::devices_changed_elsewhere()) << "own writes announced";

    // An update, an import and a delete of another process each count.
    ASSERT_EQ(peer("set 'K1      '" + group + "THEIRS"), 0);
    EXPECT_TRUE(changed_elsewhere_soon());
    EXPECT_FALSE(hostlibs::devices_changed_elsewhere()) << "one change seen twice";
    ASSERT_EQ(peer("put 'K2      ' Pump"), 0);
    EXPECT_TRUE(changed_elsewhere_soon());
    ASSERT_EQ(peer("del 'K2      '"), 0);
    EXPECT_TRUE(changed_elsewhere_soon());

    // After a lost connection the session listens again.
    schema_->exec(
        "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" + name +
        "'");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(rs_call(RS_GET_EQUAL, key, 0), RS_IO_ERROR);
    ASSERT_EQ(rs_call(RS_GET_EQUAL, key, 0), RS_OK);
    ASSERT_EQ(peer("set 'K1      '" + group + "AGAIN"), 0);
    EXPECT_TRUE(changed_elsewhere_soon());
}

}  // namespace
