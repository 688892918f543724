// The two backends of the record store, for tests that run once on each:
// OnEachBackend<Fixture> runs a fixture's tests with the record files in a
// root's SQLite files and again in a shared PostgreSQL store. The fixture
// says which through a virtual `Backend backend() const`.
#pragma once

#include <gtest/gtest.h>

enum class Backend { kSqlite, kPostgres };

template <class Fixture>
class OnEachBackend : public Fixture, public ::testing::WithParamInterface<Backend> {
  protected:
    Backend backend() const override { return this->GetParam(); }
};

inline std::string backend_name(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::kSqlite ? "SQLite" : "PostgreSQL";
}

#define ON_EACH_BACKEND(Suite) \
    INSTANTIATE_TEST_SUITE_P(  \
        Backends, Suite, ::testing::Values(Backend::kSqlite, Backend::kPostgres), backend_name)
