#!/usr/bin/python3
"""Our boxes against Qt's on a real X server, with real input.

boxdiff.py BOXPAIR [--only NAME,...] [--shard K/N] [--sessions M] [--list] [--verbose]
boxdiff.py BOXPAIR --random SEED[:COUNT] [--only NAME,...] [--list] [--verbose]

Runs the boxpair window (our boxes on the left, Qt's on the right) and plays every scenario of
SCENARIOS twice, once on each side, with the same X input events through xdotool; a place is
named by a character of the box, so the same step hits the same character on both sides
although their rows are not the same pixels. After every step it reads each box's text, caret
and selection through AT-SPI, the clipboard and the primary selection as any X client reads
them, and which box has the focus and how far each has scrolled from the window, then compares
the two sides. A step has settled once a read of all that falls between two syncs with the
window in which no event reached it. With --shard K/N it plays the K-th of N parts of the table,
about as long as each other; with --sessions M it plays its part as M parts at once, each in a
session of its own, and needs no display itself (CTest runs the table so).
Differences listed in KNOWN are printed as "known:"; any other fails the run. Needs a display and
a session bus of its own: xsession.sh provides both. The input-method rows (ime-...) play last, in
a window that types through an ibus daemon started here, and also compare where each box told
the input method its caret is.

With --random, COUNT (10 unless told) seeded scenarios of random clicks, double and triple
clicks, Shift+clicks, drags, keys, typing, undo, pastes, middle clicks and wheel turns are played
instead of the table, to look for what still differs; scenario N of a seed is the same whatever
the count, so "--random SEED:COUNT --only random-SEED-N" plays one again. A NAME of --only may
be a shell pattern ("shaped-*").
"""

import base64
import ctypes
import fnmatch
import json
import math
import os
import random
import select
import shutil
import subprocess
import sys
import time
import unicodedata

import pyatspi
from Xlib import X, Xatom
import Xlib.display

DOUBLE_CLICK_GAP = 0.4   # longer than the window's double-click interval (300 ms)
CLICK_DELAY = 0.05       # between the clicks of a double or triple click
KEY_DELAY = 12           # ms after each key event (xdotool's own default)
NEAR = 24                # presses further apart (Manhattan, px) never make a double or triple click
SETTLE_LIMIT = 4.0       # seconds a step may take to settle
# The window's scale: its geometry comes in its own pixels, X input goes in the screen's.
SCALE = float(os.environ.get("QT_SCALE_FACTOR", "1"))
BOXES = ("input", "output", "dinput", "doutput", "line", "short")
MULTI = ("input", "output", "dinput", "doutput")

# Differences still being fixed: (scenario, step) -> what differs. An entry covers that step and
# every later one of its scenario, since what follows a difference differs with it.
KNOWN = {
    ("paste-undo", 7): "kept: Qt's text edit, undoing a paste made at the very start of the text, puts "
                       "the caret at the end of the first line; ours puts it where the paste was, as "
                       "every other undo of a paste does in both boxes",
}

# ---------------------------------------------------------------------------------------------
# The window and its boxes


class Harness:
    """The boxpair process: setup commands on its standard input, replies on its output."""

    def __init__(self, program):
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        env.pop("QT_ACCESSIBILITY", None)
        self.process = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        env=env, text=True, bufsize=1)
        while self._line(30) != "ready":
            pass

    def _line(self, timeout):
        ready, _, _ = select.select([self.process.stdout], [], [], timeout)
        if not ready:
            raise RuntimeError("boxpair does not answer")
        line = self.process.stdout.readline()
        if not line:
            raise RuntimeError("boxpair has exited with %s" % self.process.poll())
        return line.strip()

    def run(self, **command):
        self.process.stdin.write(json.dumps(command) + "\n")
        self.process.stdin.flush()
        line = self._line(30)
        while not line.startswith("{"):  # a debugger's chatter, say
            line = self._line(30)
        reply = json.loads(line)
        if "error" in reply:
            raise RuntimeError("boxpair: %s: %s" % (command, reply["error"]))
        return reply

    def quit(self):
        try:
            self.run(cmd="quit")
        except (RuntimeError, BrokenPipeError, OSError):
            pass
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()


class Accessibility:
    """Each box of the window, found by its accessible name through AT-SPI."""

    def __init__(self, name):
        deadline = time.monotonic() + 30
        self.boxes = {}
        while time.monotonic() < deadline:
            for app in pyatspi.Registry.getDesktop(0):
                if app is not None and app.name == name:
                    self._walk(app)
            if len(self.boxes) == 2 * len(BOXES):
                return
            time.sleep(0.2)
        raise RuntimeError("AT-SPI shows %d of the window's boxes" % len(self.boxes))

    def _walk(self, node):
        for child in node:
            if child is None:
                continue
            if child.name and child.name.split(".")[0] in ("ours", "qt"):
                self.boxes[child.name] = child
            else:
                self._walk(child)

    def read(self, name):
        text = self.boxes[name].queryText()
        selection = text.getSelection(0) if text.getNSelections() else None
        return text.getText(0, -1), text.caretOffset, selection


class Display:
    """Our own connection to the X server, to ask whether someone holds the pointer."""

    def __init__(self):
        self.x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.display = ctypes.c_void_p(self.x11.XOpenDisplay(None))
        self.root = ctypes.c_ulong(self.x11.XDefaultRootWindow(self.display))

    def pointer_held(self):
        """True if another client keeps the pointer grabbed (a drag that never ended)."""
        for _ in range(10):
            if self.x11.XGrabPointer(self.display, self.root, 0, 0, 1, 1, 0, 0, 0) == 0:
                self.x11.XUngrabPointer(self.display, 0)
                self.x11.XFlush(self.display)
                return False
            time.sleep(0.2)
        return True


class Selections:
    """The clipboard and the primary selection, read as a pasting client reads them: the owner is
    asked for UTF8_STRING and answers with a SelectionNotify (None: no owner, or no such text)."""

    def __init__(self):
        self.display = Xlib.display.Display()
        self.window = self.display.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        self.utf8 = self.display.intern_atom("UTF8_STRING")
        self.property = self.display.intern_atom("BOXDIFF_SELECTION")
        self.names = {"clipboard": self.display.intern_atom("CLIPBOARD"), "primary": Xatom.PRIMARY}

    def read(self, which):
        self.window.convert_selection(self.names[which], self.utf8, self.property, X.CurrentTime)
        self.display.flush()
        deadline = time.monotonic() + 5
        while True:
            while self.display.pending_events():
                event = self.display.next_event()
                if event.type != X.SelectionNotify or event.selection != self.names[which]:
                    continue
                if event.property == X.NONE:
                    return None
                value = self.window.get_full_property(self.property, X.AnyPropertyType)
                self.window.delete_property(self.property)
                return value.value.decode("utf-8", "replace") if value else ""
            left = deadline - time.monotonic()
            if left <= 0:
                return "<timeout>"
            select.select([self.display], [], [], left)


_selections = []


def clipboard(which):
    if not _selections:
        _selections.append(Selections())
    return _selections[0].read(which)


def normal(text, offset):
    """The text with one character a line break, and offset counted in it."""
    out, mapped, i = [], None, 0
    while i < len(text):
        if i == offset:
            mapped = len(out)
        pair = text.startswith("\r\n", i)
        if pair and offset == i + 1:
            mapped = "%d+LF" % len(out)  # between the CR and the LF of one break
        out.append("\n" if pair or text[i] in "\u2029\u2028" else text[i])
        i += 2 if pair else 1
    if offset >= len(text) and mapped is None:
        mapped = len(out)
    return "".join(out), mapped


# ---------------------------------------------------------------------------------------------
# Places on the screen, named by what is under them


def pixel(v):
    """The pixel holding v, halves rounded up: Python's round() takes a half to the even pixel,
    so the same place in the two panels, which stand an odd number of pixels apart, could land
    a pixel apart."""
    return int(math.floor(v + 0.5))


class Place:
    """A point given by a box's character rectangles: how(geometry) -> (x, y)."""

    def __init__(self, box, positions, how, label):
        self.box, self.positions, self.how, self.label = box, positions, how, label

    def point(self, side, harness):
        geometry = harness.run(cmd="geom", box="%s.%s" % (side, self.box), positions=self.positions)
        x, y = self.how(geometry)
        return pixel(x * SCALE), pixel(y * SCALE)


def _char(g, i=0):
    return g["rects"][i]


def At(box, k, fx=0.35, dy=0.0):
    """On the character at k, fx of its width from its left (clear of the middle, where the
    two boxes may round to different sides), or just right of a caret-wide place."""
    def how(g):
        x, y, w, h = _char(g)
        return (x + w * fx if w > 0 else x + 2), y + h / 2 + dy
    return Place(box, [k], how, "%s@%d%s" % (box, k, "" if fx == 0.35 else "/%.1f" % fx))


def Beyond(box, k):
    """Right of the row holding k, near the text area's right edge."""
    def how(g):
        x, y, w, h = _char(g)
        vx, vy, vw, vh = g["viewport"]
        return vx + vw - 6, y + h / 2
    return Place(box, [k], how, "%s>end-of-row(%d)" % (box, k))


def Below(box, k=None):
    """In the text area under the last row: over character k's column, or mid-width."""
    def how(g):
        vx, vy, vw, vh = g["viewport"]
        x = _char(g)[0] + 1 if k is not None else vx + vw / 2
        return x, vy + vh - 4
    return Place(box, [k if k is not None else 0], how, "%s:below(%s)" % (box, k))


def Outside(box, direction, distance, k=0):
    """distance pixels outside the box, level with (or over) character k."""
    def how(g):
        bx, by, bw, bh = g["box"]
        x, y, w, h = _char(g)
        return {"below": (x + 1, by + bh + distance), "above": (x + 1, by - distance),
                "right": (bx + bw + distance, y + h / 2), "left": (bx - distance, y + h / 2)}[direction]
    return Place(box, [k], how, "%s:%s%d(%d)" % (box, direction, distance, k))


def LastOnRow(box, k, fx=0.75, span=160):
    """On the last character of the row holding k (among the span characters after it)."""
    def how(g):
        x, y, w, h = _char(g)
        on_row = [r for r in g["rects"] if r[1] == y and r[2] > 0] or [_char(g)]
        x, y, w, h = max(on_row, key=lambda r: r[0])
        return x + w * fx, y + h / 2
    return Place(box, list(range(k, k + span)), how, "%s@last-of-row(%d)/%.2f" % (box, k, fx))


def Across(box, k, dx):
    """dx pixels into the text area (below 0: -dx from its right edge), on the row of character
    k: clicks every few pixels across a row land on the same pixels of both boxes, whatever
    characters are there."""
    def how(g):
        x, y, w, h = _char(g)
        frame = [a + d for a, d in zip(g["box"], (2, 2, -4, -4))]  # a line edit has no viewport
        vx, vy, vw, vh = g["viewport"] if box in MULTI else frame
        return vx + (min(dx, vw - 2) if dx >= 0 else max(1, vw + dx)), y + h / 2
    return Place(box, [k], how, "%s:across(%d,%d)" % (box, k, dx))


class Visible(Place):
    """On a character in view, the pick-th fraction of the way through the wide ones (narrow
    ones, a space or a comma, are too narrow to tell the two boxes' rounding apart), fx of its
    width in; where "last", on the last character of that one's row, where "beyond", right of
    that row. Reckoned from what the box shows when the step plays, so that the same step hits
    the same character on both sides as long as both show the same."""

    def __init__(self, box, pick, fx, where="char"):
        Place.__init__(self, box, [], None, "%s:visible(%.2f,%s)/%.1f" % (box, pick, where, fx))
        self.pick, self.fx, self.where = pick, fx, where

    def point(self, side, harness):
        name = "%s.%s" % (side, self.box)
        top = harness.run(cmd="geom", box=name, positions=[])["top"]
        g = harness.run(cmd="geom", box=name, positions=list(range(top, top + 500)))
        # Qt's line edit has no viewport of its own: a line box's text shows inside its frame.
        frame = [a + d for a, d in zip(g["box"], (2, 2, -4, -4))]
        vx, vy, vw, vh = g["viewport"] if self.box in MULTI else frame
        # A character reaches to the next one's left edge on its row: both boxes round those
        # alike, while each rounds a rectangle's own width its own way.
        rects = [list(r) for r in g["rects"]]
        for r, after in zip(rects, rects[1:]):
            if after[1] == r[1] and after[0] > r[0]:
                r[2] = after[0] - r[0]
        shown = [r for r in rects if r[2] >= 5 and vx <= r[0] and r[0] + r[2] <= vx + vw
                 and vy <= r[1] and r[1] + r[3] <= vy + vh]
        if not shown:
            return int(vx + vw / 2), int(vy + vh / 2)
        x, y, w, h = shown[min(len(shown) - 1, int(self.pick * len(shown)))]
        if self.where == "beyond":
            return vx + vw - 6, pixel(y + h / 2)
        if self.where == "last":
            x, y, w, h = max((r for r in g["rects"] if r[1] == y and r[2] > 0), key=lambda r: r[0])
        return pixel(x + w * self.fx), pixel(y + h / 2)


# ---------------------------------------------------------------------------------------------
# Steps: each plays real X input on one side


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=30)


class Player:
    """Plays steps on one side and keeps clicks of different steps from making a double or
    triple click: a press near one made less than DOUBLE_CLICK_GAP ago (or at a place not given)
    waits until that one is too old, however many presses elsewhere came between (a third click
    near a double-click's place makes a triple click in both boxes even so); one further from
    all of them cannot pair with any (the pointer's move there ends a double click in Qt, and a
    triple click must come within the drag distance in both boxes)."""

    def __init__(self, harness):
        self.harness = harness
        self.presses = []  # (when, where) of the presses still young enough to pair with another

    def pressing(self, point=None):
        now = time.monotonic()
        self.presses = [(t, p) for t, p in self.presses if now - t < DOUBLE_CLICK_GAP]
        near = [t for t, p in self.presses
                if not point or not p or abs(point[0] - p[0]) + abs(point[1] - p[1]) <= NEAR]
        if near:
            time.sleep(max(near) + DOUBLE_CLICK_GAP - now)

    def pressed(self, point=None):
        self.presses.append((time.monotonic(), point))


class Step:
    def __init__(self, label, play, extra=None):
        self.label, self.play, self.extra = label, play, extra


def clicks(button, count):
    """xdotool's words for count clicks of a button, CLICK_DELAY apart."""
    return (["mousedown", button, "mouseup", button] + ["sleep", CLICK_DELAY]) * (count - 1) + [
        "mousedown", button, "mouseup", button]


def measure(box, positions, carets=False):
    """No input: where the characters at positions are drawn, from the box's corner (a line
    edit has no viewport of its own); with carets, where the caret stands at each position (in
    right-to-left text a character's right edge)."""
    def extra(player, side):
        g = player.harness.run(cmd="geom", box="%s.%s" % (side, box), positions=positions, carets=carets)
        vx, vy = g["box"][:2]
        return {box + ".where": " ".join("%d,%d" % (r[0] - vx, r[1] - vy) for r in g["rects"])}
    return Step("measure %s%s %s" % ("carets " if carets else "", box, positions),
                lambda player, side: None, extra)


def rows(box, positions):
    """No input: the rows that the carets at positions (in order) stand on, each as the first
    of them, its top from the box's corner and its height: where the rows break and how tall."""
    def extra(player, side):
        g = player.harness.run(cmd="geom", box="%s.%s" % (side, box), positions=positions, carets=True)
        vy, out, top = g["box"][1], [], None
        for p, (x, y, w, h) in zip(positions, g["rects"]):
            if y != top:
                out.append("%d@%d+%d" % (p, y - vy, h))
                top = y
        return {box + ".rows": " ".join(out)}
    return Step("rows %s" % box, lambda player, side: None, extra)


def click(place, count=1, button=1, mods=()):
    def play(player, side):
        x, y = place.point(side, player.harness)
        player.pressing((x, y))
        args = ["mousemove", x, y]
        for m in mods:
            args += ["keydown", m]
        # Not xdotool's click, which sleeps after the last click as well.
        args += clicks(button, count)
        for m in mods:
            args += ["keyup", m]
        xdotool(*args)
        player.pressed((x, y))
    names = {1: "click", 2: "dclick", 3: "tclick"}
    label = ("+".join(mods) + "+" if mods else "") + names[count]
    if button != 1:
        label += "[button%d]" % button
    return Step("%s %s" % (label, place.label), play)


def dclick(place, **kw):
    return click(place, 2, **kw)


def tclick(place, **kw):
    return click(place, 3, **kw)


def sclick(place):
    return click(place, mods=("shift",))


def mclick(place):
    return click(place, button=2)


def drag(start, end, hold=0.0, via=(), presses=1, label="drag"):
    """Press at start (after presses-1 clicks there), move in small steps to end through via,
    wait hold seconds there, release."""
    def play(player, side):
        points = [start.point(side, player.harness)] + [p.point(side, player.harness) for p in via]
        points.append(end.point(side, player.harness))
        player.pressing(points[0])
        args = ["mousemove", points[0][0], points[0][1]]
        if presses > 1:
            args += clicks(1, presses - 1) + ["sleep", CLICK_DELAY]
        args += ["mousedown", 1, "sleep", 0.05]
        # Two short moves first, so that a drag of the text starts inside the box it leaves: Qt's
        # QPlainTextEdit starts its autoscroll timer when the move that starts a drag is already
        # outside, and that timer starts a second drag once the first has ended, which holds the
        # pointer for good.
        (x0, y0), (x1, y1) = points[0], points[1]
        length = max(1.0, ((x1 - x0) ** 2 + (y1 - y0) ** 2) ** 0.5)
        for step in (4, 12):
            if step < length:
                args += ["mousemove", int(x0 + (x1 - x0) * step / length),
                         int(y0 + (y1 - y0) * step / length), "sleep", 0.05]
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            for i in range(1, 9):
                args += ["mousemove", x0 + (x1 - x0) * i // 8, y0 + (y1 - y0) * i // 8, "sleep", 0.03]
        if hold:
            args += ["sleep", hold]
        args += ["mouseup", 1]
        xdotool(*args)
        player.pressed(points[0])
    text = "%s %s -> %s" % (label, start.label, end.label)
    if presses > 1:
        text += " after %d clicks" % (presses - 1)
    if hold:
        text += " hold %.1fs" % hold
    return Step(text, play)


def press(place):
    def play(player, side):
        x, y = place.point(side, player.harness)
        player.pressing((x, y))
        xdotool("mousemove", x, y, "mousedown", 1)
        player.pressed((x, y))
    return Step("press " + place.label, play)


def move(place):
    def play(player, side):
        x, y = place.point(side, player.harness)
        xdotool("mousemove", x, y)
    return Step("move " + place.label, play)


def click_here():
    """A click where the pointer is: a place found before composing, where the boxes still
    tell where their characters are."""
    def play(player, side):
        player.pressing()
        xdotool("click", 1)
        player.pressed()
    return Step("click here", play)


def release():
    return Step("release", lambda player, side: xdotool("mouseup", 1))


def wheel(place, clicks, down=True):
    def play(player, side):
        x, y = place.point(side, player.harness)
        xdotool("mousemove", x, y, "click", "--repeat", clicks, "--delay", 40, 5 if down else 4)
    return Step("wheel %s %d %s" % ("down" if down else "up", clicks, place.label), play)


def key(*names):
    def play(player, side):
        xdotool("key", "--delay", KEY_DELAY, *names)
    return Step("key " + " ".join(names), play)


def typed(text):
    def play(player, side):
        xdotool("type", "--delay", 25, "--", text)
    return Step("type %r" % text, play)


# ---------------------------------------------------------------------------------------------
# Input methods: a real ibus in the session


class InputMethods:
    """An ibus daemon of this session's own (its bus address and caches under the session's
    HOME, no panel, no desktop; the engines keep their settings in the config component that
    libpinyin needs, under that HOME too), and the engine every box types through."""

    def __init__(self):
        for tool in ("ibus-daemon", "ibus"):
            if not shutil.which(tool):
                raise RuntimeError("%s is missing (scripts/deps.sh installs it)" % tool)
        self.env = dict(os.environ, GSETTINGS_BACKEND="memory")
        self.daemon = subprocess.Popen(
            ["ibus-daemon", "--panel=disable", "--emoji-extension=disable", "--replace"], env=self.env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.use("xkb:us::eng", 30)

    def _ibus(self, *args):
        return subprocess.run(["ibus"] + list(args), env=self.env, capture_output=True, text=True,
                              timeout=30).stdout.strip()

    def use(self, engine, limit=10):
        """Makes engine the one every input context uses, once the daemon says it is. (ibus
        engine exits with 1 where it cannot set the X keyboard's layout, which it need not.)"""
        deadline = time.monotonic() + limit
        while True:
            if self.daemon.poll() is not None:
                raise RuntimeError("ibus-daemon has exited with %s" % self.daemon.returncode)
            self._ibus("engine", engine)
            if self._ibus("engine") == engine:
                return
            if time.monotonic() > deadline:
                raise RuntimeError("ibus does not take the engine %s" % engine)
            time.sleep(0.1)

    def stop(self):
        """Ends the daemon and the engines it started, and waits for them, so that nothing
        writes into the session's HOME while it is removed."""
        children = []
        try:
            with open("/proc/%d/task/%d/children" % (self.daemon.pid, self.daemon.pid)) as f:
                children = [int(p) for p in f.read().split()]
        except OSError:
            pass
        self._ibus("exit")
        try:
            self.daemon.wait(10)
        except subprocess.TimeoutExpired:
            self.daemon.kill()
            self.daemon.wait()
        deadline = time.monotonic() + 10
        for pid in children:
            while os.path.exists("/proc/%d" % pid) and time.monotonic() < deadline:
                time.sleep(0.05)
            if os.path.exists("/proc/%d" % pid):
                os.kill(pid, 9)


def engine(name):
    """Switches every input context to an ibus engine (xkb:us::eng types as without one)."""
    step = Step("engine " + name, lambda player, side: player.input_methods.use(name))
    step.engine = True
    return step


def told_input_method(step):
    """The step, then also where the box with the focus last told the input method its caret is,
    from the box's corner (the input method puts its candidates there), once that holds still."""
    def extra(player, side):
        last = None
        deadline = time.monotonic() + SETTLE_LIMIT
        while True:
            player.harness.run(cmd="sync")
            now = player.harness.run(cmd="im")["im"].split(".", 1)[-1]
            if now == last or time.monotonic() > deadline:
                break
            last = now
            time.sleep(0.04)
        fields = step.extra(player, side) if step.extra else {}
        fields["im"] = now
        return fields
    return Step(step.label, step.play, extra)


def drawn(step, box):
    """The step, then also how box draws the caret's row up to the caret: the composed text
    with the input method's formats, wrapped or scrolled into view as Qt's boxes draw it."""
    def extra(player, side):
        player.harness.run(cmd="sync")
        return {box + ".drawn": player.harness.run(cmd="shot", box="%s.%s" % (side, box))["shot"]}
    return Step(step.label, step.play, extra)


# ---------------------------------------------------------------------------------------------
# Scenarios


class Scenario:
    def __init__(self, name, setup, steps, watch=None, clip=None, primary=None, focus=None):
        self.name, self.setup, self.steps = name, setup, steps
        self.clip, self.primary, self.focus = clip, primary, focus
        boxes = set(setup) | set(watch or ())
        for s in steps:
            for word in s.label.replace("@", " ").replace(">", " ").replace(":", " ").split():
                if word in BOXES:
                    boxes.add(word)
        if "input" in boxes:
            boxes.add("output")
        if "dinput" in boxes:
            boxes.add("doutput")
        self.watch = [b for b in BOXES if b in boxes]


WORDS = "Hello, world! foo_bar baz.qux"
PROSE = ("The quick brown fox jumps over the lazy dog; pack my box with five dozen liquor jugs. "
         "Sphinx of black quartz, judge my vow! How vexingly quick daft zebras jump.")
LINES = "\n".join("line %02d of the list" % i for i in range(1, 41))
PUNCT = "a.b,c;d  e--f (g) [h] {i} x=y+z/w"
LONG_LINE = " ".join("word%02d" % i for i in range(1, 41))  # wider than the line box
SHORT_LINE = "0123456789abcdefghij"                          # wider than the operand box
LONG_WORD = "Hello " + "l\u00ed1i" * 160 + " end."             # one word at [6, 646)
HEBREW = "\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd"     # two right-to-left words


def s(name, setup, *steps, **kw):
    return Scenario(name, setup, list(steps), **kw)


def fixed_scenarios():
    hello = {"input": "Hello"}
    words = {"input": WORDS}
    return [
        # Double and triple clicks.
        s("dclick-output-beyond-end", hello, dclick(Beyond("output", 7)), mclick(At("dinput", 0))),
        s("dclick-words", words, dclick(At("input", 2)), dclick(At("input", 5)),
          dclick(At("input", 6)), dclick(At("input", 12)), dclick(At("input", 17)),
          dclick(At("input", 22)), dclick(At("input", 25))),
        s("dclick-padding", {"input": "Hi"}, dclick(At("output", 3)), dclick(At("output", 2)),
          mclick(At("dinput", 0))),
        s("dclick-padding-one", hello, dclick(At("output", 7)), dclick(At("output", 5))),
        s("dclick-empty-line", {"input": "one\n\nthree"}, dclick(At("input", 4)),
          click(At("input", 4)), tclick(At("input", 4))),
        s("dclick-below-last", words, dclick(Below("input", 3)), dclick(Below("input"))),
        s("tclick-lines", {"input": "first line here\nsecond line\nthird"}, tclick(At("input", 3)),
          mclick(At("dinput", 0)), tclick(At("input", 18)), tclick(At("input", 30)),
          tclick(Beyond("input", 16))),
        s("tclick-wrapped", {"input": PROSE}, tclick(At("input", 70)), tclick(At("input", 5))),
        s("tclick-output", {"input": PROSE}, tclick(At("output", 10)), tclick(At("output", 80))),
        s("tclick-line", {"line": WORDS}, tclick(At("line", 3)), mclick(At("short", 0))),
        s("dclick-line", {"line": WORDS}, dclick(At("line", 1)), dclick(At("line", 6)),
          dclick(At("line", 13)), dclick(Beyond("line", 0))),
        # Clicks beside the text.
        s("click-beyond-row", {"input": PROSE}, click(Beyond("input", 10)), typed("X"),
          click(Beyond("input", 60)), typed("Y")),
        s("click-below-last", {"input": "short\ntext"}, click(Below("input", 1)), typed("Z"),
          click(Below("input")), key("BackSpace")),
        s("click-below-output", hello, click(Below("output", 2)), sclick(At("output", 1))),
        # Shift+clicks.
        s("shift-click-after-click", words, click(At("input", 2)), sclick(At("input", 15)),
          sclick(At("input", 1)), sclick(Beyond("input", 0)), mclick(At("dinput", 0))),
        s("shift-click-after-dclick", words, dclick(At("input", 8)), sclick(At("input", 20)),
          sclick(At("input", 1))),
        s("shift-click-after-tclick", {"input": "alpha beta\ngamma delta\nepsilon"},
          tclick(At("input", 13)), sclick(At("input", 22))),
        # A double-click's unit follows the user's edits and ends where a handler rewrites the box.
        s("dclick-rewritten-shift-click", {"dinput": "SGVsbG8gd29ybGQ="}, dclick(At("doutput", 8)),
          click(At("dinput", 2)), key("ctrl+a"), key("ctrl+v"), sclick(At("doutput", 14)),
          clip="VGhlIHF1aWNrIGJyb3duIGZveA=="),
        s("dclick-edits-shift-click", words, dclick(At("input", 8)), key("Home"), typed("ab"),
          sclick(At("input", 24)), dclick(At("input", 10)), typed("X"), sclick(At("input", 22))),
        s("shift-click-line", {"line": LONG_LINE}, click(At("line", 5)), sclick(At("line", 30)),
          dclick(At("line", 40)), sclick(At("line", 10))),
        # Drags.
        s("drag-in-row", words, drag(At("input", 1, 0.2), At("input", 10, 0.8)),
          mclick(At("dinput", 0))),
        s("drag-wrapped", {"input": PROSE}, drag(At("input", 3), At("input", 100)),
          drag(At("input", 120), At("input", 20))),
        s("drag-after-dclick", words, drag(At("input", 8), At("input", 20), presses=2)),
        s("drag-below-last", words, drag(At("input", 3), Below("input", 1))),
        s("drag-past-bottom-hold", {"input": LINES},
          drag(At("input", 5), Outside("input", "below", 40), hold=2.0)),
        s("drag-past-top-hold", {"input": LINES}, click(At("input", 0)), key("ctrl+End"),
          drag(At("input", len(LINES) - 3), Outside("input", "above", 40), hold=2.0)),
        s("drag-past-right", {"input": WORDS}, drag(At("input", 2), Outside("input", "right", 30))),
        s("drag-line-past-right", {"line": LONG_LINE},
          drag(At("line", 10), Outside("line", "right", 40)), mclick(At("short", 0))),
        s("drag-line-past-left", {"line": LONG_LINE}, click(At("line", 1)), key("End"),
          drag(At("line", len(LONG_LINE) - 2), Outside("line", "left", 40))),
        s("drag-short-past-right", {"short": SHORT_LINE},
          drag(At("short", 2), Outside("short", "right", 30), hold=1.0)),
        s("press-move-release", words, press(At("input", 2)), move(At("input", 12)),
          move(At("input", 6)), release()),
        # Drag and drop.
        s("dnd-within", words, dclick(At("input", 8)), drag(At("input", 9), At("input", 27)),
          key("ctrl+z")),
        s("dnd-onto-itself", words, dclick(At("input", 8)), drag(At("input", 8), At("input", 11)),
          key("ctrl+z"), key("ctrl+shift+z")),
        s("dnd-last-char", words, dclick(At("input", 8)), drag(At("input", 11, 0.75), At("input", 2))),
        s("dnd-between", words, dclick(At("input", 1)), drag(At("input", 2), At("dinput", 0))),
        s("dnd-from-output", hello, tclick(At("output", 3)), drag(At("output", 3), At("dinput", 0))),
        s("dnd-output-into-input", {"input": "hello"}, click(At("output", 0, 0.1)),
          sclick(At("output", 4, 0.1)), drag(At("output", 2), Beyond("input", 0))),
        s("dnd-within-lone-breaks", {"dinput": "b25lCnR3bwp0aHJlZSBhYg=="}, dclick(At("doutput", 15)),
          drag(At("doutput", 15), At("doutput", 0, 0.1)), key("ctrl+z"), key("ctrl+shift+z")),
        s("dnd-line-press-in-selection", {"line": WORDS}, dclick(At("line", 8)),
          drag(At("line", 9), At("line", 24))),
        # Middle-click paste.
        s("middle-paste", words, dclick(At("input", 8)), mclick(At("dinput", 0)),
          mclick(Below("dinput")), mclick(At("line", 0))),
        s("middle-paste-primary", {"input": "abc"}, mclick(At("input", 1)), primary="ZZ"),
        s("tclick-dclick-drag-primary", {"input": WORDS}, tclick(At("input", 3)),
          drag(At("input", 4), Below("input"), presses=2), drag(At("input", 20), At("input", 19), presses=2)),
        s("dclick-drag-back-primary", {"input": WORDS, "line": WORDS},
          drag(At("line", 8), At("line", 7, 0.1), presses=2), drag(At("input", 8), At("input", 7, 0.1), presses=2),
          primary="prim"),
        s("middle-paste-typing-undo", {"input": "abc", "line": "abc"}, mclick(At("input", 1)),
          typed("xy"), key("ctrl+z"), mclick(At("line", 1)), typed("xy"), key("ctrl+z"), primary="ZZ"),
        # Wheel, then a click.
        s("wheel-click", {"input": LINES}, wheel(At("input", 3), 3), click(At("input", 200)),
          wheel(At("input", 200), 2, down=False), click(At("input", 40))),
        s("wheel-output", {"input": PROSE * 3}, wheel(At("output", 2), 2), click(At("output", 300))),
        # Keys on wrapped rows.
        s("keys-home-end", {"input": PROSE}, click(At("input", 60)), key("Home"), key("End"),
          key("shift+Home"), key("shift+End"), key("End"), key("ctrl+Home"), key("shift+ctrl+End")),
        s("keys-up-down", {"input": PROSE}, click(At("input", 75)), key("Up"), key("Up"),
          key("Down"), key("Down"), key("Down"), key("Down"), key("Up")),
        s("keys-shift-up-down", {"input": PROSE}, click(At("input", 60)), key("shift+Up"),
          key("shift+Up"), key("shift+Up"), key("Down"), key("shift+Down"), key("shift+Down"),
          key("shift+Down"), key("shift+Down"), key("Up"), mclick(At("dinput", 0))),
        s("keys-page", {"input": LINES}, click(At("input", 30)), key("Next"), key("Next"),
          key("Next"), key("Next"), key("Next"), key("Prior"), key("Prior"), key("shift+Prior"),
          key("shift+Next")),
        s("keys-page-output", {"input": PROSE * 4}, click(At("output", 5)), key("Next"),
          key("Next"), key("Prior"), key("End"), key("Up")),
        s("keys-ctrl-arrows-punct", {"input": PUNCT}, click(At("input", 0, 0.1)),
          *[key("ctrl+Right")] * 12, *[key("ctrl+Left")] * 6, key("shift+ctrl+Left"),
          key("shift+ctrl+Right")),
        s("keys-ctrl-arrows-base64", {"input": PROSE}, click(At("output", 0, 0.1)),
          *[key("ctrl+Right")] * 4, *[key("ctrl+Left")] * 3),
        s("keys-ctrl-arrows-line", {"line": PUNCT}, click(At("line", 0, 0.1)),
          *[key("ctrl+Right")] * 8, *[key("shift+ctrl+Left")] * 3),
        # Deleting, typing, undo and redo.
        s("backspace-delete-undo", words, click(At("input", 12, 0.1)), key("BackSpace"),
          key("BackSpace"), key("Delete"), key("Delete"), key("BackSpace"), key("ctrl+z"),
          key("ctrl+z"), key("ctrl+y"), key("ctrl+z")),
        s("typing-undo", {"input": ""}, click(At("input", 0)), typed("abc def"), key("Return"),
          typed("ghi"), key("ctrl+z"), key("ctrl+z"), key("ctrl+y"), key("ctrl+y")),
        s("paste-undo", words, dclick(At("input", 8)), key("ctrl+c"), click(At("input", 0, 0.1)),
          key("ctrl+v"), key("ctrl+v"), key("ctrl+z"), key("ctrl+z"), key("ctrl+shift+z")),
        s("cut-undo", words, dclick(At("input", 1)), key("ctrl+x"), key("ctrl+z"), key("ctrl+y")),
        s("delete-word-undo", words, click(At("input", 12, 0.1)), key("ctrl+BackSpace"),
          key("ctrl+Delete"), key("ctrl+z"), key("ctrl+z")),
        s("paste-undo-middle", words, dclick(At("input", 8)), key("ctrl+c"), click(At("input", 3)),
          key("ctrl+v"), key("ctrl+z"), key("ctrl+y")),
        s("paste-multiline", {"input": "ab"}, click(At("input", 1)), key("ctrl+v"), key("ctrl+z"),
          clip="x\ny\r\nz\rw"),
        s("line-undo-selection", {"line": WORDS}, dclick(At("line", 8)), key("Delete"),
          key("ctrl+z"), mclick(At("short", 0))),
        s("line-typing-undo", {"line": ""}, click(At("line", 0)), typed("one two"),
          key("BackSpace"), key("ctrl+z"), key("ctrl+z"), key("ctrl+y")),
        # The one-line boxes.
        s("line-left-right-selection", {"line": WORDS}, dclick(At("line", 8)), key("Left"),
          dclick(At("line", 8)), key("Right"), key("shift+Right"), key("Left")),
        s("line-scroll-edges", {"short": SHORT_LINE}, click(At("short", 0)), key("End"),
          key("Home"), key("End"), key("shift+Home"), click(At("short", 3))),
        s("line-home-end-long", {"line": LONG_LINE}, click(At("line", 5)), key("End"),
          typed("!"), key("Home"), key("shift+End"), key("ctrl+c")),
        s("multi-left-right-selection", words, dclick(At("input", 8)), key("Left"),
          dclick(At("input", 8)), key("Right")),
        s("select-all-copy", words, click(At("input", 3)), key("ctrl+a"), key("ctrl+c"),
          mclick(At("dinput", 0))),
        s("tab-focus", words, click(At("input", 3)), key("Tab"), key("shift+Tab")),
    ]


def more_scenarios():
    words = {"input": WORDS}
    base64_symbols = {"input": "~~~???>>>~~~???>>>"}  # encodes with "+" and "/"
    return [
        s("geometry", {"input": LINES, "line": LONG_LINE},
          measure("input", [0, 5, 20, 40, 60, 80, 100, 120, 140, 160, 180]),
          measure("output", [0, 10, 76, 78, 200]), measure("line", [0, 10, 50])),
        s("dclick-output-no-padding", {"input": "abc"}, dclick(Beyond("output", 3)),
          mclick(At("dinput", 0))),
        s("dclick-output-symbols", base64_symbols, dclick(At("output", 5)),
          dclick(At("output", 6)), dclick(At("output", 8)), dclick(Beyond("output", 0))),
        s("ctrl-arrows-output-symbols", base64_symbols, click(At("output", 0, 0.1)),
          *[key("ctrl+Right")] * 6, *[key("shift+ctrl+Left")] * 2),
        s("long-word", {"input": LONG_WORD, "line": LONG_WORD}, click(At("input", 6, 0.1)),
          key("ctrl+Right"), key("ctrl+Left"), dclick(At("input", 300)), click(At("line", 6, 0.1)),
          key("ctrl+Right"), key("ctrl+Left"), dclick(At("line", 100))),
        s("dclick-then-drag-across", {"input": PROSE}, drag(At("input", 12), At("input", 70),
                                                            presses=2)),
        s("tclick-then-drag", {"input": "one two\nthree four\nfive six\nseven"},
          drag(At("input", 2), At("input", 20), presses=3), mclick(At("dinput", 0))),
        s("shift-click-output", {"input": PROSE}, click(At("output", 5)),
          sclick(At("output", 100)), sclick(Beyond("output", 0)), key("ctrl+c")),
        s("drag-output-wrapped", {"input": PROSE}, drag(At("output", 70), At("output", 82)),
          drag(At("output", 5), Beyond("output", 80))),
        s("up-down-at-ends", {"input": "first row\nlast row"}, click(At("input", 3)), key("Up"),
          key("shift+Up"), click(At("input", 13)), key("Down"), key("shift+Down")),
        s("page-short-text", words, click(At("input", 3)), key("Next"), key("Prior"),
          key("shift+Next"), key("shift+Prior")),
        s("edit-at-ends", {"input": "ab"}, click(At("input", 0, 0.1)), key("BackSpace"),
          key("ctrl+End"), key("Delete"), key("ctrl+z"), key("ctrl+BackSpace"), key("ctrl+z")),
        s("empty-box-keys", {"input": ""}, click(At("input", 0)), key("BackSpace"), key("Delete"),
          key("ctrl+z"), key("ctrl+y"), key("Up"), key("Next"), key("shift+End")),
        s("type-over-selection", words, dclick(At("input", 8)), typed("there"), key("ctrl+z"),
          key("ctrl+z"), key("ctrl+y")),
        s("enter-and-undo", words, click(At("input", 5)), key("Return"), key("shift+Return"),
          key("BackSpace"), key("ctrl+z"), key("ctrl+z")),
        s("select-all-type", words, click(At("input", 3)), key("ctrl+a"), typed("new"),
          key("ctrl+z"), mclick(At("dinput", 0))),
        s("ctrl-shift-home-end", {"input": PROSE}, click(At("input", 80)), key("shift+ctrl+Home"),
          key("shift+ctrl+End"), key("ctrl+c"), click(At("dinput", 0)), key("ctrl+v")),
        s("wheel-then-shift-click", {"input": LINES}, click(At("input", 2)), wheel(At("input", 2), 4),
          sclick(At("input", 300))),
        s("wheel-line-box", {"line": LONG_LINE}, click(At("line", 2)), wheel(At("line", 2), 3),
          key("End"), wheel(At("line", 250), 3, down=False)),
        s("line-paste-multiline", {"line": "ab"}, click(At("line", 1)), key("ctrl+v"), key("ctrl+z"),
          mclick(At("line", 0)), clip="x\ny\r\nz", primary="p\nq"),
        s("line-shift-arrows", {"line": WORDS}, click(At("line", 7)), key("shift+Right"),
          key("shift+Right"), key("shift+Left"), key("shift+Left"), key("shift+Left"), key("Right")),
        s("line-ctrl-backspace", {"line": WORDS}, click(At("line", 13, 0.9)), key("ctrl+BackSpace"),
          key("ctrl+BackSpace"), key("ctrl+Delete"), key("ctrl+z"), key("ctrl+z"), key("ctrl+y")),
        s("line-cut-paste-undo", {"line": WORDS}, dclick(At("line", 1)), key("ctrl+x"),
          key("End"), key("ctrl+v"), key("ctrl+z"), key("ctrl+z"), key("ctrl+y")),
        s("line-drag-select-back", {"line": WORDS}, drag(At("line", 20), At("line", 3)),
          key("shift+Right"), mclick(At("short", 0))),
        s("line-type-scrolls", {"short": ""}, click(At("short", 0)), typed("123456789012345"),
          key("Home"), key("End"), key("BackSpace"), key("shift+Home"), key("Delete")),
        s("line-dclick-scrolled", {"short": SHORT_LINE}, click(At("short", 0)), key("End"),
          dclick(At("short", 18)), sclick(At("short", 15))),
        s("line-drag-into-multi", {"line": WORDS}, dclick(At("line", 8)),
          drag(At("line", 8), At("dinput", 0))),
        s("multi-drag-into-line", words, dclick(At("input", 8)), drag(At("input", 8), At("line", 0))),
        s("tab-into-line", words, click(At("input", 3)), key("Tab"), key("Tab"), key("Tab"),
          key("Tab"), key("Tab")),
        s("primary-after-undo", words, dclick(At("input", 8)), key("Delete"), key("ctrl+z"),
          mclick(At("dinput", 0))),
        s("ctrl-k-ctrl-u", {"input": "alpha beta\ngamma delta\nepsilon", "line": WORDS},
          click(At("input", 3)), key("ctrl+k"), key("ctrl+z"), dclick(At("input", 13)),
          key("ctrl+k"), key("ctrl+k"), key("ctrl+z"), click(At("line", 6)), key("ctrl+k"),
          key("ctrl+z"), key("ctrl+u"), key("ctrl+z")),
        s("tclick-then-up", {"input": "one two\nthree four\nfive six\nseven"},
          tclick(At("input", 20)), sclick(At("input", 2)),
          drag(At("input", 22), At("input", 3), presses=3), mclick(At("dinput", 0))),
        s("context-menu", words, dclick(At("input", 8)), click(At("input", 8), button=3),
          key("Up"), key("Return"), click(At("line", 0), button=3), key("Escape")),
        # Right-to-left paragraphs: keys go in the text's order, rows keep the paragraph's
        # direction, the line box aligns such a text right.
        s("rtl-line-keys", {"line": HEBREW + " abc"}, click(At("line", 2, 0.5)), key("Home"),
          *[key("shift+Right")] * 3, key("Right"), key("End"), *[key("shift+Left")] * 2,
          key("Left"), key("ctrl+Right"), key("shift+ctrl+Left"), measure("line", [13])),
        s("rtl-multi-keys", {"input": HEBREW + " abc\nabc " + HEBREW}, click(At("input", 2, 0.5)),
          key("Home"), *[key("shift+Right")] * 3, key("Right"), key("End"), key("shift+Left"),
          key("Left"), key("ctrl+Left"), key("Down"), key("Home"), key("shift+Right"),
          measure("input", [13, 27])),
        s("rtl-wrapped-rows", {"input": " ".join([HEBREW] * 9) + " abc"}, click(At("input", 91)),
          key("ctrl+Home"), key("Down"), key("Up"), key("End"), key("shift+Home"), key("Right"),
          key("shift+Down"), click(Beyond("input", 25)), measure("input", [93])),
    ] + [
        # A line box's baseline with characters from other fonts, as a line edit keeps it.
        s("line-baseline-%d" % n, {"line": text}, measure("line", [0, len(text)]))
        for n, text in enumerate(["gjp Hello", "gjp \U0001F600 x", "gjp \u0e44\u0e17\u0e22",
                                  "gjp a\u200bb", "gjp a\x7fb", "gjp \u4e2d\u6587",
                                  "gjp \u0905\u0928\u0941\u091a\u094d\u091b\u0947\u0926"])
    ]


def utf16_starts(pieces):
    """The UTF-16 offsets at which each of pieces starts when they are joined."""
    starts, at = [], 0
    for piece in pieces:
        starts.append(at)
        at += len(piece.encode("utf-16-le")) // 2
    return starts


def across(box, k, stop, step, start=1):
    """Clicks on the row of character k every step pixels from start to stop (see Across), in an
    order that puts each click further than NEAR from the one before it, so that none waits out
    the double-click interval."""
    places, stride = list(range(start, stop, step)), -(-(NEAR + 1) // step)
    return [click(Across(box, k, dx)) for first in range(stride) for dx in places[first::stride]]


def shaped_scenarios():
    """Texts that shaping lays out otherwise than a sum of lone advances: kerned Latin and
    Base64, tabs at their stops, grapheme clusters (emoji joined by U+200D, flags, an accent
    on its letter), control characters. Where every character stands (so where each row
    starts), clicks across a row every few pixels, and arrow keys over them."""
    kerned = "AWAY To View WAVE data " * 8
    family = "\U0001F469\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"
    flags = "\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7"
    clusters = [family] * 30 + [" "] + [flags] * 12 + [" "] + ["e\u0301x"] * 40 + [" end"]
    cluster_starts = utf16_starts(clusters)
    tabs = "a\tbb\tccc\tdddddddddddd\te " + "x\t" * 30 + "end"
    # (On one row: a row with a DEL is taller in Qt's box, from the fallback font's height.)
    controls = "ab\x01cd\x1f\x7fef " * 4
    rng = random.Random(20261209)
    base64s = [base64.b64encode(bytes(rng.randrange(256) for _ in range(n))).decode() for n in (150, 170, 190)]
    arrows = [key("shift+Right")] * 3 + [key("Right"), key("shift+Left"), key("shift+Left"), key("End"),
                                         key("shift+Home"), key("Down"), key("shift+Up")]
    return [
        s("shaped-kerned", {"input": kerned}, measure("input", list(range(len(kerned)))),
          *across("input", 0, 380, 9), *across("input", 60, 380, 13), click(At("input", 45)), *arrows),
        s("shaped-kerned-line", {"line": kerned}, measure("line", list(range(0, 60))),
          *across("line", 0, 420, 7), drag(At("line", 0, 0.1), At("line", 45)), click(At("line", 30)),
          *arrows),
        s("shaped-tabs", {"input": tabs}, measure("input", list(range(len(tabs)))),
          *across("input", 0, 380, 11), *across("input", 40, 380, 13), click(At("input", 20)), *arrows),
        s("shaped-clusters", {"input": "".join(clusters)}, measure("input", cluster_starts),
          *across("input", 0, 380, 11), *across("input", cluster_starts[31], 380, 11),
          *across("input", cluster_starts[44], 380, 11), click(At("input", cluster_starts[3])), *arrows),
        s("shaped-controls", {"input": controls}, measure("input", list(range(len(controls)))),
          *across("input", 0, 380, 11), click(At("input", 8)), *arrows),
    ] + [
        s("shaped-base64-typed-%d" % n, {"input": ""}, click(At("input", 0)), typed(text),
          measure("input", list(range(len(text)))), *across("input", 0, 380, 12),
          *across("input", len(text) - 1, 380, 12), *arrows)
        for n, text in enumerate(base64s)
    ]


def caret_places(text):
    """The UTF-16 offsets at which a caret may stand in a text of the first plane: before each
    character but a mark on the one before it (Thai's sara am is one), and at its end."""
    return [i for i, c in enumerate(text)
            if unicodedata.category(c) not in ("Mn", "Mc", "Me") and c != "\u0e33"] + [len(text)]


def script_scenarios():
    """Texts of other scripts: right-to-left Arabic (joined, with a lam-alef ligature) and
    Hebrew (with points), left-to-right text with right-to-left words inside, Devanagari with
    conjuncts, Thai with its marks, in a multi-line box where they wrap and in the line box;
    emoji sequences, flags, an accent and tabs in the line box. For each: where the caret
    stands at every place it can, the rows (multi-line), clicks across the first row every
    few pixels, and arrow keys from a click."""
    arabic = ("\u062a\u0639\u062f \u0627\u0644\u0644\u063a\u0629 \u0627\u0644\u0639\u0631\u0628\u064a\u0629 "
              "\u0645\u0646 \u0623\u0643\u062b\u0631 \u0627\u0644\u0644\u063a\u0627\u062a "
              "\u0627\u0646\u062a\u0634\u0627\u0631\u0627 \u0641\u064a \u0627\u0644\u0639\u0627\u0644\u0645\u060c "
              "\u0648\u064a\u062a\u062d\u062f\u062b \u0628\u0647\u0627 \u0623\u0643\u062b\u0631 \u0645\u0646 "
              "\u0623\u0631\u0628\u0639\u0645\u0627\u0626\u0629 \u0645\u0644\u064a\u0648\u0646 "
              "\u0625\u0646\u0633\u0627\u0646 \u0641\u064a \u0628\u0644\u062f\u0627\u0646 "
              "\u0643\u062b\u064a\u0631\u0629.")
    arabic_short = "\u0627\u0644\u0633\u0644\u0627\u0645 \u0639\u0644\u064a\u0643\u0645"
    hebrew = ("\u05e2\u05d1\u05e8\u05d9\u05ea \u05e0\u05db\u05ea\u05d1\u05ea \u05de\u05d9\u05de\u05d9\u05df "
              "\u05dc\u05e9\u05de\u05d0\u05dc, \u05d5\u05de\u05e9\u05e4\u05d8 \u05d0\u05e8\u05d5\u05da "
              "\u05db\u05de\u05d5 \u05d6\u05d4 \u05e2\u05d5\u05d1\u05e8 \u05dc\u05e9\u05d5\u05e8\u05d4 "
              "\u05d4\u05d1\u05d0\u05d4 \u05d1\u05ea\u05d9\u05d1\u05ea \u05d4\u05d8\u05e7\u05e1\u05d8 "
              "\u05db\u05d0\u05e9\u05e8 \u05d0\u05d9\u05df \u05d1\u05d4 \u05e2\u05d5\u05d3 "
              "\u05de\u05e7\u05d5\u05dd.")
    hebrew_short = "\u05e9\u05b8\u05c1\u05dc\u05d5\u05b9\u05dd \u05e2\u05d5\u05dc\u05dd"
    mixed = ("The word \u05e9\u05dc\u05d5\u05dd means peace, and the Arabic "
             "\u0645\u0631\u062d\u0628\u0627 means hello; both are written from right to left.")
    devanagari = ("\u0938\u0902\u0935\u093f\u0927\u093e\u0928 \u0915\u093e "
                  "\u0905\u0928\u0941\u091a\u094d\u091b\u0947\u0926 \u090f\u0915 "
                  "\u0915\u0939\u0924\u093e \u0939\u0948 \u0915\u093f \u092d\u093e\u0930\u0924 "
                  "\u0930\u093e\u091c\u094d\u092f\u094b\u0902 \u0915\u093e \u0938\u0902\u0918 "
                  "\u0939\u094b\u0917\u093e, \u0914\u0930 \u0939\u093f\u0928\u094d\u0926\u0940 "
                  "\u0907\u0938\u0915\u0940 \u0930\u093e\u091c\u092d\u093e\u0937\u093e \u0939\u0948\u0964")
    thai = ("\u0e20\u0e32\u0e29\u0e32\u0e44\u0e17\u0e22\u0e40\u0e02\u0e35\u0e22\u0e19"
            "\u0e15\u0e34\u0e14\u0e01\u0e31\u0e19\u0e42\u0e14\u0e22\u0e44\u0e21\u0e48"
            "\u0e40\u0e27\u0e49\u0e19\u0e27\u0e23\u0e23\u0e04\u0e23\u0e30\u0e2b\u0e27\u0e48"
            "\u0e32\u0e07\u0e04\u0e33 \u0e41\u0e15\u0e48\u0e08\u0e30\u0e40\u0e27\u0e49\u0e19"
            "\u0e27\u0e23\u0e23\u0e04\u0e40\u0e21\u0e37\u0e48\u0e2d\u0e08\u0e1a\u0e1b\u0e23"
            "\u0e30\u0e42\u0e22\u0e04\u0e2b\u0e19\u0e36\u0e48\u0e07\u0e41\u0e25\u0e49\u0e27"
            "\u0e02\u0e36\u0e49\u0e19\u0e1b\u0e23\u0e30\u0e42\u0e22\u0e04\u0e43\u0e2b\u0e21\u0e48")
    family = "\U0001F469\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"
    clusters = ([family] * 3 + [" ", "\U0001F1E9\U0001F1EA", "\U0001F1EB\U0001F1F7",
                                 "\U0001F1EF\U0001F1F5", " "] + ["e\u0301"] * 3 + [" ", "e", "n", "d"])
    cluster_places = utf16_starts(clusters) + [sum(len(c.encode("utf-16-le")) // 2 for c in clusters)]
    tabs = "a\tbb\tccc\tdddddddddddd\te " + "x\t" * 4 + "end"
    keys = [key("shift+Right")] * 2 + [key("Right")] + [key("Left")] * 2 + [key("shift+Left")] * 2 + [
        key("Home"), key("shift+End"), key("End"), key("shift+Home")]
    rows_keys = [key("Down"), key("shift+Up"), key("shift+Down")]

    def multi(name, text, k):
        places = caret_places(text)
        return s(name, {"input": text}, measure("input", places, carets=True), rows("input", places),
                 *across("input", 0, 290, 9), click(At("input", k)), *keys, *rows_keys)

    def line(name, text, places, k, start, stop, step):
        return s(name, {"line": text}, measure("line", places, carets=True),
                 *across("line", 0, stop, step, start), click(At("line", k)), *keys)
    return [
        multi("script-arabic", arabic, 12),
        # (A line box aligns right-to-left text right: clicked from its right edge.)
        line("script-arabic-line", arabic_short, caret_places(arabic_short), 3, -110, -1, 4),
        multi("script-hebrew", hebrew, 12),
        line("script-hebrew-line", hebrew_short, caret_places(hebrew_short), 3, -90, -1, 4),
        multi("script-mixed", mixed, 10),
        multi("script-devanagari", devanagari, 12),
        multi("script-thai", thai, 12),
        line("script-clusters-line", "".join(clusters), cluster_places, cluster_places[1],
             1, 170, 5),
        line("script-tabs-line", tabs, list(range(len(tabs) + 1)), 2, 1, 640, 12),
    ]


def mouse_memory_scenarios():
    """What a seeded comparison of random input found: a double or triple click is remembered
    until a plain click starts a selection elsewhere, and a few keys keep the view or the selection."""
    lines = {"input": "alpha beta\ngamma delta\nepsilon"}
    return [
        s("select-all-keeps-view", {"input": LINES}, click(At("input", 2)), key("ctrl+a"),
          key("shift+Left")),
        s("dclick-word-below-view", {"input": "\n".join("l%d" % i for i in range(9)) + " " + "w" * 90},
          dclick(At("input", 27)), key("shift+Right")),
        s("page-keys-keep-selection", {"input": WORDS}, dclick(At("input", 8)), key("Next"),
          key("Prior"), key("shift+Next"), key("Prior")),
        s("tclick-dclick-shift-click", lines, tclick(At("input", 3)), dclick(At("input", 7)),
          sclick(At("input", 20))),
        s("dclick-shift-down-click-in-selection", {"input": WORDS + "\n" + WORDS},
          dclick(At("input", 13)), key("shift+Down"), click(At("input", 25)), sclick(At("input", 3))),
        s("tclick-empty-last-line", {"input": "one two\nthree 45\n"}, tclick(At("input", 17)),
          sclick(At("input", 10))),
        s("click-last-glyph-of-wrapped-row", {"input": "0123456789" * 8},
          click(LastOnRow("input", 0)), typed("X"), click(LastOnRow("input", 0, 0.25)), typed("Y")),
        # That glyph is kerned against the next row's first, as in its paragraph ("y" before ",").
        s("click-right-of-kerned-row-end",
          {"input": "x=y+z Base64 Base64 alpha mode quux x=y+z gamma yy,xmode zebra"},
          dclick(Beyond("input", 49)), click(Beyond("input", 49)), typed("Z")),
        # Rows and a line box's places with kerned pairs before them ("y," and "Vu").
        s("line-click-after-kerned-pair", {"line": "beta axyyy,.,zebra x=y+z"},
          click(At("line", 14, 0.7)), typed("Q")),
        s("wrap-kerned-base64", {"input": "-- (g) quux\ndozen\nfoo_bar sum gamma box a.b Base64 quux "
                                          "dozen -- name@host zebra sum\nalpha foo_bar"},
          measure("output", [116, 117, 118, 119])),
        s("drag-line-far-past-left", {"line": LONG_LINE}, click(At("line", 1)), key("End"),
          drag(At("line", len(LONG_LINE) - 30), Outside("line", "left", 40))),
        # The remembered word follows edits: typed over, it is gone; pasted into, it grows.
        s("dclick-type-over-shift-click", {"input": WORDS}, dclick(At("input", 8)), typed("xy"),
          sclick(At("input", 20))),
        s("dclick-middle-paste-inside-shift-click", {"input": "one twothree four"},
          dclick(At("input", 6)), mclick(At("input", 6)), sclick(At("input", 12))),
        # A space past the width hangs at the end of its row.
        s("wrap-space-hangs", {"input": "box QUJD -- quux sum box gamma (g) mode alpha QUJD (g)"},
          click(Beyond("input", 0)), typed("X"), key("Down"), key("Home")),
        # A glyph whose ink reaches past its advance ends a row only if the ink fits.
        s("wrap-keeps-ink-inside", {"input": "beta foo_bar zebra foo_bar -- foo_bar\nx=y+z Base64 box"},
          click(LastOnRow("output", 0, 0.3)), key("shift+End")),
        # A drag held near the top edge scrolls the view up before it drops.
        s("dnd-hover-top-scrolls", {"input": LINES}, wheel(At("input", 2), 1),
          dclick(At("input", 152)), drag(At("input", 152), At("input", 62), hold=1.0)),
    ]


def random_scenarios(seed, count):
    """Seeded mixes of clicks, keys and typing in the encoding input."""
    rng = random.Random(seed)
    alphabet = "abcdefgh  .,-=\n"
    keys = ["Left", "Right", "Up", "Down", "Home", "End", "shift+Left", "shift+Right",
            "shift+Up", "shift+Down", "ctrl+Left", "ctrl+Right", "shift+ctrl+Right", "BackSpace",
            "Delete", "ctrl+z", "ctrl+y", "ctrl+c", "ctrl+v", "ctrl+x", "shift+End", "shift+Home"]
    out = []
    for n in range(count):
        text = "".join(rng.choice(alphabet) for _ in range(rng.randint(20, 90)))
        text = "\n".join(part for part in text.split("\n") if part) or "x"
        # Clicks land on letters only, a quarter in from either side: a comma or a space is too
        # narrow to tell the two boxes' rounding apart from their behaviour.
        letters = [i for i, c in enumerate(text) if c.isalpha()] or [0]

        def somewhere():
            return At("input", rng.choice(letters), rng.choice((0.25, 0.75)))
        steps = [click(somewhere())]
        for _ in range(9):
            kind = rng.random()
            if kind < 0.6:
                steps.append(key(rng.choice(keys)))
            elif kind < 0.75:
                steps.append(typed("".join(rng.choice("xyz .") for _ in range(rng.randint(1, 3)))))
            else:
                steps.append(click(somewhere()))
        out.append(s("random-%d" % n, {"input": text}, *steps))
    return out


def ime(name, setup, *steps, **kw):
    """A row typed through ibus; each step also compares where the input method was last told
    the caret is."""
    sc = s(name, setup, *[st if getattr(st, "engine", False) else told_input_method(st) for st in steps],
           **kw)
    sc.ime = True
    return sc


def input_method_scenarios():
    """Chinese through ibus-libpinyin (letters compose, Space commits the first candidate) and
    accents through m17n's latn-post (a letter composes, an accent after it makes one letter)."""
    pinyin, latin, plain = engine("libpinyin"), engine("m17n:t:latn-post"), engine("xkb:us::eng")
    fox = {"input": "The quick brown fox"}
    full_row = {"input": PROSE[:56]}
    return [
        # The candidates follow the caret: along a row, on the next line, after a commit.
        ime("ime-pinyin-follows-caret", fox, click(Beyond("input", 0)), pinyin,
            drawn(typed("nihao"), "input"),
            key("space"), typed("ma"), key("space"), key("Return"), typed("shi"), key("space"), plain),
        ime("ime-pinyin-second-line", {"input": "first line\nsecond"}, click(Beyond("input", 12)),
            pinyin, typed("ni"), key("Escape"), typed("hao"), key("space"), plain),
        # Composed at a row's end, the text wraps onto the next row.
        ime("ime-pinyin-wraps", full_row, click(Beyond("input", 0)), pinyin,
            drawn(typed("nihaoshijie"), "input"),
            key("space"), plain),
        ime("ime-pinyin-wraps-inside", {"input": PROSE[:56] + " more"}, click(At("input", 56, 0.9)),
            pinyin, typed("nihaoshijie"), key("space"), plain),
        # A scrolled line box shows what is composed.
        ime("ime-pinyin-line-scrolled", {"line": LONG_LINE}, click(At("line", 3)), key("End"),
            pinyin, typed("nihaoshijie"), key("space"), plain),
        ime("ime-pinyin-short-scrolled", {"short": SHORT_LINE}, click(At("short", 3)), key("End"),
            pinyin, typed("nihao"), key("space"), key("Home"), plain),
        # Each commit is an undo step of its own in a text edit; a line edit undoes it with the
        # typing before it.
        ime("ime-pinyin-undo", {"input": ""}, click(At("input", 0)), plain, typed("ab"), pinyin,
            typed("nihao"), key("space"), key("ctrl+z"), key("ctrl+z"), key("ctrl+y"), plain),
        ime("ime-pinyin-undo-line", {"line": ""}, click(At("line", 0)), plain, typed("ab"), pinyin,
            typed("nihao"), key("space"), key("ctrl+z"), key("ctrl+y"), plain),
        # A click elsewhere in the box commits where the text was composed, then moves the caret.
        ime("ime-pinyin-click-commits", {"input": "a bcdef"}, click(Beyond("input", 0)), pinyin,
            move(At("input", 1)), typed("nihao"), click_here(), plain, typed("Z")),
        ime("ime-pinyin-click-commits-line", {"line": "a bcdef"}, click(At("line", 6, 0.9)), pinyin,
            move(At("line", 1)), drawn(typed("nihao"), "line"), click_here(), plain, typed("Z")),
        # A click on the composed text is the input method's (ibus ends the composition).
        ime("ime-pinyin-click-on-preedit", {"input": "ab"}, click(Beyond("input", 0)), pinyin,
            move(At("input", 2)), typed("nihao"), click_here(), plain, typed("Z")),
        # Accents: composed at the end and inside, over a selection, taken back, and left by Tab.
        ime("ime-latin-accents", {"input": "caf"}, click(Beyond("input", 0)), latin, typed("e'"),
            typed(" "), click(At("input", 1)), typed("a`"), dclick(At("input", 0)), typed("o^"),
            typed("e"), key("BackSpace"), typed("u"), key("Escape"), typed("i"), key("Tab"), plain),
        ime("ime-latin-line", {"line": "naive"}, click(At("line", 2)), latin, typed("i\""),
            key("Delete"), key("End"), typed("e"), key("shift+Tab"), plain),
    ]


def random_mix(seed, n):
    """Scenario n of seed: 8 to 20 steps of every kind of input, mostly in one box, each drawn
    from its own generator, so that it is the same whatever the count asked for."""
    rng = random.Random("%s/%d" % (seed, n))
    vocabulary = ["alpha", "beta", "gamma", "mode", "quux", "box", "sum", "dozen", "zebra",
                  "a.b", "x=y+z", "(g)", "--", "foo_bar", "Base64", "QUJD", "name@host"]

    def line_of(words):
        return " ".join(rng.choice(vocabulary) for _ in range(words))
    box = rng.choice(("input", "input", "input", "output", "line", "short"))
    multi = box in MULTI
    if multi:
        lines = [line_of(rng.choice((0, 1, 3, 6, 12))) for _ in range(rng.choice((1, 2, 4, 9, 30)))]
        text = "\n".join(lines)
        setup = {"input": text}
    else:
        text = line_of(rng.choice((2, 5, 30)) if box == "line" else rng.choice((1, 2, 4)))
        setup = {box: text}
    other = rng.choice(("dinput", "line", "input")) if box != "input" else "dinput"

    def place():
        kind, pick, fx = rng.random(), round(rng.random(), 2), rng.choice((0.3, 0.7))
        if kind < 0.75 or not multi:
            return Visible(box, pick, fx)
        if kind < 0.85:
            return Visible(box, pick, fx, "beyond")
        if kind < 0.92:
            return Below(box)
        return Visible(box, pick, fx, "last")

    def outside():
        if not multi:
            return Outside(box, rng.choice(("left", "right")), rng.choice((10, 40)))
        return Outside(box, rng.choice(("below", "above", "right")), 40)
    keys = ["Left", "Right", "Up", "Down", "Home", "End", "shift+Left", "shift+Right", "shift+Up",
            "shift+Down", "ctrl+Left", "ctrl+Right", "shift+ctrl+Left", "shift+ctrl+Right",
            "shift+Home", "shift+End", "ctrl+Home", "ctrl+End", "shift+ctrl+End", "Prior", "Next",
            "shift+Prior", "shift+Next", "BackSpace", "Delete", "ctrl+BackSpace", "ctrl+Delete",
            "Return", "ctrl+a", "ctrl+c", "ctrl+x", "ctrl+v", "shift+Insert", "ctrl+z", "ctrl+z",
            "ctrl+y", "ctrl+shift+z", "ctrl+k"]
    steps = [rng.choice((click, dclick, tclick))(place())]
    for _ in range(rng.randint(7, 19)):
        kind = rng.random()
        if kind < 0.30:
            steps.append(key(rng.choice(keys)))
        elif kind < 0.38:
            steps.append(typed("".join(rng.choice("xyz .,") for _ in range(rng.randint(1, 4)))))
        elif kind < 0.52:
            steps.append(click(place()))
        elif kind < 0.60:
            steps.append(dclick(place()))
        elif kind < 0.65:
            steps.append(tclick(place()))
        elif kind < 0.75:
            steps.append(sclick(place()))
        elif kind < 0.85:
            end = outside() if rng.random() < 0.3 else place()
            # Held above or below, the view scrolls as fast as the machine lets it: only a
            # short text reaches its end in the time held on both sides alike. A long one is
            # dragged to the edge of its view instead, since even passing outside scrolls it
            # by as many steps as the machine fits in.
            vertical = multi and end.label.split(":")[-1][:5] in ("below", "above")
            if vertical and len(text) >= 600:
                end = Below(box) if end.label.split(":")[-1].startswith("below") else Visible(box, 0.0, 0.3)
            hold = 2.0 if vertical and len(text) < 600 else 0.0
            steps.append(drag(place(), end, hold=hold, presses=rng.choice((1, 1, 1, 2, 3))))
        elif kind < 0.90:
            steps.append(mclick(place() if rng.random() < 0.7 else Visible(other, 0.0, 0.3)))
        elif kind < 0.95 and multi:
            steps.append(wheel(Visible(box, 0.5, 0.5), rng.randint(1, 4), rng.random() < 0.6))
        else:
            steps.append(click(Visible(other, 0.0, 0.3)))
    clip = rng.choice((None, "pasted", "two\nlines", line_of(3)))
    return s("random-%s-%d" % (seed, n), setup, *steps, clip=clip, primary=rng.choice((None, "prim")))


def random_mode(argument):
    """The scenarios of --random SEED[:COUNT] (ten unless told)."""
    seed, _, count = argument.partition(":")
    return [random_mix(seed, n) for n in range(int(count or 10))]


SCENARIOS = (fixed_scenarios() + more_scenarios() + random_scenarios(20261207, 6)
             + input_method_scenarios() + mouse_memory_scenarios() + shaped_scenarios()
             + script_scenarios())
if os.environ.get("BOXDIFF_REPEAT"):
    SCENARIOS = [sc for sc in SCENARIOS for _ in range(int(os.environ["BOXDIFF_REPEAT"]))]


# ---------------------------------------------------------------------------------------------
# Playing and comparing


class Observer:
    def __init__(self, harness, accessibility):
        self.harness, self.accessibility = harness, accessibility

    def state(self, side, watch, view):
        """What the boxes show; view is the window's sync reply (scroll positions, focus)."""
        fields = {}
        for box in watch:
            name = "%s.%s" % (side, box)
            raw, caret, selection = self.accessibility.read(name)
            text, caret = normal(raw, caret)
            fields[box + ".text"] = text
            fields[box + ".caret"] = caret
            if selection:
                fields[box + ".sel"] = "%s-%s" % (normal(raw, selection[0])[1], normal(raw, selection[1])[1])
            else:
                fields[box + ".sel"] = "none"
            fields[box + ".top"] = view["top"][name]
            fields["focus"] = view["focus"].split(".", 1)[-1]
        fields["clipboard"] = clipboard("clipboard")
        fields["primary"] = clipboard("primary")
        return fields

    def settled(self, side, watch):
        """The state read between two syncs with the window that count no event between them
        (the reads themselves send it none), so it is the state the step has left."""
        deadline = time.monotonic() + SETTLE_LIMIT
        names = ["%s.%s" % (side, box) for box in watch]
        before = self.harness.run(cmd="sync", boxes=names)
        while True:
            now = self.state(side, watch, before)
            after = self.harness.run(cmd="sync", boxes=names)
            if after == before or time.monotonic() > deadline:
                return now
            before = after


def setup(harness, scenario, side):
    harness.run(cmd="focus", box="none")
    # An input's handler fills its output: outputs are emptied first, and given texts set last.
    outputs = ("output", "doutput")
    order = [b for b in outputs if b not in scenario.setup] + ["input", "dinput", "line", "short"]
    for box in order + [b for b in outputs if b in scenario.setup]:
        text = scenario.setup.get(box, "")
        harness.run(cmd="set", box="%s.%s" % (side, box), text=text, anchor=0, caret=0)
    # Never left empty: Qt 6.4's QPlainTextEdit crashes on a middle click with no primary selection.
    harness.run(cmd="clip", mode="clipboard", text=scenario.clip or "clip0")
    harness.run(cmd="clip", mode="primary", text=scenario.primary or "primary0")
    # Park the pointer away from both panels, so the first click starts from nowhere.
    xdotool("mousemove", 1430, 550)


def play(harness, observer, player, scenario, side):
    setup(harness, scenario, side)
    states = []
    for step in scenario.steps:
        step.play(player, side)
        states.append(observer.settled(side, scenario.watch))
        if step.extra:
            states[-1].update(step.extra(player, side))
    xdotool("mouseup", 1)
    return states


def show(value):
    return json.dumps(value, ensure_ascii=False) if isinstance(value, str) else str(value)


class Session:
    """The window and what watches it; started again when a side leaves the pointer held."""

    def __init__(self, program):
        self.program = program
        self.display = Display()
        self.start()

    def start(self):
        self.harness = Harness(self.program)
        self.observer = Observer(self.harness, Accessibility("boxpair"))
        self.player = Player(self.harness)

    def play(self, scenario, side):
        states = play(self.harness, self.observer, self.player, scenario, side)
        held = self.display.pointer_held()
        states[-1]["pointer"] = "held" if held else "free"
        if held:  # told to quit, so that it ends as it would anyway (killed only if it does not)
            self.harness.quit()
            self.start()
        return states

    def close(self):
        self.harness.quit()


class InputMethodSession(Session):
    """A window that types through a real ibus (the input-method rows play here): Qt's ibus
    module, answering each key before the next is handled."""

    ENV = {"QT_IM_MODULE": "ibus", "IBUS_ENABLE_SYNC_MODE": "1"}

    def __init__(self, program):
        self.input_methods = InputMethods()
        self.saved = {name: os.environ.get(name) for name in self.ENV}
        os.environ.update(self.ENV)
        Session.__init__(self, program)

    def start(self):
        Session.start(self)
        self.player.input_methods = self.input_methods

    def close(self):
        Session.close(self)
        self.input_methods.stop()
        for name, value in self.saved.items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value


def shard(scenarios, parts):
    """The scenarios dealt into parts of about the same number of steps, each in table order:
    the longest first, each to the part with the fewest steps so far."""
    loads, members = [0] * parts, [set() for _ in range(parts)]
    for index in sorted(range(len(scenarios)), key=lambda i: -len(scenarios[i].steps)):
        lightest = loads.index(min(loads))
        loads[lightest] += len(scenarios[index].steps)
        members[lightest].add(index)
    return [[sc for i, sc in enumerate(scenarios) if i in chosen] for chosen in members]


def in_sessions(args):
    """--sessions M: the part asked for (all by default) played as M parts at once, each in a
    desktop session of its own started through xsession.sh; their reports one after the other."""
    at = args.index("--sessions")
    sessions, args = int(args[at + 1]), args[:at] + args[at + 2:]
    part, parts = 1, 1
    if "--shard" in args:
        at = args.index("--shard")
        part, parts = map(int, args[at + 1].split("/"))
        args = args[:at] + args[at + 2:]
    here = os.path.dirname(os.path.abspath(__file__))
    children = [subprocess.Popen(["bash", os.path.join(here, "xsession.sh"), sys.executable,
                                  os.path.abspath(__file__)] + args +
                                 ["--shard", "%d/%d" % ((part - 1) * sessions + n, parts * sessions)],
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
                for n in range(1, sessions + 1)]
    for child in children:
        sys.stdout.write(child.communicate()[0])
    return max(child.returncode for child in children)


def known_reason(scenario, index):
    """The reason KNOWN gives for a difference at this step, and the entry that gives it."""
    entries = [step for (name, step) in KNOWN if name == scenario and step <= index]
    if not entries:
        return None, None
    entry = (scenario, max(entries))
    return KNOWN[entry], entry


def main():
    args = sys.argv[1:]
    if not args:
        print(__doc__)
        return 2
    if "--sessions" in args:
        return in_sessions(args)
    only = None
    if "--only" in args:
        only = args[args.index("--only") + 1].split(",")
    # Seeded random scenarios instead of the table, to look for what still differs.
    table = random_mode(args[args.index("--random") + 1]) if "--random" in args else SCENARIOS
    scenarios = [sc for sc in table if only is None or any(fnmatch.fnmatchcase(sc.name, o) for o in only)]
    if "--shard" in args:
        part, parts = map(int, args[args.index("--shard") + 1].split("/"))
        scenarios = shard(scenarios, parts)[part - 1]
    verbose = "--verbose" in args
    if "--list" in args:
        for sc in scenarios:
            print(sc.name, len(sc.steps))
        return 0

    started = time.monotonic()
    # The input-method rows play last, in a window of their own.
    scenarios.sort(key=lambda sc: getattr(sc, "ime", False))
    session = None
    unknown = known = steps = 0
    differing = set()
    try:
        for scenario in scenarios:
            wanted = InputMethodSession if getattr(scenario, "ime", False) else Session
            if type(session) is not wanted:
                if session:
                    session.close()
                session = wanted(args[0])
            ours = session.play(scenario, "ours")
            qt = session.play(scenario, "qt")
            steps += len(scenario.steps)
            for index, (step, a, b) in enumerate(zip(scenario.steps, ours, qt), 1):
                if verbose:
                    print("%s / %d %s:\n  ours %s\n  qt   %s" % (scenario.name, index, step.label, a, b))
                for field in a:
                    if a[field] == b.get(field):
                        continue
                    differing.add((scenario.name, index))
                    line = "%s / %d %s: %s ours=%s qt=%s" % (scenario.name, index, step.label, field,
                                                            show(a[field]), show(b.get(field)))
                    reason, _ = known_reason(scenario.name, index)
                    if reason:
                        known += 1
                        print("known: %s (%s)" % (line, reason))
                    else:
                        unknown += 1
                        print(line)
            sys.stdout.flush()
    finally:
        if session:
            session.close()
    played = {sc.name for sc in scenarios}
    for entry in sorted(KNOWN):
        if entry[0] in played and entry not in differing:
            print("no longer seen (remove from KNOWN?): %s / %d: %s" % (entry + (KNOWN[entry],)))
    print("%d scenarios, %d steps on each side, %d new differences, %d known, %.0f s"
          % (len(scenarios), steps, unknown, known, time.monotonic() - started))
    if "--random" in args:
        different = sorted({name for name, _ in differing}, key=lambda n: int(n.rsplit("-", 1)[1]))
        print("random %s: %d the same, %d different%s" % (args[args.index("--random") + 1],
              len(scenarios) - len(different), len(different),
              (": " + ",".join(different)) if different else ""))
    return 1 if unknown else 0


if __name__ == "__main__":
    sys.exit(main())
