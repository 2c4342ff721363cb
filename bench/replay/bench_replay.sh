#!/usr/bin/env bash
# Replay of a 10,000-frame capture through zt-record: zt-meter-sim --replay
# at --speed 1000 (by default) on a pseudo-terminal, zt-record writing JSON
# lines from it; prints the frames the replay delivered, the rows written and
# the time taken. Bursts stay at least 20 ms apart whatever the speed (the
# logger ends a burst after 10 ms of silence), so the floor sets the pace.
#
#   bash bench/replay/bench_replay.sh [BUILD_DIR] [FRAMES] [SPEED]
set -euo pipefail
build=$(cd "${1:-build/ci}" && pwd)
frames=${2:-10000}
speed=${3:-1000}
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$work"' EXIT
export RLC_DATA_DIR=$work

# A dongle's dialogue, the wake-up where zt-record sends it, then the frames
# of a capture of our own (tests/captures), over and over, 0.5 s apart.
python3 - "$here/tests/captures/dongle-resistors.ztcap" "$frames" > "$work/big.ztcap" <<'PY'
import sys
src, n = sys.argv[1], int(sys.argv[2])
frames = [l.split()[4] for l in open(src) if not l.startswith('#') and l.split()[1] == 'rx' and len(l.split()[4]) == 36]
print('# zt-capture 1')
print('# made by bench_replay.sh from', src.rsplit('/', 1)[-1])
out = [(0.0, 'tx', '41542b434f4e4e4c'), (0.010, 'rx', '4f4b2b434f4e4e4c'), (0.050, 'rx', '4f4b2b434f4e4e'),
       (1.050, 'tx', '800101010a01')]
for i in range(n):
    out.append((0.5 + 0.5 * i + (0.02 if i == 1 else 0), 'rx', frames[i % len(frames)]))
for t, d, h in sorted(out, key=lambda x: x[0]):
    print('%.6f %s serial bench %s' % (t, d, h))
PY

"$build/sim/zt-meter-sim" --replay "$work/big.ztcap" --speed "$speed" 2> "$work/sim.err" &
sim=$!
sleep 0.5
start=$(date +%s.%N)
# exec: $rec is zt-record itself, which finishes its file on SIGTERM.
( cd "$here" && exec "$build/record/zt-record" --quiet --wait 20 --out "$work/rows.jsonl" 2> "$work/rec.err" ) &
rec=$!
until grep -q "played to its end" "$work/sim.err"; do
  kill -0 $rec 2>/dev/null || break
  sleep 0.2
done
sleep 1
kill -TERM $rec 2>/dev/null || true
wait $rec || true
end=$(date +%s.%N)
kill $sim; wait $sim 2>/dev/null || true
sent=$(sed -n 's/.*frames sent: //p' "$work/sim.err")
rows=$(wc -l < "$work/rows.jsonl")
echo "capture: $frames frames, 0.5 s apart; speed $speed"
echo "frames delivered by the replay: $sent"
echo "rows written by zt-record: $rows"
echo "frames not logged: $((sent - rows))"
printf 'time: %.1f s (%.1f frames/s)\n' "$(echo "$end - $start" | bc)" "$(echo "$sent / ($end - $start)" | bc -l)"
