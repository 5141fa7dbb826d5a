#!/usr/bin/python3
"""Drives Tallowick's windows through the accessibility bus (AT-SPI), for displays without an
input tool (Wayland): texts are set through the editable-text interface, buttons and option
buttons are pressed through their actions. Controls are found by role and accessible name,
as atspi_probe.py finds them.

Usage: atspi_drive.py [--window CAPTION_PREFIX] STEP...
  text NAME VALUE    replace the text of the text box named NAME
  combo INDEX VALUE  replace the text of the INDEX-th editable combo box (0: hour, 1: minute)
  press NAME         press the button or option button named NAME
The steps act on the application's top-level window whose caption starts with CAPTION_PREFIX
(default: the main window's "Tallowick: Quillmere"). Stops at the first step that fails, with
a line on standard error, and exits 1; exits 0 when every step was done.
"""

import sys

import pyatspi

from atspi_probe import MAIN_CAPTION_PREFIX, children, descendants, text_of

APP_NAME = "Tallowick"
ACTIONS_THAT_PRESS = ("Press", "Toggle")


class StepFailed(Exception):
    pass


def find_window(prefix):
    for app in children(pyatspi.Registry.getDesktop(0)):
        if app.name != APP_NAME:
            continue
        for frame in children(app):
            if frame.name.startswith(prefix):
                return frame
    raise StepFailed(f"no window of {APP_NAME} captioned {prefix!r}...")


def find_control(window, roles, name):
    for node in descendants(window):
        if node.getRole() in roles and node.name == name:
            return node
    raise StepFailed(f"no control named {name!r} in {window.name!r}")


def set_text(node, value, what):
    try:
        editable = node.queryEditableText()
    except NotImplementedError:
        raise StepFailed(f"{what} cannot be edited") from None
    if not editable.setTextContents(value):
        raise StepFailed(f"{what} refused the text")
    if text_of(node) != value:
        raise StepFailed(f"{what} holds {text_of(node)!r} after setting {value!r}")


def do_text(window, name, value):
    set_text(find_control(window, (pyatspi.ROLE_TEXT,), name), value, f"the box {name!r}")


def do_combo(window, index, value):
    combos = [node for node in descendants(window) if node.getRole() == pyatspi.ROLE_COMBO_BOX]
    if int(index) >= len(combos):
        raise StepFailed(f"no combo box number {index} ({len(combos)} found)")
    fields = [child for child in children(combos[int(index)])
              if child.getRole() == pyatspi.ROLE_TEXT]
    if not fields:
        raise StepFailed(f"combo box number {index} has no edit field")
    set_text(fields[0], value, f"combo box number {index}")


def do_press(window, name):
    roles = (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_CHECK_BOX)
    node = find_control(window, roles, name)
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ACTIONS_THAT_PRESS:
            if not action.doAction(i):
                raise StepFailed(f"{name!r} refused the action {action.getName(i)!r}")
            return
    raise StepFailed(f"{name!r} offers no action that presses it (it may be disabled)")


STEPS = {"text": (do_text, 2), "combo": (do_combo, 2), "press": (do_press, 1)}


def main(argv):
    prefix = MAIN_CAPTION_PREFIX
    if len(argv) >= 2 and argv[0] == "--window":
        prefix, argv = argv[1], argv[2:]
    try:
        window = find_window(prefix)
        while argv:
            verb = argv[0]
            if verb not in STEPS:
                raise StepFailed(f"unknown step {verb!r}")
            function, count = STEPS[verb]
            if len(argv) < 1 + count:
                raise StepFailed(f"{verb} needs {count} argument(s)")
            function(window, *argv[1:1 + count])
            argv = argv[1 + count:]
    except StepFailed as e:
        print(f"atspi_drive: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
