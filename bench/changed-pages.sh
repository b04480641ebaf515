#!/usr/bin/env bash
# One changed page of 200 on a 128 x 32 dual-colour sign at 9600 Bd: the
# time of a whole SEND against `send --changed`, end to end against the
# emulator taking the bytes at the pace of the line.
#   bench/changed-pages.sh [BUILD_DIR]     (about four minutes)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
dir=$(mktemp -d)
emulator=""
trap '[ -n "$emulator" ] && kill $emulator 2>/dev/null; rm -rf "$dir"' EXIT
cli="$build/marquee-cli --folder $dir"

printf '1\r\n128\r\n32\r\n1\r\n16\r\n0\r\n0\r\n0\r\n0\r\n0\r\n' > "$dir/ck.ini"
: > "$dir/list.lis"
for i in $(seq 200); do
    convert -size 128x32 xc:black -fill red -draw "rectangle $((i % 100)),0 $((i % 100 + 20)),31" \
        -fill green -draw "rectangle 0,$((i % 32)) 127,$((i % 32))" BMP3:"$dir/p$i.bmp"
    printf 'p%s.bmp\r\n1\r\n0\r\n0\r\n5\r\n1\r\n' "$i" >> "$dir/list.lis"
done

$cli emulate --width 128 --height 32 --datacom 0 --timeout 900 > "$dir/emulator.log" &
emulator=$!
for _ in $(seq 100); do [ -e "$dir/com1" ] && break; sleep 0.1; done

seconds() { local start=$(date +%s%N); "$@" > /dev/null 2>&1; local ms=$((($(date +%s%N) - start) / 1000000)); printf "%d.%03d" $((ms / 1000)) $((ms % 1000)); }
full=$(seconds $cli send "$dir/list.lis")
convert -size 128x32 xc:black -fill yellow -draw "rectangle 10,10 40,20" BMP3:"$dir/p117.bmp"
changed=$(seconds $cli send --changed "$dir/list.lis")
bytes=$(grep -c 'write block' "$dir/emulator.log")
echo "full send of 200 pages: ${full} s"
echo "send --changed, page 117 changed: ${changed} s"
echo "write blocks received in all: $bytes (200 + glyphs + play table, then page 117 + play table)"
