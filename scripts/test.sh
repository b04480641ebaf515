#!/usr/bin/env bash
# Installs what is needed, builds, checks the formatting and runs every test,
# in the normal build and again under the address and undefined-behaviour
# sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== formatting"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror $files

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

for kind in asan normal; do
    echo "== build ($kind)"
    scripts/build.sh "$kind"
    dir=build; [ "$kind" = asan ] && dir=build-asan
    echo "== tests ($kind)"
    ctest --test-dir "$dir" --output-on-failure -j2 --timeout 600
    if [ "$kind" = asan ]; then
        # A short run of every fuzz target, so none of them rots.
        echo "== fuzz (3 s a target)"
        scripts/fuzz.sh 3
    fi
done
