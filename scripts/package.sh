#!/usr/bin/env bash
# Builds the Debian package of Marquee: build/marquee_VERSION_ARCH.deb.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh normal
(cd build && cpack -G DEB >/dev/null)
ls build/marquee_*.deb
