#!/usr/bin/env bash
# Installs the Debian packages Marquee needs.
#   scripts/install-deps.sh            what it needs to run, build and test
#   scripts/install-deps.sh --runtime  only what the installed programs need
# Idempotent: when everything is there it does nothing and prints nothing.
#   scripts/install-deps.sh --fuzz-sources   also lets apt-get source fetch
#                                            the sources scripts/fuzz.sh builds
set -euo pipefail

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

if [ "${1:-}" = "--fuzz-sources" ]; then
    # deb-src entries for the same archives as the binary packages.
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            $SUDO tee /etc/apt/sources.list.d/marquee-deb-src.sources >/dev/null
    elif [ -f /etc/apt/sources.list ]; then
        grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
            $SUDO tee /etc/apt/sources.list.d/marquee-deb-src.list >/dev/null
    fi
    $SUDO apt-get update -qq
    exit 0
fi

# What marquee and marquee-cli need at run time (the .deb depends on these
# and recommends the office packages; tzdata: the time zones schedules are
# evaluated in).
RUNTIME=(
    libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins
    libjpeg62-turbo libpoppler-cpp0v5
    xfonts-wqy fonts-arphic-uming fonts-dejavu-core fontconfig
    fonts-wqy-microhei qt6-translations-l10n tzdata
    libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-draw-nogui python3-uno
    libmosquitto1
)
# What building, testing and packaging need besides (ser2net: the serial
# server on the network that the tests reach over raw TCP and RFC 2217;
# mosquitto: the broker the MQTT tests start, its clients their other end;
# openssl: the certificates of its TLS listener).
BUILD=(
    g++ cmake ninja-build ccache pkg-config
    qt6-base-dev libgl-dev qt6-l10n-tools
    libjpeg62-turbo-dev libjpeg-turbo-progs
    libpoppler-cpp-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang-format clang libclang-rt-14-dev time dpkg-dev zlib1g-dev
    xvfb xauth xdotool
    imagemagick
    desktop-file-utils util-linux passwd
    ser2net
    libmosquitto-dev mosquitto mosquitto-clients openssl
)

PACKAGES=("${RUNTIME[@]}")
[ "${1:-}" != "--runtime" ] && PACKAGES+=("${BUILD[@]}")

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
