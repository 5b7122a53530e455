# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""Real-window sessions on Wayland, beside the X ones of harness.py and built on them.

    with wayland.SwaySession(args.program, args.cli) as session:
        session.write_password_file("master1", entries)
        app, window = session.launch()          # the main window, mapped and in the tree
        session.type_text("master1")
        session.key("Return")
        session.start_other_client()            # another program takes the focus
        session.tray_menu_click("Mail")          # the exported tray menu, over D-Bus
        session.clipboard()                      # wl-paste, or None when empty

SwaySession: a headless sway (pixman renderer, no input devices) with swaybar as the tray host,
inside its own dbus-run-session. Sway refuses to run as root, so the whole session and every
client run as an unprivileged user (SESSION_USER) in a folder of its own; the program files are
copied in when that user cannot reach them where they were built. Keys go through wtype, with
one virtual keyboard kept for the whole session so that each wtype run does not make the seat
lose and regain its keyboard. Windows and focus come from `swaymsg -t get_tree`.

WestonSession: weston 10, which offers no data-control protocol, as a window on the private X
display of harness.Session; keys and clicks reach it through xdotool.
"""
import json
import os
import shutil
import subprocess
import time

import harness
from harness import HarnessError, TIMEOUT, wait_until

SESSION_USER = 65534  # "nobody" on Debian
APP_ID = "org.corvella.Corvella"
OTHER_CLIENT = ["weston-flower"]  # a window of another program
SWAY_TOOLS = ("sway", "swaybar", "swaymsg", "wtype", "grim", "wl-paste", "wl-copy", "gdbus",
              "setpriv", "dbus-run-session") + tuple(OTHER_CLIENT)
WESTON_TOOLS = ("weston", "wl-paste", "xdotool")
SWAY_SIZE = (1024, 768)
# swaybar's tray shows the program's icon in the bottom right corner.
TRAY_ICON = (SWAY_SIZE[0] - 10, SWAY_SIZE[1] - 10)
WESTON_SIZE = (1000, 740)
WESTON_SOCKET = "wayland-corvella"


def wtype_arguments(keys):
    """wtype's arguments for keys written as xdotool writes them: "Return", "ctrl+c",
    "shift+F10"."""
    arguments = []
    for chord in keys:
        *modifiers, key = chord.split("+")
        for modifier in modifiers:
            arguments += ["-M", modifier]
        arguments += ["-k", key]
        for modifier in reversed(modifiers):
            arguments += ["-m", modifier]
    return arguments


class SwaySession(harness.Session):
    """A headless sway session with a tray host, run as SESSION_USER."""

    def __init__(self, program, cli=None, tools=(), pointer=None):
        """tools: more programs to run in the session (session.extra_tools has their paths
        there); pointer: the click tool (tests/gui/tools/PointerClick.cpp) for click()."""
        super().__init__(program, cli, tray=False, window_manager=False)
        self.extra_tools = list(tools)
        self.pointer = pointer
        self.tray_item = None  # (bus name, object path) of the program's tray icon

    TOOLS = SWAY_TOOLS

    def _start_session(self):
        self._start_sway()

    def _make_folders(self):
        super()._make_folders()
        os.makedirs(os.path.join(self.data, "Corvella"), mode=0o700)
        # The program files, where the session user may not enter the build folder.
        self.program, self.cli, self.pointer, *copied = [
            self._reachable(path) for path in [self.program, self.cli, self.pointer,
                                               *self.extra_tools]]
        self.extra_tools = copied
        for folder, _, files in os.walk(self.root):
            os.chown(folder, SESSION_USER, SESSION_USER)
            for name in files:
                os.chown(os.path.join(folder, name), SESSION_USER, SESSION_USER)
        for name in ("DISPLAY", "XAUTHORITY"):
            self.env.pop(name, None)
        self.env["QT_QPA_PLATFORM"] = "wayland"

    def _reachable(self, path):
        if path is None:
            return None
        probe = subprocess.run(self.as_user(["test", "-x", path]), env=self.env)
        if probe.returncode == 0:
            return path
        copy = os.path.join(self.root, "bin", os.path.basename(path))
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        shutil.copy2(path, copy)
        return copy

    @staticmethod
    def as_user(command):
        return ["setpriv", f"--reuid={SESSION_USER}", f"--regid={SESSION_USER}",
                "--clear-groups", *command]

    def start(self, name, command, pass_fds=(), stdin=None):
        return super().start(name, self.as_user(command), pass_fds=pass_fds, stdin=stdin)

    def run(self, command, timeout=TIMEOUT, check=True, input=None, detached=False):
        return super().run(self.as_user(command), timeout, check, input, detached)

    def _start_sway(self):
        ready = os.path.join(self.root, "sway-ready")
        config = os.path.join(self.root, "sway.conf")
        with open(config, "w", encoding="utf-8") as out:
            out.write(f"output HEADLESS-1 resolution {SWAY_SIZE[0]}x{SWAY_SIZE[1]}\n"
                      # A valid activation token gives the focus.
                      "focus_on_window_activation focus\n"
                      "bar {\n  status_command while :; do sleep 3600; done\n"
                      "  tray_output *\n}\n"
                      # One virtual keyboard for the whole session.
                      "exec wtype -s 100000000\n" +
                      # And one pointer.
                      (f"exec {self.pointer} hold\n" if self.pointer else "") +
                      f"exec sh -c 'env > {ready}.part && mv {ready}.part {ready}'\n")
        os.chown(config, SESSION_USER, SESSION_USER)
        self.env.update({"WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman",
                         "WLR_LIBINPUT_NO_DEVICES": "1"})
        self.start("sway", ["dbus-run-session", "--", "sway", "-c", config])
        wait_until(lambda: os.path.exists(ready), what="sway to start")
        with open(ready, encoding="utf-8") as lines:
            variables = dict(line.split("=", 1) for line in lines.read().splitlines()
                             if "=" in line)
        for name in ("WAYLAND_DISPLAY", "SWAYSOCK", "DBUS_SESSION_BUS_ADDRESS"):
            self.env[name] = variables[name]
        wait_until(self._watcher_registered, what="swaybar's tray host")

    def _watcher_registered(self):
        result = self.gdbus("org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus.NameHasOwner", "org.kde.StatusNotifierWatcher",
                            check=False)
        return b"true" in result.stdout

    # --- windows ---------------------------------------------------------------------------

    def windows(self):
        """Every window in sway's tree: dicts with name, app_id, pid, focused, floating,
        rect (x, y, width, height)."""
        tree = json.loads(self.run(["swaymsg", "-t", "get_tree"]).stdout)
        found = []

        def walk(node, floating):
            if node.get("pid") and node.get("type") in ("con", "floating_con"):
                rect = node["rect"]
                found.append({"name": node.get("name"), "app_id": node.get("app_id"),
                              "pid": node["pid"], "focused": node.get("focused", False),
                              "floating": floating,
                              "rect": (rect["x"], rect["y"], rect["width"], rect["height"])})
            for child in node.get("nodes", []):
                walk(child, floating)
            for child in node.get("floating_nodes", []):
                walk(child, True)

        walk(tree, False)
        return found

    def find_windows(self, title=None, pid=None, visible=True):
        return [w for w in self.windows()
                if (title is None or w["name"] == title) and (pid is None or w["pid"] == pid)]

    def wait_for_window(self, title, timeout=TIMEOUT, pid=None):
        return wait_until(lambda: next(iter(self.find_windows(title, pid)), None), timeout,
                          f'a window "{title}"')

    def focused_window(self):
        return next((w for w in self.windows() if w["focused"]), None)

    def wait_for_focus(self, title, pid=None):
        return wait_until(lambda: (lambda w: w if w and w["name"] == title and
                                   (pid is None or w["pid"] == pid) else None)(
                                       self.focused_window()),
                          what=f'"{title}" to have the focus')

    def launch(self, name="corvella", command=None):
        """Starts the program and waits until its main window is in the tree and has the focus:
        (process, window)."""
        app = self.start(name, command or [self.program])
        self.wait_for_window(harness.MAIN_TITLE, pid=app.pid)
        window = self.wait_for_focus(harness.MAIN_TITLE, pid=app.pid)
        self._settle()
        return app, window

    def _settle(self):
        # Two screenshots in a row that agree.
        previous = None

        def settled():
            nonlocal previous
            picture = self.run(["grim", "-t", "ppm", "-"]).stdout
            same = picture == previous
            previous = picture
            return same

        wait_until(settled, what="the screen to stop changing")

    def start_other_client(self):
        """Starts another program's window; it takes the focus."""
        other = self.start("other-client", OTHER_CLIENT)
        return wait_until(lambda: (lambda w: w if w and w["pid"] == other.pid else None)(
            self.focused_window()), what="the other program to have the focus")

    def focus(self, window):
        self.run(["swaymsg", f"[pid={window['pid']}] focus"])

    # --- input -----------------------------------------------------------------------------

    def type_text(self, text):
        self.run(["wtype", "-d", "10", text])

    def key(self, *keys):
        self.run(["wtype", *wtype_arguments(keys)])

    def click(self, x, y, button="left"):
        """A click of a virtual pointer at a point of the screen."""
        if self.pointer is None:
            raise HarnessError("no pointer tool given to the session")
        self.run([self.pointer, str(x), str(y), *map(str, SWAY_SIZE), button])

    # --- clipboard and screen --------------------------------------------------------------

    def clipboard(self):
        """The clipboard's text, or None when it holds none."""
        result = self.run(["wl-paste", "--no-newline"], check=False, timeout=10)
        return result.stdout.decode("utf-8", "replace") if result.returncode == 0 else None

    def clipboard_types(self):
        result = self.run(["wl-paste", "--list-types"], check=False, timeout=10)
        return result.stdout.decode().split() if result.returncode == 0 else []

    def set_clipboard(self, text):
        """Puts text on the clipboard as another program would; wl-copy serves it from a
        child of its own until someone replaces it."""
        self.run(["wl-copy", text], detached=True)
        wait_until(lambda: self.clipboard() == text, what="the clipboard to be set")

    def screenshot(self, name, window=None, frame=True):
        return harness.save_screenshot(name, self.run(["grim", "-"]).stdout)

    # --- the tray over D-Bus ---------------------------------------------------------------

    def gdbus(self, destination, path, method, *arguments, check=True):
        return self.run(["gdbus", "call", "--session", "--dest", destination,
                         "--object-path", path, "--method", method, "--", *arguments],
                        check=check)

    def find_tray_item(self):
        """The bus name and path of the one item the tray host shows."""
        def registered():
            reply = self.gdbus("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                               "org.freedesktop.DBus.Properties.Get",
                               "org.kde.StatusNotifierWatcher",
                               "RegisteredStatusNotifierItems").stdout.decode()
            items = [item for item in reply.split("'") if "/" in item and ":" in item]
            return items[0] if items else None

        item = wait_until(registered, what="the tray icon to be registered")
        name, _, path = item.partition("/")
        self.tray_item = (name, "/" + path)
        return self.tray_item

    def tray_call(self, method):
        """Activate or ContextMenu, as a tray host calls them for a click."""
        name, path = self.tray_item or self.find_tray_item()
        self.gdbus(name, path, f"org.kde.StatusNotifierItem.{method}", "0", "0")

    def tray_menu_click(self, label):
        """Chooses the item `label` of the exported tray menu, as a host showing it would."""
        name, path = self.tray_item or self.find_tray_item()
        menu = self.gdbus(name, path, "org.freedesktop.DBus.Properties.Get",
                          "org.kde.StatusNotifierItem", "Menu").stdout.decode()
        menu_path = menu.split("'")[1]
        self.gdbus(name, menu_path, "com.canonical.dbusmenu.AboutToShow", "0")
        layout = self.gdbus(name, menu_path, "com.canonical.dbusmenu.GetLayout", "0", "-1",
                            "['label']").stdout.decode()
        wanted = "'_" + label + "'"
        marker = layout.index(wanted)
        item = int(layout[:marker].rsplit("<(", 1)[1].split(",", 1)[0])
        stamp = str(int(time.time()))
        self.gdbus(name, menu_path, "com.canonical.dbusmenu.Event", str(item), "clicked",
                   '<"">', stamp)


class WestonSession(harness.Session):
    """weston (no data-control protocol) in a window of the private X display."""

    def __init__(self, program, cli=None):
        super().__init__(program, cli, tray=False, window_manager=False)

    TOOLS = harness.SESSION_TOOLS + WESTON_TOOLS

    def _start_session(self):
        super()._start_session()
        width, height = WESTON_SIZE
        self.start("weston", ["weston", "--backend=x11-backend.so", "--use-pixman",
                              f"--socket={WESTON_SOCKET}", f"--width={width}",
                              f"--height={height}", "--idle-time=0"])
        wait_until(lambda: os.path.exists(os.path.join(self.runtime, WESTON_SOCKET)),
                   what="weston to start")
        self.env.update({"WAYLAND_DISPLAY": WESTON_SOCKET, "QT_QPA_PLATFORM": "wayland"})
        # Keys go to the X window under the pointer: weston's.
        self.xdotool("mousemove", "--sync", str(width // 2), str(height - 20))
        self.wait_until_settled()

    def launch(self, name="corvella"):
        """Starts the program and waits until the screen shows its window and stops changing:
        (process, None); weston names no windows to other programs."""
        before = self.capture()
        app = self.start_program(name)
        wait_until(lambda: self.capture() != before, what="the program's window")
        self.wait_until_settled()
        return app, None

    def click_centre(self):
        """Clicks the middle of weston's screen, which the program's window covers."""
        width, height = WESTON_SIZE
        self.xdotool("mousemove", "--sync", str(width // 2), str(height // 2), "click", "1")

    def clipboard(self):
        """The clipboard's text, or None when it holds none. wl-paste takes the focus to read
        it where the compositor offers no data control."""
        result = self.run(["wl-paste", "--no-newline"], check=False, timeout=10)
        return result.stdout.decode("utf-8", "replace") if result.returncode == 0 else None

    def clipboard_types(self):
        result = self.run(["wl-paste", "--list-types"], check=False, timeout=10)
        return result.stdout.decode().split() if result.returncode == 0 else []
