"""Starts the real program with the maker's server addresses pointing at a
local server that names another version, and checks as a person would see
it: the popup appears in the top right corner without taking the focus, its
link hands the download address to the desktop, and the settings file holds
the check's bookkeeping. The HTTPS address is one where nothing listens, so
the request also shows the fall-back to plain HTTP.

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


class CheckServer(http.server.ThreadingHTTPServer):
    def __init__(self):
        super().__init__(("127.0.0.1", 0), CheckHandler)
        self.requests = []
        self.hang = False
        self.released = threading.Event()
        self.download = f"http://127.0.0.1:{self.server_address[1]}/download/quarrow-9.9.zip"


class CheckHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        self.server.requests.append((self.path, self.headers.get("Content-Type"), body))
        if self.server.hang:
            self.server.released.wait()
            return
        reply = (f"<version>9.9</version>\r\n<url>{self.server.download}</url>\r\n"
                 "<date>2026-12-01</date>\r\n<result>1</result>\r\n").encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


def fail(message):
    sys.exit("update popup: " + message)


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
        pyatspi.Registry.getDesktop(0)
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
            link_text = "Click to download Quarrow 9.9"
            nodes = wait_for(proc.pid, lambda ns: has(ns, "label", "UPDATE AVAILABLE") and has(ns, "label", link_text),
                             "the update popup")

            # Top right corner of the screen, 5 pixels from both edges.
            screen = pyatspi.Registry.getDesktop(0).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
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
            if (x, y, width, height) != (screen.width - 320 - 5, 5, 320, 68):
                fail(f"the popup sits at {x},{y} sized {width}x{height} on a {screen.width}x{screen.height} screen")

            # The main window keeps the focus.
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

            # The link hands the download address to the desktop and closes the popup.
            link = [n for r, name, n in program_nodes(proc.pid) if r == "label" and name == link_text][0]
            x, y, width, height = extents(link)
            pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, "b1c")
            deadline = time.monotonic() + TIMEOUT
            while time.monotonic() < deadline and not os.path.exists(opened):
                time.sleep(0.1)
            time.sleep(0.5)
            with open(opened) as f:
                got = f.read().split()
            if got != [server.download]:
                fail(f"the link opened {got}, expected {server.download}")

            settings = configparser.ConfigParser(interpolation=None)
            settings.optionxform = str
            settings.read(os.path.join(config, "TARNIX", "Quarrow.conf"))
            kept = dict(settings["Settings"])
            for name, value in (("HowMany", "1"), ("InstalledVersion", "2.1"), ("LastUpdateCheckCount", "1"),
                                ("CurrentVersion", "9.9")):
                if kept.get(name) != value:
                    fail(f"setting {name} is {kept.get(name)!r}, expected {value!r}; all: {kept}")
            if not kept.get("LastUpdateCheck") or not kept.get("CurrentURL", "").isalnum():
                fail(f"date or address missing from the settings: {kept}")

            exit_normally(proc)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            server.released.set()
            server.shutdown()
    print("update popup: shown top right without the focus, link opened, settings kept")


if __name__ == "__main__":
    main()
