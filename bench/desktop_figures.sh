#!/usr/bin/env bash
# The program as a person meets it on a desktop, next to a minimal Qt Widgets
# program under the same X server and window manager (Xvfb and openbox):
#  - start-up: from just before the process is started to its first window
#    mapped on the screen, and its resident memory (VmRSS) at that moment;
#    the two programs are started in turn, RUNS times each, and the medians
#    are compared;
#  - idle: CPU and context switches of each program over IDLE_SECONDS with
#    nothing to do (for the program: an empty queue, the clock caption and the
#    scheduler ticking).
# Figures only: nothing is asserted.
# Usage: bench/desktop_figures.sh [BUILD_DIR] [IDLE_SECONDS] [RUNS]  (default: build, 60, 11)
# TALLOWICK_PROGRAM=PATH measures another build of the program (before and
# after a change) against the same minimal window.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
idle_seconds=${2:-60}
runs=${3:-11}
program=${TALLOWICK_PROGRAM:-$build/app/tallowick}
minimal=$build/bench/bench_minimal_window
watcher=$build/bench/bench_first_map
for tool in Xvfb openbox xprop; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
for file in "$program" "$minimal" "$watcher"; do
  [ -x "$file" ] || { echo "build tallowick, bench_minimal_window and bench_first_map first" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
wm_pid=
cleanup() {
  for pid in $wm_pid $xvfb_pid; do
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

# The same plain environment for both programs: no session bus, no style or
# platform overrides, a private runtime folder.
unset DBUS_SESSION_BUS_ADDRESS QT_STYLE_OVERRIDE QT_QPA_PLATFORMTHEME QT_SCALE_FACTOR
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8 XDG_RUNTIME_DIR=$work/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"

openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
  kill -0 "$wm_pid" 2>/dev/null || { echo "openbox did not start" >&2; exit 1; }
  sleep 0.05
done

# Runs one program to its first mapped window, in its own folder (the program
# creates its queue file in the folder it starts in); prints the watcher's line.
first_map() {
  local folder=$work/run-$1; shift
  mkdir -p "$folder"
  (cd "$folder" && exec "$watcher" "$@") 2>/dev/null
}
field() { sed -En "s/(^|.* )$1=([^ ]*).*/\2/p"; }
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
spread() { sort -n | awk 'NR==1{lo=$1} {hi=$1} END {print lo " to " hi}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

# One unrecorded start of each, so both find the libraries in the page cache.
# The minimal window is also started with one line of text, to show what the
# fonts alone cost (the empty window never loads one).
first_map warm "$program" >/dev/null
first_map warm "$minimal" >/dev/null
names="tallowick minimal text"
for name in $names; do : >"$work/$name.runs"; done
for _ in $(seq "$runs"); do
  first_map tallowick "$program" >>"$work/tallowick.runs"
  first_map minimal "$minimal" >>"$work/minimal.runs"
  first_map text "$minimal" --text >>"$work/text.runs"
done
for name in $names; do
  field map_ms <"$work/$name.runs" >"$work/$name.ms"
  field cpu_ms <"$work/$name.runs" >"$work/$name.cpu"
  field rss_kib <"$work/$name.runs" >"$work/$name.kib"
done
mib() { awk -v k="$(median <"$1")" 'BEGIN {printf "%.1f", k / 1024}'; }
t_ms=$(median <"$work/tallowick.ms"); m_ms=$(median <"$work/minimal.ms")
t_kib=$(median <"$work/tallowick.kib"); m_kib=$(median <"$work/minimal.kib")

printf 'Start-up to the first mapped window (median of %d runs, taken in turn): tallowick %s ms (%s), minimal Qt window %s ms (%s), ratio %s (target <= 1.3)\n' \
  "$runs" "$t_ms" "$(spread <"$work/tallowick.ms")" "$m_ms" "$(spread <"$work/minimal.ms")" "$(ratio "$t_ms" "$m_ms")"
printf '  CPU used by then (median): tallowick %s ms, minimal Qt window %s ms\n' \
  "$(median <"$work/tallowick.cpu")" "$(median <"$work/minimal.cpu")"
printf 'Resident memory when that window is mapped (median): tallowick %s MiB, minimal Qt window %s MiB, ratio %s (target <= 1.3)\n' \
  "$(mib "$work/tallowick.kib")" "$(mib "$work/minimal.kib")" "$(ratio "$t_kib" "$m_kib")"
printf '  for comparison, the minimal window with one line of text: %s ms, %s ms CPU, %s MiB\n' \
  "$(median <"$work/text.ms")" "$(median <"$work/text.cpu")" "$(mib "$work/text.kib")"

# Idle: both programs side by side, each left alone for the same span after
# it has settled for two seconds.
first_map idle-tallowick --idle "$idle_seconds" --threads "$program" >"$work/tallowick.idle" &
idle_pid=$!
first_map idle-minimal --idle "$idle_seconds" --threads "$minimal" >"$work/minimal.idle"
wait "$idle_pid"
for name in tallowick minimal; do
  line=$(cat "$work/$name.idle")
  printf 'Idle for %s s, %s: %s%% of one core, %s context switches a second (%s voluntary, %s involuntary); resident %.1f MiB\n' \
    "$(field idle_s <<<"$line")" "$name" "$(field cpu_pct <<<"$line")" "$(field switches_per_s <<<"$line")" \
    "$(field voluntary <<<"$line")" "$(field involuntary <<<"$line")" \
    "$(awk -v k="$(field rss_settled_kib <<<"$line")" 'BEGIN {print k / 1024}')"
  printf '  by thread (voluntary+involuntary switches, CPU):%s\n' "$(sed -n 's/.*threads=//p' <<<"$line")"
done
echo "Targets while idle: under 0.2% of one core; no more wake-ups than the three timers need (Timer1 and Timer3 each second, Timer2 every ten)"
