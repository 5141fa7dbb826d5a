#!/usr/bin/python3
"""Rounds of use, as a screen-reader user has them, for the memory soak (soak_memory.sh).

Each round stores POPUPS pop-up entries and MAILS e-mail entries due this minute through the
main window's accessible controls (texts set, Store pressed), waits until the ticks have
delivered every one (all rows "OK" in the Status column), presses OK on every notice, removes
every row (a mouse click on the first row, then Remove), and then reads the program's resident
memory (VmRSS of PID). The queue table and the notices are read through the accessibility bus
all along, as a screen reader reads them.

Usage: soak_drive.py PID ROUNDS [POPUPS] [MAILS]      (default: 20 pop-ups, 4 mails)
Prints one line a round: "round N rss_kib=K growth_kib=G seconds=S", round 0 being the program
before the first round. Exits 1, with a line on standard error, when a round cannot be done.
"""

import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from atspi_drive import (StepFailed, do_combo, do_press, do_text,  # noqa: E402
                         find_window)
from atspi_probe import NOTICE_TEXT_NAME, children, descendants  # noqa: E402

APP_NAME = "Tallowick"
SERVER = "127.0.0.1"
ORIGINATOR = "soak@sender.test"
RECIPIENT = "reader@example.test"
DELIVERED = "OK"
# The tick comes every ten seconds; a round's deliveries, four mail sessions to a loopback
# server among them, take one or two.
DELIVERY_SECONDS = 60
STEP_SECONDS = 10


def rss_kib(pid):
    with open(f"/proc/{pid}/status", encoding="ascii") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise StepFailed(f"no VmRSS for process {pid}")


def fresh():
    # What the bus said a moment ago is not what the program shows now.
    pyatspi.clearCache()


def main_window():
    fresh()
    return find_window("Tallowick: Quillmere")


def column(window, name):
    # Not into the other lists' rows: the one wanted is read in full afterwards.
    waiting = list(children(window))
    while waiting:
        node = waiting.pop(0)
        if node.getRole() == pyatspi.ROLE_LIST:
            if node.name == name:
                return node
            continue
        waiting.extend(children(node))
    raise StepFailed(f"no list named {name!r}")


def rows(window, name="Status"):
    # A row removed while it is being read is gone from the bus: read again.
    for _ in range(20):
        try:
            return [item.name for item in children(column(window, name))
                    if item.getRole() == pyatspi.ROLE_LIST_ITEM]
        except GLib.GError:
            time.sleep(0.1)
            window = main_window()
    raise StepFailed(f"the list {name!r} could not be read")


def until(what, seconds, condition):
    deadline = time.monotonic() + seconds
    while True:
        try:
            value = condition()
        except GLib.GError:  # an object went from the bus while being read
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise StepFailed(f"{what}: not within {seconds} s")
        time.sleep(0.2)


def store(window, count_before):
    # A tick disables Store while it runs; a press then goes nowhere, and is made again.
    def stored():
        try:
            do_press(window, "Store")
        except StepFailed:
            return False
        try:
            return until("the row", 2, lambda: len(rows(main_window())) > count_before)
        except StepFailed:
            return False
    until(f"Store took entry {count_before + 1}", STEP_SECONDS * 3, stored)


def store_entries(popups, mails):
    window = main_window()
    hour, minute = time.strftime("%H %M").split()
    do_combo(window, 0, hour)
    do_combo(window, 1, minute)
    count = len(rows(window))
    do_press(window, "E-mail")
    do_text(window, "SMTP Mail Server", SERVER)
    do_text(window, "From: (E-mail address)", ORIGINATOR)
    do_text(window, "To: (E-mail Address)", RECIPIENT)
    do_text(window, "Subject", "Soak")
    for i in range(mails):
        do_text(window, "Message To send", f"Soak mail {i + 1}")
        store(window, count)
        count += 1
    do_press(window, "Pop Up")
    for i in range(popups):
        do_text(window, "Message To send", f"Soak notice {i + 1}")
        store(window, count)
        count += 1
    return count


def notices():
    fresh()
    found = []
    for app in children(pyatspi.Registry.getDesktop(0)):
        if app.name != APP_NAME:
            continue
        for frame in children(app):
            if frame.name.startswith("Tallowick: Quillmere"):
                continue
            if any(node.getRole() == pyatspi.ROLE_TEXT and node.name == NOTICE_TEXT_NAME
                   for node in descendants(frame)):
                found.append(frame)
    return found


def close_notices(expected):
    until(f"{expected} notices open", STEP_SECONDS, lambda: len(notices()) >= expected)
    for notice in notices():
        do_press(notice, "OK")
    until("every notice closed", STEP_SECONDS, lambda: not notices())


def click_first_row(window):
    item = next(item for item in children(column(window, "Time"))
                if item.getRole() == pyatspi.ROLE_LIST_ITEM)
    box = item.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                    str(box.y + box.height // 2), "click", "1"], check=True)


def remove_rows():
    def removed_one(count):
        window = main_window()
        click_first_row(window)
        try:
            until("Remove enabled", 2, remove_enabled)
            do_press(main_window(), "Remove")
            return until("the row removed", 2, lambda: len(rows(main_window())) < count)
        except StepFailed:
            return False

    while (count := len(rows(main_window()))) > 0:
        until(f"row {count} removed", STEP_SECONDS * 3, lambda: removed_one(count))


def remove_enabled():
    for node in descendants(main_window()):
        if node.getRole() == pyatspi.ROLE_PUSH_BUTTON and node.name == "Remove":
            return node.getState().contains(pyatspi.STATE_ENABLED)
    return False


def run_round(popups, mails):
    count = store_entries(popups, mails)
    until("every entry delivered", DELIVERY_SECONDS,
          lambda: (lambda s: len(s) == count and all(v == DELIVERED for v in s))(
              rows(main_window())))
    close_notices(popups)
    remove_rows()


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    pid, rounds = int(argv[0]), int(argv[1])
    popups = int(argv[2]) if len(argv) > 2 else 20
    mails = int(argv[3]) if len(argv) > 3 else 4
    try:
        first = last = rss_kib(pid)
        print(f"round 0 rss_kib={first} growth_kib=0 seconds=0", flush=True)
        for n in range(1, rounds + 1):
            started = time.monotonic()
            run_round(popups, mails)
            # Closed notices and removed rows are deleted when the event loop comes round.
            time.sleep(1)
            now = rss_kib(pid)
            print(f"round {n} rss_kib={now} growth_kib={now - last} "
                  f"seconds={time.monotonic() - started:.0f}", flush=True)
            last = now
        print(f"total growth_kib={last - first} over {rounds} rounds", flush=True)
    except (StepFailed, StopIteration, subprocess.CalledProcessError) as e:
        print(f"soak_drive: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
