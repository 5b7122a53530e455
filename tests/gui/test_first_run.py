#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The first start in a real window: creating the master password, locking, unlocking, the
options and their return after a restart; and a password file made by corvella-cli opened in
the window.

Usage: test_first_run.py --program CORVELLA --cli CORVELLA_CLI [unittest arguments]
"""
import configparser
import os
import secrets
import string
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import MainWindow  # noqa: E402

ARGS = None
HORSE = "correct horse"
TOO_SHORT = ("The password you entered is too short. Please enter a password that is at least 6 "
             "characters long")
MISMATCH = "The passwords you enter don't match. Please enter the password again."
INVALID = "Invalid master password"

# Page-area rectangles (left, top, width, height) of the options that the test reads back from
# the screen: the LockProgram box's tick square and the inside of the TimeBox with its number.
LOCK_BOX_SQUARE = (15, 88, 16, 18)
TIME_BOX_TEXT = (158, 90, 26, 13)


def read_settings(path):
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(path, encoding="utf-8")
    return dict(parser["General"]) if parser.has_section("General") else {}


def page_crop(picture, rect):
    x, y = MainWindow.page(rect[0], rect[1])
    return picture.crop(x, y, rect[2], rect[3])


def core_file_limits(pid):
    """The soft and hard limit of the core file size of a process, as /proc shows them."""
    with open(f"/proc/{pid}/limits") as limits:
        for line in limits:
            if line.startswith("Max core file size"):
                return tuple(line.split()[4:6])
    raise AssertionError(f"no core file limit for pid {pid}")


def random_password():
    return "".join(secrets.choice(string.ascii_letters + string.digits) for _ in range(16))


class FirstRunTest(unittest.TestCase):

    def enter_twice(self, session, text):
        session.type_text(text)
        session.key("Tab")
        session.type_text(text)
        session.key("Return")

    def expect_error(self, session, app, text):
        """An "Error" box of the program with this text; Return closes it."""
        box = session.wait_for_dialog("Error", pid=app.pid)
        self.assertEqual(session.dialog_text(box), text)
        session.dismiss_dialog(box)

    def expect_no_dialog(self, session, app, window):
        session.wait_until_settled(window)
        self.assertEqual(session.find_dialogs(pid=app.pid), {})

    def wait_for_setting(self, session, name, value):
        harness.wait_until(lambda: read_settings(session.settings_file).get(name) == value,
                           what=f"{name}={value} in the settings file")

    def show_options(self, session, window):
        session.click(window, *MainWindow.OPTIONS_BUTTON)
        session.park_pointer()
        session.wait_until_settled(window)
        return session.capture(window)

    def exit_by_tool_button(self, session, app, window):
        session.click(window, *MainWindow.TOOL_BUTTONS["Exit"])
        self.assertEqual(app.wait(), 0)

    def test_create_lock_unlock_and_options_after_restart(self):
        with harness.Session(ARGS.program, ARGS.cli) as session:
            app, window = session.launch()
            self.assertFalse(os.path.exists(session.password_file))
            session.park_pointer()
            session.wait_until_settled(window)
            session.screenshot("creation-panel.png", window)

            # Refusals empty both fields and leave the focus in the first.
            session.activate(window)
            session.type_text("short")
            session.key("Tab")
            session.type_text("shore")
            session.key("Return")
            self.expect_error(session, app, MISMATCH)
            self.enter_twice(session, "short")
            self.expect_error(session, app, TOO_SHORT)
            self.assertFalse(os.path.exists(session.password_file))

            self.enter_twice(session, HORSE)
            harness.wait_until(lambda: os.path.exists(session.password_file),
                               what="the password file")
            self.expect_no_dialog(session, app, window)
            self.assertEqual(self.rows_with_text(session.capture(window)), 0)  # panel gone
            self.assertEqual(harness.file_mode(session.password_file), 0o600)
            self.assertEqual(os.path.getsize(session.password_file), 3)  # the marker alone
            # While the program has the file open, no other program may.
            refused = session.run_cli("list", "--file", session.password_file,
                                      "--password-stdin", password=HORSE, check=False)
            self.assertEqual(refused.returncode, 1)
            self.assertIn(f"The password file {session.password_file} is open in another "
                          "program".encode(), refused.stderr)

            session.click(window, *MainWindow.TOOL_BUTTONS["Lock"])
            session.park_pointer()
            session.wait_until_settled(window)
            session.screenshot("unlock-panel.png", window)
            # Locked, it has let go of the file.
            listed = session.run_cli("list", "--file", session.password_file,
                                     "--password-stdin", password=HORSE)
            self.assertEqual(listed.stdout, b"")
            session.type_text("wrong horse")
            session.key("Return")
            self.expect_error(session, app, INVALID)
            session.type_text(HORSE)
            session.key("Return")
            self.expect_no_dialog(session, app, window)

            # The options page answers only when the panel is gone, i.e. unlocked. A first
            # start wrote "0" for both flags.
            self.assertEqual(read_settings(session.settings_file),
                             {"CopyToClipboard": "0", "LockProgram": "0"})
            before = self.show_options(session, window)
            x, y, _, height = LOCK_BOX_SQUARE
            session.click(window, *MainWindow.page(x + 8, y + height // 2))
            self.wait_for_setting(session, "LockProgram", "1")
            x, y, width, height = TIME_BOX_TEXT
            session.click(window, *MainWindow.page(x + width // 2, y + height // 2))
            session.wait_until_settled(window)  # the list is open
            session.key("Home", "Return")
            self.wait_for_setting(session, "LockTime", "1")
            session.park_pointer()
            session.wait_until_settled(window)
            chosen = session.capture(window)
            session.screenshot("options-page.png", window)
            self.assertNotEqual(page_crop(before, LOCK_BOX_SQUARE),
                                page_crop(chosen, LOCK_BOX_SQUARE))
            self.assertNotEqual(page_crop(before, TIME_BOX_TEXT), page_crop(chosen, TIME_BOX_TEXT))
            self.assertEqual(read_settings(session.settings_file),
                             {"CopyToClipboard": "0", "LockProgram": "1", "LockTime": "1"})
            with open(session.settings_file, "rb") as settings:
                stored = settings.read()
            self.exit_by_tool_button(session, app, window)

            app, window = session.launch()
            # The program about to hold the passwords never writes a core file, in any build.
            self.assertEqual(core_file_limits(app.pid), ("0", "0"))
            session.activate(window)
            session.type_text(HORSE)
            session.key("Return")
            self.expect_no_dialog(session, app, window)
            restarted = self.show_options(session, window)
            session.screenshot("options-after-restart.png", window)
            self.assertEqual(page_crop(restarted, LOCK_BOX_SQUARE),
                             page_crop(chosen, LOCK_BOX_SQUARE), "LockProgram box not ticked")
            self.assertEqual(page_crop(restarted, TIME_BOX_TEXT), page_crop(chosen, TIME_BOX_TEXT),
                             'TimeBox does not show "1"')
            with open(session.settings_file, "rb") as settings:
                self.assertEqual(settings.read(), stored)
            session.close_window(window)  # the window manager's close, Alt+F4
            self.assertEqual(app.wait(), 0)

    def test_unlock_lists_the_entries_of_a_file_made_by_the_cli(self):
        sites = ["Bank of Example", "Café Zürich", "GitHub", "Library", "Mail", "Travel agency"]
        entries = [{"siteName": site, "url": f"https://{site.split()[0].lower()}.example.org/",
                    "userName": "alice", "password": random_password()} for site in sites]
        with harness.Session(ARGS.program, ARGS.cli) as session:
            session.write_password_file(HORSE, entries)
            app, window = session.launch()
            # The program about to hold the passwords never writes a core file, in any build.
            self.assertEqual(core_file_limits(app.pid), ("0", "0"))
            session.activate(window)
            session.type_text(HORSE)
            session.key("Return")
            self.expect_no_dialog(session, app, window)
            session.park_pointer()
            session.wait_until_settled(window)
            picture = session.capture(window)
            session.screenshot("password-list.png", window)
            self.assertEqual(self.rows_with_text(picture), len(sites))
            self.exit_by_tool_button(session, app, window)

    @staticmethod
    def rows_with_text(picture):
        """How many 18-pixel rows of the list, from the top, show text right of the key."""
        left, top = MainWindow.page(1 + 19, MainWindow.LIST_TOP + 1)
        rows = 0
        while top + 18 * (rows + 1) <= picture.height:
            row = picture.crop(left, top + 18 * rows, 300, 18)
            if not row.dark_points():
                break
            rows += 1
        return rows


if __name__ == "__main__":
    harness.require_display_tools()
    ARGS, argv = harness.parse_arguments(__doc__)
    unittest.main(argv=argv, verbosity=2)
