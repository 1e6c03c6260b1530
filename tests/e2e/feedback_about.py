"""Starts the real program from a folder whose path holds spaces and uses the
Help menu's two windows as a person would, with mouse clicks read through the
accessibility interface:

- Send Feedback: a two-line message with "I like it!" chosen reaches a local
  server (the HTTPS address is one where nothing listens, so the plain-HTTP
  fall-back is taken) with the fields in order and the line structure intact;
  the server's "OK" brings the success box, and the window closes after it.
- About: the title, the version, the card sliding away from the hidden
  picture and back, Info > License... hands the license beside the program
  to the desktop's opener, and OK closes the window.

usage: feedback_about.py PROGRAM [--shots FOLDER]
With --shots, screenshots of the screen (ImageMagick's import) are written to
FOLDER at each step. Needs an X display and a session bus (xvfb-run,
dbus-run-session).
"""

import http.server
import os
import shutil
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


def fail(message):
    sys.exit("feedback and About: " + message)


class FeedbackServer(http.server.ThreadingHTTPServer):
    def __init__(self):
        super().__init__(("127.0.0.1", 0), FeedbackHandler)
        self.requests = []


class FeedbackHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        self.server.requests.append((self.path, body))
        reply = b" OK\r\n"
        self.send_response(200)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


class Screen:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    def shot(self, name):
        if not self.folder:
            return
        self.count += 1
        path = os.path.join(self.folder, f"{self.count:02d}-{name}.png")
        subprocess.run(["import", "-window", "root", path], check=False)


def click(node):
    x, y, width, height = extents(node)
    pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, "b1c")


def find(pid, role, name, what=None):
    """The first showing node of that role (any role when None) and name."""
    def matches(r, n, node):
        return (role is None or r == role) and n == name and showing(node)
    nodes = wait_for(pid, lambda ns: any(matches(*entry) for entry in ns), what or f"{role} {name!r}")
    return [node for r, n, node in nodes if matches(r, n, node)][0]


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def gone(pid, role, name):
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        if not any(r == role and n == name and showing(node) for r, n, node in program_nodes(pid)):
            return
        time.sleep(0.2)
    fail(f"{role} {name!r} is still there")


def top_level(node):
    while node.parent is not None and node.parent.getRoleName() != "application":
        node = node.parent
    return node


def menu_entry(pid, name):
    click(find(pid, "menu item", "Help"))
    click(find(pid, "menu item", name))


def send_feedback(proc, server, screen):
    pid = proc.pid
    menu_entry(pid, "Send Feedback...")
    window = top_level(find(pid, "label", "We would really appreciate your feedback.", "the feedback window"))
    if window.name != "Quarrow feedback":
        fail(f"the feedback window is titled {window.name!r}")

    click(find(pid, None, "I like it!"))
    memo = [n for r, _, n in program_nodes(pid) if r == "text" and top_level(n) == window and showing(n)]
    if len(memo) != 2:
        fail(f"expected the message and e-mail boxes, found {len(memo)} text boxes")
    # The message box comes first in the window.
    message_box = min(memo, key=lambda n: extents(n)[1])
    message_box.queryEditableText().setTextContents("Works well.\nThanks!")
    screen.shot("feedback-like")
    click(find(pid, None, "I dislike it!"))
    screen.shot("feedback-dislike")
    click(find(pid, None, "I like it!"))

    click(find(pid, "push button", "Send"))
    find(pid, "label", "Your feedback is received.\n\nThank you!", "the success box")
    screen.shot("feedback-success")
    click(find(pid, "push button", "OK"))
    gone(pid, "label", "We would really appreciate your feedback.")

    # The update check talks to the same server; only the feedback counts here.
    sent = [request for request in server.requests if request[0] == "/php/feedback.php"]
    if len(sent) != 1:
        fail(f"expected one feedback request over plain HTTP, got {len(sent)}")
    path, body = sent[0]
    fields = urllib.parse.parse_qsl(body.decode(), keep_blank_values=True)
    expected = [("cmd", "feedback"), ("appname", TITLE), ("version", "2.1"),
                ("feedback", "I like it!\rWorks well.\r\nThanks!")]
    if path != "/php/feedback.php" or fields != expected:
        fail(f"the server received {path} {fields}")


def open_license(pid, opened, screen):
    """Info > License... in the open About window; returns the path the
    desktop's opener was handed."""
    click(find(pid, "push button", "Info"))
    # The drop-down is not announced to the accessibility interface; its
    # last entry is "License...", reached with the keyboard as a person may.
    time.sleep(1.0)
    screen.shot("about-info")
    for key in (0xFF52, 0xFF0D):  # Up (wraps round to the last entry), Return
        pyatspi.Registry.generateKeyboardEvent(key, None, pyatspi.KEY_SYM)
        time.sleep(0.3)
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline and not os.path.exists(opened):
        time.sleep(0.1)
    if not os.path.exists(opened):
        fail("License... handed nothing to the desktop's opener")
    time.sleep(0.5)
    with open(opened) as f:
        got = f.read().split("\n")[0]
    url = urllib.parse.urlparse(got)
    return urllib.parse.unquote(url.path) if url.scheme == "file" else got


def about(proc, opened, folder, screen):
    pid = proc.pid
    menu_entry(pid, "About...")
    label = find(pid, "label", "Quarrow 2.1", "the About window")
    window = top_level(label)
    if window.name != "About Quarrow":
        fail(f"the About window is titled {window.name!r}")
    time.sleep(1.0)  # let the rain fall for a while
    screen.shot("about")

    # A double-click on the icon slides the card out of the window; one on
    # the picture behind it brings the card back.
    images = [n for r, _, n in program_nodes(pid) if r == "image" and top_level(n) == window and showing(n)]
    icon = [n for n in images if extents(n)[2:] == (32, 32)]
    if not icon:
        fail(f"no 32x32 icon among the pictures {[extents(n) for n in images]}")
    card_x = extents(label)[0]
    window_x, _, window_width, _ = extents(window)
    x, y, width, height = extents(icon[0])
    pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, "b1d")
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline and extents(label)[0] <= window_x + window_width:
        time.sleep(0.1)
    if extents(label)[0] <= window_x + window_width:
        fail("the card did not slide out of the window")
    time.sleep(0.5)
    screen.shot("about-hidden-picture")
    picture = [n for r, _, n in program_nodes(pid)
               if r == "image" and top_level(n) == window and showing(n) and extents(n)[2:] == (320, 214)]
    if not picture:
        fail("the hidden picture is not showing")
    x, y, width, height = extents(picture[0])
    pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, "b1d")
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline and extents(label)[0] != card_x:
        time.sleep(0.1)
    if extents(label)[0] != card_x:
        fail("the card did not come back")

    license_path = open_license(pid, opened, screen)
    if os.path.realpath(license_path) != os.path.realpath(os.path.join(folder, "license.txt")):
        fail(f"License... opened {license_path!r}")

    click(find(pid, "push button", "OK"))
    gone(pid, "label", "Quarrow 2.1")


def main():
    program = sys.argv[1]
    shots = sys.argv[sys.argv.index("--shots") + 1] if "--shots" in sys.argv else None
    screen = Screen(shots)
    server = FeedbackServer()
    threading.Thread(target=server.serve_forever, daemon=True).start()
    with tempfile.TemporaryDirectory() as root:
        # The program and its license in a folder whose path holds spaces.
        folder = os.path.join(root, "Program Files", "Quarrow 2")
        os.makedirs(folder)
        shutil.copy2(program, folder)
        shutil.copy2(os.path.join(os.path.dirname(program), "license.txt"), folder)
        pyatspi.Registry.getDesktop(0)
        env, opened, _ = program_environment(root, f"http://127.0.0.1:{server.server_address[1]}")
        proc = subprocess.Popen([os.path.join(folder, os.path.basename(program))], env=env)
        try:
            wait_for(proc.pid, lambda ns: has(ns, "frame", TITLE), f"a window titled {TITLE!r}")
            send_feedback(proc, server, screen)
            about(proc, opened, folder, screen)
            code = exit_through_menu(proc)
            if code != 0:
                fail(f"the program ended with code {code} after File > Exit")
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            server.shutdown()
    print("feedback and About: feedback delivered with the like choice, license opened beside the program")


if __name__ == "__main__":
    main()
