"""Starts the real program on an X display with a CSV file named on its
command line and checks, through the accessibility interface a screen
reader would use, that its window appears under its title with the file
loaded; then ends it through File > Exit.

usage: smoke.py PROGRAM
Needs an X display and a session bus (xvfb-run, dbus-run-session).
"""

import os
import socket
import stat
import subprocess
import sys
import tempfile
import time

import pyatspi

TITLE = "TARNIX - Quarrow"
TIMEOUT = 60.0


def walk(node, found):
    try:
        found.append((node.getRoleName(), node.name or "", node))
        for i in range(node.childCount):
            walk(node.getChildAtIndex(i), found)
    except Exception:
        # A node that goes away while it is read is skipped.
        pass
    return found


def program_nodes(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        try:
            if app.get_process_id() != pid:
                continue
        except Exception:
            continue
        return walk(app, [])
    return []


def wait_for(pid, predicate, what):
    deadline = time.monotonic() + TIMEOUT
    nodes = []
    while time.monotonic() < deadline:
        nodes = program_nodes(pid)
        if predicate(nodes):
            return nodes
        time.sleep(0.25)
    shown = "\n".join(f"  {role}: {name!r}" for role, name, _ in nodes)
    sys.exit(f"smoke: timed out waiting for {what}; the program shows:\n{shown}")


def has(nodes, role, name):
    return any(r == role and n == name for r, n, _ in nodes)


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def exit_through_menu(proc):
    """Ends the program with File > Exit; returns its exit code."""
    exit_items = [n for r, name, n in program_nodes(proc.pid) if r == "menu item" and name == "Exit"]
    if not exit_items:
        sys.exit("no File > Exit menu item")
    exit_items[0].queryAction().doAction(0)
    return proc.wait(timeout=TIMEOUT)


def closed_port():
    """A local port where nothing listens."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def program_environment(folder, http_base):
    """The environment for the program under test, made in `folder`: the
    accessibility interface on, the maker's HTTPS address one where nothing
    listens and its HTTP address `http_base`, a private settings folder, and
    the desktop's opener replaced by one that writes down what it got.
    Returns the environment, the file the opener writes to and the settings
    folder."""
    bin_dir = os.path.join(folder, "bin")
    os.mkdir(bin_dir)
    opened = os.path.join(folder, "opened.txt")
    opener = os.path.join(bin_dir, "xdg-open")
    with open(opener, "w") as f:
        f.write(f'#!/bin/sh\nprintf "%s\\n" "$1" >> "{opened}"\n')
    os.chmod(opener, stat.S_IRWXU)
    config = os.path.join(folder, "config")
    os.mkdir(config)
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
               QUARROW_HTTPS_BASE=f"https://127.0.0.1:{closed_port()}", QUARROW_HTTP_BASE=http_base,
               XDG_CONFIG_HOME=config, PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""))
    env.pop("BROWSER", None)
    return env, opened, config


def main():
    program = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        # A name with single spaces, given unquoted: the arguments join into one path.
        path = os.path.join(folder, "smoke test data.csv")
        with open(path, "wb") as f:
            f.write(b"id,name\r\n1,Ann\r\n2,Bob\r\n3,Cem\r\n")
        # Start the accessibility registry first: a program that finds none
        # at its start does not announce itself later.
        pyatspi.Registry.getDesktop(0)
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
        proc = subprocess.Popen([program] + path.split(" "), env=env)
        try:
            nodes = wait_for(proc.pid, lambda ns: has(ns, "frame", TITLE) and has(ns, "label", "4 rows loaded"),
                             f"a window titled {TITLE!r} with '4 rows loaded' in its status bar")
            if not has(nodes, "push button", "Load CSV files... [1]"):
                sys.exit("smoke: the load button does not show one loaded file")
            exit_items = [node for role, name, node in nodes if role == "menu item" and name == "Exit"]
            if not exit_items:
                sys.exit("smoke: no File > Exit menu item")
            exit_items[0].queryAction().doAction(0)
            code = proc.wait(timeout=TIMEOUT)
            if code != 0:
                sys.exit(f"smoke: the program ended with code {code} after File > Exit")
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
    print("smoke: window shown, file loaded, program ended through File > Exit")


if __name__ == "__main__":
    main()
