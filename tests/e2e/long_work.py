"""Starts the real program with a large CSV file named on its command line
and follows, through screenshots and the accessibility interface, what a
person sees while the file loads and exports:

- the window is painted while the file is still loading, and the progress
  window's text and bar advance through the load; the load ends with the
  rows in the status bar;
- Export to SQL... shows the progress window again, advancing through the
  rows; Cancel stops the export, leaves no file and brings no "Success" box;
- a second load of the same file through Load CSV file... is cancelled: the
  row count and the Load button stay as the first file left them;
- File > Exit ends the program.

The times from the window's appearance to its first painted screenshot and
to each progress window are printed, never checked: the checks are about
the order of events (painted while loading, progress advancing, nothing left
after Cancel).

usage: long_work.py PROGRAM [--megabytes N] [--shots FOLDER]
--megabytes sets the generated file's size (default 150). With --shots, the
screen is saved to FOLDER at each step. Needs an X display, a session bus
(xvfb-run, dbus-run-session) and ImageMagick's import and identify.
"""

import os
import re
import subprocess
import sys
import tempfile
import time

import pyatspi

from feedback_about import showing, top_level
from smoke import closed_port, exit_through_menu, extents, program_environment, program_nodes, wait_for

TITLE = "TARNIX - Quarrow"
TIMEOUT = 60.0
START = time.monotonic()


def fail(message):
    sys.exit("long work: " + message)


def log(message):
    print(f"[{time.monotonic() - START:7.2f} s] {message}", flush=True)


def write_csv(path, megabytes):
    """A CSV file of about `megabytes` MB with a header line: one block of
    varied rows written over and over. Returns its number of lines."""
    names = ["Anna", "O'Brien", "Zo\u00eb", "M\u00fcller", "Smith", '"Lee, Jr."', "\u015eahin"]
    cities = ["Dublin", '"Washington, D.C."', "K\u00f6ln", "Paris", ""]
    remarks = ["", "plain remark", '"It\'s a ""quoted"" remark, with a comma"']
    block_rows = 20000
    block = "".join(
        f"{i},{names[i % 7]},user{i * 7919 % 100000}@example.com,{cities[i % 5]},"
        f"{i % 100000}.{i % 100:02d},{remarks[i % 3]}\r\n" for i in range(1, block_rows + 1)).encode()
    target = megabytes * 1_000_000
    lines = 1
    with open(path, "wb") as f:
        size = f.write(b"id,name,email,city,amount,remark\r\n")
        while size < target:
            size += f.write(block)
            lines += block_rows
    return lines


class Screen:
    """Screenshots of parts of the screen, described by their number of
    colours and a signature of their pixels."""

    def __init__(self, folder, shots):
        self.folder = folder
        self.shots = shots
        self.count = 0

    def look(self, box, name):
        x, y, width, height = box
        self.count += 1
        keep = self.shots is not None
        path = os.path.join(self.shots if keep else self.folder, f"{self.count:03d}-{name}.png")
        subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "+repage", path],
                       check=True)
        out = subprocess.run(["identify", "-format", "%k %#", path], check=True, capture_output=True,
                             text=True).stdout.split()
        if not keep:
            os.remove(path)
        return int(out[0]), out[1]

    def save(self, name):
        if self.shots is not None:
            self.count += 1
            subprocess.run(["import", "-window", "root", os.path.join(self.shots, f"{self.count:03d}-{name}.png")],
                           check=True)


def painted(colours):
    # A window the program has not painted is one flat colour; the main
    # window's text, pictures and frames give it hundreds.
    return colours > 16


def enabled(node):
    try:
        return node.getState().contains(pyatspi.STATE_ENABLED)
    except Exception:
        return False


def find(nodes, role, name):
    found = [n for r, nm, n in nodes if r == role and nm == name and showing(n)]
    return found[0] if found else None


def loaded_rows(nodes):
    for role, name, _ in nodes:
        # A cancelled load adds what it stopped at: "... rows loaded. Cancelled at a.csv".
        m = re.fullmatch(r"([\d,]+) rows loaded(?:\. Cancelled .*)?", name)
        if role == "label" and m:
            return int(m.group(1).replace(",", ""))
    return None


def progress_window(nodes, title):
    """(text, bar value, window box, Cancel button) of the progress window
    titled `title`, or None while there is none."""
    windows = [n for r, name, n in nodes if r == "dialog" and name == title and showing(n)]
    if not windows:
        return None
    window = windows[0]
    text = bar = cancel = None
    for role, name, node in nodes:
        if not showing(node) or top_level(node) != window:
            continue
        if role == "label" and name:
            text = name
        elif role == "progress bar":
            bar = node.queryValue().currentValue
        elif role == "push button" and name == "Cancel":
            cancel = node
    try:
        return text, bar, extents(window), cancel
    except Exception:
        return None


def follow(pid, screen, title, until, cancel_after=None):
    """Samples the progress window titled `title` until `until(nodes)` holds,
    or, with `cancel_after`, presses its Cancel button once that many
    samples have been seen; returns the samples (time, text, bar value,
    screenshot signature) and the nodes at the end."""
    samples = []
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        nodes = program_nodes(pid)
        # Work that is to be cancelled has not ended before its window shows.
        if until(nodes) and (samples or cancel_after is None):
            return samples, nodes
        progress = progress_window(nodes, title)
        if progress is not None and progress[0] is not None:
            text, bar, box, cancel = progress
            _, signature = screen.look(box, f"{title.lower()}-window")
            if not samples:
                log(f"progress window {title!r} shown: {text!r}")
                screen.save(f"{title.lower()}")
            samples.append((time.monotonic(), text, bar, signature))
            if cancel_after is not None and len(samples) >= cancel_after:
                if cancel is None:
                    fail(f"the {title!r} window has no Cancel button")
                screen.save(f"{title.lower()}-before-cancel")
                cancel.queryAction().doAction(0)
                log(f"Cancel pressed at {text!r}")
                cancel_after = None
        time.sleep(0.2)
    fail(f"timed out following the {title!r} window; samples: {samples}")


def check_advances(samples, title, pattern):
    """The progress text and bar moved forward while the window showed."""
    if len(samples) < 3:
        fail(f"the {title!r} window was seen only {len(samples)} times; the work was too short to follow")
    done = []
    for _, text, _, _ in samples:
        m = re.fullmatch(pattern, text)
        if m is None:
            fail(f"the {title!r} window says {text!r}")
        done.append(m.group(1))
    bars = [bar for _, _, bar, _ in samples]
    if any(b < a for a, b in zip(bars, bars[1:])) or bars[-1] <= bars[0]:
        fail(f"the {title!r} window's bar did not advance: {bars}")
    if len(set(done)) < 2:
        fail(f"the {title!r} window's text did not advance: {done}")
    if len({signature for *_, signature in samples}) < 2:
        fail(f"the {title!r} window was not painted again as it advanced")


def file_dialog(pid, button, path):
    """Types `path` into the open file dialog and presses `button`."""
    def ready(nodes):
        return find(nodes, "push button", button) is not None and any(
            r == "text" and name.startswith("File name") and showing(n) for r, name, n in nodes)
    nodes = wait_for(pid, ready, f"a file dialog with a {button!r} button")
    box = [n for r, name, n in nodes if r == "text" and name.startswith("File name") and showing(n)][0]
    box.queryEditableText().setTextContents(path)
    find(nodes, "push button", button).queryAction().doAction(0)


def main():
    program = sys.argv[1]
    megabytes = int(sys.argv[sys.argv.index("--megabytes") + 1]) if "--megabytes" in sys.argv else 150
    shots = sys.argv[sys.argv.index("--shots") + 1] if "--shots" in sys.argv else None
    with tempfile.TemporaryDirectory() as folder:
        screen = Screen(folder, shots)
        data = os.path.join(folder, "large.csv")
        lines = write_csv(data, megabytes)
        size = os.path.getsize(data)
        log(f"{data}: {size} bytes, {lines} lines")
        script = os.path.join(folder, "large.sql")

        pyatspi.Registry.getDesktop(0)
        env, _, _ = program_environment(folder, f"http://127.0.0.1:{closed_port()}")
        proc = subprocess.Popen([program, data], env=env)
        pid = proc.pid
        try:
            # The load: the window is painted while the file is still
            # loading, and the progress window advances through it.
            nodes = wait_for(pid, lambda ns: find(ns, "frame", TITLE) is not None, f"a window titled {TITLE!r}")
            appeared = time.monotonic()
            log("main window appeared")
            first_paint = None
            while first_paint is None and time.monotonic() < appeared + TIMEOUT:
                colours, _ = screen.look(extents(find(nodes, "frame", TITLE)), "main-window")
                nodes = program_nodes(pid)
                if loaded_rows(nodes) is not None:
                    break
                if painted(colours):
                    first_paint = time.monotonic()
                    log(f"main window painted ({colours} colours) "
                        f"{first_paint - appeared:.2f} s after it appeared, file still loading")
            if first_paint is None:
                fail("the window was not seen painted while its file loaded")
            samples, nodes = follow(pid, screen, "Loading", lambda ns: loaded_rows(ns) is not None)
            check_advances(samples, "Loading", r"Loading large\.csv\n(\S+ \S+) of \S+ \S+")
            if loaded_rows(nodes) != lines:
                fail(f"the status bar shows {loaded_rows(nodes)} rows after loading {lines} lines")
            log(f"load done: {lines} rows; progress seen {len(samples)} times")
            screen.save("loaded")

            # The export, cancelled part way: no file and no "Success" box.
            find(nodes, "push button", "Export to SQL...").queryAction().doAction(0)
            file_dialog(pid, "Save", script)
            log("export started")
            samples, nodes = follow(
                pid, screen, "Exporting",
                lambda ns: progress_window(ns, "Exporting") is None and find(ns, "push button", "Cancel") is None
                and enabled(find(ns, "push button", "Export to SQL...")),
                cancel_after=4)
            check_advances(samples[:4], "Exporting", rf"Exporting to large\.sql\n([\d,]+) of {lines:,} rows")
            log(f"export cancelled; progress seen {len(samples)} times")
            time.sleep(1.0)  # a "Success" box would be up by now
            nodes = program_nodes(pid)
            if any(r == "dialog" and name == "Success" for r, name, _ in nodes):
                fail("a cancelled export still reported success")
            if os.path.exists(script):
                fail("the cancelled export left its file behind")
            screen.save("export-cancelled")

            # A second load of the same file, cancelled: the workspace stays
            # as the first file left it.
            find(nodes, "push button", "Load CSV files... [1]").queryAction().doAction(0)
            file_dialog(pid, "Open", data)
            log("second load started")
            samples, nodes = follow(
                pid, screen, "Loading",
                lambda ns: progress_window(ns, "Loading") is None and find(ns, "push button", "Cancel") is None
                and enabled(find(ns, "push button", "Export to SQL...")),
                cancel_after=2)
            if len(samples) < 2:
                fail("the second load ended before it could be cancelled")
            time.sleep(1.0)
            nodes = program_nodes(pid)
            if loaded_rows(nodes) != lines or find(nodes, "push button", "Load CSV files... [1]") is None:
                fail("the cancelled load changed the workspace: "
                     f"{[name for r, name, _ in nodes if r in ('label', 'push button') and name]}")
            if any(r == "dialog" and showing(n) for r, _, n in nodes):
                fail("a cancelled load brought up a window: "
                     f"{[name for r, name, n in nodes if r == 'dialog' and showing(n)]}")
            log("second load cancelled; the workspace is as before")
            screen.save("load-cancelled")

            code = exit_through_menu(proc)
            if code != 0:
                fail(f"the program ended with code {code} after File > Exit")
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
    log("painted while loading, progress advanced, Cancel left nothing behind")


if __name__ == "__main__":
    main()
