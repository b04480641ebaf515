#!/usr/bin/env bash
# Installs what is needed, builds and starts Marquee.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh normal

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/marquee
fi
# No display here: start the window offscreen for a few seconds to show it
# comes up, and say how to run it for real.
echo "no display: starting marquee offscreen for 3 seconds (run it under a desktop to use it)"
QT_QPA_PLATFORM=offscreen timeout 3 build/marquee || [ $? -eq 124 ]
build/marquee-cli --folder build settings
