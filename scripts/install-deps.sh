#!/usr/bin/env bash
# Installs every Debian package Marquee needs to build, run and test.
# Idempotent: when everything is there it does nothing and prints nothing.
set -euo pipefail

PACKAGES=(
    g++ cmake ninja-build ccache pkg-config
    qt6-base-dev libgl-dev
    libjpeg62-turbo-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang-format clang libclang-rt-14-dev time
    xvfb xauth xdotool
    imagemagick
    xfonts-wqy fonts-arphic-uming fonts-dejavu-core fontconfig
    libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-draw-nogui python3-uno
    libpoppler-cpp-dev
)

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
