#!/usr/bin/env bash
# Runs every benchmark binary of a build folder.
set -euo pipefail
build=${1:-build/release}
for b in "$build"/bin/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" "${@:2}"
done
