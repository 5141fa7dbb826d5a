#!/usr/bin/env bash
# Installs what is missing, builds Tallowick and runs it. Without a display it
# runs the program on a virtual X server and says how to look at it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
scripts/build.sh -DTALLOWICK_TESTS=OFF -DTALLOWICK_BENCH=OFF
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./build/app/tallowick "$@"
fi
echo "No display found (DISPLAY is not set): running Tallowick on a virtual X server (xvfb-run)."
echo "To see its window, run this script from a desktop session, or over 'ssh -X'."
exec xvfb-run -a ./build/app/tallowick "$@"
