#!/usr/bin/env bash
# Figures of boxes reached through a serial device server (ser2net on 127.0.0.1 in front of
# box-sim's pseudo-terminals), each against the cable in the same run:
#   - the editor's download over the cable, raw TCP and RFC 2217 (median of 3, and the ratio);
#   - karaoke-ctl backup of 20 boxes behind 20 ser2net ports against one box behind one;
#   - CPU and memory of the editor connected for 60 s (SECONDS_CONNECTED), cable and network.
# Usage: tests/cli/measure_network.sh BUILD_FOLDER
set -euo pipefail
build="${1:?build folder}"
ser2net=$(command -v ser2net || echo /usr/sbin/ser2net)
[ -x "$ser2net" ] || { echo "ser2net is not installed: no network figures"; exit 0; }
editor="$build/src/app/karaoke-controller"
connected_s="${SECONDS_CONNECTED:-60}"
export QT_QPA_PLATFORM=offscreen
. "$(dirname "$0")/measure_lib.sh"

# Starts N box-sims and one ser2net with a raw and a Telnet accepter in front of each; sets
# devices[], raw[] and telnet[] (addresses).
base_port=$((42000 + RANDOM % 2000))
serve() {
  local n=$1 tag=$2 config="$work/ser2net-$2.yaml"
  devices=() raw=() telnet=()
  echo "%YAML 1.1" >"$config"
  echo "---" >>"$config"
  for i in $(seq 1 "$n"); do
    "$sim" >"$work/sim-$tag-$i" &
    pids+=($!)
  done
  for i in $(seq 1 "$n"); do
    for _ in $(seq 1 100); do [ -s "$work/sim-$tag-$i" ] && break; sleep 0.05; done
    local device port_raw port_telnet
    device=$(head -n 1 "$work/sim-$tag-$i")
    port_raw=$((base_port++))
    port_telnet=$((base_port++))
    devices+=("$device")
    raw+=("tcp://127.0.0.1:$port_raw")
    telnet+=("rfc2217://127.0.0.1:$port_telnet")
    cat >>"$config" <<YAML
connection: &raw$i
  accepter: tcp,127.0.0.1,$port_raw
  connector: serialdev,$device,57600n81,local
  options:
    mdns: false
connection: &telnet$i
  accepter: telnet(rfc2217),tcp,127.0.0.1,$port_telnet
  connector: serialdev,$device,57600n81,local
  options:
    mdns: false
YAML
  done
  "$ser2net" -n -u -c "$config" -P "$work/ser2net-$tag.pid" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 1 100); do
    [ "$(ss -ltn | grep -c '127.0.0.1:')" -ge $((2 * n)) ] && break
    sleep 0.05
  done
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

serve 1 one
echo "== download by the editor (median of 3 runs each, interleaved)"
for run in 1 2 3; do
  for form in cable tcp rfc2217; do
    case $form in
      cable) port=${devices[0]} ;;
      tcp) port=${raw[0]} ;;
      rfc2217) port=${telnet[0]} ;;
    esac
    "$editor" --measure --port "$port" 2>/dev/null | awk '/^download:/ { print $2 }' \
      >>"$work/download-$form"
  done
done
cable_ms=$(median <"$work/download-cable")
for form in cable tcp rfc2217; do
  ms=$(median <"$work/download-$form")
  echo "download over $form: $ms ms (runs: $(tr '\n' ' ' <"$work/download-$form")), ratio to the cable $(awk -v a="$ms" -v b="$cable_ms" 'BEGIN { printf "%.3f", a / b }')"
done

echo "== karaoke-ctl backup behind ser2net (RFC 2217)"
/usr/bin/time -o "$work/time1" -f "%e %M" "$ctl" backup --port "${telnet[0]}" \
  -o "$work/backup1" >/dev/null 2>&1 || true
one_s=$(tail -n 1 "$work/time1")
serve 20 twenty
ports=()
for address in "${telnet[@]}"; do ports+=(--port "$address"); done
/usr/bin/time -o "$work/time20" -f "%e %M" "$ctl" backup "${ports[@]}" -o "$work/backup20" \
  >/dev/null 2>&1 || true
twenty_s=$(tail -n 1 "$work/time20")
saved=$(find "$work/backup20" -name '*.Nddt' | wc -l)
echo "backup of 1 box: ${one_s% *} s wall, ${one_s#* } KiB peak"
echo "backup of 20 boxes: ${twenty_s% *} s wall, ${twenty_s#* } KiB peak, $saved files written"
echo "20 boxes against 1: ratio $(awk -v a="${twenty_s% *}" -v b="${one_s% *}" 'BEGIN { printf "%.3f", a / b }')"

echo "== the editor connected for $connected_s s"
ticks=$(getconf CLK_TCK)
for form in cable rfc2217; do
  port=${devices[0]}
  [ "$form" = rfc2217 ] && port=${telnet[0]}
  "$editor" --port "$port" >/dev/null 2>&1 &
  editor_pid=$!
  pids+=("$editor_pid")
  sleep 10  # start-up and download
  cpu() { awk '{ print $14 + $15 }' "/proc/$editor_pid/stat"; }
  before=$(cpu)
  sleep "$connected_s"
  after=$(cpu)
  rss=$(awk '/VmRSS/ { print $2 }' "/proc/$editor_pid/status")
  kill "$editor_pid" 2>/dev/null || true
  wait "$editor_pid" 2>/dev/null || true
  echo "editor over $form: $(awk -v t=$((after - before)) -v hz="$ticks" -v s="$connected_s" \
    'BEGIN { printf "%.2f %% of one core", 100 * t / hz / s }'), resident memory $rss KiB"
done
