#!/usr/bin/python3
"""Reads weston's protocol dump (`weston-debug proto`, weston started with --debug and TZ=UTC)
and tells what became of every top-level window (xdg_toplevel) of its clients: its title, the
sizes it asked for, when weston first showed it on an output, and whether it is still there.

Usage: weston_proto.py PROTO_LOG      prints the windows as JSON, one object per line
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
                          "min_size": None, "max_size": None, "geometry": None}
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
    return windows


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return toplevels(f)


if __name__ == "__main__":
    for found in read(sys.argv[1]):
        print(json.dumps(found, ensure_ascii=False))
