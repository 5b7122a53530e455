#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Working with entries in a real window: adding them in the editor, copying passwords from the
list's menu and from the tray menu and their erasure from the clipboard, Go to Web Page with a
recording web handler, minimising to the tray, the editor blocking Lock, renaming and deleting.

Passwords are random and live only in this process and the program: the web handler records a
SHA-256 of the clipboard, never its text, and assertions never print a password.

Usage: test_entries.py --program CORVELLA --cli CORVELLA_CLI [unittest arguments]
"""
import configparser
import hashlib
import os
import secrets
import shutil
import string
import sys
import time
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import MainWindow  # noqa: E402

ARGS = None
MASTER = "correct horse"
UNLOCK_FIRST = "Please unlock the program first by entering the master password"
PASSWORD_HINT = "x-kde-passwordManagerHint"
# The clipboard is erased by a 10 s timer; a slow machine gets twice that.
ERASE_LIMIT_S = 20.0
# Long enough for at least one tick of the erase timer after a copy.
ONE_TICK_S = 12.0
ROW_HEIGHT = 18
# The CopyPasswordsBox ("Copy password to clipboard ...") on the options page.
COPY_PASSWORDS_BOX = (16 + 8, 16 + 8)


def random_password():
    return "".join(secrets.choice(string.ascii_letters + string.digits) for _ in range(20))


def sha256(text):
    return hashlib.sha256(text.encode()).hexdigest()


def read_settings(path):
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(path, encoding="utf-8")
    return dict(parser["General"]) if parser.has_section("General") else {}


def row_point(row):
    """A point on the text of list row `row` (0-based), in window coordinates."""
    return MainWindow.page(60, MainWindow.LIST_TOP + 1 + ROW_HEIGHT * row + ROW_HEIGHT // 2)


def row_crop(picture, row):
    left, top = MainWindow.page(1, MainWindow.LIST_TOP + 1 + ROW_HEIGHT * row)
    return picture.crop(left, top, 400, ROW_HEIGHT)


def rows_with_text(picture):
    """How many 18-pixel rows of the list, from the top, show something right of the key: an
    empty row is one colour throughout (a selected row draws light text on dark)."""
    left, top = MainWindow.page(1 + 19, MainWindow.LIST_TOP + 1)
    rows = 0
    while top + ROW_HEIGHT * (rows + 1) <= picture.height:
        row = picture.crop(left, top + ROW_HEIGHT * rows, 300, ROW_HEIGHT)
        if len({row.data[i:i + 3] for i in range(0, len(row.data), 3)}) == 1:
            break
        rows += 1
    return rows


def inside(point, rectangle, margin=0):
    x, y = point
    left, top, width, height = rectangle
    return (left - margin <= x < left + width + margin and
            top - margin <= y < top + height + margin)


class EntriesTest(unittest.TestCase):

    # --- steps --------------------------------------------------------------------------

    def setUp(self):
        self.timings = {}

    def settled_capture(self, session, window):
        session.activate(window)  # an inactive window draws its selection in another colour
        session.park_pointer()
        session.wait_until_settled(window)
        return session.capture(window)

    def expect_no_dialog(self, session, app, window):
        session.wait_until_settled(window)
        self.assertEqual(session.find_dialogs(pid=app.pid), {})

    def open_editor(self, session, app, window, by_shortcut):
        session.activate(window)
        if by_shortcut:
            session.key("ctrl+n")
        else:
            session.click(window, *MainWindow.TOOL_BUTTONS["New Password"])
        editor = session.wait_for_window("Add New Password", pid=app.pid)
        session.activate(editor)
        return editor

    def add_entry(self, session, app, window, site, user, address, password, by_shortcut=False,
                  screenshot=None):
        editor = self.open_editor(session, app, window, by_shortcut)
        for text in (site, user, address):  # the focus starts in the site name
            if text:
                session.type_text(text)
            session.key("Tab")
        session.type_text(password)
        if screenshot:
            session.park_pointer()
            session.wait_until_settled(editor)
            session.screenshot(screenshot, editor)
        session.key("Return")
        session.wait_window_gone(editor)

    def copy_from_list_menu(self, session, app, window, row):
        """Right-click on a row and "Copy password", the second item of the menu."""
        before = session.find_windows(pid=app.pid)
        session.click(window, *row_point(row), button=3)
        menu = session.wait_for_popup(app.pid, before, "the list's menu")
        _, _, width, height = session.geometry(menu)
        session.click(menu, width // 2, height * 3 // 4)
        session.wait_window_gone(menu)

    def wait_clipboard(self, session, password, what):
        harness.wait_until(lambda: session.clipboard() == password, timeout=ERASE_LIMIT_S,
                           what=what)

    def wait_erased(self, session, since):
        harness.wait_until(lambda: session.clipboard() in ("", None), timeout=ERASE_LIMIT_S + 5,
                           what="the clipboard to be erased")
        return time.monotonic() - since

    # --- the test -----------------------------------------------------------------------

    def test_entries_clipboard_web_page_tray_edit_and_delete(self):
        # Qt hands web addresses to xdg-open, which finds the recorder through mimeapps.list.
        self.assertIsNotNone(shutil.which("xdg-open"), "xdg-open missing (package xdg-utils)")
        passwords = {"Example": random_password(), "-": random_password(),
                     "&": random_password()}
        with harness.Session(ARGS.program, ARGS.cli) as session:
            session.install_web_recorder()
            app, window = session.launch()
            session.activate(window)
            session.type_text(MASTER)
            session.key("Tab")
            session.type_text(MASTER)
            session.key("Return")
            harness.wait_until(lambda: os.path.exists(session.password_file),
                               what="the password file")
            self.expect_no_dialog(session, app, window)

            # Adding: the tool button and Ctrl+N open the editor; Tab goes site, user,
            # address, password; Enter is OK.
            self.add_entry(session, app, window, "Example", "alice", "https://example.com",
                           passwords["Example"], screenshot="entry-editor.png")
            self.add_entry(session, app, window, "-", "", "", passwords["-"], by_shortcut=True)
            self.add_entry(session, app, window, "&", "", "", passwords["&"])
            session.wait_for_entries(MASTER, [("Example", "alice", "https://example.com"),
                                               ("-", "", ""), ("&", "", "")])
            self.expect_no_dialog(session, app, window)
            listing = self.settled_capture(session, window)
            session.screenshot("password-list-entries.png", window)
            self.assertEqual(rows_with_text(listing), 3)
            self.assertEqual(len({row_crop(listing, row).data for row in range(3)}), 3)

            # Copy password from the list's menu: on the clipboard with the hint for clipboard
            # managers, and erased again by the timer.
            self.copy_from_list_menu(session, app, window, 0)
            copied_at = time.monotonic()
            self.wait_clipboard(session, passwords["Example"], "the password on the clipboard")
            targets = session.run(["xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"])
            self.assertIn(PASSWORD_HINT, targets.stdout.decode().split())
            self.timings["erased after list copy"] = self.wait_erased(session, copied_at)

            # Other text put on the clipboard after a copy is left alone by the timer ...
            self.copy_from_list_menu(session, app, window, 2)
            self.wait_clipboard(session, passwords["&"], "the password on the clipboard")
            session.set_clipboard("some other text")
            time.sleep(ONE_TICK_S)
            self.assertEqual(session.clipboard(), "some other text")
            # ... and the timer, still running, erases the password once it is back.
            self.copy_from_list_menu(session, app, window, 2)
            self.wait_clipboard(session, passwords["&"], "the password on the clipboard again")
            self.timings["erased after copy again"] = self.wait_erased(session, time.monotonic())

            # Go to Web Page with "Copy password to clipboard" ticked: the handler gets the
            # address while the clipboard holds the password.
            session.click(window, *MainWindow.OPTIONS_BUTTON)
            session.wait_until_settled(window)
            session.click(window, *MainWindow.page(*COPY_PASSWORDS_BOX))
            harness.wait_until(
                lambda: read_settings(session.settings_file).get("CopyToClipboard") == "1",
                what="CopyToClipboard=1 in the settings file")
            session.click(window, *MainWindow.PASSWORDS_BUTTON)
            session.wait_until_settled(window)
            session.click(window, *row_point(0))
            session.click(window, *MainWindow.TOOL_BUTTONS["Go to Web Page"])
            started = time.monotonic()
            opened = harness.wait_until(session.web_recordings, what="the web handler to be called")
            self.timings["web handler called after"] = time.monotonic() - started
            self.assertEqual(len(opened), 1)
            self.assertEqual(opened[0]["arguments"], ["https://example.com"])
            self.assertTrue(opened[0]["clipboard"] == sha256(passwords["Example"]),
                            "the clipboard did not hold the password when the address opened")
            self.expect_no_dialog(session, app, window)
            self.wait_erased(session, started)

            # The tray menu lists the entries; choosing one copies its password.
            session.set_clipboard("before the tray")
            icon = session.tray_icon(app.pid)
            _, _, width, height = session.geometry(icon)
            before = session.find_windows(pid=app.pid)
            session.click(icon, width // 2, height // 2, button=3)
            menu = session.wait_for_popup(app.pid, before, "the tray menu")
            session.park_pointer()
            session.wait_until_settled(menu)
            session.screenshot("tray-menu.png", menu, frame=False)
            session.key("Down", "Return")  # the first item: Example
            session.wait_window_gone(menu)
            self.wait_clipboard(session, passwords["Example"], "the tray item's password")
            self.timings["erased after tray copy"] = self.wait_erased(session, time.monotonic())

            # Minimised, the window waits in the tray; a double-click on the icon brings it.
            session.minimize(window)
            harness.wait_until(lambda: not session.is_visible(window),
                               what="the minimised window to go away")
            session.click(icon, width // 2, height // 2, count=2)
            harness.wait_until(lambda: session.is_visible(window),
                               what="the window to come back")
            self.assertEqual(rows_with_text(self.settled_capture(session, window)), 3)

            # The open editor blocks Lock; after Cancel, Lock works.
            editor = self.open_editor(session, app, window, by_shortcut=True)
            window_x, window_y, _, _ = session.geometry(window)
            lock_point = (window_x + MainWindow.TOOL_BUTTONS["Lock"][0],
                          window_y + MainWindow.TOOL_BUTTONS["Lock"][1])
            if inside(lock_point, session.geometry(editor), margin=40):
                session.xdotool("windowmove", "--sync", str(editor), "700", "600")
            session.click(window, *MainWindow.TOOL_BUTTONS["Lock"])
            session.wait_until_settled(editor)
            self.assertTrue(session.is_visible(editor))
            session.activate(editor)
            session.key("Escape")
            session.wait_window_gone(editor)
            self.expect_no_dialog(session, app, window)
            # A lock would have emptied the list and covered it with the unlock panel. (Pixels
            # may differ: the list gets the keyboard focus back and draws its focus frame.)
            self.assertEqual(rows_with_text(self.settled_capture(session, window)), 3,
                             "the list changed while the editor was open")
            session.click(window, *MainWindow.TOOL_BUTTONS["Lock"])
            session.wait_until_settled(window)
            session.click(window, *MainWindow.TOOL_BUTTONS["New Password"])
            box = session.wait_for_dialog("Information", pid=app.pid)
            self.assertEqual(session.dialog_text(box), UNLOCK_FIRST)
            session.dismiss_dialog(box)
            session.activate(window)
            session.type_text(MASTER)
            session.key("Return")
            self.expect_no_dialog(session, app, window)
            self.assertEqual(rows_with_text(self.settled_capture(session, window)), 3)

            # Renaming "&" to "Example": its row then draws exactly as the first one.
            session.click(window, *row_point(2))
            session.click(window, *MainWindow.TOOL_BUTTONS["Edit"])
            editor = session.wait_for_window("Edit Password", pid=app.pid)
            session.activate(editor)
            session.key("ctrl+a")
            session.type_text("Example")
            session.key("Return")
            session.wait_window_gone(editor)
            session.wait_for_entries(MASTER, [("Example", "alice", "https://example.com"),
                                               ("-", "", ""), ("Example", "", "")])
            self.expect_no_dialog(session, app, window)
            session.click(window, *row_point(1))  # neither compared row selected
            renamed = self.settled_capture(session, window)
            session.screenshot("password-list-renamed.png", window)
            self.assertEqual(rows_with_text(renamed), 3)
            self.assertNotEqual(row_crop(renamed, 2), row_crop(listing, 2))
            self.assertEqual(row_crop(renamed, 2), row_crop(renamed, 0),
                             'the renamed row does not read "Example"')

            # Deleting the renamed row removes that entry, not its namesake.
            session.click(window, *row_point(2))
            session.click(window, *MainWindow.TOOL_BUTTONS["Delete"])
            box = session.wait_for_dialog("Confirm", pid=app.pid)
            self.assertEqual(session.dialog_text(box),
                             'Are you sure you want to delete the password entry "Example"?')
            session.dismiss_dialog(box)  # Return: Yes
            session.wait_for_entries(MASTER, [("Example", "alice", "https://example.com"),
                                               ("-", "", "")])
            self.expect_no_dialog(session, app, window)
            remaining = self.settled_capture(session, window)
            self.assertEqual(rows_with_text(remaining), 2)
            self.assertEqual(row_crop(remaining, 0), row_crop(renamed, 0))

            session.click(window, *MainWindow.TOOL_BUTTONS["Exit"])
            self.assertEqual(app.wait(), 0)
        print("timings: " + ", ".join(f"{name} {seconds:.1f} s"
                                      for name, seconds in self.timings.items()))


if __name__ == "__main__":
    harness.require_display_tools()
    ARGS, argv = harness.parse_arguments(__doc__)
    unittest.main(argv=argv, verbosity=2)
