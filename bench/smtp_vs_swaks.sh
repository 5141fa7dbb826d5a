#!/usr/bin/env bash
# Wall time of one SendMail against a loopback aiosmtpd sink, next to swaks sending the same
# message to the same sink. Figures only; nothing is asserted.
# Usage: bench/smtp_vs_swaks.sh [BUILD_DIR] [RUNS]   (default: build, 5)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-5}
python=/usr/bin/python3
[ -x "$python" ] || python=python3
sender="$build/bench/bench_smtp_send"
[ -x "$sender" ] || { echo "build bench_smtp_send first ($sender)" >&2; exit 1; }
command -v swaks >/dev/null || { echo "swaks is not installed" >&2; exit 1; }

work=$(mktemp -d)
sink_pid=
cleanup() {
  if [ -n "$sink_pid" ]; then
    kill "$sink_pid" 2>/dev/null || true
    wait "$sink_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

"$python" "$root/tests/mail/smtp_sink.py" --quiet --ignore-stdin >"$work/sink.out" 2>"$work/sink.err" &
sink_pid=$!
for _ in $(seq 100); do
  grep -q '^PORT ' "$work/sink.out" 2>/dev/null && break
  sleep 0.1
done
port=$(awk '/^PORT /{print $2}' "$work/sink.out")
[ -n "$port" ] || { echo "the sink did not start:" >&2; cat "$work/sink.err" >&2; exit 1; }

# The header lines and body of the program's message, for swaks to send as its DATA.
host=$(hostname)
{
  printf 'Return-Path: Tallowick32@%s\r\n' "$host"
  printf 'Date: %s\r\n' "$(LC_ALL=C date -R)"
  printf 'Message-Id: <160-A.%s@%s>\r\n' "$(date +%Y%m%d%H%M%S)" "$host"
  printf 'X-LocalSender: Tallowick@%s\r\n' "$host"
  printf 'X-Mailer: Orvane Version 160-A (A)\r\nOrganization: Orvane Quillmere.\r\nMIME-Version: 1.0\r\n'
  printf 'From: Bench <bench@example.org>\r\nTo: rcpt@example.org\r\nSubject: Reminder\r\n'
  printf 'Content-Type: multipart/mixed;\r\n              boundary=Unique-Boundary\r\n\r\n'
  printf ' [ Random garbage here ]\r\n\r\n [ Random garbage here ]\r\n\r\n\r\n--Unique-Boundary\r\n'
  printf 'Content-type: text/plain; charset=US-ASCII\r\n\r\n Water the plants.\r\n\r\n\r\n'
  printf -- '--Unique-Boundary--\r\n\r\n'
} >"$work/message.eml"

echo "sink: aiosmtpd on 127.0.0.1:$port; $runs runs each"
echo "== Tallowick SendMail (one session per run, in one process)"
"$sender" "$port" "$runs" | grep -v '^result line'
echo "== Tallowick bench_smtp_send (one process and session per run, start-up included)"
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  "$sender" "$port" 1 >/dev/null || echo "bench_smtp_send failed"
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "process: %.2f ms\n", ns / 1e6 }'
done
echo "== swaks (one process and session per run, start-up included)"
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  swaks --server "127.0.0.1:$port" --ehlo MailerDaemon --from bench@example.org \
        --to rcpt@example.org --data "$work/message.eml" --suppress-data >/dev/null 2>&1 ||
    echo "swaks failed"
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "swaks: %.2f ms\n", ns / 1e6 }'
done
