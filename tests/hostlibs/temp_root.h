// A fresh data root in /tmp, opened as the host for one test and removed after it.
// With OnEachBackend<Fixture> (test_backends.h) a fixture's tests run once
// with the record files and sites in the root's SQLite files and once in a
// shared PostgreSQL store (a fresh schema of the tests' server).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "hostlibs/host_setup.h"
#include "pg_test_server.h"
#include "sqlite_rows.h"
#include "temp_folder.h"
#include "test_backends.h"

class TempRootTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.path().empty());
        root_ = folder_.path();
        if (backend() == Backend::kPostgres) {
            REQUIRE_POSTGRES();
            schema_.emplace();
            store_ = schema_->conninfo();
            ASSERT_TRUE(hostlibs::init_store(store_, &error_)) << error_;
            // Other processes of the test (record_peer) use the same store.
            setenv("DEVGROUP_PEER_STORE", store_.c_str(), 1);
        } else {
            unsetenv("DEVGROUP_PEER_STORE");
        }
        ASSERT_TRUE(open(configuration())) << error_;
    }

    void TearDown() override {
        hostlibs::close_host();
        unsetenv("DEVGROUP_PEER_STORE");
    }

    virtual Backend backend() const { return Backend::kSqlite; }

    hostlibs::HostConfiguration configuration() const {
        hostlibs::HostConfiguration config;
        config.root = root_;
        config.user_id = "OPERATOR";
        config.user_no = 42;
        config.fixed_now = 1614834367;  // 2021-03-04 05:06:07 UTC
        config.store = store_;
        return config;
    }

    bool open(const hostlibs::HostConfiguration& config) {
        return hostlibs::open_host(config, &error_);
    }

    // The rows a query of one record file's store finds, each column as its
    // bytes; `{records}` in the query stands for the file's records table.
    std::vector<std::vector<std::string>> stored_rows(const std::string& file, std::string sql) {
        const std::string table = schema_ ? file : "records";
        for (size_t at; (at = sql.find("{records}")) != std::string::npos;) {
            sql.replace(at, 9, table);
        }
        return schema_ ? schema_->query_bytes(sql)
                       : sqlite_rows(root_ + "/DATA/" + file + ".db", sql);
    }

    // Runs SQL that changes what one record file's store keeps (no {records}).
    void change_stored(const std::string& file, const std::string& sql) {
        if (schema_) {
            schema_->exec(sql);
            return;
        }
        sqlite3* db = nullptr;
        const std::string path = root_ + "/DATA/" + file + ".db";
        const bool done = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                          sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        const std::string why = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        ASSERT_TRUE(done) << path << ": " << sql << ": " << why;
    }

    TempFolder folder_{"hostlibs-test-"};
    std::string root_;
    std::string error_;
    std::optional<PgTestSchema> schema_;
    std::string store_;  // the shared store's connection string; empty: SQLite
};

// The error-log records of failed store operations, oldest first.
inline std::vector<hostlibs::ErrorLogEntry> store_failures() {
    std::vector<hostlibs::ErrorLogEntry> failures;
    for (const auto& entry : hostlibs::read_error_log()) {
        if (entry.code == hostlibs::kStoreFailed) {
            failures.push_back(entry);
        }
    }
    return failures;
}

// Fixed-width text helpers for building records.
inline void put_text(char* field, size_t width, const std::string& text) {
    std::memset(field, ' ', width);
    std::memcpy(field, text.data(), std::min(width, text.size()));
}

inline std::string get_text(const char* field, size_t width) {
    std::string text(field, width);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}
