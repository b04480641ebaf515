#!/usr/bin/env bash
# A fleet on one broker: SERVICES sign services (sites), each with BUSES
# emulated RS-485 buses of PER_BUS controllers (200 signs by default), one
# text command to every sign of every site ("*" on each site's cmd topic).
# Prints the time from the first command until every result is published
# and the peak resident memory of the services.
#   bench/mqtt-fleet.sh [BUILD_DIR]      (SERVICES=10 BUSES=4 PER_BUS=5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
services=${SERVICES:-10}
buses=${BUSES:-4}
per_bus=${PER_BUS:-5}
signs=$((services * buses * per_bus))
dir=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')

/usr/sbin/mosquitto -p "$port" > "$dir/broker.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do mosquitto_pub -p "$port" -t probe -n 2>/dev/null && break; sleep 0.1; done

service_pids=()
for s in $(seq "$services"); do
    site="$dir/site$s"
    mkdir -p "$site"
    book='{"signs":['
    for b in $(seq "$buses"); do
        also=()
        for n in $(seq "$per_bus"); do
            [ "$n" -gt 1 ] && also+=(--also-num "$n")
            [ "$b$n" != 11 ] && book+=','
            book+="{\"name\":\"bus$b sign$n\",\"port\":\"\",\"num\":$n,\"width\":64,\"height\":16,\"comm\":$b}"
        done
        "$build/marquee-cli" --folder "$site" emulate --port "$b" --num 1 "${also[@]}" \
            --out "$site/out$b" --timeout 600 > "$site/emulator$b.log" 2>&1 &
        pids+=($!)
    done
    echo "$book]}" > "$site/signs.json"
    for b in $(seq "$buses"); do
        for _ in $(seq 100); do [ -e "$site/com$b" ] && break; sleep 0.1; done
    done
    "$build/marquee-cli" --folder "$site" serve --mqtt "mqtt://127.0.0.1:$port" --site "site$s" \
        > "$site/serve.log" 2>&1 &
    pids+=($!)
    service_pids+=($!)
done

# Every sign's status retained: the fleet is up.
for _ in $(seq 300); do
    up=$(mosquitto_sub -p "$port" -t 'marquee/+/+/status' --retained-only -W 1 2>/dev/null | wc -l || true)
    [ "$up" -ge "$signs" ] && break
done
echo "signs up: $up of $signs"

mosquitto_sub -p "$port" -t 'marquee/+/+/result' -C "$signs" > "$dir/results.txt" &
sub=$!
sleep 0.5
start=$(date +%s%N)
for s in $(seq "$services"); do
    mosquitto_pub -p "$port" -q 1 -t "marquee/site$s/*/cmd" \
        -m '{"id": "fleet-1", "command": "text", "text": "Service resumes at 14:00"}'
done
wait "$sub"
ms=$((($(date +%s%N) - start) / 1000000))
ok=$(grep -c '"ok":true' "$dir/results.txt" || true)
peak=0
total=0
for pid in "${service_pids[@]}"; do
    kb=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
    total=$((total + kb))
    [ "$kb" -gt "$peak" ] && peak=$kb
done
printf 'results: %d of %d ok, all published after %d.%03d s\n' "$ok" "$signs" $((ms / 1000)) $((ms % 1000))
printf 'service peak RSS: largest %d MiB, all %d services %d MiB\n' $((peak / 1024)) "$services" $((total / 1024))
