#!/usr/bin/env bash
# Style and static checks, as CI runs them:
#   - every C++ file as clang-format would write it (check mode, nothing changed);
#   - file-local functions and variables in an anonymous namespace, not `static`;
#   - clang-tidy with the checks of .clang-tidy, as errors, over every source
#     file of the libraries, the module and the host program (tests and
#     benchmarks are left out to keep CI short), compiled as in BUILD_DIR
#     (default build/asan, configured first).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/asan}

git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

if git ls-files '*.cpp' | xargs grep -nE '^static ' ; then
    echo "lint: put the file-local names above in an anonymous namespace" >&2
    exit 1
fi

[ -f "$build/compile_commands.json" ] || { echo "lint: configure $build first" >&2; exit 2; }
git ls-files '*.cpp' | grep -E '^(platform|module|screenlib|hostlibs|host)/' | grep -v layout32 \
    | xargs -P 2 -n 6 clang-tidy -p "$build" --quiet 2>/dev/null
