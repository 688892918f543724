#!/usr/bin/env bash
# The crash and concurrency tests of the suite with large counts: RUNS kill -9s
# at random moments of a save of 100 rows, and ROUNDS rounds of eight processes
# saving their own rows of one file at once, each with the records in SQLite
# files and in a shared PostgreSQL store (a throwaway server this script
# starts; without PostgreSQL those runs are skipped). They drive the release
# build of devgroup (faster, so more kills land in the save); the test program
# is the asan build's. Prints kill -9 runs and torn records, lost updates, and
# the rows a full disk let through.
#
#     scripts/crash-tests.sh [RUNS [ROUNDS]]      (default 1000 and 100)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000}
rounds=${2:-100}
cmake --preset release >/dev/null
cmake --build --preset release --target devgroup toolbank
cmake --preset asan >/dev/null
cmake --build --preset asan --target host_tests
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
env_file=$(mktemp)
trap 'rm -f "$env_file"' EXIT
if scripts/pg_test_server.sh start --watch $$ >"$env_file"; then
    pg_dir=$(sed -n 's/^PG_DIR=//p' "$env_file")
    trap 'scripts/pg_test_server.sh stop "$pg_dir"; rm -f "$env_file"' EXIT
    export DEVGROUP_PG_ENV=$env_file
else
    echo "crash-tests: no PostgreSQL server; the shared store's runs are skipped" >&2
fi
DEVGROUP_CRASH_PROGRAM=$PWD/build/release/bin/devgroup DEVGROUP_CRASH_RUNS=$runs \
DEVGROUP_CONCURRENT_ROUNDS=$rounds build/asan/bin/host_tests --gtest_filter='*CrashSave*'
