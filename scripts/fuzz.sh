#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers) and runs each for SECONDS seconds (default 60), starting from
# the seeds in fuzz/corpus/<target> and keeping what it finds in
# build-fuzz/corpus/<target>. A crash stops the run with the input saved as
# build-fuzz/crash-*; rerun it with build-fuzz/fuzz_<target> FILE.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(settings playlist bmp jpeg setup frames line read_para text)

if [ ! -f build-fuzz/build.ninja ]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DMARQUEE_FUZZ=ON -DMARQUEE_TESTS=OFF >/dev/null
fi
cmake --build build-fuzz -- -j2 $(printf 'fuzz_%s ' "${targets[@]}")

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1
for target in "${targets[@]}"; do
    work="build-fuzz/corpus/$target"
    mkdir -p "$work"
    log="build-fuzz/fuzz_$target.log"
    if ! build-fuzz/fuzz_$target "$work" "fuzz/corpus/$target" -max_total_time="$seconds" \
        -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix=build-fuzz/ \
        >"$log" 2>&1; then
        tail -40 "$log"
        echo "fuzz_$target: FAILED (see $log)"
        exit 1
    fi
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    echo "fuzz_$target: $runs executions in ${seconds} s, no failure"
done
