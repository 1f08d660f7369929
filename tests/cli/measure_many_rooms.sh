#!/usr/bin/env bash
# Figures of karaoke-ctl with a venue of 1,000 rooms under the usual desktop descriptor limit
# (ulimit -n 1024), the boxes served by three box-sim processes (--count):
#   - status of the 1,000 rooms: wall time and peak memory (goal: at most 3 s), and whether every
#     room got its true state: 990 working boxes ok, 5 that acknowledge the probe and never give
#     their identity (--no-identity) and 5 that flood the line (--flood) "no answer";
#   - peak memory of backup against a box that floods 50 MB of random bytes, against a backup of
#     a working box (goal: at most 10 MB more).
# Each is run RUNS times (default 3); the median wall time and the largest peak are the figures.
# Usage: tests/cli/measure_many_rooms.sh BUILD_FOLDER
set -euo pipefail
build="${1:?build folder}"
runs="${RUNS:-3}"
. "$(dirname "$0")/measure_lib.sh"

start_sims() {  # COUNT FILE [box-sim switches]: COUNT boxes, their paths in FILE
  local count=$1 file=$2
  shift 2
  "$sim" --count "$count" "$@" >"$file" &
  pids+=($!)
  for _ in $(seq 1 200); do [ "$(wc -l <"$file")" -ge "$count" ] && break; sleep 0.05; done
  [ "$(wc -l <"$file")" -ge "$count" ] || { echo "box-sim did not start $count boxes"; exit 1; }
}
start_sims 990 "$work/good" --identity 10000000
start_sims 5 "$work/silent-id" --identity 20000000 --no-identity
start_sims 5 "$work/flood" --identity 30000000 --flood 50000000
# The room's name says the state it must get.
{
  awk '{ printf "[[room]]\nname = \"ok %d\"\nport = \"%s\"\n", NR, $0 }' "$work/good"
  awk '{ printf "[[room]]\nname = \"no answer %d\"\nport = \"%s\"\n", NR, $0 }' \
    "$work/silent-id" "$work/flood"
} >"$work/venue.toml"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
largest() { sort -n | tail -n 1; }
timed() {  # TAG ARGS...: appends "SECONDS KIB" to $work/TAG
  local tag=$1
  shift
  (ulimit -Sn 1024 && /usr/bin/time -o "$work/time" -f "%e %M" "$ctl" "$@" >"$work/out" \
    2>"$work/err") || true
  tail -n 1 "$work/time" >>"$work/$tag"
}

echo "== karaoke-ctl status of 1000 rooms under ulimit -n 1024 ($runs runs)"
for run in $(seq 1 "$runs"); do
  timed status status --venue "$work/venue.toml"
  right=$(awk -F '\t' '$1 ~ "^" $3 " [0-9]+$"' "$work/out" | wc -l)
  states=$(cut -f 3 "$work/out" | sort | uniq -c | awk '{ n = $1; $1 = ""; printf "%s%s%s", sep, n, $0; sep = "," }')
  echo "run $run: $(tail -n 1 "$work/status" | awk '{ printf "%s s wall, %s KiB peak", $1, $2 }'), $right of 1000 rooms in their true state ($states)"
done
echo "status of 1000 rooms: median $(awk '{ print $1 }' "$work/status" | median) s wall" \
  "(goal 3 s), peak memory $(awk '{ print $2 }' "$work/status" | largest) KiB"

echo "== karaoke-ctl backup against a 50 MB flood and against a working box ($runs runs each)"
for run in $(seq 1 "$runs"); do
  timed backup-flood backup --port "$(head -n 1 "$work/flood")" -o "$work/b-flood-$run"
  why=$(grep -o 'the line sent [0-9]* bytes that were no frame' "$work/err" || echo "no flood reported")
  timed backup-idle backup --port "$(head -n 1 "$work/good")" -o "$work/b-idle-$run"
  echo "run $run: flood $(tail -n 1 "$work/backup-flood" | awk '{ printf "%s s, %s KiB peak", $1, $2 }') ($why)," \
    "working box $(tail -n 1 "$work/backup-idle" | awk '{ printf "%s s, %s KiB peak", $1, $2 }')"
done
flood_kib=$(awk '{ print $2 }' "$work/backup-flood" | largest)
idle_kib=$(awk '{ print $2 }' "$work/backup-idle" | largest)
echo "backup peak memory: flood $flood_kib KiB, working box $idle_kib KiB, difference" \
  "$((flood_kib - idle_kib)) KiB (goal at most 10240 KiB)"
