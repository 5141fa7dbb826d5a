#!/usr/bin/env bash
# The program as a desktop process, on a virtual X server: time to its first
# shown main window and peak memory, each next to a minimal Qt Widgets program,
# and the CPU it uses while idle with an empty queue. Figures only.
# Usage: bench/desktop_figures.sh [BUILD_DIR] [IDLE_SECONDS] [RUNS]  (default: build, 60, 5)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
idle_seconds=${2:-60}
runs=${3:-5}
program=$build/app/tallowick
minimal=$build/bench/bench_minimal_window
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
[ -x "$program" ] && [ -x "$minimal" ] || { echo "build tallowick and bench_minimal_window first" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  for pid in $app_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$work/display")
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hwm_kib() { awk '/^VmHWM:/{print $2}' "/proc/$1/status"; }

# Starts a program, waits until a window with the given title is shown, and
# prints the milliseconds that took and the peak resident memory in KiB.
measure_start() {
  local title=$1; shift
  local t0 t1 pid
  t0=$(date +%s%N)
  (cd "$work" && exec "$@") >/dev/null 2>&1 &
  pid=$!
  # Polled every 10 ms: xdotool's own --sync waits half a second between looks.
  until xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || { echo "$1 ended before showing a window" >&2; return 1; }
    (( $(date +%s%N) - t0 < 30000000000 )) || { echo "no window from $1 in 30 s" >&2; kill "$pid"; return 1; }
    sleep 0.01
  done
  t1=$(date +%s%N)
  sleep 1
  echo "$(( (t1 - t0) / 1000000 )) $(hwm_kib "$pid")"
  kill "$pid"; wait "$pid" 2>/dev/null || true
}

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

for name in tallowick minimal; do
  : >"$work/$name.ms"; : >"$work/$name.kib"
  for _ in $(seq "$runs"); do
    if [ $name = tallowick ]; then
      read -r ms kib < <(measure_start '^Tallowick' "$program")
    else
      read -r ms kib < <(measure_start '^Minimal Qt window' "$minimal")
    fi
    echo "$ms" >>"$work/$name.ms"; echo "$kib" >>"$work/$name.kib"
  done
done
t_ms=$(median <"$work/tallowick.ms"); m_ms=$(median <"$work/minimal.ms")
t_kib=$(median <"$work/tallowick.kib"); m_kib=$(median <"$work/minimal.kib")

# Idle: an empty queue, the clock caption ticking every second and the
# scheduler every ten.
(cd "$work" && exec "$program") >/dev/null 2>&1 &
app_pid=$!
until xdotool search --onlyvisible --name '^Tallowick' >/dev/null 2>&1; do sleep 0.05; done
sleep 2
before=$(cpu_ticks "$app_pid")
sleep "$idle_seconds"
after=$(cpu_ticks "$app_pid")
idle_pct=$(awk -v t=$((after - before)) -v hz="$ticks" -v s="$idle_seconds" 'BEGIN {printf "%.2f", 100 * t / hz / s}')

printf 'Start-up to the first shown window (median of %d runs): tallowick %d ms, minimal Qt window %d ms, ratio %s (target <= 1.5)\n' \
  "$runs" "$t_ms" "$m_ms" "$(awk -v a="$t_ms" -v b="$m_ms" 'BEGIN {printf "%.2f", a / b}')"
printf 'Peak resident memory (median): tallowick %d KiB, minimal Qt window %d KiB, ratio %s (target <= 1.5)\n' \
  "$t_kib" "$m_kib" "$(awk -v a="$t_kib" -v b="$m_kib" 'BEGIN {printf "%.2f", a / b}')"
printf 'CPU while idle with an empty queue for %d s: %s%% of one core (target < 0.5%%)\n' "$idle_seconds" "$idle_pct"
