#!/usr/bin/env bash
# Runs every benchmark binary of a build folder. Besides timings they report
# counts: bench_terminal_bytes gives the terminal bytes the editor writes per
# typed character and per page change beside the cells that changed.
set -euo pipefail
build=${1:-build/release}
for b in "$build"/bin/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" "${@:2}"
done
