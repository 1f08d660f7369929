#!/usr/bin/env bash
# Figures of karaoke-ctl with a venue of 100 rooms, one box-sim on a pseudo-terminal per room:
#   - status of all 100 rooms at once: wall time and peak memory (goal: at most 3 s on 2 cores);
#   - backup --venue of the 100 rooms against a venue of 1 room: wall time of each, their ratio
#     (goal: at most 1.05) and peak memory of both.
# Each is run RUNS times (default 3), interleaved; the median wall time is the figure.
# Usage: tests/cli/measure_venue.sh BUILD_FOLDER
set -euo pipefail
build="${1:?build folder}"
rooms=100
runs="${RUNS:-3}"
# karaoke-ctl holds a port per room, and this script a pipe per box-sim.
limit=$(ulimit -n)
if [ "$limit" != unlimited ] && [ "$limit" -lt 4096 ]; then ulimit -n 4096; fi
. "$(dirname "$0")/measure_lib.sh"

for i in $(seq 1 "$rooms"); do
  "$sim" >"$work/sim-$i" &
  pids+=($!)
done
echo "# every room's box" >"$work/venue-$rooms.toml"
for i in $(seq 1 "$rooms"); do
  for _ in $(seq 1 100); do [ -s "$work/sim-$i" ] && break; sleep 0.05; done
  device=$(head -n 1 "$work/sim-$i")
  [ -n "$device" ] || { echo "box-sim $i did not start"; exit 1; }
  printf '[[room]]\nname = "包厢 %03d"\nport = "%s"\n' "$i" "$device" >>"$work/venue-$rooms.toml"
  if [ "$i" = 1 ]; then cp "$work/venue-$rooms.toml" "$work/venue-1.toml"; fi
done

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
largest() { sort -n | tail -n 1; }

# Runs karaoke-ctl under /usr/bin/time; appends "SECONDS KIB" to $work/$1.
timed() {
  local tag=$1
  shift
  /usr/bin/time -o "$work/time" -f "%e %M" "$ctl" "$@" >"$work/out" 2>"$work/err" || true
  tail -n 1 "$work/time" >>"$work/$tag"
}

echo "== karaoke-ctl status of $rooms rooms at once ($runs runs)"
for run in $(seq 1 "$runs"); do
  timed status status --venue "$work/venue-$rooms.toml"
  ok=$(awk -F '\t' '$3 == "ok"' "$work/out" | wc -l)
  echo "run $run: $(tail -n 1 "$work/status" | awk '{ printf "%s s wall, %s KiB peak", $1, $2 }'), $ok of $rooms rooms ok"
done
echo "status of $rooms rooms: median $(awk '{ print $1 }' "$work/status" | median) s wall" \
  "(goal 3 s), peak memory $(awk '{ print $2 }' "$work/status" | largest) KiB"

echo "== karaoke-ctl backup --venue: $rooms rooms against 1 ($runs runs each, interleaved)"
for run in $(seq 1 "$runs"); do
  for n in 1 "$rooms"; do
    timed "backup-$n" backup --venue "$work/venue-$n.toml" -o "$work/backup-$n-$run"
    saved=$(find "$work/backup-$n-$run" -name '*.Nddt' | wc -l)
    echo "run $run, $n room(s): $(tail -n 1 "$work/backup-$n" | awk '{ printf "%s s wall, %s KiB peak", $1, $2 }'), $saved file(s) written"
  done
done
one_s=$(awk '{ print $1 }' "$work/backup-1" | median)
all_s=$(awk '{ print $1 }' "$work/backup-$rooms" | median)
echo "backup of 1 room: median $one_s s wall, peak memory $(awk '{ print $2 }' "$work/backup-1" | largest) KiB"
echo "backup of $rooms rooms: median $all_s s wall, peak memory $(awk '{ print $2 }' "$work/backup-$rooms" | largest) KiB"
echo "$rooms rooms against 1: ratio $(awk -v a="$all_s" -v b="$one_s" 'BEGIN { printf "%.3f", a / b }') (goal 1.05)"
