"""Helpers for the window tests: a private Xvfb, finding the program's window,
screenshots, keys and the window manager's close request.

Every wait polls a condition against a generous deadline: the tests must hold
on a loaded two-core machine, so nothing relies on a fixed sleep.
"""

import os
import struct
import subprocess
import tempfile
import time
import unittest
import zlib

from Xlib import X, Xatom, display as xdisplay, error as xerror, protocol

# Seconds to wait for any one condition. Start-up of Xvfb, Qt and Mesa's
# software GL can take long on a busy machine; a pass never waits this long.
DEADLINE = 120.0
SCREEN = (1280, 1024)


def wait_for(condition, what, deadline=DEADLINE, interval=0.1):
    """Polls condition() until it returns a true value, which is returned."""
    end = time.monotonic() + deadline
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(interval)


def private_runtime_dir(test):
    """A private XDG_RUNTIME_DIR (mode 0700, as Qt wants it) for one test,
    removed when the test ends. Returns its path."""
    runtime = tempfile.TemporaryDirectory()
    test.addCleanup(runtime.cleanup)
    os.chmod(runtime.name, 0o700)
    return runtime.name


class Xvfb:
    """An X server of its own on a free display number (-displayfd)."""

    def __init__(self):
        read_fd, write_fd = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
             "%dx%dx24" % SCREEN, "-nolisten", "tcp", "+extension", "GLX"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        end = time.monotonic() + DEADLINE
        while not number.endswith(b"\n"):
            chunk = os.read(read_fd, 16)
            if not chunk or time.monotonic() > end:
                self.process.kill()
                raise AssertionError("Xvfb did not start")
            number += chunk
        os.close(read_fd)
        self.name = ":" + number.decode().strip()
        self.connection = xdisplay.Display(self.name)

    def env(self, **extra):
        env = dict(os.environ)
        env["DISPLAY"] = self.name
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("QT_QPA_PLATFORM", None)
        env.setdefault("XDG_RUNTIME_DIR", tempfile.gettempdir())
        env.update(extra)
        return env

    def close(self):
        try:
            self.connection.close()
        except Exception:
            pass
        self.process.terminate()
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def __enter__(self):
        return self

    def __exit__(self, *args):
        self.close()

    # Windows.
    def find_window(self, title):
        """The mapped top-level window named title, or None."""
        root = self.connection.screen().root
        try:
            children = root.query_tree().children
        except xerror.XError:
            return None
        for window in children:
            try:
                if window.get_wm_name() == title and \
                        window.get_attributes().map_state == X.IsViewable:
                    return window
            except xerror.XError:
                continue
        return None

    def geometry(self, window):
        """(x, y, width, height) of window on the root."""
        g = window.get_geometry()
        at = window.translate_coords(self.connection.screen().root, 0, 0)
        return (-at.x, -at.y, g.width, g.height)

    def close_window(self, window):
        """What a window manager sends when the user closes the window."""
        wm_protocols = self.connection.intern_atom("WM_PROTOCOLS")
        wm_delete = self.connection.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(
            window=window, client_type=wm_protocols,
            data=(32, [wm_delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
        self.connection.flush()

    # Pixels.
    def screenshot(self, area=None):
        """Image of area (x, y, w, h; default the screen) as rows of (r, g, b)."""
        x, y, w, h = area or (0, 0) + SCREEN
        root = self.connection.screen().root
        image = root.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF)
        data = image.data
        return Image(w, h, data)

    # Input, through xdotool (XTEST), as a user's keyboard would send it.
    def focus(self, window):
        subprocess.run(["xdotool", "windowfocus", "--sync", str(window.id)],
                       env=self.env(), check=True, timeout=DEADLINE)

    def key(self, name):
        subprocess.run(["xdotool", "key", name], env=self.env(), check=True, timeout=DEADLINE)


class SharedDisplayTest(unittest.TestCase):
    """Tests of one class sharing one Xvfb and one private XDG_RUNTIME_DIR
    (mode 0700, as Qt wants it); env() is the environment for a program
    on that display."""

    @classmethod
    def setUpClass(cls):
        cls.x = Xvfb()
        cls.runtime = tempfile.TemporaryDirectory()
        os.chmod(cls.runtime.name, 0o700)

    @classmethod
    def tearDownClass(cls):
        cls.x.close()
        cls.runtime.cleanup()

    def env(self, **extra):
        return self.x.env(XDG_RUNTIME_DIR=self.runtime.name, **extra)


class Image:
    """A 24-bit screenshot, 4 bytes a pixel in B, G, R, X order."""

    def __init__(self, width, height, data):
        self.width = width
        self.height = height
        self.data = data

    def pixel(self, x, y):
        i = (y * self.width + x) * 4
        return self.data[i + 2], self.data[i + 1], self.data[i]

    def pixels(self):
        d = self.data
        for y in range(self.height):
            row = y * self.width * 4
            for x in range(self.width):
                i = row + x * 4
                yield x, y, d[i + 2], d[i + 1], d[i]

    def write_png(self, path):
        raw = bytearray()
        d = self.data
        for y in range(self.height):
            raw.append(0)
            row = y * self.width * 4
            for x in range(self.width):
                i = row + x * 4
                raw += bytes((d[i + 2], d[i + 1], d[i]))

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + \
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
            f.write(chunk(b"IEND", b""))


def components(image, predicate, min_area):
    """Connected regions (4-neighbour) of pixels where predicate(r, g, b) holds,
    with at least min_area pixels, as (area, centre x, centre y, width, height)."""
    w, h = image.width, image.height
    mask = bytearray(w * h)
    for x, y, r, g, b in image.pixels():
        if predicate(r, g, b):
            mask[y * w + x] = 1
    found = []
    for start in range(w * h):
        if not mask[start]:
            continue
        mask[start] = 0
        stack = [start]
        area = sx = sy = 0
        x0, x1, y0, y1 = w, -1, h, -1
        while stack:
            i = stack.pop()
            x, y = i % w, i // w
            area += 1
            sx += x
            sy += y
            x0, x1, y0, y1 = min(x0, x), max(x1, x), min(y0, y), max(y1, y)
            for j in (i - 1 if x > 0 else -1, i + 1 if x + 1 < w else -1,
                      i - w if y > 0 else -1, i + w if y + 1 < h else -1):
                if j >= 0 and mask[j]:
                    mask[j] = 0
                    stack.append(j)
        if area >= min_area:
            found.append((area, sx / area, sy / area, x1 - x0 + 1, y1 - y0 + 1))
    return found
