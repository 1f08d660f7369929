#!/usr/bin/env bash
# Wall time, CPU time and peak memory of karaoke-ctl backing up and restoring N simulated boxes at
# once (default: 1 and 20). Each box is a box-sim process on its own pseudo-terminal.
# Usage: tests/cli/measure_ctl.sh BUILD_FOLDER [N...]
set -euo pipefail
build="${1:?build folder}"
shift
counts=("$@")
[ ${#counts[@]} -eq 0 ] && counts=(1 20)
. "$(dirname "$0")/measure_lib.sh"
[ -n "${KEEP:-}" ] && echo "work: $work"

for n in "${counts[@]}"; do
  ports=()
  for i in $(seq 1 "$n"); do
    "$sim" >"$work/sim$i" &
    pids+=($!)
  done
  for i in $(seq 1 "$n"); do
    for _ in $(seq 1 100); do [ -s "$work/sim$i" ] && break; sleep 0.05; done
    ports+=(--port "$(head -n 1 "$work/sim$i")")
  done
  rm -rf "$work/out$n"
  /usr/bin/time -f "$n box(es) backup: %e s wall, %U s user + %S s system CPU, %M KiB peak" \
    "$ctl" backup "${ports[@]}" -o "$work/out$n" >"$work/saved$n" 2>"$work/backup$n.err" || true
  tail -n 2 "$work/backup$n.err"
  file=$(head -n 1 "$work/saved$n")
  /usr/bin/time -f "$n box(es) restore: %e s wall, %U s user + %S s system CPU, %M KiB peak" \
    "$ctl" restore "${ports[@]}" "$file" >/dev/null 2>"$work/restore$n.err" || true
  tail -n 2 "$work/restore$n.err"
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
done
