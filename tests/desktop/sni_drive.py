#!/usr/bin/python3
"""Drives Tallowick under sway with waybar's tray, a StatusNotifier host, and checks that its
tray icon's menu brings the window back and asks to exit.

Runs inside the session (sway, waybar and Tallowick already started, SWAYSOCK and the session
bus set). Hide is pressed through AT-SPI; the host's side is played through the calls a
StatusNotifier host makes (com.canonical.dbusmenu AboutToShow, GetLayout and Event, and
org.kde.StatusNotifierItem Activate) to the icon that waybar's watcher lists, and by real
clicks of a pointer (wl_pointer.py) on the icon in waybar and on the menu waybar opens.

Then a notice that comes due while a terminal (weston-terminal) is typed into (wtype): the keys
typed on do not answer it.

Usage: sni_drive.py
Prints one PASS/FAIL line per check; exits 0 when every check passed.
"""

import json
import subprocess
import sys
import time

import pyatspi
from gi.repository import Gio, GLib

from wl_pointer import RIGHT, VirtualPointer

MAIN_PREFIX = "Tallowick: Quillmere"
WATCHER = "org.kde.StatusNotifierWatcher"
ITEM_IFACE = "org.kde.StatusNotifierItem"
MENU_IFACE = "com.canonical.dbusmenu"
BAR_HEIGHT = 24  # waybar's height, as sni_real.sh configures it

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
failures = 0


def check(what, ok, detail=""):
    global failures
    print(("PASS: " if ok else "FAIL: ") + what + ("" if ok or not detail else f" ({detail})"),
          flush=True)
    if not ok:
        failures += 1
    return ok


def wait_for(condition, seconds=10.0):
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(0.1)


def call(service, path, iface, method, args=None, reply=None):
    return bus.call_sync(service, path, iface, method, args, reply and GLib.VariantType(reply),
                         Gio.DBusCallFlags.NONE, 5000, None).unpack()


def prop(service, path, iface, name):
    return call(service, path, "org.freedesktop.DBus.Properties", "Get",
                GLib.Variant("(ss)", (iface, name)), "(v)")[0]


# ---- What the compositor shows -------------------------------------------------

def pointer(*args):
    subprocess.run(["swaymsg", "seat", "-", "cursor", *args], check=True, capture_output=True)


def screen():
    """The output as grim takes it: width, height and a function giving (r, g, b) at x, y."""
    data = subprocess.run(["grim", "-t", "ppm", "-"], check=True, capture_output=True).stdout
    fields = data.split(maxsplit=4)  # P6 width height maxval pixels
    width, height = int(fields[1]), int(fields[2])
    pixels = fields[4]
    return width, height, lambda x, y: tuple(pixels[3 * (y * width + x):3 * (y * width + x) + 3])


def menu_box(bar_height):
    """The light box of an open menu below the bar, as (left, top, right, bottom), or None."""
    width, height, at = screen()
    light = [(x, y) for y in range(bar_height + 2, min(height, bar_height + 200))
             for x in range(max(0, width - 300), width) if min(at(x, y)) > 0xe0]
    if len(light) < 400:
        return None
    xs, ys = [x for x, _ in light], [y for _, y in light]
    return min(xs), min(ys), max(xs), max(ys)


def views():
    tree = json.loads(subprocess.run(["swaymsg", "-t", "get_tree", "-r"], check=True,
                                     capture_output=True, text=True).stdout)
    found = []

    def walk(node):
        if node.get("type") in ("con", "floating_con") and node.get("name") is not None \
                and not node.get("nodes") and not node.get("floating_nodes"):
            found.append(node)
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            walk(child)
    walk(tree)
    return found


def shown(prefix):
    return [v for v in views() if v["name"].startswith(prefix) and v.get("visible")]


# ---- The tray icon, as the host sees it ----------------------------------------

def our_item():
    try:
        items = prop(WATCHER, "/StatusNotifierWatcher", WATCHER, "RegisteredStatusNotifierItems")
    except GLib.Error:
        return None
    for entry in items:
        slash = entry.find("/")
        service, path = (entry, "/StatusNotifierItem") if slash < 0 else \
            (entry[:slash], entry[slash:])
        try:
            if prop(service, path, ITEM_IFACE, "ToolTip")[2] == "Tallowick32" or \
                    prop(service, path, ITEM_IFACE, "Title") == "Tallowick32":
                return service, path
        except GLib.Error:
            continue
    return None


def menu_items(service, menu_path):
    call(service, menu_path, MENU_IFACE, "AboutToShow", GLib.Variant("(i)", (0,)), "(b)")
    _, layout = call(service, menu_path, MENU_IFACE, "GetLayout",
                     GLib.Variant("(iias)", (0, -1, [])), "(u(ia{sv}av))")
    items = []
    for child in layout[2]:
        item_id, props, _ = child
        if props.get("type") == "separator" or not props.get("visible", True):
            continue
        items.append((item_id, props.get("label", ""), props.get("enabled", True)))
    return items


def click_item(service, menu_path, item_id):
    call(service, menu_path, MENU_IFACE, "Event",
         GLib.Variant("(isvu)", (item_id, "clicked", GLib.Variant("i", 0), int(time.time()))))


# ---- The window, through AT-SPI ------------------------------------------------

def frames():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Tallowick":
            return [f for f in app if f is not None]
    return []


def find(root, role, name):
    if root.getRole() == role and root.name == name:
        return root
    for child in root:
        if child is not None:
            hit = find(child, role, name)
            if hit is not None:
                return hit
    return None


def press(frame_prefix, name, role=pyatspi.ROLE_PUSH_BUTTON):
    for frame in frames():
        if frame.name.startswith(frame_prefix):
            button = find(frame, role, name)
            if button is not None and button.getState().contains(pyatspi.STATE_ENABLED):
                button.queryAction().doAction(0)
                return True
    return False


def hide():
    if not check("Hide is pressed", wait_for(lambda: press(MAIN_PREFIX, "Hide"))):
        return None
    check("the main window is gone from the screen", wait_for(lambda: not shown(MAIN_PREFIX)))
    item = wait_for(our_item)
    check("the icon is in waybar's tray", item is not None)
    return item


def restored(how):
    return check(f"{how} brings the main window back",
                 wait_for(lambda: shown(MAIN_PREFIX)) and wait_for(lambda: our_item() is None),
                 f"views {[v['name'] for v in views()]}")


def set_text(frame_prefix, name, value):
    for frame in frames():
        if frame.name.startswith(frame_prefix):
            box = find(frame, pyatspi.ROLE_TEXT, name)
            if box is not None:
                box.queryEditableText().setTextContents(value)
                return True
    return False


def focused_view():
    return next((v["name"] for v in views() if v.get("focused")), None)


def typing_check():
    """A pop-up reminder, stored through AT-SPI (the keyboard stays where it is), comes due
    while a terminal has the focus and is typed into (wtype). sway hands the notice the
    keyboard: the keys typed on must not answer it, and after a pause Return must."""
    terminal = subprocess.Popen(["weston-terminal", "--maximized"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
    try:
        if not check("a terminal has the focus",
                     wait_for(lambda: focused_view() == "Wayland Terminal"), f"{views()}"):
            return
        now = time.localtime()
        stored = (set_text(MAIN_PREFIX, "Hour", f"{now.tm_hour:02}")
                  and set_text(MAIN_PREFIX, "Minute", f"{now.tm_min:02}")
                  and set_text(MAIN_PREFIX, "Message To send", "Typing check on sway.")
                  and press(MAIN_PREFIX, "Pop Up", pyatspi.ROLE_RADIO_BUTTON) and wait_for(lambda: press(MAIN_PREFIX, "Store")))
        check("a pop-up reminder due now is stored through the accessibility bus", stored)
        deadline = time.monotonic() + 30
        # Each wtype brings a keymap of its own, and a key sent before the program has
        # read it may be lost: each waits a moment (-s) before its first key.
        while not shown_exactly("Tallowick") and time.monotonic() < deadline:
            subprocess.run(["wtype", "-s", "100", "-d", "40", "typing on "], check=True)
        if not check("the notice came up while the user typed", shown_exactly("Tallowick")):
            return
        subprocess.run(["wtype", "-s", "200", "-d", "40", "word", "-k", "Return", " "], check=True)
        time.sleep(0.5)  # what those keys would do, they would have done by now
        notice = shown_exactly("Tallowick")
        print(f"  the focus is on {focused_view()!r} after the notice came up", flush=True)
        check("a word, Return and a blank typed on leave the notice open", bool(notice))
        check("the notice floats above the terminal",
              bool(notice) and notice[0]["type"] == "floating_con", f"{views()}")
        time.sleep(1.2)
        subprocess.run(["swaymsg", '[title="^Tallowick$"] focus'], check=True,
                       capture_output=True)
        subprocess.run(["wtype", "-s", "300", "-k", "Return"], check=True)
        check("after a pause, Return on the notice closes it",
              wait_for(lambda: not shown_exactly("Tallowick")))
    finally:
        terminal.terminate()
        terminal.wait()


def shown_exactly(name):
    return [v for v in views() if v["name"] == name and v.get("visible")]


def main():
    if not check("Tallowick's main window is on the screen",
                 wait_for(lambda: shown(MAIN_PREFIX), 30)):
        return 1
    check("no icon before Hide", our_item() is None)

    # 1. The menu as the host reads it.
    item = hide()
    if item is None:
        return 1
    service, path = item
    menu_path = prop(service, path, ITEM_IFACE, "Menu")
    check("the icon carries a menu", menu_path not in ("", "/", "/NO_DBUSMENU"), menu_path)
    items = menu_items(service, menu_path)
    check("the menu holds Restore, then Exit", [label for _, label, _ in items]
          == ["Restore", "Exit"], f"{items}")

    # A real right click on the icon in waybar: waybar opens the menu, and a
    # click on its first item brings the window back.
    outputs = json.loads(subprocess.run(["swaymsg", "-t", "get_outputs", "-r"], check=True,
                                        capture_output=True, text=True).stdout)
    width, height = outputs[0]["rect"]["width"], outputs[0]["rect"]["height"]
    icon = (width - 8, BAR_HEIGHT // 2)
    pointer = VirtualPointer(width, height)
    try:
        time.sleep(0.5)  # waybar draws the icon a moment after it registers
        pointer.click(*icon, button=RIGHT)
        box = wait_for(lambda: menu_box(BAR_HEIGHT), 5)
        if check("a right click on the icon opens its menu in waybar", box is not None):
            left, top, right, bottom = box
            # Two items of one height: Restore in the upper half, Exit in the lower.
            pointer.click((left + right) // 2, top + (bottom - top) // 4)
            restored("a click on the menu's Restore item")

        # 2. One left click does nothing; two, a double click, bring the window back.
        if hide() is not None:
            time.sleep(0.5)
            pointer.click(*icon)
            time.sleep(1)  # well past the double-click time
            check("one left click leaves the window hidden",
                  not shown(MAIN_PREFIX) and our_item() is not None)
            pointer.click(*icon)
            time.sleep(0.1)
            pointer.click(*icon)
            restored("a double click on the icon in waybar")

        # Two Activate calls within the double-click time, as other hosts send them.
        item = hide()
        if item is not None:
            for _ in range(2):
                call(item[0], item[1], ITEM_IFACE, "Activate", GLib.Variant("(ii)", (0, 0)))
                time.sleep(0.1)
            restored("two Activate calls")
    finally:
        pointer.close()

    # 3. A notice that comes due while the user types in another window.
    typing_check()

    # 4. The menu's Exit item, picked by the host, asks as Exit does: Cancel leaves the
    # window hidden, OK ends the program.
    item = hide()
    if item is not None:
        service, path = item
        menu_path = prop(service, path, ITEM_IFACE, "Menu")
        exit_id = next((i for i, label, _ in menu_items(service, menu_path) if label == "Exit"),
                       None)
        if check("the menu has an Exit item", exit_id is not None):
            click_item(service, menu_path, exit_id)
            check("Exit asks for confirmation", wait_for(lambda: shown("Exit Confirmation")))
            check("Cancel is pressed", wait_for(lambda: press("Exit Confirmation", "Cancel")))
            check("after Cancel the window stays hidden with its icon",
                  wait_for(lambda: not shown("Exit Confirmation")) and not shown(MAIN_PREFIX)
                  and our_item() is not None)
            click_item(service, menu_path, exit_id)
            check("Exit asks again", wait_for(lambda: shown("Exit Confirmation")))
            check("OK is pressed", wait_for(lambda: press("Exit Confirmation", "OK")))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
