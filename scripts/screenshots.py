#!/usr/bin/env python3
"""Makes the guide's pictures from the running window: starts PROGRAM with
samples/customers.csv, later loads samples/bank-export.csv from the same
folder, drives it through the accessibility interface (as the end-to-end
tests do) to each state the guide shows, and saves each state, cropped to its
window, as a PNG in FOLDER:

  reload-offer.png   the file loaded without its header line, and the bar
                     that offers to reload it with one
  window-loaded.png  the file reloaded with its header line
  column-types.png   Edit Column Types after Suggest, a row's tooltip showing
  preview.png        File > Preview...
  progress.png       the progress window while a large generated file loads
  success.png        the box after Export to SQL... of that file
  forms-offer.png    the bank export (';', decimal commas, day.month.year)
                     loaded, and the bar that offers its separator, header
                     line and forms
  value-forms.png    after the reload: the "Numbers, dates" menu open
  table-list.png     the "Table" list open, PostgreSQL chosen
  success-table.png  the Success box after exporting the bank export to a
                     table created if missing

usage: screenshots.py PROGRAM SAMPLE FOLDER
Needs an X display without a window manager, a session bus (xvfb-run,
dbus-run-session), Debian's python3-pyatspi and ImageMagick (import, convert).
scripts/screenshots.sh sets all of this up.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from feedback_about import find, gone, showing, top_level  # noqa: E402
from long_work import file_dialog, loaded_rows, progress_window, write_csv  # noqa: E402
from smoke import closed_port, exit_through_menu, extents, program_environment, program_nodes, wait_for  # noqa: E402

TITLE = "TARNIX - Quarrow"
# The export's folder shows in the Success box: a short, plain one.
EXPORT_FOLDER = "/tmp/quarrow-pictures"
# Large enough for the load to show its progress window on a fast machine.
LARGE_MEGABYTES = 250


def fail(message):
    sys.exit("screenshots: " + message)


def settle():
    # Painting follows the accessibility events by a frame or two.
    time.sleep(0.8)


def save(folder, name, boxes):
    """Saves each of `boxes` (a window, its tooltip) as the screen shows it,
    in place on a transparent canvas just large enough for them all, as
    FOLDER/name.png, without the metadata that would change every run."""
    left = min(x for x, _, _, _ in boxes)
    top = min(y for _, y, _, _ in boxes)
    right = max(x + w for x, _, w, _ in boxes)
    bottom = max(y + h for _, y, _, h in boxes)
    path = os.path.join(folder, name + ".png")
    with tempfile.TemporaryDirectory() as scratch:
        screen = os.path.join(scratch, "screen.png")
        subprocess.run(["import", "-window", "root", screen], check=True)
        command = ["convert", "-size", f"{right - left}x{bottom - top}", "xc:none"]
        for x, y, w, h in boxes:
            command += ["(", screen, "-crop", f"{w}x{h}+{x}+{y}", "+repage", ")", "-geometry",
                        f"+{x - left}+{y - top}", "-composite"]
        # A window's few hundred colours fit a palette: a quarter of the bytes,
        # the same picture.
        command += ["-strip", "-define", "png:compression-level=9", "-define", "png:exclude-chunks=date,time",
                    "PNG8:" + path]
        subprocess.run(command, check=True)
    print(f"{path}: {right - left}x{bottom - top}, {os.path.getsize(path)} bytes")


def press(node):
    node.queryAction().doAction(0)


def click(node):
    """A mouse click on the node: a button's menu or a list's popup runs
    modally, and its accessible action would answer only once it closed."""
    x, y, width, height = extents(node)
    pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, "b1c")


def escape():
    pyatspi.Registry.generateKeyboardEvent(9, None, pyatspi.KEY_PRESSRELEASE)  # X keycode 9: Escape


def named(pid, role, prefix):
    """The first showing node of that role whose name starts with `prefix`."""
    def matches(r, n, node):
        return r == role and n.startswith(prefix) and showing(node)
    nodes = wait_for(pid, lambda ns: any(matches(*entry) for entry in ns), f"{role} {prefix!r}...")
    return [node for r, n, node in nodes if matches(r, n, node)][0]


def popup_item(pid, name):
    """The entry `name` of the list box popup that is open: a closed list's
    entries count as showing too, but sit at the screen's corner."""
    def matches(r, n, node):
        return r == "list item" and n == name and showing(node) and extents(node)[:2] != (0, 0)
    nodes = wait_for(pid, lambda ns: any(matches(*entry) for entry in ns), f"the list entry {name!r}")
    return [node for r, n, node in nodes if matches(r, n, node)][0]


def choose(pid, current, item):
    """Picks `item` in the list box now showing `current`."""
    click(find(pid, "combo box", current))
    click(popup_item(pid, item))
    find(pid, "combo box", item)


def bank_export(pid, sample, folder):
    """The bank export: the offer of its forms, the forms menu, the Table
    list and the Success box of a create-if-missing export."""
    [clear] = [n for r, name, n in program_nodes(pid) if r == "menu item" and name == "Clear"][:1]
    try:
        press(clear)
    except GLib.GError:
        # Freeing the large file's rows may outlast the bus's wait for the
        # answer (in a sanitizer build); the load button tells when it is done.
        pass
    press(find(pid, "push button", "Load CSV file..."))
    file_dialog(pid, "Open", sample)
    # Loaded with ',' and no header line, the file gets the offer of ';', the
    # header line and its forms.
    find(pid, "push button", "Reload with these settings")
    settle()
    save(folder, "forms-offer", [window_box(pid, "frame", TITLE)])

    press(find(pid, "push button", "Reload with these settings"))
    gone(pid, "push button", "Reload with these settings")
    click(named(pid, "push button", "Numbers, dates: 1.234,5"))
    settle()
    # The menu opens inside the window's bounds.
    save(folder, "value-forms", [window_box(pid, "frame", TITLE)])
    escape()
    settle()

    choose(pid, "MySQL / MariaDB", "PostgreSQL")
    [table] = [n for r, _, n in program_nodes(pid)
               if r == "text" and showing(n) and n.queryText().getText(0, -1) == "NEW_TABLE"][:1]
    table.queryEditableText().setTextContents("umsatz")
    click(find(pid, "combo box", "Create the table"))
    item = popup_item(pid, "Create it if missing, add the rows")
    settle()
    # The popup reaches past the window's right edge.
    save(folder, "table-list", [window_box(pid, "frame", TITLE), extents(item.parent)])
    click(item)
    find(pid, "combo box", "Create it if missing, add the rows")

    # Typed, the amounts and dates go into the script in their plain forms.
    press(find(pid, "push button", "Edit Column Types..."))
    press(find(pid, "push button", "Suggest"))
    press(find(pid, "push button", "OK"))
    gone(pid, "push button", "Suggest")
    press(find(pid, "push button", "Export to SQL..."))
    file_dialog(pid, "Save", os.path.join(EXPORT_FOLDER, "umsatz.sql"))
    find(pid, "alert", "Success")
    settle()
    save(folder, "success-table", [window_box(pid, "alert", "Success")])
    press(find(pid, "push button", "OK"))
    gone(pid, "alert", "Success")


def window_box(pid, role, name):
    return extents(top_level(find(pid, role, name)))


def main():
    program, sample, folder = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3]
    os.makedirs(folder, exist_ok=True)
    shutil.rmtree(EXPORT_FOLDER, ignore_errors=True)
    os.makedirs(EXPORT_FOLDER)
    with tempfile.TemporaryDirectory() as scratch:
        pyatspi.Registry.getDesktop(0)
        env, _, _ = program_environment(scratch, f"http://127.0.0.1:{closed_port()}")
        proc = subprocess.Popen([program, sample], env=env)
        pid = proc.pid
        try:
            # The first line holds names, but the header option starts off:
            # the window offers to reload. (The count includes that line.)
            wait_for(pid, lambda ns: any(r == "label" and n == "5 rows loaded" for r, n, _ in ns), "5 rows loaded")
            find(pid, "push button", "Reload with these settings")
            settle()
            main_window = window_box(pid, "frame", TITLE)
            save(folder, "reload-offer", [main_window])

            press(find(pid, "push button", "Reload with these settings"))
            gone(pid, "push button", "Reload with these settings")
            # The window shrinks back once the bar goes.
            settle()
            save(folder, "window-loaded", [window_box(pid, "frame", TITLE)])

            # Column types, suggested, with the tooltip of the row that
            # stayed text.
            press(find(pid, "push button", "Edit Column Types..."))
            press(find(pid, "push button", "Suggest"))
            settle()
            row = find(pid, "table cell", "joined")
            x, y, width, height = extents(row)
            # A click selects the row (and makes the dialog the active
            # window, which alone shows tooltips); the move after it is the
            # hover a tooltip waits for.
            pyatspi.Registry.generateMouseEvent(x + width // 2 - 5, y + height // 2, "b1c")
            time.sleep(0.5)
            pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, "abs")
            time.sleep(2.0)  # the tooltip's delay
            boxes = [window_box(pid, "push button", "Suggest")]
            tips = [n for r, _, n in program_nodes(pid) if r == "tool tip" and showing(n)]
            boxes += [extents(t) for t in tips]
            if not tips:
                print("screenshots: no tooltip seen; the picture shows the dialog alone", file=sys.stderr)
            save(folder, "column-types", boxes)
            pyatspi.Registry.generateMouseEvent(0, 0, "abs")
            press(find(pid, "push button", "OK"))
            gone(pid, "push button", "Suggest")

            # The preview.
            [item] = [n for r, name, n in program_nodes(pid) if r == "menu item" and name == "Preview..."]
            press(item)
            preview = wait_for(pid, lambda ns: any(r in ("dialog", "frame") and n == "Preview" and showing(node)
                                                   for r, n, node in ns), "the Preview window")
            preview = [node for r, n, node in preview if r in ("dialog", "frame") and n == "Preview"][0]
            settle()
            save(folder, "preview", [extents(preview)])
            # Escape closes it; were it to stay, the Success box still shows
            # above it and is cropped alone.
            preview.queryComponent().grabFocus()
            pyatspi.Registry.generateKeyboardEvent(9, None, pyatspi.KEY_PRESSRELEASE)  # X keycode 9: Escape
            settle()

            # A large file: its progress window while it loads, then the
            # Success box of its export, which names the forms that load a
            # script of that many rows fast.
            [clear] = [n for r, name, n in program_nodes(pid) if r == "menu item" and name == "Clear"][:1]
            press(clear)
            large = os.path.join(scratch, "orders.csv")
            lines = write_csv(large, LARGE_MEGABYTES)
            press(find(pid, "push button", "Load CSV file..."))
            file_dialog(pid, "Open", large)
            deadline = time.monotonic() + 60
            while time.monotonic() < deadline:
                progress = progress_window(program_nodes(pid), "Loading")
                if progress is not None and progress[0] is not None:
                    save(folder, "progress", [progress[2]])
                    break
                time.sleep(0.1)
            else:
                fail("no progress window was seen while the large file loaded")
            wait_for(pid, lambda ns: loaded_rows(ns) == lines, f"{lines} rows loaded")
            press(find(pid, "push button", "Export to SQL..."))
            file_dialog(pid, "Save", os.path.join(EXPORT_FOLDER, "orders.sql"))
            find(pid, "alert", "Success")
            settle()
            save(folder, "success", [window_box(pid, "alert", "Success")])
            press(find(pid, "push button", "OK"))
            gone(pid, "alert", "Success")

            bank_export(pid, os.path.join(os.path.dirname(sample), "bank-export.csv"), folder)

            code = exit_through_menu(proc)
            if code != 0:
                fail(f"the program ended with code {code} after File > Exit")
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            shutil.rmtree(EXPORT_FOLDER, ignore_errors=True)


if __name__ == "__main__":
    main()
