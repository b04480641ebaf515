#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh [normal|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler cache entries are shared by every checkout of the project on
# this machine: paths are taken relative to the checkout.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1

kind=${1:-normal}
case "$kind" in
    normal) dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    asan) dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DMARQUEE_SANITIZE=ON) ;;
    *) echo "usage: $0 [normal|asan]" >&2; exit 2 ;;
esac

if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
fi
# Two cores: leave one for whatever else runs.
cmake --build "$dir" -- -j2
