// Password guessing is slowed and seen: after three failed entries a name
// waits before each further try, counted in the store so that a new process
// starts no afresh, and the error log tells of the run. The store's clock is
// moved on by moving the stored time of the last failure back, so the waits
// pass at once.
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/host_libraries.h"
#include "temp_root.h"

namespace {

constexpr int64_t kFirstWaitMs = 1000;  // the host's own, as operators meet it

// What one password entry gave: its status and what password_wait() said.
struct Entry {
    int status = -1;
    bool refused = false;
    int64_t wait_ms = 0;
};

class PasswordThrottleFixture : public TempRootTest {
  protected:
    void SetUp() override {
        TempRootTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) {
            return;
        }
        PasswordRecord adam{};
        put_text(adam.name, sizeof adam.name, "ADAM");
        put_text(adam.password, sizeof adam.password, "secret");
        put_text(adam.user_code, sizeof adam.user_code, "AD01");
        ASSERT_TRUE(hostlibs::put_password(adam, &error_)) << error_;
        ASSERT_EQ(rs_password_set_buffer(&found_), RS_OK);
    }

    static std::string key(const std::string& name, const std::string& password) {
        std::string bytes(38, ' ');
        bytes.replace(0, name.size(), name);
        bytes.replace(30, password.size(), password);
        return bytes;
    }

    // One entry in this process.
    Entry enter(const std::string& name, const std::string& password) {
        std::memset(&found_, ' ', sizeof found_);
        std::string bytes = key(name, password);
        Entry entry;
        entry.status = rs_password_call(RS_GET_EQUAL, bytes.data(), 0);
        const hostlibs::PasswordWait wait = hostlibs::password_wait();
        entry.refused = wait.refused;
        entry.wait_ms = wait.wait_ms;
        return entry;
    }

    // One entry by another process on the same store.
    Entry enter_elsewhere(const std::string& name, const std::string& password) {
        const std::string command = std::string(RECORD_PEER_PATH) + " " + root_ + " guess " + name +
                                    " " + password + " " + std::to_string(kFirstWaitMs);
        Entry entry;
        FILE* peer = popen(command.c_str(), "r");
        if (peer == nullptr) {
            ADD_FAILURE() << "cannot start " << command;
            return entry;
        }
        char said[16] = {};
        long long wait_ms = -1;
        const int read = std::fscanf(peer, "%15s %lld", said, &wait_ms);
        const int rc = pclose(peer);
        EXPECT_EQ(read, 2) << command;
        entry.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        entry.refused = std::string(said) == "refused";
        entry.wait_ms = wait_ms;
        return entry;
    }

    // The store's clock moves on by `ms` for every name's last failure.
    void let_pass(int64_t ms) {
        change_stored("passwords", "UPDATE password_failures SET last_failure = last_failure - " +
                                       std::to_string(ms));
    }

    // The failures the store counts for a name as it keeps them (upper case).
    std::string failures_of(const std::string& name) {
        for (const auto& row : stored_rows(
                 "passwords", "SELECT name, CAST(failures AS TEXT) FROM password_failures")) {
            if (row[0] == std::string(name).append(30 - name.size(), ' ')) {
                return row[1];
            }
        }
        return "none";
    }

    static std::vector<hostlibs::ErrorLogEntry> password_records() {
        std::vector<hostlibs::ErrorLogEntry> records;
        for (const auto& entry : hostlibs::read_error_log()) {
            if (entry.code == hostlibs::kPasswordGuessing) {
                records.push_back(entry);
            }
        }
        return records;
    }

    PasswordRecord found_{};
};

using PasswordThrottleTest = OnEachBackend<PasswordThrottleFixture>;
ON_EACH_BACKEND(PasswordThrottleTest);

// Ten wrong entries here and ten in another process: each try that comes
// within the wait is refused and must wait it out; the waits add up to more
// than a minute; the right password then works once its wait has passed.
TEST_P(PasswordThrottleTest, TwentyWrongEntriesAcrossTwoProcessesTakeMoreThanAMinute) {
    int64_t waited_ms = 0;
    std::vector<int64_t> waits;  // the wait each failure began
    for (int entry = 1; entry <= 20; ++entry) {
        const bool here = entry <= 10;
        Entry tried;
        int refusals = 0;
        for (;;) {
            tried = here ? enter("ADAM", "wrongpw") : enter_elsewhere("ADAM", "wrongpw");
            ASSERT_EQ(tried.status, RS_KEY_NOT_FOUND) << "entry " << entry;
            if (!tried.refused) {
                break;
            }
            ASSERT_GT(tried.wait_ms, 0);
            ASSERT_LT(++refusals, 3) << "entry " << entry << " refused after its wait passed";
            waited_ms += tried.wait_ms;
            let_pass(tried.wait_ms);
        }
        // Only a name with a wait refuses: from the fourth entry on.
        EXPECT_EQ(refusals, entry >= 4 ? 1 : 0) << "entry " << entry;
        waits.push_back(tried.wait_ms);
    }
    const std::vector<int64_t> expected = {0,     0,     1000,  2000,  4000,  8000,  16000,
                                           30000, 30000, 30000, 30000, 30000, 30000, 30000,
                                           30000, 30000, 30000, 30000, 30000, 30000};
    EXPECT_EQ(waits, expected);
    EXPECT_GE(waited_ms, 60000);
    EXPECT_EQ(failures_of("ADAM"), "20");

    // Within the wait even the right password is refused unchecked.
    Entry right = enter("ADAM", "secret");
    EXPECT_EQ(right.status, RS_KEY_NOT_FOUND);
    EXPECT_TRUE(right.refused);
    EXPECT_EQ(get_text(found_.name, sizeof found_.name), "");
    let_pass(right.wait_ms);
    right = enter("ADAM", "secret");
    ASSERT_EQ(right.status, RS_OK);
    EXPECT_EQ(get_text(found_.name, sizeof found_.name), "ADAM");
    EXPECT_EQ(right.wait_ms, 0);
    EXPECT_EQ(failures_of("ADAM"), "none") << "a granted entry forgets the failures";

    // One record when the name began to wait, one when a granted entry ended the run.
    const auto records = password_records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].source, "PASSWORD");
    EXPECT_EQ(records[0].text, "password of ADAM failed 3 times in a row; each further try waits");
    EXPECT_EQ(records[1].text, "password of ADAM accepted after 20 failed entries");
    for (const auto& entry : hostlibs::read_error_log()) {
        EXPECT_EQ(entry.text.find("wrongpw"), std::string::npos) << entry.text;
        EXPECT_EQ(entry.text.find("secret"), std::string::npos) << entry.text;
    }
    // The next run starts afresh.
    EXPECT_EQ(enter("ADAM", "wrongpw").wait_ms, 0);
}

// A name the file does not hold counts and waits as one it holds, so the
// waits tell nobody which names exist; letter case makes no other name.
// Refused tries neither count nor lengthen the wait.
TEST_P(PasswordThrottleTest, UnknownNamesWaitAsKnownOnesInAnyLetterCase) {
    for (int entry = 1; entry <= 3; ++entry) {
        const Entry known = enter("ADAM", "wrongpw");
        const Entry unknown = enter("NOBODY", "wrongpw");
        EXPECT_EQ(known.status, unknown.status);
        EXPECT_EQ(known.wait_ms, unknown.wait_ms) << "entry " << entry;
    }
    // Failures stored ahead of the clock read as just made, so the tries below
    // meet the whole first wait however slowly a loaded machine runs them.
    let_pass(-3600 * 1000);
    for (const std::string name : {"adam", "Nobody"}) {
        for (int hammering = 0; hammering < 5; ++hammering) {
            const Entry tried = enter(name, "secret");
            EXPECT_EQ(tried.status, RS_KEY_NOT_FOUND) << name;
            EXPECT_TRUE(tried.refused) << name;
            EXPECT_GT(tried.wait_ms, 0) << name;
            EXPECT_LE(tried.wait_ms, kFirstWaitMs) << name;
        }
    }
    EXPECT_EQ(failures_of("ADAM"), "3");
    EXPECT_EQ(failures_of("NOBODY"), "3");
    EXPECT_EQ(password_records().size(), 2u) << "one record for each name's run";
}

// When the store cannot count a try, the password is not checked. (Here the
// failures read as none but take no write: the statement that counts cannot
// even be prepared.)
TEST_P(PasswordThrottleTest, ATryTheStoreCannotCountIsNotChecked) {
    const std::string name_type = backend() == Backend::kPostgres ? "bytea" : "BLOB";
    change_stored("passwords",
                  "DROP TABLE password_failures;"
                  "CREATE VIEW password_failures AS SELECT CAST(NULL AS " +
                      name_type + ") AS name, 0 AS failures, 0 AS last_failure WHERE 1 = 0");
    for (int attempt = 1; attempt <= 2; ++attempt) {
        EXPECT_EQ(enter("ADAM", "secret").status, RS_IO_ERROR) << "attempt " << attempt;
        EXPECT_EQ(get_text(found_.name, sizeof found_.name), "") << "attempt " << attempt;
    }
    bool logged = false;
    for (const auto& entry : hostlibs::read_error_log()) {
        logged = logged || (entry.code == hostlibs::kStoreFailed &&
                            entry.text.find("password_failures") != std::string::npos);
    }
    EXPECT_TRUE(logged) << "the store's failure is in the error log";
}

}  // namespace
