#!/usr/bin/env bash
# Figures of karaoke-ctl check and apply, against boxes served by one box-sim (--count):
#   - check of 100 rooms against check of 1 room: wall time of each, their ratio (goal: at most
#     1.1) and peak memory;
#   - apply of 20 rooms with 3 differences each against apply of 1 room: wall time, ratio (goal:
#     at most 2.5, the first room going alone before the others) and peak memory. Each run
#     swaps the rooms' baseline between two files 3 system items apart, so every run sends 3.
# Each is run RUNS times (default 3), interleaved; the median wall time is the figure.
# Usage: tests/cli/measure_check_apply.sh BUILD_FOLDER
set -euo pipefail
build="${1:?build folder}"
rooms=100
applied=20
runs="${RUNS:-3}"
limit=$(ulimit -n)
if [ "$limit" != unlimited ] && [ "$limit" -lt 4096 ]; then ulimit -n 4096; fi
. "$(dirname "$0")/measure_lib.sh"

# Boxes 1..100 for check, 101 for the apply of one room, 102..121 for the apply of 20.
total=$((rooms + 1 + applied))
"$sim" --count "$total" >"$work/sims" &
pids+=($!)
for _ in $(seq 1 200); do [ "$(wc -l <"$work/sims")" -ge "$total" ] && break; sleep 0.05; done
mapfile -t ports <"$work/sims"
[ "${#ports[@]}" -ge "$total" ] || { echo "box-sim did not serve $total boxes"; exit 1; }

# The factory settings as a box backup, and the same with three volumes turned.
"$ctl" backup --port "${ports[0]}" -o "$work/snap" >/dev/null 2>&1
factory=$(find "$work/snap" -name '*.kbox' | head -n 1)
[ -n "$factory" ] || { echo "backup wrote no box backup"; exit 1; }
cp "$factory" "$work/a.kbox"
sed -e 's/^"06" = [0-9]*/"06" = 10/' -e 's/^"08" = [0-9]*/"08" = 11/' \
  -e 's/^"0A" = [0-9]*/"0A" = 12/' "$factory" >"$work/b.kbox"

# venue FILE FIRST COUNT BASELINE: rooms on ports FIRST .. FIRST + COUNT - 1.
venue() {
  : >"$1"
  for i in $(seq "$2" $(($2 + $3 - 1))); do
    printf '[[room]]\nname = "包厢 %03d"\nport = "%s"\nbaseline = "%s"\n' "$i" "${ports[$i]}" \
      "$4" >>"$1"
  done
}
venue "$work/check-$rooms.toml" 0 "$rooms" "$work/a.kbox"
venue "$work/check-1.toml" 0 1 "$work/a.kbox"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
largest() { sort -n | tail -n 1; }
timed() {
  local tag=$1
  shift
  /usr/bin/time -o "$work/time" -f "%e %M" "$ctl" "$@" >"$work/out" 2>"$work/err" || true
  tail -n 1 "$work/time" >>"$work/$tag"
}
report() {  # NAME TAG GOAL
  local one all
  one=$(awk '{ print $1 }' "$work/$2-1" | median)
  all=$(awk '{ print $1 }' "$work/$2-$3" | median)
  echo "$1 of 1 room: median $one s wall, peak memory $(awk '{ print $2 }' "$work/$2-1" | largest) KiB"
  echo "$1 of $3 rooms: median $all s wall, peak memory $(awk '{ print $2 }' "$work/$2-$3" | largest) KiB"
  echo "$3 rooms against 1: ratio $(awk -v a="$all" -v b="$one" 'BEGIN { printf "%.3f", a / b }') (goal $4)"
}

echo "== karaoke-ctl check: $rooms rooms against 1 ($runs runs each, interleaved)"
for run in $(seq 1 "$runs"); do
  for n in 1 "$rooms"; do
    timed "check-$n" check --venue "$work/check-$n.toml"
    same=$(awk -F '\t' '$2 == "same"' "$work/out" | wc -l)
    echo "run $run, $n room(s): $(tail -n 1 "$work/check-$n" | awk '{ printf "%s s wall, %s KiB peak", $1, $2 }'), $same same"
  done
done
report check check "$rooms" 1.1

echo "== karaoke-ctl apply: $applied rooms with 3 differences each against 1 ($runs runs each)"
for run in $(seq 1 "$runs"); do
  baseline="$work/b.kbox"
  [ $((run % 2)) = 0 ] && baseline="$work/a.kbox"
  venue "$work/apply-1.toml" $((rooms)) 1 "$baseline"
  venue "$work/apply-$applied.toml" $((rooms + 1)) "$applied" "$baseline"
  for n in 1 "$applied"; do
    timed "apply-$n" apply --venue "$work/apply-$n.toml" --all
    changed=$(awk -F '\t' '$2 == "changed"' "$work/out" | wc -l)
    echo "run $run, $n room(s): $(tail -n 1 "$work/apply-$n" | awk '{ printf "%s s wall, %s KiB peak", $1, $2 }'), $changed changed"
  done
done
report apply apply "$applied" 2.5
