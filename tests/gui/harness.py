# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""Real-window test harness: a private X display with a window manager and a tray host, the
program under test in a private home, and the X tools that drive it.

    with harness.Session(args.program, args.cli) as session:
        app, window = session.launch()           # started; main window shown and settled
        session.activate(window)
        session.type_text("correct horse")
        session.key("Return")
        box = session.wait_for_dialog("Error", pid=app.pid)
        assert session.dialog_text(box) == "Invalid master password"
        session.dismiss_dialog(box)               # Return
        session.click(window, *MainWindow.TOOL_BUTTONS["Lock"])
        session.screenshot("unlock-panel.png", window)

Everything runs with /usr/bin/python3 and the standard library, driving Xvfb, openbox, trayer,
xdotool, xclip and ImageMagick's import. A session's display has a tray host unless it is made
with tray=False. Every process a session starts runs in its own process group and dies with the
test process; the session's temporary folder (home, XDG folders, logs) is removed when the
session ends, also after a failure. Waits poll with generous time limits and never judge how
long something took.
"""
import argparse
import ctypes
import json
import os
import re
import secrets
import select
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import time

SKIP_CODE = 77  # ctest SKIP_RETURN_CODE

MAIN_TITLE = "Corvella 1.0"
DIALOG_TITLES = ("Error", "Information", "Confirm", "Warning")
SCREEN = "1280x900x24"
TRAY_COMMAND = ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel",
                "--width", "120", "--heighttype", "pixel", "--height", "24",
                "--SetDockType", "true", "--transparent", "false"]

# Variables passed on from the test's own environment; everything else is set by the session.
PASSED_VARIABLES = ("PATH", "LD_LIBRARY_PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS")
# Beside Xvfb and xdotool (without which the tests are skipped).
VAULTREF = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "vaultref.py")
SESSION_TOOLS = ("openbox", "trayer", "xclip", "import")

# Generous: the CI machine is shared and slow. Nothing asserts on how long a step took.
TIMEOUT = 60.0
POLL = 0.1


class MainWindow:
    """Where the main window's controls sit, in coordinates of its client area (690 x 611).

    The tool bar is 26 pixels high at the top; the side panel (103 wide) and the page area lie
    below it. The Passwords page has the search field (22 high) above the list. Tool-bar buttons are measured from a screenshot at the default font; the tests
    check each click by its effect, so a layout change shows as a failed step."""
    TOOL_BAR_HEIGHT = 26
    SIDE_PANEL_WIDTH = 103
    LIST_TOP = 22  # in the page area
    TOOL_BUTTONS = {  # a point on each button's icon and caption
        "New Password": (40, 13),
        "Go to Web Page": (170, 13),
        "Edit": (285, 13),
        "Delete": (395, 13),
        "Lock": (505, 13),
        "Exit": (610, 13),
    }
    # Side-panel buttons: (18, 30) and (18, 108) in the client widget, 67 x 61 each.
    PASSWORDS_BUTTON = (18 + 33, TOOL_BAR_HEIGHT + 30 + 30)
    OPTIONS_BUTTON = (18 + 33, TOOL_BAR_HEIGHT + 108 + 30)

    @classmethod
    def page(cls, x, y):
        """A point of the page area (options page, panels) in window coordinates."""
        return cls.SIDE_PANEL_WIDTH + x, cls.TOOL_BAR_HEIGHT + y


class HarnessError(AssertionError):
    """A step of the harness did not come about (a window did not appear, a tool failed)."""


def require_display_tools():
    """Ends the test with the skip code when the X server or xdotool is not installed."""
    missing = [tool for tool in ("Xvfb", "xdotool") if shutil.which(tool) is None]
    if missing:
        print("skipped: real-window tests need " + " and ".join(missing) +
              " (scripts/setup installs them)")
        sys.exit(SKIP_CODE)


def parse_arguments(description):
    """--program and --cli from the command line (or CORVELLA_PROGRAM / CORVELLA_CLI); the
    remaining arguments go to unittest."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--program", default=os.environ.get("CORVELLA_PROGRAM"))
    parser.add_argument("--cli", default=os.environ.get("CORVELLA_CLI"))
    arguments, rest = parser.parse_known_args()
    if not arguments.program:
        parser.error("--program is needed")
    arguments.program = os.path.abspath(arguments.program)
    if arguments.cli:
        arguments.cli = os.path.abspath(arguments.cli)
    return arguments, [sys.argv[0]] + rest


def exact_title(title):
    """An xdotool name pattern (POSIX extended regex) that matches exactly this title."""
    return "^" + re.sub(r"([][.^$*+?(){}|\\])", r"\\\1", title) + "$"


def wait_until(condition, timeout=TIMEOUT, what="condition"):
    """Polls condition() until it returns something true, and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise HarnessError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(POLL)


# --- processes --------------------------------------------------------------------------------

_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1


def die_with_parent():
    # Runs in the child before exec: a test killed outright takes its X server along.
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)


def _on_termination_signal(number, _frame):
    # A test ended from outside (ctest's timeout, Ctrl+C) unwinds, so that sessions clean up;
    # unittest lets KeyboardInterrupt through instead of going on with the next test.
    raise KeyboardInterrupt(f"signal {number}")


for _signal in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
    signal.signal(_signal, _on_termination_signal)


class Process:
    """A child in its own process group; stop() ends the whole group."""

    def __init__(self, name, command, env, log_dir, pass_fds=(), stdin=None):
        self.name = name
        self.log_path = os.path.join(log_dir, f"{name}.log")
        with open(self.log_path, "ab") as log:
            self.popen = subprocess.Popen(command, env=env, stdin=stdin or subprocess.DEVNULL,
                                          stdout=log, stderr=subprocess.STDOUT,
                                          pass_fds=pass_fds, start_new_session=True,
                                          preexec_fn=die_with_parent)
        self.pid = self.popen.pid

    def poll(self):
        return self.popen.poll()

    def running(self):
        return self.popen.poll() is None

    def wait(self, timeout=TIMEOUT):
        """The exit code; HarnessError when the process is still running after timeout."""
        try:
            return self.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"{self.name} (pid {self.pid}) still runs after {timeout:.0f} s")

    def kill(self, number=signal.SIGKILL):
        """Sends a signal to the process alone (not its group)."""
        if self.running():
            os.kill(self.pid, number)

    def stop(self, grace=5.0):
        """Ends the process group: SIGTERM, then SIGKILL after grace seconds. Nothing once the
        process has been reaped, since its number may belong to another process by then."""
        if self.popen.poll() is not None:
            return
        for number in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(self.pid, number)
            except ProcessLookupError:
                return
            try:
                self.popen.wait(grace)
                return
            except subprocess.TimeoutExpired:
                continue

    def log(self):
        try:
            with open(self.log_path, "rb") as log:
                return log.read().decode("utf-8", "replace")
        except OSError:
            return ""


def _xauth_entry(family, number, cookie):
    def counted(data):
        return struct.pack(">H", len(data)) + data
    return (struct.pack(">H", family) + counted(b"") + counted(number.encode()) +
            counted(b"MIT-MAGIC-COOKIE-1") + counted(cookie))


# The default web handler of a session: records what it was given and a digest of the clipboard
# at that moment (never its text), one JSON line per call.
_RECORDER = """\
import hashlib, json, subprocess, sys, time
clip = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                      timeout=30)
digest = hashlib.sha256(clip.stdout).hexdigest() if clip.returncode == 0 else None
with open({record!r}, "a", encoding="utf-8") as out:
    out.write(json.dumps({{"arguments": sys.argv[1:], "clipboard": digest,
                          "time": time.time()}}) + "\\n")
"""
_RECORDER_ENTRY = """\
[Desktop Entry]
Type=Application
Name=Corvella test recorder
Exec=/usr/bin/python3 {recorder} %u
MimeType=x-scheme-handler/http;x-scheme-handler/https;
NoDisplay=true
"""
_RECORDER_MIME_APPS = """\
[Default Applications]
x-scheme-handler/http=corvella-recorder.desktop
x-scheme-handler/https=corvella-recorder.desktop
"""


# --- the session ------------------------------------------------------------------------------

class Session:
    """A private X display (Xvfb + openbox + trayer) and a private home for the program.

    Folders: home, config (XDG_CONFIG_HOME), data (XDG_DATA_HOME), runtime (XDG_RUNTIME_DIR,
    mode 0700), cache; all below one temporary folder that the session removes at the end.
    """

    def __init__(self, program, cli=None, tray=True, window_manager=True):
        self.program = program
        self.cli = cli
        self.tray = tray
        self.window_manager = window_manager
        self.processes = []
        self.root = None
        self.display = None
        self.tray_panel = None  # trayer's window
        self.web_record = None  # the web recorder's calls, once installed

    # Paths the program uses.
    @property
    def password_file(self):
        return os.path.join(self.data, "Corvella", "Passwords.dat")

    @property
    def settings_file(self):
        return os.path.join(self.config, "Corvella", "Corvella.conf")

    @property
    def autostart_file(self):
        return os.path.join(self.config, "autostart", "Corvella.desktop")

    TOOLS = SESSION_TOOLS

    def __enter__(self):
        missing = [tool for tool in self.TOOLS if shutil.which(tool) is None]
        if missing:
            raise HarnessError("missing: " + ", ".join(missing) + " (scripts/setup installs them)")
        try:
            self._make_folders()
            self._start_session()
        except BaseException:
            self.close()
            raise
        return self

    def _start_session(self):
        self._start_display()
        if self.window_manager:
            self._start_window_manager()
        if self.tray:
            self._start_tray()

    def __exit__(self, kind, value, traceback):
        if kind is not None and issubclass(kind, Exception):
            self._print_logs()
            self._save_failure_screenshot()
        self.close()
        return False

    def close(self):
        """Ends every process of the session, newest first, and removes its folder."""
        while self.processes:
            self.processes.pop().stop()
        if self.root is not None:
            shutil.rmtree(self.root, ignore_errors=True)
            self.root = None

    def _make_folders(self):
        self.root = tempfile.mkdtemp(prefix="corvella-gui-")
        os.chmod(self.root, 0o700)
        for name in ("home", "config", "data", "runtime", "cache", "logs"):
            path = os.path.join(self.root, name)
            os.mkdir(path, 0o700)
            setattr(self, name, path)
        self.authority = os.path.join(self.root, "Xauthority")
        self.env = {name: os.environ[name] for name in PASSED_VARIABLES if name in os.environ}
        self.env.setdefault("PATH", "/usr/bin:/bin")
        self.env.update({
            "LANG": "C.UTF-8",
            "HOME": self.home,
            "XDG_CONFIG_HOME": self.config,
            "XDG_DATA_HOME": self.data,
            "XDG_RUNTIME_DIR": self.runtime,
            "XDG_CACHE_HOME": self.cache,
            "XAUTHORITY": self.authority,
            "QT_QPA_PLATFORM": "xcb",
            "NO_AT_BRIDGE": "1",
        })

    def _start_reporting(self, name, command):
        """Starts NAME as `command(fd)`, a command line that names the write end of a pipe, and
        returns the first line the process writes there once it is ready."""
        reader, writer = os.pipe()
        try:
            process = self.start(name, command(writer), pass_fds=(writer,))
            os.close(writer)
            writer = None
            line = b""
            deadline = time.monotonic() + TIMEOUT
            while not line.endswith(b"\n"):
                ready, _, _ = select.select([reader], [], [], 1.0)
                if ready:
                    chunk = os.read(reader, 256)
                    if not chunk:
                        raise HarnessError(f"{name} ended before it was ready:\n" + process.log())
                    line += chunk
                elif time.monotonic() > deadline:
                    raise HarnessError(f"{name} did not become ready")
        finally:
            os.close(reader)
            if writer is not None:
                os.close(writer)
        return line.decode().strip()

    def _start_display(self):
        # Xvfb picks a free display number itself (-displayfd) and takes the cookie from a
        # wildcard entry; the clients find it under the display's own number.
        cookie = secrets.token_bytes(16)
        with open(self.authority, "wb") as authority:
            authority.write(_xauth_entry(0xFFFF, "", cookie))
        os.chmod(self.authority, 0o600)
        number = self._start_reporting(
            "Xvfb", lambda fd: ["Xvfb", "-displayfd", str(fd), "-screen", "0", SCREEN,
                                "-nolisten", "tcp", "-auth", self.authority, "-noreset"])
        self.display = ":" + number
        with open(self.authority, "ab") as authority:
            authority.write(_xauth_entry(0xFFFF, self.display[1:], cookie))
        self.env["DISPLAY"] = self.display

    def _start_window_manager(self):
        ready = os.path.join(self.root, "openbox-ready")
        self.start("openbox", ["openbox", "--sm-disable", "--startup", f"touch {ready}"])
        wait_until(lambda: os.path.exists(ready), what="openbox to start")
        # The first key event from xdotool's XTEST keyboard makes the server announce a new
        # keyboard map; openbox then releases and re-takes its key bindings, and a chord that
        # arrives meanwhile (Alt+F4) slips past it. So send that first event now, and wait
        # until openbox has dealt with it: it handles requests in order, so a change of the
        # desktop count asked for afterwards shows that it has.
        self.key("shift")
        count = int(self.xdotool("get_num_desktops").stdout)
        for wanted in (count + 1, count):
            self.xdotool("set_num_desktops", str(wanted))
            wait_until(lambda: int(self.xdotool("get_num_desktops").stdout) == wanted,
                       what="openbox to change the desktop count")

    def _start_tray(self):
        tray = self.start("trayer", TRAY_COMMAND)
        self.tray_panel = wait_until(lambda: self.find_windows("panel", pid=tray.pid),
                                     what="the trayer panel")[0]

    def start(self, name, command, pass_fds=(), stdin=None):
        """Starts a process in the session's environment; the session stops it at the end."""
        process = Process(name, command, self.env, self.logs, pass_fds=pass_fds, stdin=stdin)
        self.processes.append(process)
        return process

    def start_session_bus(self):
        """Starts a message bus of the session's own in the place of the desktop's session bus;
        programs started afterwards find it through DBUS_SESSION_BUS_ADDRESS."""
        config = os.path.join(self.root, "bus.conf")
        with open(config, "w", encoding="utf-8") as out:
            out.write("<busconfig><type>session</type>"
                      f"<listen>unix:path={os.path.join(self.root, 'bus')}</listen>"
                      "<auth>EXTERNAL</auth><policy context=\"default\">"
                      "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                      "<allow own=\"*\"/></policy></busconfig>\n")
        address = self._start_reporting(
            "dbus-daemon", lambda fd: ["dbus-daemon", f"--config-file={config}", "--nofork",
                                       f"--print-address={fd}"])
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        return self.env["DBUS_SESSION_BUS_ADDRESS"]

    def start_program(self, name="corvella"):
        """Starts the program under test; its output goes to logs/NAME.log."""
        return self.start(name, [self.program])

    def start_programs_together(self, names):
        """Starts one copy of the program per name at the same instant: each waits in a shell
        until all are started, then one write per copy releases them all. Each process's pid
        is the program's (the shell execs it)."""
        copies = [self.start(name, ["/bin/sh", "-c", 'read -r _ && exec "$0"', self.program],
                             stdin=subprocess.PIPE) for name in names]
        for copy in copies:
            copy.popen.stdin.write(b"go\n")
        for copy in copies:
            copy.popen.stdin.close()
        return copies

    def launch(self, name="corvella"):
        """Starts the program and waits until its main window shows and stops changing:
        (process, window id)."""
        app = self.start_program(name)
        window = self.wait_for_window(MAIN_TITLE, pid=app.pid)
        self.wait_until_settled(window)
        return app, window

    def _save_failure_screenshot(self):
        """The screen as a failure left it, in the screenshot folders. A screen that cannot be
        taken is reported beside the failure, which goes on to the caller."""
        script = os.path.splitext(os.path.basename(sys.argv[0]))[0]
        name = f"failure-{script}-{time.strftime('%H%M%S')}.png"
        try:
            path = self.screenshot(name)
        except Exception as error:  # the failure itself is what goes on
            print(f"no screenshot of the failure: {error}", file=sys.stderr)
        else:
            print(f"screenshot of the failure: {path}", file=sys.stderr)

    def _print_logs(self):
        for process in self.processes:
            text = process.log().strip()
            if text:
                print(f"--- {process.name} (pid {process.pid}) output ---\n{text}",
                      file=sys.stderr)

    # --- tools ---------------------------------------------------------------------------

    def run(self, command, timeout=TIMEOUT, check=True, input=None, detached=False):
        """Runs a tool in the session's environment and returns the CompletedProcess.
        detached: for a tool that leaves a child running; its output is not captured."""
        output = subprocess.DEVNULL if detached else subprocess.PIPE
        try:
            result = subprocess.run(command, env=self.env, input=input, stdout=output,
                                    stderr=output, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"{command[0]} did not finish within {timeout:.0f} s: "
                               + " ".join(command[1:4]))
        if check and result.returncode != 0:
            raise HarnessError(f"{' '.join(command[:3])} failed ({result.returncode}): "
                               + (result.stderr or b"").decode("utf-8", "replace").strip())
        return result

    def xdotool(self, *arguments, check=True, timeout=TIMEOUT):
        return self.run(["xdotool", *arguments], timeout=timeout, check=check)

    def run_cli(self, *arguments, password=None, document=None, check=True):
        """Runs corvella-cli with the session's environment; the master password (and a
        document to import) go through standard input, never the command line."""
        if not self.cli:
            raise HarnessError("no --cli given")
        stdin = b""
        if password is not None:
            stdin += password.encode() + b"\n"
        if document is not None:
            stdin += document.encode() if isinstance(document, str) else document
        return self.run([self.cli, *arguments], input=stdin, check=check)

    def read_password_file(self, password):
        """The entries of the password file as the independent model of the format reads them,
        [{"siteName": ..., ...}] (texts, or {"hex": ...} for bytes that are not UTF-8). Unlike
        corvella-cli it needs no lock, so it reads the file while the program has it open."""
        result = self.run([sys.executable, VAULTREF, "read", self.password_file,
                           "--password-hex", password.encode().hex()])
        return json.loads(result.stdout)

    def listed_entries(self, password):
        """The entries of the password file as [(site, user, address)]."""
        return [(e["siteName"], e["userName"], e["url"])
                for e in self.read_password_file(password)]

    def wait_for_entries(self, password, expected):
        """Waits until the password file holds exactly `expected` [(site, user, address)]."""
        wait_until(lambda: self.listed_entries(password) == expected,
                   what=f"the password file to hold {expected}")

    def write_password_file(self, password, entries):
        """Makes the password file with the command-line tool: `entries` as its JSON import
        takes them, under the master password `password`."""
        os.makedirs(os.path.dirname(self.password_file), exist_ok=True)
        self.run_cli("import", "--format", "json", "-", "--file", self.password_file,
                     "--password-stdin", password=password, document=json.dumps(entries))

    def install_web_recorder(self):
        """Makes a recorder the default handler for http and https addresses (Qt hands them to
        xdg-open, which finds it through mimeapps.list); web_recordings() reads its calls."""
        self.web_record = os.path.join(self.root, "opened.jsonl")
        recorder = os.path.join(self.root, "recorder.py")
        with open(recorder, "w", encoding="utf-8") as out:
            out.write(_RECORDER.format(record=self.web_record))
        applications = os.path.join(self.data, "applications")
        os.makedirs(applications, exist_ok=True)
        with open(os.path.join(applications, "corvella-recorder.desktop"), "w") as out:
            out.write(_RECORDER_ENTRY.format(recorder=recorder))
        with open(os.path.join(self.config, "mimeapps.list"), "w") as out:
            out.write(_RECORDER_MIME_APPS)

    def web_recordings(self):
        """The recorder's calls so far: [{"arguments": [...], "clipboard": SHA-256 or None,
        "time": seconds}]."""
        if self.web_record is None:
            return []
        try:
            with open(self.web_record, encoding="utf-8") as lines:
                return [json.loads(line) for line in lines if line.endswith("\n")]
        except FileNotFoundError:
            return []

    # --- windows -------------------------------------------------------------------------

    def find_windows(self, title=None, pid=None, visible=True):
        """Window ids (ints) with exactly this title and/or of this process."""
        result = self.xdotool(*_search_arguments(title, pid, visible), check=False)
        return [int(line) for line in result.stdout.split()]

    def wait_for_window(self, title, timeout=TIMEOUT, pid=None):
        """The id of the first visible window with exactly this title (xdotool search --sync)."""
        try:
            result = self.xdotool(*_search_arguments(title, pid, True, sync=True), timeout=timeout)
        except HarnessError:
            raise HarnessError(f'no visible window "{title}" within {timeout:.0f} s')
        return int(result.stdout.split()[0])

    def wait_for_popup(self, pid, before, what="a pop-up menu"):
        """The window of a pop-up menu of process `pid` that was not among the windows `before`,
        once it has settled."""
        def new_window():
            fresh = [w for w in self.find_windows(pid=pid) if w not in before]
            return fresh[0] if fresh else None
        menu = wait_until(new_window, what=what)
        self.wait_until_settled(menu)
        return menu

    def wait_window_gone(self, window, timeout=TIMEOUT):
        wait_until(lambda: not self.is_visible(window), timeout, f"window {window} to go away")

    def is_visible(self, window):
        return window in self.find_windows()

    def window_title(self, window):
        result = self.xdotool("getwindowname", str(window), check=False)
        return result.stdout.decode("utf-8", "replace").rstrip("\n") if result.returncode == 0 \
            else None

    def geometry(self, window):
        """(x, y, width, height) of a window's client area on the screen."""
        out = self.xdotool("getwindowgeometry", "--shell", str(window)).stdout.decode()
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return tuple(int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))

    def active_window(self):
        result = self.xdotool("getactivewindow", check=False)
        return int(result.stdout) if result.returncode == 0 and result.stdout.strip() else None

    def activate(self, window):
        """Makes the window the active one and waits until the window manager agrees."""
        self.xdotool("windowactivate", str(window), check=False)
        wait_until(lambda: self.active_window() == window, what=f"window {window} to be active")

    def tray_icon(self, pid, timeout=TIMEOUT):
        """The id of the process's notification-area icon: its window inside the tray panel."""
        left, top, width, height = self.geometry(self.tray_panel)

        def icon():
            for window in self.find_windows(pid=pid):
                x, y, w, h = self.geometry(window)
                if left <= x and x + w <= left + width and top <= y and y + h <= top + height:
                    return window
            return None

        return wait_until(icon, timeout, f"the tray icon of process {pid}")

    def minimize(self, window):
        """Minimises like the title-bar button (the window manager iconifies the window)."""
        self.xdotool("windowminimize", "--sync", str(window))

    def close_window(self, window):
        """Asks the window manager to close the window, like the title-bar button (Alt+F4)."""
        self.activate(window)
        self.key("alt+F4")

    # --- input ---------------------------------------------------------------------------

    def type_text(self, text):
        """Types into the focused window, one key event per character."""
        self.xdotool("type", "--delay", "20", "--", text)

    def key(self, *keys):
        """Presses keys or chords in the focused window, e.g. key("Return"), key("ctrl+c")."""
        self.xdotool("key", "--delay", "50", "--", *keys)

    def click(self, window, x, y, button=1, count=1):
        """Clicks (count times: 2 is a double-click) at window-relative coordinates."""
        self.xdotool("mousemove", "--window", str(window), str(x), str(y), "click", "--repeat",
                     str(count), "--delay", "80", str(button))

    # --- dialogs -------------------------------------------------------------------------

    def find_dialogs(self, pid=None, titles=DIALOG_TITLES):
        """{title: [window ids]} of the message boxes now showing."""
        found = {}
        for title in titles:
            windows = self.find_windows(title, pid=pid)
            if windows:
                found[title] = windows
        return found

    def wait_for_dialog(self, title, pid=None, timeout=TIMEOUT):
        """The id of a message box with this caption ("Error", "Information", ...)."""
        return self.wait_for_window(title, timeout=timeout, pid=pid)

    def dialog_text(self, window):
        """The text of a message box, read through the X primary selection: a click into the
        box's text (right of the icon) and Ctrl+A select all of it. The clipboard is left
        alone; Return still presses the box's default button afterwards."""
        self.activate(window)
        picture = self.capture(window)
        text = [(x, y) for x, y in picture.crop(_MESSAGE_TEXT_LEFT, 0, picture.width -
                                                _MESSAGE_TEXT_LEFT, picture.height).dark_points()]
        if not text:
            raise HarnessError(f"no text found in message box {window}")
        x, y = min(text, key=lambda point: (point[1], point[0]))  # top of the first line
        marker = "harness-" + secrets.token_hex(8)
        self.set_clipboard(marker, "primary")  # so that an older selection is not taken
        self.click(window, _MESSAGE_TEXT_LEFT + x + 2, y + 3)
        self.key("ctrl+a")

        def selected():
            text = self.clipboard("primary")
            return text if text not in (None, "", marker) else None

        return wait_until(selected, what="the message box text")

    def dismiss_dialog(self, window, key="Return"):
        """Answers a message box with a key (Return: its default button) and waits until it
        has gone."""
        self.activate(window)
        self.key(key)
        self.wait_window_gone(window)

    # --- screen --------------------------------------------------------------------------

    def capture(self, window=None):
        """A Picture of the screen or of one window's client area."""
        target = "root" if window is None else str(window)
        width = self.geometry(window)[2] if window is not None else SCREEN_WIDTH
        data = self.run(["import", "-window", target, "-depth", "8", "rgb:-"]).stdout
        return Picture(width, data)

    def screenshot(self, name, window=None, frame=True):
        """Saves a PNG of the screen, or of one window with its title bar (frame=True), in
        the screenshot folders; returns the first path."""
        command = ["import", "-window", "root" if window is None else str(window)]
        if window is not None and frame:
            command.append("-frame")
        return save_screenshot(name, self.run(command + ["png:-"]).stdout)

    def wait_until_settled(self, window=None, timeout=TIMEOUT):
        """Waits until two pictures in a row agree, but for a blinking text cursor."""
        previous = None

        def settled():
            nonlocal previous
            picture = self.capture(window)
            same = previous is not None and previous.same_but_cursor(picture)
            previous = picture
            return same

        wait_until(settled, timeout, "the window to stop changing")

    def park_pointer(self):
        """Moves the mouse pointer to the screen's top left corner, so that no control shows
        a hover state in a picture."""
        self.xdotool("mousemove", "--sync", "0", "0")

    def clipboard(self, selection="clipboard"):
        """The text of the clipboard (or of "primary"), or None when it holds no text."""
        result = self.run(["xclip", "-o", "-selection", selection], check=False, timeout=10)
        return result.stdout.decode("utf-8", "replace") if result.returncode == 0 else None

    def set_clipboard(self, text, selection="clipboard"):
        """Puts text on the clipboard (or "primary"). xclip leaves a child behind that serves
        the text until another program takes the selection or the X server ends."""
        self.run(["xclip", "-i", "-selection", selection], input=text.encode(), detached=True)
        wait_until(lambda: self.clipboard(selection) == text, what="the selection to be set")


class Picture:
    """Raw 8-bit RGB pixels, row by row."""

    def __init__(self, width, data):
        self.width = width
        self.height = len(data) // (3 * width) if width else 0
        self.data = data

    def __eq__(self, other):
        return self.width == other.width and self.data == other.data

    def pixel(self, x, y):
        offset = 3 * (y * self.width + x)
        return tuple(self.data[offset:offset + 3])

    def crop(self, x, y, width, height):
        row = 3 * self.width
        data = b"".join(self.data[(y + line) * row + 3 * x:(y + line) * row + 3 * (x + width)]
                        for line in range(height))
        return Picture(width, data)

    def dark_points(self, limit=90):
        """(x, y) of every pixel darker than limit in each channel: text, in practice."""
        points = []
        for offset in range(0, len(self.data), 3):
            r, g, b = self.data[offset:offset + 3]
            if r < limit and g < limit and b < limit:
                points.append(((offset // 3) % self.width, (offset // 3) // self.width))
        return points

    def same_but_cursor(self, other):
        """True when the pictures agree or differ only in a text cursor (a thin vertical
        line)."""
        if self == other:
            return True
        if self.width != other.width or len(self.data) != len(other.data):
            return False
        row = 3 * self.width
        rows = [y for y in range(self.height)
                if self.data[y * row:(y + 1) * row] != other.data[y * row:(y + 1) * row]]
        if rows[-1] - rows[0] > 24:
            return False
        columns = set()
        for y in rows:
            a, b = self.data[y * row:(y + 1) * row], other.data[y * row:(y + 1) * row]
            columns.update(x // 3 for x in range(row) if a[x] != b[x])
        return max(columns) - min(columns) <= 3


SCREEN_WIDTH = int(SCREEN.split("x")[0])
# Message boxes draw their icon in the first 56 pixels and their text to the right of it.
_MESSAGE_TEXT_LEFT = 56


def _search_arguments(title, pid, visible, sync=False):
    # Criteria of xdotool search are alternatives unless --all is given.
    arguments = ["search", "--all"]
    if sync:
        arguments.append("--sync")
    if visible:
        arguments.append("--onlyvisible")
    if pid is not None:
        arguments += ["--pid", str(pid)]
    if title is not None or pid is None:
        arguments += ["--name", exact_title(title) if title is not None else ""]
    return arguments


def save_screenshot(name, data):
    """Writes the picture `data` as `name` into every screenshot folder; returns the first path."""
    paths = []
    for folder in screenshot_folders():
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, name)
        with open(path, "wb") as out:
            out.write(data)
        paths.append(path)
    return paths[0]


def screenshot_folders():
    """The build's screenshot folder (CORVELLA_GUI_OUTPUT_DIR, set by ctest; else
    corvella-gui-screenshots in the temporary folder), and CORVELLA_SCREENSHOTS_DIR when set."""
    folders = [os.environ.get("CORVELLA_GUI_OUTPUT_DIR") or
               os.path.join(tempfile.gettempdir(), "corvella-gui-screenshots")]
    if os.environ.get("CORVELLA_SCREENSHOTS_DIR"):
        folders.append(os.environ["CORVELLA_SCREENSHOTS_DIR"])
    return folders


def file_mode(path):
    return stat.S_IMODE(os.stat(path).st_mode)
