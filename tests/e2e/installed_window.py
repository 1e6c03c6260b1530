"""Starts the installed window program from its installed path as a desktop
entry does (Exec=quarrow %f: one argument, the path of a CSV file whose name
holds spaces, two of them in a row), checks through the accessibility
interface that the file is loaded, and that About > Info > License... hands
the desktop's opener the licence from the installation's documentation
folder; then ends it through File > Exit.

usage: installed_window.py PREFIX [--shots FOLDER]
With --shots, screenshots of the screen (ImageMagick's import) are written to
FOLDER. Needs an X display and a session bus (xvfb-run, dbus-run-session).
"""

import os
import subprocess
import sys
import tempfile

import pyatspi

from feedback_about import Screen, click, find, gone, menu_entry, open_license
from smoke import closed_port, exit_through_menu, has, program_environment, wait_for

TITLE = "TARNIX - Quarrow"


def fail(message):
    sys.exit("installed window: " + message)


def main():
    prefix = os.path.abspath(sys.argv[1])
    shots = sys.argv[sys.argv.index("--shots") + 1] if "--shots" in sys.argv else None
    screen = Screen(shots)
    program = os.path.join(prefix, "bin", "quarrow")
    licence = os.path.join(prefix, "share", "doc", "quarrow", "license.txt")
    with tempfile.TemporaryDirectory() as root:
        data = os.path.join(root, "My Files")
        os.mkdir(data)
        csv = os.path.join(data, "sales  2024 (Q1).csv")
        with open(csv, "wb") as f:
            f.write(b"region,amount\r\nNorth,10\r\nSouth,20\r\n")
        pyatspi.Registry.getDesktop(0)
        env, opened, _ = program_environment(root, f"http://127.0.0.1:{closed_port()}")
        proc = subprocess.Popen([program, csv], env=env, cwd=root)
        try:
            wait_for(proc.pid, lambda ns: has(ns, "frame", TITLE) and has(ns, "label", "3 rows loaded"),
                     f"a window titled {TITLE!r} with the file loaded")
            screen.shot("installed-window")
            menu_entry(proc.pid, "About...")
            find(proc.pid, "label", "Quarrow 2.1", "the About window")
            screen.shot("installed-about")
            got = open_license(proc.pid, opened, screen)
            if os.path.realpath(got) != os.path.realpath(licence):
                fail(f"License... opened {got!r}, not {licence!r}")
            click(find(proc.pid, "push button", "OK"))
            gone(proc.pid, "label", "Quarrow 2.1")
            code = exit_through_menu(proc)
            if code != 0:
                fail(f"the program ended with code {code} after File > Exit")
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
    print("installed window: started from its installed path, file loaded, licence found in the installation")


if __name__ == "__main__":
    main()
