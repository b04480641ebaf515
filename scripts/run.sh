#!/usr/bin/env bash
# The main job: installs what is needed, builds Marquee, starts the built-in
# controller emulator on a pseudo-terminal, sends a demo play list to it and
# shows what the sign received. With a controller attached, link its port
# as build/demo/com1 (ln -s /dev/ttyUSB0 build/demo/com1) and pass --real.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh normal

demo=build/demo
mkdir -p "$demo"
cli="build/marquee-cli --folder $demo"

# A 96 x 32 dual-colour sign on com1 at 9600 bit/s, with ADJUST on so the
# faint noise of a JPEG photo stays dark.
printf '1\r\n96\r\n32\r\n1\r\n16\r\n0\r\n0\r\n1\r\n0\r\n0\r\n' > "$demo/ck.ini"

# Demo pictures: colour bars and a large photo-sized picture that the sender
# squeezes to the sign.
convert -size 96x32 xc:black -fill red -draw "rectangle 0,0 31,31" \
    -fill green -draw "rectangle 32,0 63,31" -fill yellow -draw "rectangle 64,0 95,31" \
    -fill black -draw "rectangle 4,12 91,19" BMP3:"$demo/sweep.bmp"
convert -size 1920x640 xc:black -fill green -draw "circle 960,320 960,40" \
    -fill red -draw "rectangle 100,100 500,540" -fill yellow -draw "rectangle 1420,100 1820,540" \
    -quality 90 "$demo/photo.jpg"
printf '%s\r\n' sweep.bmp 1 0 0 5 2 photo.jpg 40 0 0 3 0 > "$demo/demo.lis"

if [ "${1:-}" != "--real" ]; then
    rm -f "$demo"/page*.png "$demo"/emulator1.para
    # A controller set up for this sign: 96 x 32, data com off (the list is
    # packed with COLOR-SWAP off), 9600 bit/s, taking the bytes at the pace
    # of the line.
    $cli emulate --width 96 --height 32 --datacom 0 --animate --timeout 60 &
    emulator=$!
    trap 'kill $emulator 2>/dev/null || true' EXIT
    for _ in $(seq 50); do [ -e "$demo/com1" ] && break; sleep 0.1; done
fi

$cli time
$cli send "$demo/demo.lis"

if [ "${1:-}" != "--real" ]; then
    kill "$emulator"
    wait "$emulator" || true
    trap - EXIT
    echo "what the sign shows: $(ls "$demo"/page*.png | tr '\n' ' ')"
    echo "the play list: $demo/playlist.png (animated), the clock: $demo/clock.png"
fi
echo "the window: build/marquee (a desktop session is needed); its Virtual sign button, or"
echo "  build/marquee-cli --folder $demo emulate --window --width 96 --height 32 --datacom 0,"
echo "  plays what the sign receives in a window of its own"
