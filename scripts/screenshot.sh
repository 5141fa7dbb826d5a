#!/usr/bin/env bash
# Takes the README's screenshots of the main window anew, from an end-to-end
# run (a pop-up and an e-mail reminder stored and delivered): on a light
# desktop into docs/screenshot-main.png, and on a dark one (the GTK theme
# Adwaita:dark) into docs/screenshot-main-dark.png.
# Usage: scripts/screenshot.sh [light|dark|both]   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-both}
case "$what" in
  light) runs=(light) ;;
  dark) runs=(dark) ;;
  both) runs=(light dark) ;;
  *) echo "usage: $0 [light|dark|both]" >&2; exit 2 ;;
esac

scripts/install-deps.sh test
# Only the dark desktop needs these: Qt takes its palette from the GTK theme.
if [[ " ${runs[*]} " == *" dark "* ]]; then
  missing=()
  for p in qt6-gtk-platformtheme gnome-themes-extra; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
      "${missing[@]}"
  fi
fi

build=${BUILD_DIR:-build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target tallowick

for run in "${runs[@]}"; do
  options=(--update-screenshot)
  [ "$run" = dark ] && options+=(--dark)
  tests/e2e/run.sh "${options[@]}" "$build/app/tallowick"
done
