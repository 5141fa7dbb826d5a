"""A pointer for a Wayland compositor that has no input devices (sway's headless back end):
a small client of the wlr virtual pointer protocol, spoken over the Wayland socket directly,
whose motions and clicks reach the clients under it as a real mouse's do.

    pointer = VirtualPointer()            # WAYLAND_DISPLAY and XDG_RUNTIME_DIR from the environment
    pointer.click(x, y, button=LEFT)      # layout coordinates of the output
    pointer.close()
"""

import os
import socket
import struct
import time

LEFT = 0x110   # BTN_LEFT of linux/input-event-codes.h
RIGHT = 0x111  # BTN_RIGHT

_MANAGER = "zwlr_virtual_pointer_manager_v1"


def _string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


class VirtualPointer:
    def __init__(self, width, height):
        path = os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ["WAYLAND_DISPLAY"])
        self._socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._socket.connect(path)
        self._buffer = b""
        self._next_id = 2  # 1 is wl_display
        self._width, self._height = width, height
        registry = self._new_id()
        self._send(1, 1, struct.pack("<I", registry))  # wl_display.get_registry
        globals_seen = {}

        def on_global(payload):
            name, = struct.unpack_from("<I", payload)
            length, = struct.unpack_from("<I", payload, 4)
            interface = payload[8:8 + length - 1].decode()
            globals_seen[interface] = name
        self._roundtrip({(registry, 0): on_global})
        if _MANAGER not in globals_seen:
            raise RuntimeError(f"the compositor offers no {_MANAGER}")
        manager = self._new_id()
        # wl_registry.bind(name, interface, version, new_id)
        self._send(registry, 0, struct.pack("<I", globals_seen[_MANAGER]) + _string(_MANAGER)
                   + struct.pack("<II", 1, manager))
        self._pointer = self._new_id()
        # create_virtual_pointer(seat: null, new_id): the compositor's default seat
        self._send(manager, 0, struct.pack("<II", 0, self._pointer))
        self._roundtrip({})

    def _new_id(self):
        self._next_id += 1
        return self._next_id - 1

    def _send(self, object_id, opcode, payload=b""):
        header = struct.pack("<II", object_id, ((8 + len(payload)) << 16) | opcode)
        self._socket.sendall(header + payload)

    def _roundtrip(self, handlers):
        callback = self._new_id()
        self._send(1, 0, struct.pack("<I", callback))  # wl_display.sync
        while True:
            while len(self._buffer) < 8:
                chunk = self._socket.recv(4096)
                if not chunk:
                    raise RuntimeError("the compositor closed the connection")
                self._buffer += chunk
            object_id, size_opcode = struct.unpack_from("<II", self._buffer)
            size, opcode = size_opcode >> 16, size_opcode & 0xFFFF
            while len(self._buffer) < size:
                self._buffer += self._socket.recv(4096)
            payload, self._buffer = self._buffer[8:size], self._buffer[size:]
            if object_id == 1 and opcode == 0:  # wl_display.error
                raise RuntimeError(f"Wayland protocol error {payload!r}")
            if object_id == callback:
                return
            handler = handlers.get((object_id, opcode))
            if handler:
                handler(payload)

    @staticmethod
    def _time():
        return int(time.monotonic() * 1000) & 0xFFFFFFFF

    def move(self, x, y):
        # motion_absolute(time, x, y, x_extent, y_extent), then frame
        self._send(self._pointer, 1, struct.pack("<IIIII", self._time(), int(x), int(y),
                                                 self._width, self._height))
        self._send(self._pointer, 4)
        self._roundtrip({})

    def button(self, button, pressed):
        self._send(self._pointer, 2, struct.pack("<III", self._time(), button, 1 if pressed else 0))
        self._send(self._pointer, 4)
        self._roundtrip({})

    def click(self, x, y, button=LEFT):
        self.move(x, y)
        time.sleep(0.05)
        self.button(button, True)
        time.sleep(0.05)
        self.button(button, False)

    def close(self):
        self._send(self._pointer, 8)  # destroy
        self._socket.close()
