"""Starts the real program with the maker's server addresses pointing at a
local server that names another version, and checks as a person would see
it: the popup appears in the top right corner without taking the focus, its
link hands an address to the desktop, and the settings file holds the
check's bookkeeping. The HTTPS address is one where nothing listens, so the
request also shows the fall-back to plain HTTP, and what a plain-HTTP reply
may do: announce its version, but its download address (on a foreign host)
is neither opened nor kept and its notice is not shown; the link opens the
maker's own page over HTTPS. A top panel and a right dock are reserved on
the screen (the work area a window manager would publish), and the popup
sits 5 pixels inside the corner of what is left.

With --hang the server takes the request and never answers: File > Exit
while the check waits must end the program normally.

usage: update_popup.py PROGRAM [--hang]
Needs an X display and a session bus (xvfb-run, dbus-run-session).
"""

import configparser
import http.server
import os
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

import pyatspi

from smoke import exit_through_menu, extents, has, program_environment, program_nodes, wait_for

TITLE = "TARNIX - Quarrow"
TIMEOUT = 60.0
TOP_PANEL = 30
RIGHT_DOCK = 40


class CheckServer(http.server.ThreadingHTTPServer):
    def __init__(self):
        super().__init__(("127.0.0.1", 0), CheckHandler)
        self.requests = []
        self.hang = False
        self.released = threading.Event()
        # The reply waits until the test has made the main window active.
        self.answer = threading.Event()
        self.download = "https://foreign.example/download/quarrow-9.9.zip"


class CheckHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        self.server.requests.append((self.path, self.headers.get("Content-Type"), body))
        if self.server.hang:
            self.server.released.wait()
            return
        self.server.answer.wait(TIMEOUT)
        reply = (f"<version>9.9</version>\r\n<url>{self.server.download}</url>\r\n"
                 "<date>2026-12-01</date>\r\n<result>1</result>\r\n\r\n"
                 "<important>Call +1 555 0100 now to renew your licence</important>\r\n").encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


def fail(message):
    sys.exit("update popup: " + message)


def reserve_panels():
    """Publishes the screen's work area as a window manager with a top panel
    and a right dock would; returns the screen's width and height."""
    screen = pyatspi.Registry.getDesktop(0).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    area = f"0, {TOP_PANEL}, {screen.width - RIGHT_DOCK}, {screen.height - TOP_PANEL}"
    subprocess.run(["xprop", "-root", "-f", "_NET_WORKAREA", "32c", "-set", "_NET_WORKAREA", area], check=True)
    return screen.width, screen.height


def exit_normally(proc):
    code = exit_through_menu(proc)
    if code != 0:
        fail(f"the program ended with code {code} after File > Exit")


def main():
    program = sys.argv[1]
    server = CheckServer()
    server.hang = "--hang" in sys.argv[2:]
    threading.Thread(target=server.serve_forever, daemon=True).start()
    with tempfile.TemporaryDirectory() as folder:
        screen_width, screen_height = reserve_panels()
        env, opened, config = program_environment(folder, f"http://127.0.0.1:{server.server_address[1]}/")
        proc = subprocess.Popen([program], env=env)
        try:
            wait_for(proc.pid, lambda ns: has(ns, "frame", TITLE), f"a window titled {TITLE!r}")
            if server.hang:
                deadline = time.monotonic() + TIMEOUT
                while time.monotonic() < deadline and not server.requests:
                    time.sleep(0.1)
                if not server.requests:
                    fail("no request reached the server")
                exit_normally(proc)
                print("update popup: the program ended normally while its check waited for the server")
                return
            # The user works in the main window: a click on it makes it the
            # active one (there is no window manager to do it).
            label = [n for r, name, n in program_nodes(proc.pid) if r == "label" and name == "CSV Separator:"][0]
            x, y, width, height = extents(label)
            pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, "b1c")
            wait_for(proc.pid, lambda ns: any(r == "frame" and name == TITLE and n.getState().contains(pyatspi.STATE_ACTIVE)
                                              for r, name, n in ns), "the main window to become active")
            server.answer.set()

            link_text = "Click to download Quarrow 9.9"
            nodes = wait_for(proc.pid, lambda ns: has(ns, "label", "UPDATE AVAILABLE") and has(ns, "label", link_text),
                             "the update popup")

            # Top right corner of the screen's free area, 5 pixels from both edges.
            popup = [n for r, name, n in nodes if r == "label" and name == "UPDATE AVAILABLE"][0]
            # Up to the popup's own top-level window (its panels are frames too).
            while popup.parent is not None and popup.parent.getRoleName() != "application":
                popup = popup.parent
            deadline = time.monotonic() + TIMEOUT
            while time.monotonic() < deadline:
                x, y, width, height = extents(popup)
                if (width, height) == (320, 68):
                    break
                time.sleep(0.1)
            if (x, y, width, height) != (screen_width - RIGHT_DOCK - 320 - 5, TOP_PANEL + 5, 320, 68):
                fail(f"the popup sits at {x},{y} sized {width}x{height} on a {screen_width}x{screen_height} screen"
                     f" with {TOP_PANEL} pixels reserved at the top and {RIGHT_DOCK} at the right")

            # The main window, active before, keeps the focus.
            main_frame = [n for r, name, n in program_nodes(proc.pid) if r == "frame" and name == TITLE][0]
            if not main_frame.getState().contains(pyatspi.STATE_ACTIVE):
                fail("the main window is not the active window once the popup shows")
            if popup.getState().contains(pyatspi.STATE_ACTIVE):
                fail("the popup took the focus")

            # The request: HTTPS refused, then the same fields over plain HTTP.
            if len(server.requests) != 1:
                fail(f"expected one request over plain HTTP, got {len(server.requests)}")
            path, content_type, body = server.requests[0]
            fields = urllib.parse.parse_qsl(body.decode(), keep_blank_values=True)
            names = [name for name, _ in fields]
            if path != "/php/check2.php" or names != ["cmd", "appname", "version", "os", "local", "guid", "howmany"]:
                fail(f"unexpected request {path} {names}")
            values = dict(fields)
            if values["appname"] != TITLE or values["version"] != "2.1" or values["howmany"] != "1":
                fail(f"unexpected request values {values}")
            if content_type != "application/x-www-form-urlencoded":
                fail(f"plain-HTTP content type {content_type!r}")

            # The plain-HTTP reply's notice is not shown.
            if any(name and "555 0100" in name for _, name, _ in program_nodes(proc.pid)):
                fail("the notice of a plain-HTTP reply was shown")

            # The link hands the maker's own page to the desktop, not the
            # address the plain-HTTP reply named, and closes the popup.
            link = [n for r, name, n in program_nodes(proc.pid) if r == "label" and name == link_text][0]
            x, y, width, height = extents(link)
            pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, "b1c")
            deadline = time.monotonic() + TIMEOUT
            while time.monotonic() < deadline and not os.path.exists(opened):
                time.sleep(0.1)
            time.sleep(0.5)
            with open(opened) as f:
                got = f.read().split()
            maker_page = env["QUARROW_HTTPS_BASE"] + "/"
            if got != [maker_page]:
                fail(f"the link opened {got}, expected {maker_page}")

            settings = configparser.ConfigParser(interpolation=None)
            settings.optionxform = str
            settings.read(os.path.join(config, "TARNIX", "Quarrow.conf"))
            kept = dict(settings["Settings"])
            for name, value in (("HowMany", "1"), ("InstalledVersion", "2.1"), ("LastUpdateCheckCount", "1"),
                                ("CurrentVersion", "9.9")):
                if kept.get(name) != value:
                    fail(f"setting {name} is {kept.get(name)!r}, expected {value!r}; all: {kept}")
            if not kept.get("LastUpdateCheck"):
                fail(f"date missing from the settings: {kept}")
            if "CurrentURL" in kept:
                fail(f"the plain-HTTP reply's address was kept: {kept}")

            exit_normally(proc)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            server.released.set()
            server.answer.set()
            server.shutdown()
    print("update popup: shown top right without the focus, the maker's page opened, settings kept")


if __name__ == "__main__":
    main()
