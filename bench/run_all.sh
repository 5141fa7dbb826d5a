#!/usr/bin/env bash
# Builds the benchmarks and prints every figure, one after the other: the
# queue at its largest, CPU during reply waits, one SMTP session next to
# swaks, and the program as a desktop process next to a minimal Qt window, on
# X11 and on Wayland.
# Usage: bench/run_all.sh [BUILD_DIR] [IDLE_SECONDS]   (default: build, 60)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build}
idle=${2:-60}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWICK_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_queue bench_smtp_wait bench_smtp_send \
  bench_window_wait bench_popup_behind_mail bench_minimal_window bench_first_map tallowick >/dev/null

echo "Machine: $(nproc) cores (load average $(cut -d' ' -f1-3 /proc/loadavg) at the start), $(awk '/MemTotal/{printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(. /etc/os-release && echo "$PRETTY_NAME"), Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6)"
echo
echo "== The queue at 32767 entries"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_queue" 2>/dev/null
echo
echo "== CPU while waiting 10 s for a server that says nothing"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_smtp_wait" 10 2>/dev/null | grep -v '^result line'
QT_QPA_PLATFORM=offscreen "$build/bench/bench_window_wait" 10 2>/dev/null
echo
echo "== A pop-up due at the same tick as a mail to a silent server"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_popup_behind_mail" 2>/dev/null
echo
echo "== One SMTP session against a loopback aiosmtpd, next to swaks"
"$here/smtp_vs_swaks.sh" "$build" 5
echo
echo "== The program on a virtual X server, next to a minimal Qt Widgets program"
"$here/desktop_figures.sh" "$build" "$idle" 11
echo
echo "== The program as a native Wayland client under headless weston, next to a minimal Qt Widgets program"
if command -v weston >/dev/null; then
  "$here/wayland_figures.sh" "$build" 9
else
  echo "weston is not installed (scripts/install-deps.sh test installs it)"
fi
