#!/usr/bin/env bash
# The crash and concurrency tests of the suite with large counts: RUNS kill -9s
# at random moments of a save of 100 rows, and ROUNDS rounds of eight processes
# saving their own rows of one file at once. They drive the release build of
# devgroup (faster, so more kills land in the save); the test program is the
# asan build's. Prints kill -9 runs and torn records, lost updates, and the
# rows a full disk let through.
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
DEVGROUP_CRASH_PROGRAM=$PWD/build/release/bin/devgroup DEVGROUP_CRASH_RUNS=$runs \
DEVGROUP_CONCURRENT_ROUNDS=$rounds build/asan/bin/host_tests --gtest_filter='CrashSave.*'
