#!/usr/bin/env bash
# A soak run of the sign service: 20 emulated signs on 5 lines (4 controllers
# each, one line behind ser2net), each showing a still page and a live page
# that renders anew every 10 s (a count that a script writes every 10 s, and
# the time), sent as changed pages only.
#   bench/service-soak.sh [MINUTES]   (30; from the checkout, after a build)
# LINES=10 PER_LINE=5 bench/service-soak.sh 5: another number of signs.
# Prints the transfers done, the failures, the service's peak RSS and the
# CPU seconds it used.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
lines=${LINES:-5}
per=${PER_LINE:-4}
cli=$PWD/build/marquee-cli
dir=$(mktemp -d /tmp/marquee-soak.XXXXXX)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; }
trap cleanup EXIT

also=()
for num in $(seq 2 "$per"); do also+=(--also-num "$num"); done
for line in $(seq "$lines"); do
    "$cli" --folder "$dir" emulate --port "$line" --num 1 "${also[@]}" \
        --out "$dir/out$line" --timeout 86400 >"$dir/emulator$line.log" 2>&1 &
    pids+=($!)
done
for line in $(seq "$lines"); do
    for _ in $(seq 100); do [ -e "$dir/com$line" ] && break; sleep 0.1; done
done
tcp=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat >"$dir/ser2net.yaml" <<YAML
connection: &line5
  accepter: tcp,127.0.0.1,$tcp
  connector: serialdev,$dir/com$lines,9600n81,local
YAML
/usr/sbin/ser2net -n -u -P "$dir/ser2net.pid" -c "$dir/ser2net.yaml" &
pids+=($!)
sleep 1

convert -size 64x16 xc:black -fill red -draw "line 0,4 31,4" "$dir/still.bmp"
printf 'still.bmp\r\n1\r\n0\r\n0\r\n5\r\n2\r\nclock.live\r\n1\r\n0\r\n0\r\n5\r\n2\r\n' >"$dir/live.lis"
echo '{"text": "{time} {file:count.txt}", "size": 12, "refresh": 10}' >"$dir/clock.live"
echo 0 >"$dir/count.txt"
(for i in $(seq 100000); do sleep 10; echo $i >"$dir/count.tmp"; mv "$dir/count.tmp" "$dir/count.txt"; done) &
pids+=($!)
{
    echo '{"signs": ['
    for line in $(seq "$lines"); do
        port=""
        [ "$line" = "$lines" ] && port="tcp://127.0.0.1:$tcp"
        for num in $(seq "$per"); do
            sep=","
            [ "$line" = "$lines" ] && [ "$num" = "$per" ] && sep=""
            echo "  {\"name\": \"L$line-$num\", \"comm\": $line, \"port\": \"$port\", \"num\": $num," \
                "\"list\": \"live.lis\", \"sendChangesOnly\": true}$sep"
        done
    done
    echo ']}'
} >"$dir/signs.json"

/usr/bin/time -v -o "$dir/time.txt" "$cli" --folder "$dir" serve >"$dir/serve.log" 2>&1 &
serve=$!
sleep $((minutes * 60))
pkill -TERM -P $serve
wait $serve || true

echo "folder: $dir"
echo "transfers acknowledged: $(grep -c 'rec success!\|time success!' "$dir/serve.log" || true)"
echo "failures: $(grep -c -E 'no reply|port error|wrong reply|refused' "$dir/serve.log" || true)"
grep -E "Maximum resident|User time|System time" "$dir/time.txt"
