#!/usr/bin/env python3
"""Loopback SMTP sink for Tallowick's mail tests and benchmarks.

Listens on 127.0.0.1 (a free port unless --port is given), prints "PORT <n>" once it
accepts connections, then one JSON line per received message: the EHLO name, the envelope
and the message bytes (base64, as received, dots un-stuffed, end of data removed). Stops
when its standard input is closed (unless --ignore-stdin) or on SIGTERM.
"""

import argparse
import base64
import json
import signal
import socket
import sys
import threading

from aiosmtpd.controller import Controller


class Sink:
    def __init__(self, quiet):
        self.quiet = quiet
        self.lock = threading.Lock()

    async def handle_DATA(self, server, session, envelope):
        record = {
            "helo": session.host_name,
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "data_b64": base64.b64encode(envelope.original_content).decode("ascii"),
        }
        if not self.quiet:
            with self.lock:
                print(json.dumps(record), flush=True)
        return "250 2.0.0 Message accepted"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--quiet", action="store_true", help="do not print the messages")
    parser.add_argument("--ignore-stdin", action="store_true",
                        help="run until SIGTERM even when stdin is closed")
    args = parser.parse_args()

    controller = Controller(Sink(args.quiet), hostname="127.0.0.1",
                            port=args.port or free_port())
    controller.start()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    print(f"PORT {controller.port}", flush=True)

    def wait_for_stdin_eof():
        sys.stdin.read()
        stop.set()

    if not args.ignore_stdin:
        threading.Thread(target=wait_for_stdin_eof, daemon=True).start()
    try:
        stop.wait()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
