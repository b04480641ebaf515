#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers, leak detection on) and runs them one after another, each for
# SECONDS seconds (default 60), starting from the seeds in fuzz/corpus/<target>
# and keeping what it finds in build-fuzz/corpus/<target>. A crash, a leak or
# undefined behaviour stops the run with the input saved as build-fuzz/crash-*
# (or leak-*, oom-*, timeout-*); rerun it with build-fuzz/fuzz_<target> FILE.
#
# libjpeg-turbo and libpng are built from Debian's source packages with the
# same instrumentation, so coverage grows inside the decoders too; where the
# sources cannot be had, the system's libraries are used and said so.
#
#   scripts/fuzz.sh [--keep] [SECONDS] [TARGET...]
#     --keep   merge what the run found into fuzz/corpus/<target> (for a long
#              run whose grown corpus is to be kept in the repository)
#   scripts/fuzz.sh 3             the short run of CI
#   scripts/fuzz.sh --keep 3600   an hour a target, corpus kept
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler cache entries are shared by every checkout of the project on
# this machine: paths are taken relative to the checkout.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1

keep=0
if [ "${1:-}" = "--keep" ]; then
    keep=1
    shift
fi
seconds=${1:-60}
shift || true
targets=("$@")
all=(settings playlist bmp jpeg png setup frames line emulator read_para text form)
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

flags="-g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined"
flags+=" -fno-sanitize-recover=undefined"
deps=$PWD/build-fuzz/deps

# Fetches a Debian source package into build-fuzz/src (once); prints its folder.
debian_source() {
    local package=$1 pattern=$2
    mkdir -p build-fuzz/src
    if ! ls -d build-fuzz/src/$pattern >/dev/null 2>&1; then
        if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
            scripts/install-deps.sh --fuzz-sources >&2 || return 1
        fi
        (cd build-fuzz/src && apt-get source -qq "$package" >/dev/null 2>&1) || return 1
    fi
    ls -d build-fuzz/src/$pattern | head -1
}

# libjpeg-turbo's decoder and libpng, static, instrumented like our code.
build_instrumented() {
    local src
    if [ ! -f "$deps/lib/libjpeg.a" ] && src=$(debian_source libjpeg-turbo 'libjpeg-turbo-*/'); then
        CC=clang cmake -S "$src" -B build-fuzz/jpeg -G Ninja -DCMAKE_BUILD_TYPE=None \
            -DCMAKE_C_FLAGS="$flags" -DCMAKE_INSTALL_PREFIX="$deps" -DCMAKE_INSTALL_LIBDIR="$deps/lib" \
            -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF >/dev/null
        cmake --build build-fuzz/jpeg --target install -- -j2 >/dev/null
    fi
    if [ ! -f "$deps/lib/libpng16.a" ] && src=$(debian_source libpng1.6/bookworm 'libpng1.6-*/'); then
        CC=clang cmake -S "$src" -B build-fuzz/png -G Ninja -DCMAKE_BUILD_TYPE=None \
            -DCMAKE_C_FLAGS="$flags" -DCMAKE_INSTALL_PREFIX="$deps" -DCMAKE_INSTALL_LIBDIR="$deps/lib" \
            -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF >/dev/null
        cmake --build build-fuzz/png --target install -- -j2 >/dev/null
    fi
}

build_instrumented || true
options=()
if [ -f "$deps/lib/libjpeg.a" ]; then
    options+=(-DJPEG_LIBRARY="$deps/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$deps/include")
else
    echo "fuzz: libjpeg-turbo's source could not be had; fuzz_jpeg runs on the system's library" >&2
fi
if [ -f "$deps/lib/libpng16.a" ]; then
    options+=(-DMARQUEE_FUZZ_PNG_LIBRARY="$deps/lib/libpng16.a")
else
    echo "fuzz: libpng's source could not be had; fuzz_png runs on the system's library" >&2
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMARQUEE_FUZZ=ON -DMARQUEE_TESTS=OFF "${options[@]}" >/dev/null
cmake --build build-fuzz -- -j2 $(printf 'fuzz_%s ' "${targets[@]}")

export QT_QPA_PLATFORM=offscreen
# Leaks count as findings; Qt and fontconfig keep some one-time allocations
# for the whole process, named in fuzz/lsan.supp.
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
    work="build-fuzz/corpus/$target"
    mkdir -p "$work"
    log="build-fuzz/fuzz_$target.log"
    # No allocation over 256 MB is wanted anywhere: one is a finding.
    if ! build-fuzz/fuzz_$target "$work" "fuzz/corpus/$target" -max_total_time="$seconds" \
        -rss_limit_mb=2048 -malloc_limit_mb=256 -timeout=10 -print_final_stats=1 \
        -artifact_prefix=build-fuzz/ >"$log" 2>&1; then
        tail -40 "$log"
        echo "fuzz_$target: FAILED (see $log)"
        exit 1
    fi
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || echo '?')
    files=$(grep -o 'corp: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || echo '?')
    echo "fuzz_$target: $runs executions in ${seconds} s ($((runs / seconds)) a second)," \
        "coverage $cov, corpus $files, no failure"
    if [ "$keep" = 1 ]; then
        # Only inputs that add coverage to the seeds go into the repository.
        build-fuzz/fuzz_$target -merge=1 "fuzz/corpus/$target" "$work" >>"$log" 2>&1
    fi
done
