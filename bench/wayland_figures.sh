#!/usr/bin/env bash
# The program as a native Wayland client, under weston's headless compositor:
# time from process launch to its first window shown on weston's output, and
# its resident memory at that moment, each next to a minimal Qt Widgets
# program. Figures only.
#
# "Shown" is what weston itself says: its protocol dump (weston --debug,
# weston-debug proto) records, to the millisecond, the wl_surface.enter event
# it sends when the window's surface appears on the output. The launch time
# is taken from the same clock just before the program starts. The memory is
# VmRSS read as soon as the event is in the dump (polled every 10 ms), and
# VmHWM one second later, as desktop_figures.sh reports it on X11.
# Usage: bench/wayland_figures.sh [BUILD_DIR] [RUNS]   (default: build, 9)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${2:-9}
program=$build/app/tallowick
minimal=$build/bench/bench_minimal_window
for tool in weston weston-debug qtpaths6; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
[ -f "$(qtpaths6 --query QT_INSTALL_PLUGINS)/platforms/libqwayland-generic.so" ] ||
  { echo "Qt's Wayland plug-in is not installed (qt6-wayland)" >&2; exit 1; }
[ -x "$program" ] && [ -x "$minimal" ] || { echo "build tallowick and bench_minimal_window first" >&2; exit 1; }

work=$(mktemp -d) # mode 0700, as weston wants its XDG_RUNTIME_DIR
weston_pid=
debug_pid=
app_pid=
cleanup() {
  for pid in $app_pid $debug_pid $weston_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR=$work
unset DISPLAY
TZ=UTC weston --backend=headless-backend.so --socket=bench --width=1280 --height=1024 \
  --idle-time=0 --debug >"$work/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do [ -S "$work/bench" ] && break; sleep 0.05; done
export WAYLAND_DISPLAY=bench QT_QPA_PLATFORM=wayland LANG=C.UTF-8 LC_ALL=C.UTF-8
weston-debug proto -o "$work/proto.log" >/dev/null 2>&1 &
debug_pid=$!
for _ in $(seq 100); do [ -e "$work/proto.log" ] && break; sleep 0.05; done
mkdir "$work/cwd"

# Starts a program, waits until weston shows its window, and prints the
# milliseconds from launch to that, the resident memory then and the peak
# one second later, both in KiB.
measure_start() {
  local title=$1; shift
  local offset t0 rss mapped pid
  offset=$(($(stat -c %s "$work/proto.log") + 1))
  t0=$(date +%s%N)
  (cd "$work/cwd" && exec "$@") >/dev/null 2>&1 &
  pid=$!
  until tail -c "+$offset" "$work/proto.log" | grep -q ' ev wl_surface@[0-9]*\.enter('; do
    kill -0 "$pid" 2>/dev/null || { echo "$1 ended before showing a window" >&2; return 1; }
    (( $(date +%s%N) - t0 < 30000000000 )) || { echo "no window from $1 in 30 s" >&2; kill "$pid"; return 1; }
    sleep 0.01
  done
  rss=$(awk '/^VmRSS:/{print $2}' "/proc/$pid/status")
  sleep 1
  # The exact time of the event, for the window with that title.
  mapped=$(/usr/bin/python3 -c '
import re, sys
sys.path.insert(0, sys.argv[1])
import weston_proto
log, title, t0 = sys.argv[2], sys.argv[3], int(sys.argv[4]) / 1e9
shown = [w["mapped"] for w in weston_proto.read(log)
         if re.match(title, w["title"]) and w["mapped"] and w["created"] >= t0 - 0.001]
print(round((shown[0] - t0) * 1000) if shown else "")' "$here/../tests/e2e" "$work/proto.log" "$title" "$t0")
  [ -n "$mapped" ] || { echo "weston did not show a window titled $title" >&2; kill "$pid"; return 1; }
  echo "$mapped $rss $(awk '/^VmHWM:/{print $2}' "/proc/$pid/status")"
  kill "$pid"; wait "$pid" 2>/dev/null || true
}

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

for name in tallowick minimal; do
  : >"$work/$name.ms"; : >"$work/$name.rss"; : >"$work/$name.hwm"
  for _ in $(seq "$runs"); do
    if [ $name = tallowick ]; then
      read -r ms rss hwm < <(measure_start '^Tallowick' "$program")
    else
      read -r ms rss hwm < <(measure_start '^Minimal Qt window' "$minimal")
    fi
    echo "$ms" >>"$work/$name.ms"; echo "$rss" >>"$work/$name.rss"; echo "$hwm" >>"$work/$name.hwm"
  done
done
for name in tallowick minimal; do
  printf '%s: start-up ms %s; resident KiB at first show %s; peak KiB 1 s later %s\n' "$name" \
    "$(sort -n "$work/$name.ms" | tr '\n' ' ')" "$(sort -n "$work/$name.rss" | tr '\n' ' ')" \
    "$(sort -n "$work/$name.hwm" | tr '\n' ' ')"
done
t_ms=$(median <"$work/tallowick.ms"); m_ms=$(median <"$work/minimal.ms")
t_rss=$(median <"$work/tallowick.rss"); m_rss=$(median <"$work/minimal.rss")
t_hwm=$(median <"$work/tallowick.hwm"); m_hwm=$(median <"$work/minimal.hwm")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
printf 'Wayland start-up to the first shown window (median of %d runs): tallowick %d ms, minimal Qt window %d ms, ratio %s\n' \
  "$runs" "$t_ms" "$m_ms" "$(ratio "$t_ms" "$m_ms")"
printf 'Wayland resident memory at that moment (median): tallowick %d KiB, minimal Qt window %d KiB, ratio %s\n' \
  "$t_rss" "$m_rss" "$(ratio "$t_rss" "$m_rss")"
printf 'Wayland peak resident memory 1 s later (median): tallowick %d KiB, minimal Qt window %d KiB, ratio %s\n' \
  "$t_hwm" "$m_hwm" "$(ratio "$t_hwm" "$m_hwm")"
