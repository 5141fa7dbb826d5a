#!/usr/bin/python3
"""What a screen reader finds in Tallowick's main window, read through AT-SPI.

Lists every control a user can reach (showing and focusable, or a button of any kind) with
its role and name, and checks that each has a name a person would say, not a value; that
the objects never on screen (the due-time column under the Time column, the two tray
pictures under the lamps) are not exposed as showing; that the hour and minute boxes offer
their drop-down lists with every item; that the calendar's year box is named; and, with an
AT-SPI event listener, that a new text on the result line is announced as screen readers
such as Orca speak it (a notification coming into view), that the row the mail left waiting
describes why, in the result line's words, and that a notice is announced (an alert coming
into view, its message as its description), although it is not focused.

The result line is changed by an e-mail reminder due now, sent to a server that refuses the
connection (port 25 of 127.0.0.1 in a private network namespace); a pop-up reminder stored
after it brings up the notice at the same tick.

Usage: atspi_names.py HOUR MINUTE     (the current time, as the window's boxes take it)
Prints one PASS/FAIL line per check; exits 0 when every check passed.
"""

import re
import sys
import time

import pyatspi
from gi.repository import GLib

MAIN_PREFIX = "Tallowick: Quillmere"
failures = 0

REACHABLE_ROLES = (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
                   pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_SPIN_BUTTON,
                   pyatspi.ROLE_TEXT, pyatspi.ROLE_LIST, pyatspi.ROLE_TABLE)
# What the window must offer by name, the time boxes and the calendar parts among them.
EXPECTED = {"Hour", "Minute", "Days of the month", "Previous month", "Next month", "Time",
            "Store", "Hide", "Exit", "Message To send", "SMTP Mail Server", "Pop Up", "E-mail"}


def check(what, ok, detail=""):
    global failures
    print(("PASS: " if ok else "FAIL: ") + what + ("" if ok or not detail else f" ({detail})"),
          flush=True)
    if not ok:
        failures += 1
    return ok


def children(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield child


def descendants(node):
    for child in children(node):
        yield child
        yield from descendants(child)


def main_window():
    for app in children(pyatspi.Registry.getDesktop(0)):
        if app.name == "Tallowick":
            for frame in children(app):
                if frame.name.startswith(MAIN_PREFIX):
                    return frame
    return None


def has(node, state):
    return node.getState().contains(state)


def text_of(node):
    try:
        return node.queryText().getText(0, -1)
    except NotImplementedError:
        return None


def set_text(node, value):
    node.queryEditableText().setTextContents(value)


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "Toggle"):
            action.doAction(i)
            return True
    return False


def named(window, roles, name):
    for node in descendants(window):
        if node.getRole() in roles and node.name == name:
            return node
    return None


def check_names(window):
    reachable = []
    for node in descendants(window):
        role = node.getRole()
        if not has(node, pyatspi.STATE_SHOWING):
            continue
        if role in REACHABLE_ROLES and (has(node, pyatspi.STATE_FOCUSABLE)
                                        or role == pyatspi.ROLE_PUSH_BUTTON):
            reachable.append(node)
    for node in reachable:
        print(f"  {node.getRoleName():14} {node.name!r}")
    unnamed = [f"{n.getRoleName()} holding {text_of(n)!r}" for n in reachable if not n.name]
    check("every control a user can reach has a name", not unnamed, f"unnamed: {unnamed}")
    # A name that is only digits is the box's value read out as its name.
    values = [f"{n.getRoleName()} {n.name!r}" for n in reachable
              if re.fullmatch(r"[0-9: ]+", n.name or "")
              and n.getRole() != pyatspi.ROLE_PUSH_BUTTON]
    check("no control is named by its value", not values, f"{values}")
    names = {n.name for n in reachable}
    check("the hour and minute boxes, the calendar's grid and the buttons are named",
          EXPECTED <= names, f"missing {sorted(EXPECTED - names)}")
    for combo in (n for n in reachable if n.getRole() == pyatspi.ROLE_COMBO_BOX):
        fields = [c for c in children(combo) if c.getRole() == pyatspi.ROLE_TEXT]
        check(f"the edit field of {combo.name!r} carries its name",
              bool(fields) and all(f.name == combo.name for f in fields),
              f"{[f.name for f in fields]}")
    year = named(window, (pyatspi.ROLE_SPIN_BUTTON,), "Year")
    check("the calendar's year box is named", year is not None)


def check_time_lists(window):
    # As Qt's own combo box gives them: the drop-down list first, then the edit field.
    for name, items in (("Hour", [f"{h:02}" for h in range(24)]),
                        ("Minute", ["01", "10", "20", "30", "40", "50"])):
        box = named(window, (pyatspi.ROLE_COMBO_BOX,), name)
        got = [(child.getRoleName(), [item.name for item in children(child)
                                      if item.getRole() == pyatspi.ROLE_LIST_ITEM])
               for child in (children(box) if box else [])]
        check(f"the {name!r} box offers its list of {len(items)} items, then its edit field",
              got == [("list", items), ("text", [])], f"{got}")


def check_hidden(window):
    never_seen = ("Due time", "Tray picture, blue screen", "Tray picture, green screen")
    exposed = [f"{n.getRoleName()} {n.name!r}" for n in descendants(window)
               if n.name in never_seen
               and (has(n, pyatspi.STATE_SHOWING) or has(n, pyatspi.STATE_VISIBLE))]
    check("nothing that is never on screen is exposed as visible or showing", not exposed,
          f"{exposed}")


NOTICE_MESSAGE = "Stand up and stretch."


def check_announcement(window, hour, minute):
    heard = []
    alerts = []

    def on_event(event):
        source = event.source
        try:
            role = source.getRole()
        except Exception:  # the object may be gone already
            return
        if not event.type.startswith("object:state-changed:showing") or event.detail1 != 1:
            return
        if role == pyatspi.ROLE_NOTIFICATION:
            heard.append(source.name)
        elif role == pyatspi.ROLE_ALERT:
            alerts.append((source.name, source.description,
                           has(source, pyatspi.STATE_FOCUSED) or has(source, pyatspi.STATE_ACTIVE)))
        if heard and alerts:
            pyatspi.Registry.stop()

    def drive(steps):
        for roles, name, act in steps:
            node = named(window, (roles,), name)
            if node is None:
                check(f"the control {name!r} is found to store a reminder", False)
                pyatspi.Registry.stop()
                return False
            act(node)
        return False

    # As a screen reader listens: names followed as they change, and what comes into view.
    pyatspi.Registry.registerEventListener(on_event, "object:state-changed:showing",
                                           "object:property-change:accessible-name")
    GLib.idle_add(drive, [
        (pyatspi.ROLE_RADIO_BUTTON, "E-mail", press),
        (pyatspi.ROLE_TEXT, "SMTP Mail Server", lambda n: set_text(n, "127.0.0.1")),
        (pyatspi.ROLE_TEXT, "Hour", lambda n: set_text(n, hour)),
        (pyatspi.ROLE_TEXT, "Minute", lambda n: set_text(n, minute)),
        (pyatspi.ROLE_PUSH_BUTTON, "Store", press),
    ])
    # A press is an animated click, done a moment later: the pop-up reminder comes after.
    GLib.timeout_add(1000, drive, [
        (pyatspi.ROLE_RADIO_BUTTON, "Pop Up", press),
        (pyatspi.ROLE_TEXT, "Message To send", lambda n: set_text(n, NOTICE_MESSAGE)),
        (pyatspi.ROLE_PUSH_BUTTON, "Store", press),
    ])
    # The reminder is due at the next tick, at most 10 s away.
    GLib.timeout_add_seconds(25, pyatspi.Registry.stop)
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(on_event, "object:state-changed:showing",
                                             "object:property-change:accessible-name")
    check("the new result line is announced as a notification", bool(heard) and bool(heard[0]),
          f"heard {heard}")
    # The latest: a slow run may have heard a retry of the mail at the next tick too.
    line = heard[-1] if heard else ""
    result = named(window, (pyatspi.ROLE_NOTIFICATION,), line) if line else None
    check(f"the announcement reads the result line's text, {line!r}", result is not None)
    # The row the mail left waiting tells why on its status cell, in the same words.
    status = named(window, (pyatspi.ROLE_LIST,), "Status")
    waiting = None
    deadline = time.monotonic() + 5
    while status is not None and waiting is None and time.monotonic() < deadline:
        waiting = next((row for row in children(status) if row.name == "WT"), None)
        if waiting is None:
            time.sleep(0.2)
    said = waiting.description if waiting is not None else None
    check("the waiting row's status cell describes why it waits, as the result line said",
          bool(line) and said == line, f"{said!r}")
    name, description, focused = alerts[0] if alerts else ("", "", False)
    check("the notice is announced as an alert, named by its due time, its message as its "
          "description, without the focus",
          name.startswith("Tallowick: ") and len(name) > len("Tallowick: ")
          and description == NOTICE_MESSAGE and not focused, f"heard {alerts}")


def main():
    hour, minute = sys.argv[1], sys.argv[2]
    deadline = time.monotonic() + 30
    window = main_window()
    while window is None and time.monotonic() < deadline:
        time.sleep(0.2)
        window = main_window()
    if not check("Tallowick's main window is on the accessibility bus", window is not None):
        return 1
    check_names(window)
    check_time_lists(window)
    check_hidden(window)
    check_announcement(window, hour, minute)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
