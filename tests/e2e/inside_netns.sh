#!/usr/bin/env bash
# The part of the end-to-end run that lives in the private network namespace:
# the loopback SMTP sink on 127.0.0.1:25 and Tallowick itself, which connects
# to port 25 of the server the user types. Started by run.sh through unshare.
# Usage: inside_netns.sh WORK_DIR PATH/TO/tallowick PATH/TO/smtp_sink.py
# Files it writes in WORK_DIR: inner.pid (its own pid), sink.out and sink.err
# (the sink's output), app.pid, app.log and, once Tallowick has ended,
# app.rc (its exit status). It ends when Tallowick ends or on SIGTERM, and
# stops and waits for both of its children either way.
set -u

work=${1:?usage: inside_netns.sh WORK_DIR TALLOWICK SMTP_SINK}
app=${2:?usage: inside_netns.sh WORK_DIR TALLOWICK SMTP_SINK}
sink_script=${3:?usage: inside_netns.sh WORK_DIR TALLOWICK SMTP_SINK}

echo $$ >"$work/inner.pid"

sink_pid=""
app_pid=""
# shellcheck disable=SC2317  # called from the traps below
stop() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$sink_pid" ] && kill "$sink_pid" 2>/dev/null
  [ -n "$app_pid" ] && wait "$app_pid" 2>/dev/null
  [ -n "$sink_pid" ] && wait "$sink_pid" 2>/dev/null
  app_pid=""
  sink_pid=""
}
trap 'stop; exit 143' TERM INT
trap stop EXIT

if ! ip link set lo up; then
  echo "cannot bring up the loopback interface of the namespace" >"$work/inner.err"
  exit 1
fi

/usr/bin/python3 "$sink_script" --port 25 --ignore-stdin \
  </dev/null >"$work/sink.out" 2>"$work/sink.err" &
sink_pid=$!
for _ in $(seq 100); do
  grep -q '^PORT 25$' "$work/sink.out" 2>/dev/null && break
  kill -0 "$sink_pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q '^PORT 25$' "$work/sink.out" 2>/dev/null; then
  echo "the SMTP sink did not listen on port 25" >"$work/inner.err"
  exit 1
fi

mkdir -p "$work/cwd"
cd "$work/cwd" || exit 1
"$app" >"$work/app.log" 2>&1 &
app_pid=$!
echo "$app_pid" >"$work/app.pid"
# `wait` returns early when a trapped signal arrives; the trap then stops both.
wait "$app_pid"
rc=$?
app_pid=""
echo "$rc" >"$work/app.rc"
exit 0
