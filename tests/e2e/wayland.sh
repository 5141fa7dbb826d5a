#!/usr/bin/env bash
# Tallowick end to end as a native Wayland client: under weston's headless
# compositor, with no X server at all, its mail going to a real SMTP server
# (aiosmtpd) on port 25 of a private loopback. There is no input tool for
# Wayland, so the window is driven through its accessibility actions (AT-SPI,
# which travels over D-Bus), and read back through AT-SPI and through weston's
# own protocol dump, which tells which windows the compositor shows.
#
# The run: start-up; an e-mail and a pop-up reminder stored through Store and
# delivered at the next tick; Hide, which on a compositor without a tray puts
# up the stand-in icon window. The headless compositor has no pointer to
# double-click that window with, so a second start runs under weston's X11
# back end on Xvfb, where xdotool gives the stand-in its double click; then
# Exit, with Cancel and with OK. Every step waits for the state it needs, as
# the compositor's protocol dump or the accessibility bus tells it, not for
# a fixed time.
#
# Usage: tests/e2e/wayland.sh PATH/TO/tallowick
# Environment: E2E_ARTIFACTS  directory for screenshots and logs (default: a
#                             new temporary directory, printed at the start):
#                             desktop.png and hidden.png as the headless weston
#                             shows them, hidden-x11.png as the X11 one does,
#                             app-1.log and app.log from the two starts
# Prints one PASS/FAIL line per check and "wayland: N passed, M failed";
# exits 0 only when every check passed, 77 when a tool it needs is not
# installed (weston, the Qt Wayland plug-in, the AT-SPI and SMTP pieces).
set -u

run_name=wayland
# shellcheck disable=SC2034  # read by common.sh
logs=(app-1.log app.log sink.out sink.err weston.log proto.log weston-x11.log proto-x11.log
      scene-x11.txt xvfb.log dbus.log inner.err inner.log drive.err)
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"

app=${1:?usage: wayland.sh PATH/TO/tallowick}
if [ ! -x "$app" ]; then
  echo "FAIL: $app is not an executable"
  exit 1
fi
app=$(cd "$(dirname "$app")" && pwd)/$(basename "$app")
need_tools weston weston-debug weston-screenshooter qtpaths6
plugin="$(qtpaths6 --query QT_INSTALL_PLUGINS)/platforms/libqwayland-generic.so"
if [ ! -f "$plugin" ]; then
  echo "SKIP: Qt's Wayland platform plug-in is not installed ($plugin; the package qt6-wayland)"
  exit 77
fi
begin_run

# ---- The compositor ----------------------------------------------------------

# Nothing may reach an X server: the program must find the compositor or fail.
unset DISPLAY
start_session_bus # also makes XDG_RUNTIME_DIR, a 0700 folder, which weston needs
socket=tallowick-$$
# No animations: what the pictures show is where the windows are. No panel
# clock: a minute turning between two pictures would look like a new window.
printf '[shell]\nanimation=none\nclose-animation=none\nstartup-animation=none\nfocus-animation=none\nclock-format=none\n' \
  >"$work/weston.ini"
# --debug lets weston-debug read the protocol and weston-screenshooter take
# pictures; the pixman renderer keeps what it shows, for those pictures. The
# time stamps of the dump are read as UTC.
TZ=UTC weston --backend=headless-backend.so --socket="$socket" --use-pixman --width=1024 \
  --height=768 --idle-time=0 --config="$work/weston.ini" --debug >"$work/weston.log" 2>&1 &
pids+=($!)
wait_for 100 test -S "$XDG_RUNTIME_DIR/$socket" || abort "weston started" "$(cat "$work/weston.log")"
export WAYLAND_DISPLAY=$socket
weston-debug proto -o "$work/proto.log" >"$work/weston-debug.log" 2>&1 &
pids+=($!)
wait_for 50 test -e "$work/proto.log" || abort "weston's protocol dump started" "$(cat "$work/weston-debug.log")"
pass "weston runs headless on socket $socket"

compositor_checks() { python_checks compositor "$work/proto.log" "$@"; }
# compositor_state PROTO_LOG CHECK_ARGS...: true once the dump shows what
# those compositor checks ask for; for waiting, before the checks report it.
compositor_state() { /usr/bin/python3 "$e2e_dir/checks.py" compositor "$@" >/dev/null 2>&1; }
screenshot() { # screenshot NAME: what weston shows, as NAME.png among the artifacts
  local shot
  rm -f "$work"/wayland-screenshot-*.png
  (cd "$work" && weston-screenshooter >/dev/null 2>&1)
  shot=$(find "$work" -maxdepth 1 -name 'wayland-screenshot-*.png' | head -n1)
  [ -n "$shot" ] && mv "$shot" "$artifacts/$1.png"
}

# ---- Start-up ----------------------------------------------------------------

avoid_midnight
start_inner "$app" QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$socket" ||
  abort "a private network namespace with the SMTP sink on 127.0.0.1:25" \
    "$(cat "$work/inner.err" "$work/inner.log" "$work/sink.err" 2>/dev/null)"
pass "a private network namespace with the SMTP sink on 127.0.0.1:25"

main_up() { on_bus || ! inner_running; }
wait_for 200 main_up
on_bus || abort "the main window is on the accessibility bus" \
  "$(cat "$work/probe.err" "$work/app.log")"
pass "the main window is on the accessibility bus"
wait_for 50 compositor_state "$work/proto.log" --shown 'Tallowick: Quillmere.*'
compositor_checks --shown 'Tallowick: Quillmere.*'

# ---- Store -------------------------------------------------------------------

drive() { /usr/bin/python3 "$e2e_dir/atspi_drive.py" "$@" 2>>"$work/drive.err"; }
# Any minute up to now is due at the next tick, so a minute that turns
# while typing does no harm.
read -r hour minute < <(date '+%H %M')
display_line="$today $hour:$minute"
check "the e-mail entry's boxes were filled through their accessible texts" \
  drive press E-mail combo 0 "$hour" combo 1 "$minute" text "From: (E-mail address)" "$mail_from" \
  text "SMTP Mail Server" 127.0.0.1 text "To: (E-mail Address)" "$rcpt_to" \
  text "Subject" "$subject" text "Message To send" "$mail_message"
probe
check "the boxes hold what was set (e-mail entry, due $hour:$minute)" typed_ok "$hour" "$minute" ||
  cp "$work/state.json" "$artifacts/state-typed.json"
check "Store put the e-mail entry in the queue" store '["MX"]' drive press Store
check "the pop-up entry's boxes were set" drive press "Pop Up" text "Message To send" "$popup_message"
check "Store put the pop-up entry in the queue after it" store '["MX", "PU"]' drive press Store
stored_at=$(date +%s)

# ---- Delivery at the next ticks ----------------------------------------------

wait_for_delivery "$stored_at"
delivery_checks "$display_line"
days='(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday)'
months='(January|February|March|April|May|June|July|August|September|October|November|December)'
clock="$days,$months [0-9]{2},[0-9]{4}  [0-9]{2}:[0-9]{2}:[0-9]{2}"
# The caption as the compositor got it: the fixed text, then the clock; and
# the notice, a second window captioned "Tallowick". The notice is on the
# accessibility bus before the compositor need have shown it.
delivered_shown=(--shown "Tallowick: Quillmere    $clock" --shown Tallowick)
wait_for 50 compositor_state "$work/proto.log" "${delivered_shown[@]}"
compositor_checks "${delivered_shown[@]}"
screenshot desktop

# ---- Hide --------------------------------------------------------------------

check "Hide was pressed" drive press Hide
# No tray on weston: the stand-in is a window of its own, exactly its 24x24
# picture, no title bar. The compositor places it (a Wayland client cannot).
hidden_shown=(--gone 'Tallowick: Quillmere.*' --shown Tallowick32 --drawn Tallowick32
              --exact-size Tallowick32 24 24)
hidden_state() {
  compositor_state "$work/proto.log" "${hidden_shown[@]}" && probe &&
    /usr/bin/python3 "$e2e_dir/checks.py" hidden "$work/state.json" --stand-in Tallowick32 >/dev/null
}
wait_for 50 hidden_state
cp "$work/state.json" "$artifacts/state-hidden.json"
python_checks hidden "$work/state.json" --stand-in Tallowick32
compositor_checks "${hidden_shown[@]}"
screenshot hidden

# ---- Back from the stand-in, and Exit, in a second start --------------------

# A double click needs a pointer, which the headless compositor has not. A
# second weston, on its X11 back end inside a virtual X server, takes its
# pointer from that server, where xdotool moves and clicks it. Tallowick is
# still a Wayland client only: it never sees the X server.
stop_inner
mv "$work/app.log" "$work/app-1.log"
nested=""
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  # The X screen is 32 rows taller than weston's window: the strip below it is
  # where the pointer goes to leave the compositor, before the double click.
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x800x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  wait_for 100 test -s "$work/display" || abort "Xvfb started" "$(cat "$work/xvfb.log")"
  nested=":$(head -n1 "$work/display")"
  DISPLAY=$nested weston --backend=x11-backend.so --socket="$socket-x11" --use-pixman \
    --width=1024 --height=768 --idle-time=0 --config="$work/weston.ini" --debug \
    >"$work/weston-x11.log" 2>&1 &
  pids+=($!)
  wait_for 100 test -S "$XDG_RUNTIME_DIR/$socket-x11" ||
    abort "weston started on X display $nested" "$(cat "$work/weston-x11.log")"
  socket=$socket-x11
  WAYLAND_DISPLAY=$socket weston-debug proto -o "$work/proto-x11.log" >"$work/weston-debug-x11.log" 2>&1 &
  pids+=($!)
  wait_for 50 test -e "$work/proto-x11.log" ||
    abort "the X11 weston's protocol dump started" "$(cat "$work/weston-debug-x11.log")"
  pass "weston runs on its X11 back end, on X display $nested"
else
  echo "$run_name: no Xvfb or xdotool: the stand-in window gets no double click"
fi
start_inner "$app" QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$socket" ||
  abort "Tallowick started a second time" "$(cat "$work/inner.err" "$work/inner.log")"
wait_for 200 main_up
on_bus || abort "the main window of the second start is on the accessibility bus" \
  "$(cat "$work/probe.err" "$work/app.log")"
if [ -n "$nested" ]; then
  stand_in_shown() { probe && grep -qF '{"caption": "Tallowick32"' "$work/state.json"; }
  drive press Hide
  wait_for 50 stand_in_shown
  wait_for 50 compositor_state "$work/proto-x11.log" --shown Tallowick32 --drawn Tallowick32
  # Where weston put the stand-in, from its own scene graph: "left top right bottom".
  stand_in_place() {
    WAYLAND_DISPLAY=$socket weston-debug scene-graph >"$work/scene-x11.txt" 2>/dev/null &&
      awk '/top-level window .Tallowick32. / { found = 1; next }
           found && /position:/ { gsub(/[(),>-]/, " "); print $2, $3, $4, $5; exit }' "$work/scene-x11.txt"
  }
  read -r left top right bottom < <(stand_in_place)
  command -v import >/dev/null && DISPLAY=$nested import -window root "$artifacts/hidden-x11.png"
  if [ -n "${bottom:-}" ] && [ $((right - left))x$((bottom - top)) = 24x24 ]; then
    pass "the stand-in window is on the desktop, 24x24 at $left,$top"
    # Into the stand-in from outside weston's window: the X server then tells
    # weston where the pointer entered. (A move inside the window only tells it
    # how far the pointer went, from a place weston may never have learnt: at
    # its start, the pointer was already inside.) The double click waits for
    # weston to have given the stand-in the pointer.
    DISPLAY=$nested xdotool mousemove 512 790 mousemove $((left + 12)) $((top + 12))
    wait_for 50 compositor_state "$work/proto-x11.log" --pointer-in Tallowick32
    python_checks compositor "$work/proto-x11.log" --pointer-in Tallowick32
    DISPLAY=$nested xdotool click --repeat 2 --delay 120 1
    main_back() { probe && /usr/bin/python3 "$e2e_dir/checks.py" restored "$work/state.json" --statuses >/dev/null; }
    wait_for 50 main_back
    cp "$work/state.json" "$artifacts/state-restored.json"
    python_checks restored "$work/state.json" --statuses
    stand_in_gone() { ! grep -qF '"Tallowick32"' "$work/state.json"; }
    check "the stand-in window went with it" stand_in_gone
  else
    fail "the stand-in window is on the desktop, 24x24" \
      "weston's scene graph has it at ${left:-nowhere} ${top:-} ${right:-} ${bottom:-}"
  fi
fi
asked() { probe && grep -qF '{"caption": "Exit Confirmation"' "$work/state.json"; }
not_asked() { probe && grep -q '"main": {' "$work/state.json" && ! grep -qF '"Exit Confirmation"' "$work/state.json"; }
drive press Exit
if wait_for 50 asked; then
  pass "Exit asked for confirmation"
  check "Cancel on the confirmation was pressed" drive --window "Exit Confirmation" press Cancel
  check "after Cancel the box is gone and Tallowick runs on" wait_for 50 not_asked
  drive press Exit
  wait_for 50 asked
  check "OK on the second confirmation was pressed" drive --window "Exit Confirmation" press OK
  ended_after_ok
else
  fail "Exit asked for confirmation" "$(cat "$work/drive.err")"
fi
