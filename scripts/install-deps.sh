#!/usr/bin/env bash
# Installs the Debian 12 packages Tallowick needs to build, run and test.
# Usage: scripts/install-deps.sh [build|package|test]   (default: test, which is a superset)
set -euo pipefail

what=${1:-test}
build_pkgs=(build-essential cmake qt6-base-dev libxcb1-dev fonts-dejavu-core fonts-liberation2)
run_pkgs=(xvfb)
# CPack's DEB generator finds the binaries with file and their dependencies
# with dpkg-shlibdeps (dpkg-dev); lintian checks the package.
package_pkgs=(dpkg-dev file lintian)
test_pkgs=(python3 python3-aiosmtpd swaks xvfb xdotool x11-utils imagemagick openbox trayer
           dbus at-spi2-core python3-pyatspi iproute2 util-linux clang libclang-rt-14-dev
           "${package_pkgs[@]}" desktop-file-utils man-db weston qt6-wayland sway waybar grim heaptrack
           metacity tk wtype)

case "$what" in
  build) pkgs=("${build_pkgs[@]}" "${run_pkgs[@]}") ;;
  package) pkgs=("${build_pkgs[@]}" "${package_pkgs[@]}") ;;
  test)  pkgs=("${build_pkgs[@]}" "${run_pkgs[@]}" "${test_pkgs[@]}") ;;
  *) echo "usage: $0 [build|package|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
