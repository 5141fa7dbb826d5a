#!/usr/bin/python3
"""Reads Tallowick's windows through the accessibility bus (AT-SPI) and prints them as JSON.

What a screen reader would find: the main window's caption, the rows of every list of its
queue table, the texts of its text boxes and of its editable combo boxes (in window order), for
every notice window its caption and the text of its text box, and every top-level window of
the program with its role and states (message boxes, the stand-in tray icon). Controls are
found by role and accessible name. Needs Debian's python3-pyatspi and a session bus on which
Tallowick runs with accessibility switched on.

Usage: atspi_probe.py [APP_NAME]      (default: Tallowick)
       atspi_probe.py --focused       only which control of Tallowick's main window has the
                                      keyboard focus: {"focused": [ROLE, NAME]}; an editable
                                      combo box as ["combo box", INDEX], a multi-line text box
                                      by its own name, not that of its inner area
Prints {"found": false} when the application is not on the bus (yet).
"""

import json
import sys

import pyatspi

MAIN_CAPTION_PREFIX = "Tallowick: Quillmere"
NOTICE_TEXT_NAME = "Notice text"


def text_of(accessible):
    try:
        text = accessible.queryText()
    except NotImplementedError:
        return None
    return text.getText(0, -1)


def children(accessible):
    for i in range(accessible.childCount):
        child = accessible.getChildAtIndex(i)
        if child is not None:
            yield child


def descendants(accessible):
    for child in children(accessible):
        yield child
        yield from descendants(child)


def state_names(accessible):
    states = accessible.getState()
    return {
        "visible": states.contains(pyatspi.STATE_VISIBLE),
        "showing": states.contains(pyatspi.STATE_SHOWING),
        "enabled": states.contains(pyatspi.STATE_ENABLED),
        "active": states.contains(pyatspi.STATE_ACTIVE),
    }


def main_window(frame):
    lists = {}
    texts = {}
    buttons = {}
    combos = []
    for node in descendants(frame):
        role = node.getRole()
        if role == pyatspi.ROLE_LIST and node.name:
            lists[node.name] = [item.name for item in children(node)
                                if item.getRole() == pyatspi.ROLE_LIST_ITEM]
        elif role == pyatspi.ROLE_COMBO_BOX:
            # An editable combo box is named after its text; read its edit field instead.
            combos.extend(text_of(child) for child in children(node)
                          if child.getRole() == pyatspi.ROLE_TEXT)
        elif role == pyatspi.ROLE_TEXT and node.name:
            texts[node.name] = text_of(node)
        elif role == pyatspi.ROLE_PUSH_BUTTON and node.name:
            buttons[node.name] = state_names(node)["enabled"]
    return {"caption": frame.name, "states": state_names(frame), "lists": lists,
            "texts": texts, "combos": combos, "buttons": buttons}


def notice_window(frame):
    texts = [text_of(node) for node in descendants(frame)
             if node.getRole() == pyatspi.ROLE_TEXT and node.name == NOTICE_TEXT_NAME]
    return {"caption": frame.name, "states": state_names(frame), "texts": texts}


def focused_control(frame):
    """The focused control of the window as [role, name], or None. Skips the lists, whose
    rows never take the focus from a box, to stay quick: this is polled."""
    combos = 0

    def walk(parent, parent_id):
        nonlocal combos
        for node in children(parent):
            role = node.getRole()
            if role in (pyatspi.ROLE_LIST, pyatspi.ROLE_TABLE):
                continue
            if role == pyatspi.ROLE_COMBO_BOX:
                fields = [child for child in children(node) if child.getRole() == pyatspi.ROLE_TEXT]
                combos += 1 if fields else 0
                if any(item.getState().contains(pyatspi.STATE_FOCUSED) for item in [node] + fields):
                    return ["combo box", combos - 1] if fields else ["combo box", node.name]
                continue
            node_id = [node.getRoleName(), node.name] if node.name else parent_id
            if node.getState().contains(pyatspi.STATE_FOCUSED):
                return node_id
            found = walk(node, node_id)
            if found:
                return found
        return None

    return walk(frame, [frame.getRoleName(), frame.name])


def main():
    if sys.argv[1:] == ["--focused"]:
        focused = None
        for app in children(pyatspi.Registry.getDesktop(0)):
            if app.name == "Tallowick":
                for frame in children(app):
                    if frame.name.startswith(MAIN_CAPTION_PREFIX):
                        focused = focused_control(frame)
        json.dump({"focused": focused}, sys.stdout, ensure_ascii=False)
        sys.stdout.write("\n")
        return
    app_name = sys.argv[1] if len(sys.argv) > 1 else "Tallowick"
    desktop = pyatspi.Registry.getDesktop(0)
    result = {"found": False, "main": None, "notices": [], "windows": []}
    for app in children(desktop):
        if app.name != app_name:
            continue
        result["found"] = True
        for frame in children(app):
            result["windows"].append({"caption": frame.name, "role": frame.getRoleName(),
                                      "states": state_names(frame)})
            if frame.name.startswith(MAIN_CAPTION_PREFIX):
                result["main"] = main_window(frame)
            else:
                notice = notice_window(frame)
                if notice["texts"]:
                    result["notices"].append(notice)
    json.dump(result, sys.stdout, ensure_ascii=False)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
