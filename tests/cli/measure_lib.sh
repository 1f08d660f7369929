# What the measurement scripts share (sourced after `build` is set): the programs, a work folder
# and the background processes started into `pids`, all gone when the script ends.
ctl="$build/src/cli/karaoke-ctl"
sim="$build/tools/box-sim/box-sim"
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
