#!/usr/bin/env bash
# Runs every fuzz target of a build folder over its seeds (tests/fuzz/corpus/NAME),
# each for a time or a number of executions, and prints executions and crashes
# per target. New inputs collect in BUILD/corpus/NAME; a crashing input is kept
# as BUILD/crash-NAME-*. Exits 1 when any target crashed.
#
#     scripts/fuzz.sh BUILD --seconds N [NAME...]   each target for N seconds
#     scripts/fuzz.sh BUILD --runs N [NAME...]      each target to N executions
# Names (csv_import, screen_file, ...) limit the run to those targets, so a
# long run can be split over processes or sessions.
set -uo pipefail
usage="usage: scripts/fuzz.sh BUILD --seconds N | --runs N [NAME...]"
build=${1:?$usage}
case "${2:-}" in
    --seconds) limit=(-max_total_time="${3:?}") ;;
    --runs) limit=(-runs="${3:?}") ;;
    *) echo "$usage" >&2; exit 2 ;;
esac
shift 3
chosen=" $* "
seeds="$(dirname "$0")/../tests/fuzz/corpus"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
for target in "$build"/bin/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target"); name=${name#fuzz_}
    [ $# -eq 0 ] || [[ "$chosen" == *" $name "* ]] || continue
    mkdir -p "$build/corpus/$name"
    log="$build/fuzz-$name.log"
    # Inputs up to 8 KiB; the export's inputs are stored records of 48 bytes
    # each, alike and independent, so 1 KiB (21 records) reaches every path
    # between records while keeping a long run to hours, not a day.
    max_len=8192
    [ "$name" != csv_export ] || max_len=1024
    "$target" "${limit[@]}" -max_len=$max_len -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$build/crash-$name-" "$build/corpus/$name" "$seeds/$name" >"$log" 2>&1
    status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    crashes=$([ $status -eq 0 ] && echo 0 || echo 1)
    printf '%-12s executions %-10s crashes %s\n' "$name" "${runs:-?}" "$crashes"
    if [ $status -ne 0 ]; then
        failed=1
        grep -E 'ERROR|SUMMARY|property broken|Test unit written' "$log" | head -5 | sed 's/^/    /'
    fi
done
exit $failed
