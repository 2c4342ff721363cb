#!/usr/bin/env bash
# The CPU zt-record uses while recording at 2 readings per second: the
# simulated meter sends a frame every 0.5 s, zt-record writes a CSV file, and
# its user + system time is read from /proc over SECONDS (default 60).
# Usage: scripts/measure-record-cpu.sh [build folder] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/dev}
SECS=${2:-60}
export RLC_DATA_DIR=$(mktemp -d)
trap 'kill $SIM $REC 2> /dev/null || true; rm -rf "$RLC_DATA_DIR"' EXIT
"$BUILD/sim/zt-meter-sim" --interval 0.5 --connect-delay 30 > /dev/null 2>&1 &
SIM=$!
sleep 0.5
"$BUILD/record/zt-record" --out "$RLC_DATA_DIR/cpu.csv" --wait 10 2> "$RLC_DATA_DIR/err" &
REC=$!
for _ in $(seq 100); do grep -q "recording into" "$RLC_DATA_DIR/err" && break; sleep 0.1; done
grep -q "recording into" "$RLC_DATA_DIR/err" || { cat "$RLC_DATA_DIR/err" >&2; exit 1; }
ticks() { awk '{print $14 + $15}' "/proc/$REC/stat"; }
t0=$(ticks); s0=$(date +%s.%N)
sleep "$SECS"
t1=$(ticks); s1=$(date +%s.%N)
rows=$(($(wc -l < "$RLC_DATA_DIR/cpu.csv") - 1))
kill -INT $REC
wait $REC
awk -v t="$((t1 - t0))" -v hz="$(getconf CLK_TCK)" -v w="$(echo "$s1 - $s0" | bc)" -v rows="$rows" \
  'BEGIN { printf "zt-record: %.2f s of CPU in %.1f s (%.3f %% of a core), %d rows written\n", t / hz, w, 100 * t / hz / w, rows }'
