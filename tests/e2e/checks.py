#!/usr/bin/python3
"""Checks of the end-to-end run: what the SMTP sink received, and what the windows showed.

Each check prints one line, "PASS: <what>" or "FAIL: <what> (<why>)"; run.sh counts them.
The exit status is the number of failed checks (at most 100).

  checks.py mail SINK_OUT --mail-from A --rcpt-to B --subject S --message M --host H
  checks.py queue STATE_JSON --subject S --recipient R --mail-message M --popup-message P
                             --display-line L
  checks.py notice STATE_JSON --display-line L --message M
  checks.py restored STATE_JSON [--statuses S...]
  checks.py hidden STATE_JSON --stand-in CAPTION
  checks.py compositor PROTO_LOG [--shown TITLE_RE]... [--gone TITLE_RE]... [--exact-size TITLE W H]
                                 [--drawn TITLE_RE]... [--pointer-in TITLE_RE]
"""

import argparse
import base64
import datetime
import email
import email.policy
import email.utils
import json
import re
import sys

import weston_proto

DAY_NAMES = "Mon|Tue|Wed|Thu|Fri|Sat|Sun"
MONTH_NAMES = "Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec"
STATUS_DELIVERED = "OK"


class Report:
    def __init__(self):
        self.failed = 0

    def check(self, what, ok, why=""):
        if ok:
            print(f"PASS: {what}")
        else:
            self.failed += 1
            print(f"FAIL: {what}" + (f" ({why})" if why else ""))
        return ok

    def equal(self, what, got, want):
        return self.check(what, got == want, f"got {got!r}, want {want!r}")


def read_records(path):
    records = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line.startswith("{"):
                records.append(json.loads(line))
    return records


def check_mail(args, report):
    records = read_records(args.sink_out)
    if not report.equal("the sink received exactly one message", len(records), 1):
        if not records:
            return
    record = records[0]
    report.equal("envelope: mail from as typed", record["mail_from"], args.mail_from)
    report.equal("envelope: rcpt to as typed", record["rcpt_tos"], [args.rcpt_to])
    report.equal("ehlo gives the fixed name", record["helo"], "MailerDaemon")

    data = base64.b64decode(record["data_b64"])
    head, sep, rest = data.partition(b"\r\n\r\n")
    if not report.check("the header ends with an empty line", bool(sep)):
        return
    lines = head.decode("ascii", errors="replace").split("\r\n")
    want = [
        ("Return-Path", re.escape(f"Return-Path: Tallowick32@{args.host}")),
        ("Date", rf"Date: ({DAY_NAMES}), \d\d ({MONTH_NAMES}) \d{{4}} \d\d:\d\d:\d\d [+-]\d{{4}}"),
        ("Message-Id", rf"Message-Id: <160-A\.\d{{14}}\.\d+\.\d+@{re.escape(args.host)}>"),
        ("X-LocalSender", re.escape(f"X-LocalSender: Tallowick@{args.host}")),
        ("X-Mailer", re.escape("X-Mailer: Orvane Version 160-A (A)")),
        ("Organization", re.escape("Organization: Orvane Quillmere.")),
        ("MIME-Version", re.escape("MIME-Version: 1.0")),
        ("From", re.escape(f"From: {args.mail_from}")),
        ("To", re.escape(f"To: {args.rcpt_to}")),
        ("Subject", re.escape(f"Subject: {args.subject}")),
        ("Content-Type", re.escape("Content-Type: multipart/mixed;")),
        ("boundary continuation", re.escape("              boundary=Unique-Boundary")),
    ]
    report.equal("the header has exactly 12 lines", len(lines), len(want))
    for i, (name, pattern) in enumerate(want):
        got = lines[i] if i < len(lines) else None
        report.check(f"header line {i + 1}: {name}",
                     got is not None and re.fullmatch(pattern, got) is not None,
                     f"got {got!r}, want /{pattern}/")

    # The Date is the local time of sending, with its zone offset: within a few minutes of now.
    date_line = lines[1] if len(lines) > 1 else ""
    try:
        sent = email.utils.parsedate_to_datetime(date_line.removeprefix("Date: "))
        skew = abs((datetime.datetime.now(datetime.timezone.utc) - sent).total_seconds())
        report.check("the Date is the time of sending", skew < 180, f"{skew:.0f} s away")
    except (TypeError, ValueError) as e:
        report.check("the Date is the time of sending", False, str(e))

    # The typed message, after the blank the queue puts in front, is the text part as it is.
    part = (b"\r\n--Unique-Boundary\r\nContent-type: text/plain; charset=US-ASCII\r\n\r\n"
            + b" " + args.message.encode("ascii") + b"\r\n\r\n\r\n--Unique-Boundary")
    report.check("the body holds the typed message as one text/plain part", part in rest,
                 f"body was {rest!r}")

    # What a mail reader makes of it.
    msg = email.message_from_bytes(data, policy=email.policy.default)
    report.equal("a mail reader sees multipart/mixed", msg.get_content_type(), "multipart/mixed")
    report.equal("a mail reader sees boundary Unique-Boundary", msg.get_boundary(),
                 "Unique-Boundary")
    texts = [p.get_content() for p in msg.iter_parts()] if msg.is_multipart() else []
    report.check("a mail reader finds the typed message",
                 any(t.rstrip("\r\n") == " " + args.message for t in texts), f"parts {texts!r}")


def load_state(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def check_queue(args, report):
    state = load_state(args.state)
    main = state.get("main")
    if not report.check("the main window is on the accessibility bus", main is not None):
        return
    lists = main["lists"]
    report.equal("column S: both entries delivered", lists.get("Status"),
                 [STATUS_DELIVERED, STATUS_DELIVERED])
    report.equal("column F: e-mail then pop-up", lists.get("Delivery"), ["MX", "PU"])
    report.equal("column Time: the due minute", lists.get("Time"),
                 [args.display_line, args.display_line])
    report.equal("column Subject", lists.get("Subject"), [args.subject, args.subject])
    report.equal("column Recipient", lists.get("Recipient"), [args.recipient, args.recipient])
    report.equal("column Message", lists.get("Message"),
                 [" " + args.mail_message, " " + args.popup_message])


def split_lines(text):
    return re.split(r"\r\n|\n|\r|\u2029|\u2028", text)


def check_notice(args, report):
    state = load_state(args.state)
    notices = state.get("notices", [])
    if not report.equal("one notice window on the accessibility bus", len(notices), 1):
        if not notices:
            return
    notice = notices[0]
    # A screen reader names the notice by the program and its due time.
    report.equal("the notice window's name", notice["caption"], "Tallowick: " + args.display_line)
    text = notice["texts"][0] if notice["texts"] else ""
    report.equal("the notice shows the display line, then the message", split_lines(text),
                 [" " + args.display_line, " " + args.message])


def check_restored(args, report):
    main = load_state(args.state).get("main")
    if not report.check("the main window is on the accessibility bus", main is not None):
        return
    report.check("the restored main window is shown and enabled",
                 main["states"]["showing"] and main["states"]["enabled"], f"{main['states']}")
    report.equal("the queue is unchanged by hiding", main["lists"].get("Status"), args.statuses)


def check_hidden(args, report):
    state = load_state(args.state)
    main = state.get("main")
    if not report.check("the main window is on the accessibility bus", main is not None):
        return
    report.check("the hidden main window is neither shown nor enabled",
                 not main["states"]["showing"] and not main["states"]["enabled"],
                 f"{main['states']}")
    stand_ins = [w for w in state.get("windows", []) if w["caption"] == args.stand_in]
    report.check(f"a stand-in window \"{args.stand_in}\" is shown",
                 len(stand_ins) == 1 and stand_ins[0]["states"]["showing"],
                 f"windows {state.get('windows')}")


def check_compositor(args, report):
    windows = weston_proto.read(args.proto)

    def latest(pattern):
        found = [w for w in windows if re.fullmatch(pattern, w["title"])]
        return found[-1] if found else None

    for pattern in args.shown:
        window = latest(pattern)
        report.check(f"weston shows a window titled /{pattern}/ on its output",
                     window is not None and window["on_output"] and not window["destroyed"],
                     f"{window}" if window else "no such window")
    for pattern in args.gone:
        shown = [w for w in windows if re.fullmatch(pattern, w["title"]) and w["on_output"]]
        report.check(f"weston shows no window titled /{pattern}/ any more", not shown, f"{shown}")
    for pattern in args.drawn:
        window = latest(pattern)
        report.check(f"weston has drawn the window titled /{pattern}/",
                     window is not None and window["drawn"] and not window["destroyed"],
                     f"{window}" if window else "no such window")
    for pattern in args.pointer_in:
        window = latest(pattern)
        report.check(f"weston gave the window titled /{pattern}/ the pointer",
                     window is not None and window["pointer"],
                     f"{window}" if window else "no such window")
    for title, width, height in args.exact_size:
        window = latest(re.escape(title))
        size = [int(width), int(height)]
        # A window that got a title bar is larger than what its widget asked for.
        report.check(f"\"{title}\" is exactly {width}x{height}, with no title bar around it",
                     window is not None and window["min_size"] == size
                     and window["max_size"] == size and window["geometry"] == size,
                     f"{window}" if window else "no such window")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="what", required=True)
    mail = sub.add_parser("mail")
    mail.add_argument("sink_out")
    mail.add_argument("--mail-from", required=True)
    mail.add_argument("--rcpt-to", required=True)
    mail.add_argument("--subject", required=True)
    mail.add_argument("--message", required=True)
    mail.add_argument("--host", required=True)
    queue = sub.add_parser("queue")
    queue.add_argument("state")
    queue.add_argument("--subject", required=True)
    queue.add_argument("--recipient", required=True)
    queue.add_argument("--mail-message", required=True)
    queue.add_argument("--popup-message", required=True)
    queue.add_argument("--display-line", required=True)
    notice = sub.add_parser("notice")
    notice.add_argument("state")
    notice.add_argument("--display-line", required=True)
    notice.add_argument("--message", required=True)
    restored = sub.add_parser("restored")
    restored.add_argument("state")
    restored.add_argument("--statuses", nargs="*", default=[STATUS_DELIVERED, STATUS_DELIVERED],
                          help="the status column the queue had when hidden")
    hidden = sub.add_parser("hidden")
    hidden.add_argument("state")
    hidden.add_argument("--stand-in", required=True)
    compositor = sub.add_parser("compositor")
    compositor.add_argument("proto")
    compositor.add_argument("--shown", action="append", default=[])
    compositor.add_argument("--gone", action="append", default=[])
    compositor.add_argument("--exact-size", nargs=3, action="append", default=[])
    compositor.add_argument("--drawn", action="append", default=[])
    compositor.add_argument("--pointer-in", action="append", default=[])
    args = parser.parse_args()

    report = Report()
    {"mail": check_mail, "queue": check_queue, "notice": check_notice,
     "restored": check_restored, "hidden": check_hidden,
     "compositor": check_compositor}[args.what](args, report)
    return min(report.failed, 100)


if __name__ == "__main__":
    sys.exit(main())
