#!/usr/bin/python3
"""Reads weston's protocol dump (`weston-debug proto`, weston started with --debug and TZ=UTC)
and tells what became of every top-level window (xdg_toplevel) of its clients: its title, the
sizes it asked for, when weston first showed it on an output, whether weston has repainted with
its picture (answered a frame callback of its surface), whether it is still there, and
whether it has the pointer (weston sent it wl_pointer.enter and no leave since); and whether
weston has put the desktop shell's first picture (panel and background) on its output.

Usage: weston_proto.py PROTO_LOG                 prints the windows as JSON, one object per line
       weston_proto.py --desktop-drawn PROTO_LOG exits 0 once the desktop shell's first picture
                                                 is on the output, 1 before
Used by wayland.sh (through checks.py) and by bench/wayland_figures.sh.
"""

import datetime
import json
import re
import sys

LINE = re.compile(r"^\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})\]\[proto\] client (\S+) (rq|ev) "
                  r"(\w+)@(\d+)\.(\w+)\((.*)\)$")
NEW_ID = re.compile(r"new id (\w+)@(\d+)")
OBJECT = re.compile(r"(\w+)@(\d+)")
NUMBERS = re.compile(r"-?\d+")
STRING = re.compile(r'^"(.*)"$')


def timestamp(text):
    """Seconds since the epoch of one of weston's time stamps (weston runs with TZ=UTC)."""
    stamp = datetime.datetime.strptime(text, "%Y-%m-%d %H:%M:%S.%f")
    return stamp.replace(tzinfo=datetime.timezone.utc).timestamp()


def toplevels(lines):
    """Every xdg_toplevel of the dump, in the order they were made."""
    windows = []
    surface_of = {}  # (client, xdg_surface id) -> wl_surface id
    by_xdg_surface = {}  # (client, xdg_surface id) -> window
    live = {}  # (client, xdg_toplevel id) -> window
    by_surface = {}  # (client, wl_surface id) -> window
    callbacks = {}  # (client, wl_callback id) -> window whose frame callback it is
    for line in lines:
        match = LINE.match(line.rstrip("\n"))
        if not match:
            continue
        when, client, direction, interface, number, method, args = match.groups()
        key = (client, number)
        if interface == "xdg_wm_base" and method == "get_xdg_surface":
            objects = OBJECT.findall(args)
            if len(objects) == 2:
                surface_of[(client, objects[0][1])] = objects[1][1]
        elif interface == "xdg_surface" and method == "get_toplevel":
            made = NEW_ID.search(args)
            surface = surface_of.get(key)
            if made and surface:
                window = {"title": "", "client": client, "created": timestamp(when),
                          "mapped": None, "on_output": False, "destroyed": False,
                          "min_size": None, "max_size": None, "geometry": None,
                          "drawn": False, "pointer": False}
                windows.append(window)
                live[(client, made.group(2))] = window
                by_surface[(client, surface)] = window
                by_xdg_surface[key] = window
        elif interface == "xdg_surface" and method == "set_window_geometry":
            if key in by_xdg_surface:
                by_xdg_surface[key]["geometry"] = [int(n) for n in NUMBERS.findall(args)][2:4]
        elif interface == "xdg_toplevel" and key in live:
            window = live[key]
            if method == "set_title":
                title = STRING.match(args)
                window["title"] = title.group(1) if title else args
            elif method in ("set_min_size", "set_max_size"):
                window[method[4:]] = [int(n) for n in NUMBERS.findall(args)]
            elif method == "destroy":
                window["destroyed"] = True
                window["on_output"] = False
                window["pointer"] = False
                del live[key]
        elif interface == "wl_surface" and direction == "ev" and method in ("enter", "leave"):
            window = by_surface.get(key)
            if window is not None and not window["destroyed"]:
                if method == "enter":
                    window["on_output"] = True
                    if window["mapped"] is None:
                        window["mapped"] = timestamp(when)
                else:
                    window["on_output"] = False
        elif interface == "wl_surface" and direction == "rq" and method == "frame":
            made = NEW_ID.search(args)
            if made and key in by_surface:
                callbacks[(client, made.group(2))] = by_surface[key]
        elif interface == "wl_callback" and direction == "ev" and method == "done":
            window = callbacks.pop(key, None)
            if window is not None and not window["destroyed"]:
                window["drawn"] = True
        elif interface == "wl_pointer" and direction == "ev" and method in ("enter", "leave"):
            surface = OBJECT.search(args)
            window = by_surface.get((client, surface.group(2))) if surface else None
            if window is not None and not window["destroyed"]:
                window["pointer"] = method == "enter"
    return windows


def desktop_drawn(lines):
    """True once weston has repainted its output with the desktop shell's first picture: the
    shell asks for a frame callback on its panel and on its background, then says it is ready;
    weston answers those callbacks (wl_callback.done) only after a repaint that showed them."""
    waiting = {}  # client -> frame callbacks asked for up to desktop_ready
    ready = set()
    for line in lines:
        match = LINE.match(line.rstrip("\n"))
        if not match:
            continue
        _, client, direction, interface, number, method, args = match.groups()
        if direction == "rq" and interface == "wl_surface" and method == "frame":
            made = NEW_ID.search(args)
            if made and client not in ready:
                waiting.setdefault(client, set()).add(made.group(2))
        elif direction == "rq" and interface == "weston_desktop_shell" and method == "desktop_ready":
            ready.add(client)
        elif direction == "ev" and interface == "wl_callback" and method == "done":
            waiting.get(client, set()).discard(number)
            if client in ready and not waiting.get(client):
                return True
    return False


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return toplevels(f)


if __name__ == "__main__":
    if sys.argv[1] == "--desktop-drawn":
        with open(sys.argv[2], encoding="utf-8", errors="replace") as f:
            sys.exit(0 if desktop_drawn(f) else 1)
    for found in read(sys.argv[1]):
        print(json.dumps(found, ensure_ascii=False))
