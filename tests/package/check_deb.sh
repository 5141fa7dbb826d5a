#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack from this build tree
# (or taken as given), unpacked into a scratch root with dpkg -x, its files
# checked where the desktop looks for them, lintian run over it, and the
# installed program started on a virtual X server with Qt from the system.
#
# Usage: tests/package/check_deb.sh BUILD_DIR [PACKAGE.deb]
# Environment: TALLOWICK_SANITIZE=ON marks a sanitizer build, which is not
#              packaged: the test is skipped there.
# Prints one PASS/FAIL line per check and "package: N passed, M failed";
# exits 0 only when every check passed, 77 when a tool it needs is missing.
set -u

build=${1:?usage: check_deb.sh BUILD_DIR [PACKAGE.deb]}
given_deb=${2:-}

if [ "${TALLOWICK_SANITIZE:-OFF}" = ON ]; then
  echo "SKIP: this is a sanitizer build; the package is made from the plain build only"
  exit 77
fi
missing=()
for tool in cpack dpkg-deb dpkg-shlibdeps objdump file lintian desktop-file-validate man Xvfb xdotool; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIP: not installed: ${missing[*]} (scripts/install-deps.sh test installs them)"
  exit 77
fi

# shellcheck source=../checks.sh
. "$(dirname "$0")/../checks.sh"

work=$(mktemp -d /tmp/tallowick-package.XXXXXX)
xvfb_pid=""
app_pid=""
finish() {
  local status=$? pid
  trap - EXIT INT TERM
  for pid in $app_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
  report package "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# ---- The package -----------------------------------------------------------

if [ -n "$given_deb" ]; then
  deb=$given_deb
else
  if ! (cd "$build" && cpack -G DEB -B "$work/cpack") >"$work/cpack.log" 2>&1; then
    fail "CPack built the package" "$(tail -n 20 "$work/cpack.log")"
    exit 1
  fi
  deb=$(find "$work/cpack" -maxdepth 1 -name 'tallowick_*.deb' | head -n1)
fi
if [ ! -f "$deb" ]; then
  fail "the package exists" "${deb:-nothing built}"
  exit 1
fi
name=$(basename "$deb")
version=$(dpkg-deb -f "$deb" Version)
arch=$(dpkg-deb -f "$deb" Architecture)
check "the file is named tallowick_VERSION_ARCH.deb ($name)" \
  test "$name" = "tallowick_${version}_${arch}.deb"

root=$work/root
dpkg-deb -x "$deb" "$root"

# ---- Files where the desktop looks for them --------------------------------

check "the program is usr/bin/tallowick" test -x "$root/usr/bin/tallowick"
entry=$root/usr/share/applications/tallowick.desktop
if [ -f "$entry" ]; then
  if out=$(desktop-file-validate "$entry" 2>&1) && [ -z "$out" ]; then
    pass "desktop-file-validate has nothing to say about usr/share/applications/tallowick.desktop"
  else
    fail "desktop-file-validate has nothing to say about usr/share/applications/tallowick.desktop" "$out"
  fi
  starts_tallowick() { grep -qx 'Exec=tallowick' "$entry" && grep -qx 'Icon=tallowick' "$entry"; }
  check "the desktop entry starts tallowick, with the icon tallowick" starts_tallowick
else
  fail "the desktop entry is usr/share/applications/tallowick.desktop"
fi
for size in 16 24 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/tallowick.png
  check "a ${size}x${size} PNG icon under usr/share/icons/hicolor/${size}x${size}/apps" \
    grep -q "PNG image data, $size x $size," <(file -b "$icon" 2>&1)
done
svg=$root/usr/share/icons/hicolor/scalable/apps/tallowick.svg
check "a scalable SVG icon under usr/share/icons/hicolor/scalable/apps" \
  grep -q "SVG Scalable Vector Graphics image" <(file -b "$svg" 2>&1)
page=$root/usr/share/man/man1/tallowick.1.gz
if [ -f "$page" ]; then
  # man prints troff's warnings on standard error.
  rendered=$(MANWIDTH=80 man --warnings -l "$page" 2>"$work/man.err")
  if [ ! -s "$work/man.err" ] && grep -q 'Tallowick.txt' <<<"$rendered" &&
    grep -q 'port 25' <<<"$rendered"; then
    pass "the manual page usr/share/man/man1/tallowick.1.gz renders without warnings"
  else
    fail "the manual page usr/share/man/man1/tallowick.1.gz renders without warnings" \
      "$(cat "$work/man.err")"
  fi
else
  fail "the manual page is usr/share/man/man1/tallowick.1.gz"
fi
check "the copyright file is in the machine-readable format" \
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$root/usr/share/doc/tallowick/copyright"
check "changelog.Debian.gz names this version" \
  grep -q "^tallowick ($version)" <(zcat "$root/usr/share/doc/tallowick/changelog.Debian.gz")

# Every library the program links names a package that Depends lists.
depends=$(dpkg-deb -f "$deb" Depends)
unlisted=()
# The owner of the very file the loader picks: other architectures' copies
# (libc6-i386's /lib32/libm.so.6) share the name.
loaded=$(ldd "$root/usr/bin/tallowick")
while read -r library; do
  # "libm.so.6 => /lib/.../libm.so.6 (...)", or the loader's "/lib64/ld-linux-x86-64.so.2 (...)"
  path=$(awk -v lib="$library" '$1 == lib && $2 == "=>" { print $3 }
    substr($1, length($1) - length(lib)) == "/" lib { print $1 }' <<<"$loaded")
  owner=
  # /lib is /usr/lib on a merged system; dpkg knows each file by one of the two.
  for candidate in ${path:+"$path" "/usr${path#/usr}" "${path#/usr}"}; do
    owner=$(dpkg -S "$candidate" 2>/dev/null | head -n1 | cut -d: -f1)
    [ -n "$owner" ] && break
  done
  # By name, with or without a version after it ("libxcb1" may come bare, and last).
  awk -v RS=', *' -v pkg="${owner:-?}" '$1 == pkg { found = 1 } END { exit !found }' \
    <<<"$depends" || unlisted+=("$library (${owner:-no package})")
done < <(objdump -p "$root/usr/bin/tallowick" | awk '$1 == "NEEDED" { print $2 }')
if [ ${#unlisted[@]} -eq 0 ] && [ -n "$depends" ]; then
  pass "Depends covers every library the program links ($depends)"
else
  fail "Depends covers every library the program links" "not covered: ${unlisted[*]}"
fi

# ---- lintian -----------------------------------------------------------------

# The package's own overrides explain what is left on purpose; informational
# tags are shown but do not fail the test.
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.out" 2>&1
lintian_status=$?
grep -v 'running with root privileges' "$work/lintian.out" | sed 's/^/lintian: /'
check "lintian reports no error and no warning" test "$lintian_status" -eq 0

# ---- The installed program on a virtual X server ---------------------------

Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  fail "Xvfb started" "$(cat "$work/xvfb.log")"
  exit 1
fi
display=":$(head -n1 "$work/display")"
mkdir "$work/cwd"
# No session bus: the program cannot ask for a Tallowick already running, so
# it starts on its own and says why; and a Tallowick of the desktop session the
# test runs in cannot take this start over.
(cd "$work/cwd" &&
  exec env -u LD_LIBRARY_PATH -u QT_PLUGIN_PATH DISPLAY="$display" QT_QPA_PLATFORM=xcb \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" "$root/usr/bin/tallowick") >"$work/app.log" 2>&1 &
app_pid=$!
window=""
for _ in $(seq 150); do
  window=$(DISPLAY=$display xdotool search --onlyvisible --name '^Tallowick' 2>/dev/null | head -n1)
  [ -n "$window" ] && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -n "$window" ]; then
  pass "the installed program shows its window \"$(DISPLAY=$display xdotool getwindowname "$window")\""
else
  fail "the installed program shows its window" "$(cat "$work/app.log")"
fi
check "it made its empty queue file Tallowick.txt in the folder it started in" \
  test -f "$work/cwd/Tallowick.txt" -a ! -s "$work/cwd/Tallowick.txt"
check "it said on standard error that it could not check for a running Tallowick" \
  grep -q "^Tallowick: cannot reach a Tallowick already running in this session (no session bus: " \
  "$work/app.log"
