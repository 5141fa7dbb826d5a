#!/usr/bin/env bash
# Tallowick end to end, as a user runs it: on a real X server (Xvfb) with a
# window manager (openbox) and a tray host (trayer), with its mail going to a
# real SMTP server (aiosmtpd) on port 25 of a private loopback. The window is
# driven only from outside, with xdotool, and read back through the
# accessibility bus (AT-SPI) and screenshots.
#
# Usage: tests/e2e/run.sh [--dark] [--update-screenshot] PATH/TO/tallowick
#   --dark               run Tallowick on a dark desktop: the GTK theme
#                        Adwaita:dark (needs qt6-gtk-platformtheme and
#                        gnome-themes-extra)
#   --update-screenshot  also copy the main window's screenshot to
#                        docs/screenshot-main.png in the source tree
#                        (docs/screenshot-main-dark.png with --dark)
# Environment: E2E_ARTIFACTS  directory for screenshots and logs (default: a
#                             new temporary directory, printed at the start)
# Prints one PASS/FAIL line per check and "e2e: N passed, M failed"; exits 0
# only when every check passed, 77 when a tool it needs is not installed.
# Works as root (no sudo) or as a user allowed to create user namespaces.
set -u

run_name=e2e
# shellcheck disable=SC2034  # read by common.sh
logs=(app.log sink.out sink.err xvfb.log openbox.log wm.log trayer.log dbus.log inner.err
      inner.log wish.log drive.err second.log third.log fourth.log second.rc third.rc fourth.rc)
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"

update_screenshot=0
desktop=()
screenshot="screenshot-main.png"
while [ $# -gt 1 ]; do
  case $1 in
    --update-screenshot) update_screenshot=1 ;;
    --dark)
      desktop=(GTK_THEME=Adwaita:dark QT_QPA_PLATFORMTHEME=gtk3)
      screenshot="screenshot-main-dark.png"
      ;;
    *) break ;;
  esac
  shift
done
app=${1:?usage: run.sh [--dark] [--update-screenshot] PATH/TO/tallowick}
if [ ! -x "$app" ]; then
  echo "FAIL: $app is not an executable"
  exit 1
fi
app=$(cd "$(dirname "$app")" && pwd)/$(basename "$app")
need_tools Xvfb openbox trayer xdotool xwininfo import
begin_run

# ---- The desktop -----------------------------------------------------------

# Xvfb picks a free display number itself and writes it to fd 3.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 100 test -s "$work/display" || abort "Xvfb started" "$(cat "$work/xvfb.log")"
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
echo "e2e: X display $DISPLAY"

start_session_bus

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
window_named() { xwininfo -root -tree 2>/dev/null | grep -q "\"$1\""; }
wait_for 100 window_named Openbox ||
  abort "openbox started" "$(cat "$work/openbox.log")"

trayer --edge top --align right --widthtype request --height 24 >"$work/trayer.log" 2>&1 &
pids+=($!)
wait_for 100 window_named panel ||
  abort "trayer's panel appeared" "$(cat "$work/trayer.log")"

# ---- Tallowick and the mail server, in their own network namespace ---------

avoid_midnight
start_inner "$app" QT_QPA_PLATFORM=xcb "${desktop[@]}" ||
  abort "a private network namespace with the SMTP sink on 127.0.0.1:25" \
    "$(cat "$work/inner.err" "$work/inner.log" "$work/sink.err" 2>/dev/null)"
pass "a private network namespace with the SMTP sink on 127.0.0.1:25"

main_window() { xdotool search --name '^Tallowick: Quillmere' 2>/dev/null | head -n1; }
visible_main_window() { xdotool search --onlyvisible --name '^Tallowick: Quillmere' 2>/dev/null | head -n1; }
main_up() { [ -n "$(visible_main_window)" ] || ! inner_running; }
wait_for 200 main_up
W=$(visible_main_window)
[ -n "$W" ] || abort "the main window appeared" "$(cat "$work/app.log")"
pass "the main window appeared, captioned \"$(xdotool getwindowname "$W")\""

wait_for 100 on_bus || abort "the main window is on the accessibility bus" "$(cat "$work/probe.err")"

# ---- Driving the window ----------------------------------------------------

# Controls are placed in twips (15 to a pixel) inside the client area, which
# lies under the menu bar; the client area is 7785 twips high.
eval "$(xdotool getwindowgeometry --shell "$W")"
menu_bar=$((HEIGHT - 7785 / 15))
# The window manager gets a click first (to focus and raise the window) and
# only then lets it through, while keys go straight to the focused window: so
# keys wait until the accessibility bus tells that the window is active, or
# that the clicked box has the focus.
window_active() { # window_active CAPTION_START
  probe && grep -q "{\"caption\": \"$1[^\"]*\", \"role\": \"[^\"]*\", \"states\": {[^}]*\"active\": true" \
    "$work/state.json"
}
activate() { # activate WINDOW CAPTION_START
  xdotool windowactivate --sync "$1" >/dev/null 2>&1
  wait_for 30 window_active "$2"
}
focused_on() { # focused_on ROLE NAME_AS_JSON
  /usr/bin/python3 "$e2e_dir/atspi_probe.py" --focused 2>"$work/probe.err" |
    grep -qF "{\"focused\": [\"$1\", $2]}"
}
click() { # click LEFT TOP WIDTH HEIGHT ...: the middle of a control
  xdotool mousemove --window "$W" $((($1 + $3 / 2) / 15)) $((menu_bar + ($2 + $4 / 2) / 15)) \
    click 1
}
fill() { # fill LEFT TOP WIDTH HEIGHT ROLE NAME TEXT: replaces the text of a box
  click "$@"
  wait_for 30 focused_on "$5" "$6"
  xdotool key ctrl+a
  xdotool type --delay 15 -- "$7"
}
# Positions of the controls used here, as the main window lays them out; for
# boxes, also their accessible role and name (as JSON), as the focus shows them.
Text2=(4440 240 4815 1455 text '"Message To send"')
Command2=(8400 1680 855 1335) # Store
Combo1=(1320 2280 400 315 "combo box" 0) # hour: its text part, left of the arrow
Combo2=(2280 2280 350 315 "combo box" 1) # minute: likewise
Text7=(1680 2640 2655 375 text '"From: (E-mail address)"')
Text3=(6000 2640 2415 375 text '"SMTP Mail Server"')
Text4=(1680 3000 2655 375 text '"To: (E-mail Address)"')
Text5=(1680 3360 2655 345 text '"Subject"')
Option1=(1080 3960 975 255)   # Pop Up
Option2=(2280 3960 975 255)   # E-mail
Command5=(7560 3960 855 375)  # Hide
Command4=(8520 3960 735 375)  # Exit

activate "$W" "Tallowick: Quillmere"
click "${Option2[@]}"
# Any minute up to now is due at the next tick, so a minute that turns
# while typing does no harm.
read -r hour minute < <(date '+%H %M')
display_line="$today $hour:$minute"
fill "${Combo1[@]}" "$hour"
fill "${Combo2[@]}" "$minute"
fill "${Text7[@]}" "$mail_from"
fill "${Text3[@]}" "127.0.0.1"
fill "${Text4[@]}" "$rcpt_to"
fill "${Text5[@]}" "$subject"
fill "${Text2[@]}" "$mail_message"

# The last keys may still be on their way.
typed() { probe && typed_ok "$hour" "$minute"; }
wait_for 30 typed
check "the boxes hold what was typed (e-mail entry, due $hour:$minute)" typed_ok "$hour" "$minute" ||
  cp "$work/state.json" "$artifacts/state-typed.json"
check "Store put the e-mail entry in the queue" store '["MX"]' click "${Command2[@]}"

click "${Option1[@]}"
fill "${Text2[@]}" "$popup_message"
check "Store put the pop-up entry in the queue after it" store '["MX", "PU"]' click "${Command2[@]}"
stored_at=$(date +%s)

# ---- Delivery at the next ticks --------------------------------------------

wait_for_delivery "$stored_at"

delivery_checks "$display_line"

# The caption the window manager shows: the fixed text, then the clock.
days='(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday)'
months='(January|February|March|April|May|June|July|August|September|October|November|December)'
caption_re="^Tallowick: Quillmere    $days,$months [0-9]{2},[0-9]{4}  [0-9]{2}:[0-9]{2}:[0-9]{2}\$"
caption=$(xdotool getwindowname "$W")
if [[ $caption =~ $caption_re ]]; then
  pass "the title bar shows \"Tallowick: Quillmere    \" and the clock"
else
  fail "the title bar shows \"Tallowick: Quillmere    \" and the clock" "got \"$caption\""
fi

# The notice is a second top-level window, captioned "Tallowick". It is on the
# accessibility bus before the X server need have mapped it.
notice_window() { xdotool search --onlyvisible --name '^Tallowick$' 2>/dev/null | head -n1; }
notice_shown() { [ -n "$(notice_window)" ]; }
wait_for 50 notice_shown
notice=$(notice_window)
if [ -n "$notice" ]; then
  pass "a notice window is on the screen"
  import -window "$notice" "$artifacts/notice.png"
else
  fail "a notice window is on the screen"
fi
import -window root "$artifacts/desktop.png"
activate "$W" "Tallowick: Quillmere"
import -window "$W" "$artifacts/main.png"
if [ "$update_screenshot" -eq 1 ]; then
  mkdir -p "$repo/docs"
  cp "$artifacts/main.png" "$repo/docs/$screenshot"
  echo "e2e: updated docs/$screenshot"
fi

# ---- Hide to the tray; a second start brings the window back ----------------

click "${Command5[@]}"
hidden() { [ -z "$(visible_main_window)" ]; }
check "Hide took the main window off the screen" wait_for 50 hidden

# The tray icon: a window of Tallowick's inside trayer's panel.
tray_icon() {
  xwininfo -root -tree | awk '
    /"panel"/ { match($0, /^ */); indent = RLENGTH; inside = 1; next }
    inside {
      match($0, /^ */)
      if (RLENGTH <= indent) inside = 0
      else if ($0 ~ /"[Tt]allowick/) { print $1; exit }
    }'
}
# Clicks reach the icon only once trayer has mapped it in its panel, not
# when it has only been reparented there.
shown_tray_icon() {
  local id
  id=$(tray_icon)
  [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && echo "$id"
}
has_tray_icon() { [ -n "$(shown_tray_icon)" ]; }
check "the tray icon is in trayer's panel" wait_for 50 has_tray_icon
shown() { [ -n "$(visible_main_window)" ]; }
# X maps the window before the accessibility bus need tell it is enabled.
restored() { probe && /usr/bin/python3 "$e2e_dir/checks.py" restored "$work/state.json" >/dev/null; }
gone() { [ -z "$(tray_icon)" ]; }

# Tallowick started again in the same session (its bus and display), from a
# folder of its own, as a user does from the desktop's menu. It is given 5 s
# to end; one that runs on is ended after 20 s.
start_again() { # start_again NAME: sets again_rc ("running" if it runs on) and again_ms
  mkdir -p "$work/$1"
  (
    cd "$work/$1" || exit 1
    t0=$(date +%s%N)
    timeout 20 "$app" >"$work/$1.log" 2>&1
    echo "$? $((($(date +%s%N) - t0) / 1000000))" >"$work/$1.rc"
  ) &
  again_pid=$!
  wait_for 50 test -s "$work/$1.rc"
  { read -r again_rc again_ms <"$work/$1.rc"; } 2>/dev/null || again_rc=running
  echo "$run_name: the start in $1 ended with status $again_rc after ${again_ms:-over 5000} ms"
}
handed_over() { # handed_over NAME: it ended with status 0 within 5 s and made no queue file
  [ "$again_rc" = 0 ] && [ ! -e "$work/$1/Tallowick.txt" ]
}
# The processes of this Tallowick executable on this run's session bus (other
# runs of it beside this one have buses of their own): only the first start's
# may be left.
programs() {
  local proc
  for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/exe" 2>/dev/null)" = "$app" ] &&
      tr '\0' '\n' <"$proc/environ" 2>/dev/null |
      grep -qxF "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS" && echo "${proc#/proc/}"
  done
}
one_program() { [ "$(programs)" = "$(cat "$work/app.pid")" ]; }

start_again second
check "a second start ended with status 0 within 5 s, with no queue file made" handed_over second
wait "$again_pid"
check "it brought the main window back" wait_for 50 shown
wait_for 50 restored
python_checks restored "$work/state.json"
check "the tray icon went, as after a double click" wait_for 50 gone

# While the window shows, a start brings it to the front: here from behind the notice.
if [ -n "$notice" ] && activate "$notice" "Tallowick: $today"; then
  start_again third
  check "a start while the window shows ended with status 0 within 5 s, with no queue file made" \
    handed_over third
  check "one Tallowick runs, the first one" one_program
  check "it made the main window the active one" wait_for 30 window_active "Tallowick: Quillmere"
  wait "$again_pid"
else
  fail "the notice window became the active one, in front of the main window"
fi

# ---- Hide again, and back by a double click on the tray icon ----------------

activate "$W" "Tallowick: Quillmere"
click "${Command5[@]}"
check "Hide took the main window off the screen again" wait_for 50 hidden
wait_for 50 has_tray_icon
icon=$(shown_tray_icon)
if [ -n "$icon" ]; then
  xdotool mousemove --window "$icon" 10 10 click --repeat 2 --delay 100 1
  check "a double click on the tray icon brought the main window back" wait_for 50 shown
  wait_for 50 restored
  python_checks restored "$work/state.json"
  check "the tray icon went with it" wait_for 50 gone
else
  fail "the tray icon is in trayer's panel again" "$(xwininfo -root -tree | grep -A5 '"panel"')"
fi

# ---- A notice that comes due while the user types elsewhere -----------------

# A small window to type into (Tk), maximised, that writes what it holds to a
# file at every key. The reminder is stored through the accessibility bus,
# which leaves the keyboard where it is, with the main window minimised; the
# typing goes on until the notice is up, and a word, Return and a blank
# follow it at once. Run under openbox, then under metacity, which has the
# focus-stealing prevention of the GNOME window managers.
cat >"$work/typepad.tcl" <<'EOF'
wm title . Typepad
wm attributes . -zoomed 1
text .t
pack .t -fill both -expand 1
focus .t
bind .t <KeyRelease> {
  set f [open [lindex $argv 0] w]
  puts -nonewline $f [.t get 1.0 end-1c]
  close $f
}
EOF
drive() { /usr/bin/python3 "$e2e_dir/atspi_drive.py" "$@" 2>>"$work/drive.err"; }
active_window() { xprop -root _NET_ACTIVE_WINDOW | grep -o '0x[0-9a-f]*' | head -n1; }
hex() { printf '0x%x' "$1"; }
is_active() { [ "$(active_window)" = "$(hex "$1")" ]; }
# True when window $1 lies above window $2 in the window manager's stacking order.
stacked_above() {
  xprop -root _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*' |
    awk -v a="$(hex "$1")" -v b="$(hex "$2")" '
      $0 == a { ia = NR } $0 == b { ib = NR } END { exit !(ia && ib && ia > ib) }'
}
pad_window() { xdotool search --onlyvisible --name '^Typepad$' 2>/dev/null | head -n1; }
pad_up() { [ -n "$(pad_window)" ]; }
typing_modes=("MX" "PU")
typing_check() { # typing_check WM
  local wm=$1 pad note wish_pid typed="" rows
  wish "$work/typepad.tcl" "$work/typed-$wm.txt" >>"$work/wish.log" 2>&1 &
  wish_pid=$!
  wait_for 100 pad_up
  pad=$(pad_window)
  xdotool windowactivate --sync "$pad" >/dev/null 2>&1
  wait_for 30 is_active "$pad"
  xdotool windowminimize --sync "$W" >/dev/null 2>&1
  typing_modes+=("PU")
  rows=$(printf '"%s", ' "${typing_modes[@]}")
  drive text "Message To send" "Typing check under $wm, run $token." &&
    drive press "Pop Up" && drive press "Store"
  check "$wm: a pop-up reminder stored through the accessibility bus, the main window minimised" \
    wait_for 30 delivery_column "[${rows%, }]"
  # Typing on, in chunks, until the notice is up; then a word, Return and a blank.
  for _ in $(seq 60); do
    notice_shown && break
    xdotool type --delay 40 "typing on "
    typed+="typing on "
  done
  note=$(notice_window)
  xdotool type --delay 40 "word"
  xdotool key --delay 40 Return space
  typed+=$'word\n '
  if [ -z "$note" ]; then
    fail "$wm: the notice came up while the user typed"
    kill "$wish_pid" 2>/dev/null
    wait "$wish_pid" 2>/dev/null
    return
  fi
  pass "$wm: the notice came up while the user typed"
  arrived() { [ "$(cat "$work/typed-$wm.txt" 2>/dev/null)" = "$typed" ]; }
  wait_for 30 arrived
  import -window root "$artifacts/typing-$wm.png"
  check "$wm: the notice is above the window typed into" stacked_above "$note" "$pad"
  check "$wm: the notice asks for attention" eval \
    'xprop -id "$note" _NET_WM_STATE WM_HINTS | grep -q -e DEMANDS_ATTENTION -e urgent'
  check "$wm: every key typed arrived in the window typed into, which kept the keyboard" \
    eval 'arrived && is_active "$pad"'
  check "$wm: the main window came back from minimised, without the keyboard" \
    eval '[ -n "$(visible_main_window)" ] && is_active "$pad"'
  check "$wm: a word, Return and a blank typed on leave the notice open" \
    eval '[ "$(notice_window)" = "$note" ]'
  # The user turns to the notice after a pause, and presses Return.
  sleep 1.2
  xdotool windowactivate --sync "$note" >/dev/null 2>&1
  wait_for 30 is_active "$note"
  xdotool key Return
  check "$wm: after a pause, Return on the notice closes it" wait_for 30 eval '! notice_shown'
  # Brought back without the keyboard, the main window takes it again when asked.
  check "$wm: the main window takes the keyboard when the person turns to it" \
    activate "$W" "Tallowick: Quillmere"
  kill "$wish_pid" 2>/dev/null
  wait "$wish_pid" 2>/dev/null
}

# The window managers it runs under, in turn: openbox, then metacity;
# E2E_TYPING_WMS may add others for a trial by hand (xfwm4 kwin_x11 mutter).
wm_command() {
  case $1 in
    metacity) echo "metacity --replace --sm-disable" ;;
    xfwm4) echo "xfwm4 --replace --compositor=off --sm-client-disable" ;;
    kwin_x11) echo "kwin_x11 --replace" ;;
    mutter) echo "mutter --x11 --replace --sm-disable" ;;
  esac
}
# The window manager's check window: a new one when another takes over.
wm_check() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -o '0x[0-9a-f]*'; }
if command -v wish >/dev/null && command -v metacity >/dev/null; then
  # The notice of the first reminder goes first, answered as a user would.
  for old in $(xdotool search --onlyvisible --name '^Tallowick$' 2>/dev/null); do
    xdotool windowactivate --sync "$old" >/dev/null 2>&1
    wait_for 30 is_active "$old"
    xdotool key Return
  done
  wait_for 30 eval '! notice_shown'
  for wm in openbox metacity ${E2E_TYPING_WMS:-}; do
    if [ "$wm" != openbox ]; then
      before=$(wm_check)
      # shellcheck disable=SC2046  # the command's words
      $(wm_command "$wm") >>"$work/wm.log" 2>&1 &
      pids+=($!)
      wait_for 200 eval '[ -n "$(wm_check)" ] && [ "$(wm_check)" != "$before" ]'
      echo "e2e: window manager now $(xprop -id "$(wm_check)" _NET_WM_NAME | cut -s -d'"' -f2)"
    fi
    typing_check "$wm"
  done
else
  fail "the typing check's tools are installed (wish from tk, metacity)"
fi

# ---- Exit ------------------------------------------------------------------

activate "$W" "Tallowick: Quillmere"
click "${Command4[@]}"
confirmation() { xdotool search --onlyvisible --name '^Exit Confirmation$' 2>/dev/null | head -n1; }
asked() { [ -n "$(confirmation)" ]; }
wait_for 50 asked
box=$(confirmation)
if [ -n "$box" ]; then
  pass "Exit asked for confirmation"
  # The running Tallowick answers a start while its message box waits for the user.
  start_again fourth
  check "a start while the box is open ended with status 0 within 5 s, with no queue file made" \
    handed_over fourth
  wait "$again_pid"
  activate "$box" "Exit Confirmation"
  xdotool key Return
  ended_after_ok
else
  fail "Exit asked for confirmation"
fi
