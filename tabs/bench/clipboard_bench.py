#!/usr/bin/env python3
"""The real X clipboard, as a person uses it with megabytes: the program's window on X, another
program (xclip) owning Base64 on one line, a click into the decoding input and Ctrl+V; a click
into the decoding output and Ctrl+A, Ctrl+C; another program reading that clipboard; and one
reading it while the window is still busy with Ctrl+C. Each step is timed until the program is
idle again (its CPU time stops growing), beside xclip handing the same bytes to another xclip
in the same run, the floor of the transfer itself; the keys Ctrl+A, Ctrl+C pressed in an empty
box are the floor of that step (xdotool's own time). What the reader gets is checked against
the decoding done here. Then, each in a window of its own, the program's resident memory: its
peak while the text pastes into the encoding input (random letters, from xclip), against both
texts' characters, and after the decoding input that held a paste is emptied (Ctrl+A, Delete),
against the window before the paste.

Run inside a session of its own:
  bash boxes/xtest/xsession.sh /usr/bin/python3 tabs/bench/clipboard_bench.py build/app/calvexa [MiB ...] [--runs N]
"""

import base64
import hashlib
import os
import subprocess
import sys
import tempfile
import time

RUNS = 2
IDLE = 1.0  # no CPU time for this long: the program is idle (Qt's INCR reads wait for each increment)
READ_TIMEOUT = 20
BLINK_QUIET = 0.4  # seconds without CPU time before a lone tick counts as the caret's blink


def cpu(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def until_idle(pid, start):
    """Seconds from start until the program last used the CPU, once it has been idle a while. A
    lone clock tick after a quiet spell, with no other close behind it, is the caret's blink
    repainting the box (it comes half a second after the last key at the earliest), not the
    step's work: it does not move the step's end."""
    last, changed, lone = cpu(pid), time.monotonic(), None
    while True:
        time.sleep(0.002)
        now, ticks = time.monotonic(), cpu(pid)
        if ticks != last:
            if ticks - last == 1 and now - changed > BLINK_QUIET and lone is None:
                lone = now
            else:
                changed, lone = now, None
            last = ticks
        elif lone is not None and now - lone > BLINK_QUIET:
            lone = None
        if now - changed >= IDLE and lone is None:
            return max(0.0, changed - start)


def memory(pid, field):
    """A field of /proc/PID/status in MB."""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024 / 1e6
    return 0.0


def encoded_length(n):
    """Characters of the Base64 of n bytes as the encoding output holds it: lines of 76 joined by
    CR LF, an exact multiple of 76 ending with one."""
    length = 4 * ((n + 2) // 3)
    return length + 2 * (length // 76) if length > 76 else length


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=30)


def owner(path):
    """xclip owning the clipboard with the file's bytes, until it is stopped."""
    process = subprocess.Popen(["xclip", "-i", "-quiet", "-selection", "clipboard", path],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:  # until it offers its targets
        time.sleep(0.1)
        targets = subprocess.run(["xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"],
                                 capture_output=True, text=True, timeout=20)
        if "UTF8_STRING" in targets.stdout:
            break
    return process


def read_clipboard(path, timeout=READ_TIMEOUT):
    """Seconds xclip takes to read the clipboard into path, or None if it did not finish."""
    start = time.monotonic()
    with open(path, "wb") as out:
        try:
            done = subprocess.run(["xclip", "-o", "-selection", "clipboard"], stdout=out,
                                  stderr=subprocess.DEVNULL, timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
    return time.monotonic() - start if done.returncode == 0 else None


def transfer(path, scratch):
    """The floor: one xclip handing path's bytes to another."""
    process = owner(path)
    try:
        return read_clipboard(scratch)
    finally:
        process.terminate()
        process.wait()


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def copied(data):
    """What the decoding output's copy should read: its Windows-1252 characters (the five bytes
    that code page leaves undefined as U+0081, U+008D, U+008F, U+0090, U+009D) as UTF-8, every
    line break (CR LF, CR, LF) one LF."""
    table = {}
    for b in range(0x80, 0xA0):
        try:
            table[b] = bytes([b]).decode("cp1252")
        except UnicodeDecodeError:
            pass
    text = bytes(data).decode("latin-1").translate(table)
    return text.replace("\r\n", "\n").replace("\r", "\n").encode("utf-8")


class Window:
    def __init__(self, program):
        env = dict(os.environ, QT_QPA_PLATFORM="xcb")
        env.pop("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", None)
        self.process = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        wid = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "Calvexa"],
                             capture_output=True, text=True, timeout=30).stdout.split()[0]
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", wid],
                                  capture_output=True, text=True, check=True).stdout
        values = dict(line.split("=") for line in geometry.split())
        self.x, self.y = int(values["X"]), int(values["Y"])
        until_idle(self.process.pid, time.monotonic())

    def click(self, box):
        # The middles of the boxes, from the window's fixed layout.
        dx, dy = {"input": (172, 312), "output": (500, 312), "encoding input": (172, 112)}[box]
        xdotool("mousemove", self.x + dx, self.y + dy, "click", 1)
        return until_idle(self.process.pid, time.monotonic())

    def keys(self, *names):
        start = time.monotonic()
        xdotool("key", "--delay", 20, *names)
        return start

    def idle(self, start):
        return until_idle(self.process.pid, start)

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()


def run(program, mib, work):
    data = os.urandom(mib * (1 << 20) // 4 * 3)
    source = os.path.join(work, "base64")
    with open(source, "wb") as f:
        f.write(base64.b64encode(data))
    expected = os.path.join(work, "expected")
    with open(expected, "wb") as f:
        f.write(copied(data))
    want = digest(expected)
    scratch, got = os.path.join(work, "scratch"), os.path.join(work, "got")
    rows = {k: [] for k in ("paste", "paste floor", "copy", "copy floor", "read", "read floor",
                            "early read")}
    for _ in range(RUNS):
        rows["paste floor"].append(transfer(source, scratch))
        rows["read floor"].append(transfer(expected, scratch))
        window = Window(program)
        clip = owner(source)
        try:
            window.click("output")
            rows["copy floor"].append(window.idle(window.keys("ctrl+a", "ctrl+c")))
            window.click("input")
            rows["paste"].append(window.idle(window.keys("ctrl+v")))
            # A reader that asks while the window is still busy copying, xclip still owning the
            # clipboard: it gets what it asked for, the window's text or xclip's, or fails; it
            # must not hang.
            window.click("output")
            window.keys("ctrl+a", "ctrl+c")
            seconds = read_clipboard(got)
            if seconds is None:
                rows["early read"].append(None)
            else:
                rows["early read"].append(seconds)
                early = "ours" if digest(got) == want else "xclip's" if digest(got) == digest(source) else "other"
                rows.setdefault("early text", []).append(early)
            window.idle(time.monotonic())
            if clip.poll() is None:
                clip.terminate()
            clip.wait()
            window.click("output")
            rows["copy"].append(window.idle(window.keys("ctrl+a", "ctrl+c")))
            seconds = read_clipboard(got)
            rows["read"].append(seconds if seconds is not None and digest(got) == want else None)
            if rows["read"][-1] is None:
                rows.setdefault("read failures", []).append(
                    "no answer in %d s" % READ_TIMEOUT if seconds is None else "%d bytes, not the text" % os.path.getsize(got))
        finally:
            if clip.poll() is None:
                clip.terminate()
            window.close()
    memory_rows(program, mib, work, rows)
    return rows, os.path.getsize(expected)


def memory_rows(program, mib, work, rows):
    """Resident memory of a paste into the encoding input at its peak, and after the decoding input
    that held a paste is emptied, each in a fresh window (MB)."""
    letters = os.path.join(work, "letters")
    alphabet = b"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
    n = mib * (1 << 20)
    with open(letters, "wb") as f:
        f.write(os.urandom(n).translate(bytes(alphabet[b % 52] for b in range(256))))
    texts = 2 * (n + encoded_length(n)) / 1e6
    window = Window(program)
    clip = owner(letters)
    try:
        idle = memory(window.process.pid, "VmRSS")
        window.click("encoding input")
        window.idle(window.keys("ctrl+v"))
        rows.setdefault("encode peak", []).append((memory(window.process.pid, "VmHWM") - idle, texts))
    finally:
        clip.terminate()
        clip.wait()
        window.close()
    window = Window(program)
    clip = owner(os.path.join(work, "base64"))
    try:
        idle = memory(window.process.pid, "VmRSS")
        window.click("input")
        window.idle(window.keys("ctrl+v"))
        held = memory(window.process.pid, "VmRSS") - idle
        window.idle(window.keys("ctrl+a", "Delete"))
        rows.setdefault("emptied", []).append((memory(window.process.pid, "VmRSS") - idle, held, idle))
    finally:
        clip.terminate()
        clip.wait()
        window.close()


def shown(values):
    if any(v is None for v in values):
        return "FAILED (%d of %d)" % (sum(v is None for v in values), len(values))
    values = sorted(values)
    return "%.2f s" % values[0] if len(values) == 1 else "%.2f–%.2f s" % (values[0], values[-1])


def main():
    global RUNS
    args = sys.argv[1:]
    if "--runs" in args:
        i = args.index("--runs")
        RUNS = int(args[i + 1])
        del args[i:i + 2]
    program, sizes = args[0], [int(a) for a in args[1:]] or [8, 64]
    with open("/proc/loadavg") as f:
        print("load average at the start:", " ".join(f.read().split()[:3]))
    with tempfile.TemporaryDirectory() as work:
        for mib in sizes:
            rows, out = run(program, mib, work)
            print("\n%d MiB of Base64 on one line (output %.0f MiB as UTF-8); best–worst of %d runs"
                  % (mib, out / (1 << 20), RUNS))
            print("| Step | Ours | Floor (xclip to xclip) |")
            print("|---|---|---|")
            print("| Ctrl+V until idle | %s | %s |" % (shown(rows["paste"]), shown(rows["paste floor"])))
            print("| Ctrl+A, Ctrl+C of the output until idle | %s | %s (the keys in an empty box) |"
                  % (shown(rows["copy"]), shown(rows["copy floor"])))
            print("| another program reading that clipboard | %s | %s |" % (shown(rows["read"]), shown(rows["read floor"])))
            if rows.get("read failures"):
                print("  read failures:", "; ".join(rows["read failures"]))
            print("| the same, asking while the window copies, xclip still owning the clipboard | %s (got: %s) | |"
                  % (shown(rows["early read"]), ", ".join(rows.get("early text", []))))
            peak, texts = rows["encode peak"][0]
            print("| resident memory a paste into the encoding input adds at its peak | %.0f MB | %.0f MB, both texts |"
                  % (peak, texts))
            left, held, idle = rows["emptied"][0]
            print("| resident memory after emptying the decoding input that held it | +%.0f MB (it held +%.0f MB) | the window before the paste, %.0f MB |"
                  % (left, held, idle))
            sys.stdout.flush()
    with open("/proc/loadavg") as f:
        print("\nload average at the end:", " ".join(f.read().split()[:3]))


if __name__ == "__main__":
    main()
