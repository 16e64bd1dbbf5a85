#!/usr/bin/env python3
"""velbrin.exe end to end under Wine on an X display: the start screen with its three buttons, a
click on HOMEPAGE reaching the shell (Wine hands the URL to the host's xdg-open: a stand-in on PATH
records it), SELECT DIRECTORY opening the folder dialog (a new top-level window), Alt+F4 ending the
program with status 0, and a directory with a non-ASCII name given as Z:\\... scanned into the
chart. Windows are found with xdotool, read with xwd.

usage: velbrin_wine_e2e.py VELBRIN.EXE WINE-RUN WINEPREFIX
Exit status 77 (skipped, with the reason) without wine, xdotool, xwd, a display or the program."""

import collections
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

BUTTON = (80, 80, 80)          # a StyledButton at rest
CHART_BACKGROUND = (32, 0, 32)  # behind the finished chart
PANEL_FRAME = (191, 159, 191)   # the scanning overlay's progress panel
PREVIEW_BACKGROUND = (32, 14, 32)  # behind the scan's live preview
TITLE = "Velbrin Preview$"  # "tree — Velbrin Preview" once a chart shows


def skip(reason):
    print("SKIPPED: " + reason)
    sys.exit(77)


def near(a, b, tolerance=6):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


class Screen:
    """One xwd capture of a window (24 or 32 bits per pixel, either byte order)."""

    def __init__(self, window, path):
        self.width = self.height = 0
        self.pixels = []
        self.histogram = collections.Counter()
        if subprocess.call(["xwd", "-silent", "-id", window, "-out", path], stderr=subprocess.DEVNULL) != 0:
            return
        data = open(path, "rb").read()
        if len(data) < 100:
            return
        field = lambda k: struct.unpack(">I", data[k * 4:k * 4 + 4])[0]
        header, order, bits, per_line, colours = field(0), field(7), field(11), field(12), field(19)
        width, height, step = field(4), field(5), bits // 8
        offset = header + colours * 12
        if step not in (3, 4) or len(data) < offset + height * per_line:
            return
        self.width, self.height = width, height
        pad = step - 3  # a leading pad byte in big-endian 32-bit pixels
        for y in range(height):
            row = data[offset + y * per_line: offset + (y * per_line) + width * step]
            if order == 0:
                self.pixels.extend(zip(row[2::step], row[1::step], row[0::step]))
            else:
                self.pixels.extend(zip(row[pad::step], row[pad + 1::step], row[pad + 2::step]))
        self.histogram = collections.Counter(self.pixels)

    def at(self, x, y):
        return self.pixels[y * self.width + x]

    def count(self, colour):
        return sum(n for c, n in self.histogram.items() if near(c, colour))

    def boxes(self, colour, min_run=10):
        """Rectangles of runs of at least `min_run` pixels of `colour` (the margins beside a label count),
        runs on touching lines that overlap merged:
        one box per button face (text never makes such runs)."""
        matching = {c for c in self.histogram if near(c, colour)}
        boxes = []
        for y in range(self.height):
            row = self.pixels[y * self.width:(y + 1) * self.width]
            x = 0
            while x < self.width:
                if row[x] not in matching:
                    x += 1
                    continue
                start = x
                while x < self.width and row[x] in matching:
                    x += 1
                if x - start < min_run:
                    continue
                for box in boxes:
                    if box[3] >= y - 1 and box[0] <= x - 1 and start <= box[2]:
                        box[0], box[2], box[3] = min(box[0], start), max(box[2], x - 1), y
                        break
                else:
                    boxes.append([start, y, x - 1, y])
        return [b for b in boxes if b[3] - b[1] >= 8]


class Program:
    def __init__(self, args, work, prefix, wine_run, program):
        env = dict(os.environ)
        env["PATH"] = os.path.join(work, "bin") + os.pathsep + env["PATH"]
        env["LC_ALL"] = "C.UTF-8"  # Wine turns the Unix arguments into UTF-16 through the locale
        self.process = subprocess.Popen([wine_run, "--prefix=" + prefix, program] + args, cwd=work, env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Wine gives each window the Unix process id of its program (wine-run ends in exec).
        pid = str(self.process.pid)
        self.window = wait_for(lambda: visible_windows(TITLE, pid), 60)
        self.window = self.window[0] if self.window else None
        self.work = work
        if self.window:
            # The pointer onto a corner of the background: one left over a button (by an earlier
            # run) would show that button in its hover colour.
            self.xdotool("mousemove", "--window", self.window, "4", "4")

    def capture(self):
        return Screen(self.window, os.path.join(self.work, "capture.xwd"))

    def wait_for_screen(self, seen, timeout=60):
        last = None
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            last = self.capture()
            if last.pixels and seen(last):
                return last
            time.sleep(0.2)
        if last and os.environ.get("VELBRIN_E2E_ARTIFACTS"):
            shutil.copy(os.path.join(self.work, "capture.xwd"), os.environ["VELBRIN_E2E_ARTIFACTS"])
        return None

    def xdotool(self, *args):
        subprocess.call(["xdotool"] + list(args), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def click(self, x, y):
        self.xdotool("mousemove", "--window", self.window, str(x), str(y))
        time.sleep(0.2)
        self.xdotool("click", "1")

    def close(self):
        # Real (XTEST) keys go to the focused window; Wine turns Alt+F4 into the window's close.
        # On a loaded machine the focus can arrive after the keys: press again, as a user would,
        # while the window is still there.
        # Under load (a software GL driver drawing a large frame) a try can pass unseen: six are
        # given before the caller's check; a program that hangs still fails it. Each miss says
        # which windows the program had and where the focus was, for the log.
        for attempt in range(6):
            self.xdotool("windowfocus", "--sync", self.window)
            time.sleep(0.3)
            self.xdotool("key", "alt+F4")
            if wait_for(lambda: self.process.poll() is not None, 10):
                return
            focus = subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True).stdout.strip()
            print("note: Alt+F4 try %d left the program running (its windows %s, the focus on %s)"
                  % (attempt + 1, visible_windows(".", str(self.process.pid)), focus), flush=True)

    def wait(self, timeout=30):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None


def visible_windows(name, pid=None):
    pid = ["--pid", pid] if pid else []
    out = subprocess.run(["xdotool", "search", "--onlyvisible"] + pid + ["--name", name], capture_output=True, text=True)
    return out.stdout.split()


def wait_for(probe, timeout):
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(0.2)


failures = []


def check(condition, what):
    print(("ok: " if condition else "FAILED: ") + what)
    if not condition:
        failures.append(what)
    return condition


def start_screen(s):
    return len(s.boxes(BUTTON)) == 3 and s.count(CHART_BACKGROUND) == 0


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    program, wine_run, prefix = (os.path.abspath(a) for a in sys.argv[1:])
    if not os.path.isfile(program):
        skip(program + " is not built")
    for tool in ("wine", "xdotool", "xwd"):
        if not shutil.which(tool):
            skip(tool + " is not installed")
    if not os.environ.get("DISPLAY"):
        skip("no X display (run under xvfb-run)")

    work = tempfile.mkdtemp(prefix="velbrin-wine-e2e-")
    try:
        # The stand-in browser: Wine opens URLs with the host's xdg-open.
        os.makedirs(os.path.join(work, "bin"))
        opened = os.path.join(work, "opened")
        stand_in = os.path.join(work, "bin", "xdg-open")
        with open(stand_in, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s"\n' % opened)
        os.chmod(stand_in, 0o755)

        # The start screen, the two shell actions, then Alt+F4.
        app = Program([], work, prefix, wine_run, program)
        if check(app.window is not None, "the main window appears"):
            screen = app.wait_for_screen(start_screen)
            if check(screen is not None, "the start screen shows three buttons on its background"):
                boxes = sorted(screen.boxes(BUTTON), key=lambda b: (b[1], b[0]))
                # HOMEPAGE and SUPPORT THIS PROJECT share the upper row; SELECT DIRECTORY is below.
                home, select = boxes[0], boxes[2]
                app.click((home[0] + home[2]) // 2, (home[1] + home[3]) // 2)
                url = wait_for(lambda: open(opened).read().strip() if os.path.exists(opened) else "", 20)
                check(url.startswith("http") and url.endswith("/velbrin/"), "HOMEPAGE opens the homepage (%r)" % url)
                pid = str(app.process.pid)
                before = set(visible_windows(".", pid))
                app.click((select[0] + select[2]) // 2, (select[1] + select[3]) // 2)
                dialog = wait_for(lambda: set(visible_windows(".", pid)) - before, 30)
                if check(bool(dialog), "SELECT DIRECTORY opens the folder dialog"):
                    for window in dialog:
                        app.xdotool("windowfocus", "--sync", window)
                        app.xdotool("key", "Escape")
                    check(wait_for(lambda: not (set(visible_windows(".", pid)) & dialog), 20), "Escape cancels the dialog")
                    # The picker reports the cancel as such: no scan starts, the start screen stays.
                    time.sleep(1)
                    check(app.wait_for_screen(start_screen, timeout=10) is not None,
                          "after the cancelled dialog the start screen is still shown")
            app.close()
        status = app.wait()
        check(status == 0, "closing the window ends the program with status 0 (got %s)" % status)

        # A directory on the command line, with a name outside ASCII, as a Windows path.
        tree = os.path.join(work, "tree \u00e4\u00f6\u00fc \u65e5\u672c")
        for top in range(4):
            os.makedirs(os.path.join(tree, "d%d" % top))
            for n in range(3):
                with open(os.path.join(tree, "d%d" % top, "f%d" % n), "wb") as f:
                    f.truncate((top + 1) * 65536)
        app = Program(["Z:" + tree.replace("/", "\\")], work, prefix, wine_run, program)
        if check(app.window is not None, "the main window appears for a directory argument"):
            # The chart's background, and neither the scanning overlay's panel (a few label pixels
            # come near its colour) nor its shaded background.
            chart = app.wait_for_screen(lambda s: s.count(CHART_BACKGROUND) > 20000 and s.count(PANEL_FRAME) < 200
                                        and s.count(PREVIEW_BACKGROUND) < 2000)
            check(chart is not None, "the directory is scanned and its chart shown")
            app.close()
        status = app.wait()
        check(status == 0, "the program ends with status 0 after the chart (got %s)" % status)

    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
