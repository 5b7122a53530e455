#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The keyboard alone in a real window: unlocking, searching by typing and opening the entry
found, adding, editing, copying and deleting an entry by shortcuts, the Options page and back,
the side panel's focus frame, locking and exiting.

Passwords are random and live only in this process and the program; assertions never print
one.

Usage: test_keyboard.py --program CORVELLA --cli CORVELLA_CLI [unittest arguments]
"""
import os
import secrets
import shutil
import string
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import MainWindow  # noqa: E402

ARGS = None
MASTER = "correct horse"
ROW_HEIGHT = 18


def random_password():
    return "".join(secrets.choice(string.ascii_letters + string.digits) for _ in range(20))


def rows_with_text(picture):
    """How many rows of the list, from the top, show something right of the key."""
    left, top = MainWindow.page(1 + 19, MainWindow.LIST_TOP + 1)
    rows = 0
    while top + ROW_HEIGHT * (rows + 1) <= picture.height:
        row = picture.crop(left, top + ROW_HEIGHT * rows, 300, ROW_HEIGHT)
        if len({row.data[i:i + 3] for i in range(0, len(row.data), 3)}) == 1:
            break
        rows += 1
    return rows


class KeyboardTest(unittest.TestCase):

    def shown_rows(self, session, window):
        session.park_pointer()
        session.wait_until_settled(window)
        return rows_with_text(session.capture(window))

    def expect_no_dialog(self, session, app, window):
        session.wait_until_settled(window)
        self.assertEqual(session.find_dialogs(pid=app.pid), {})

    def test_the_whole_road_by_keyboard(self):
        self.assertIsNotNone(shutil.which("xdg-open"), "xdg-open missing (package xdg-utils)")
        vault = [
            {"siteName": "Caf\u00e9 Noir", "userName": "barista", "url": "https://noir.example",
             "password": random_password()},
            {"siteName": "GitHub", "userName": "octocat", "url": "https://github.com",
             "password": random_password()},
            {"siteName": "Cafe Blanc", "userName": "jdoe", "url": "https://blanc.example",
             "password": random_password()},
        ]
        added = random_password()
        start = [(e["siteName"], e["userName"], e["url"]) for e in vault]
        with harness.Session(ARGS.program, ARGS.cli) as session:
            session.write_password_file(MASTER, vault)
            session.install_web_recorder()
            app, window = session.launch()
            session.activate(window)
            session.type_text(MASTER)
            session.key("Return")
            self.expect_no_dialog(session, app, window)
            self.assertEqual(self.shown_rows(session, window), 3)

            # The focus waits in the search field: typing filters, accents aside; Down moves
            # in the list and Return opens the entry's page.
            session.type_text("cafe")
            self.assertEqual(self.shown_rows(session, window), 2)
            session.screenshot("search.png", window)
            session.key("Down", "Return")
            opened = harness.wait_until(session.web_recordings, what="the web handler")
            self.assertEqual([call["arguments"] for call in opened], [["https://blanc.example"]])
            # Escape clears the search.
            session.activate(window)
            session.key("Escape")
            self.assertEqual(self.shown_rows(session, window), 3)

            # A new entry by Ctrl+N, found again and edited by F2.
            session.key("ctrl+n")
            editor = session.wait_for_window("Add New Password", pid=app.pid)
            session.activate(editor)
            for text in ("Keyboard Site", "kuser", "https://kb.example"):
                session.type_text(text)
                session.key("Tab")
            session.type_text(added)
            session.key("Return")
            session.wait_window_gone(editor)
            session.wait_for_entries(
                MASTER, start + [("Keyboard Site", "kuser", "https://kb.example")])
            session.activate(window)
            session.key("ctrl+f")
            session.type_text("keyboard")
            self.assertEqual(self.shown_rows(session, window), 1)
            session.key("F2")
            editor = session.wait_for_window("Edit Password", pid=app.pid)
            session.activate(editor)
            session.key("Tab", "ctrl+a")
            session.type_text("kuser2")
            session.key("Return")
            session.wait_window_gone(editor)
            session.wait_for_entries(
                MASTER, start + [("Keyboard Site", "kuser2", "https://kb.example")])

            # Ctrl+C on the row copies its password.
            session.activate(window)
            session.key("Down", "Escape")
            self.assertEqual(self.shown_rows(session, window), 4)
            session.key("ctrl+c")
            harness.wait_until(lambda: session.clipboard() == added,
                               what="the password on the clipboard")

            # Options and back; Shift+Tab from the page reaches the side panel.
            session.key("ctrl+2")
            session.wait_until_settled(window)
            session.key("shift+Tab")
            session.park_pointer()
            session.wait_until_settled(window)
            session.screenshot("side-panel-focus.png", window)
            session.key("ctrl+1")
            self.assertEqual(self.shown_rows(session, window), 4)

            # Delete asks first; Return answers Yes.
            session.key("Delete")
            box = session.wait_for_dialog("Confirm", pid=app.pid)
            self.assertEqual(session.dialog_text(box),
                             'Are you sure you want to delete the password entry "Keyboard Site"?')
            session.dismiss_dialog(box)
            session.wait_for_entries(MASTER, start)
            self.expect_no_dialog(session, app, window)

            # Locked, Ctrl+N asks for the unlock, the other commands' keys do nothing and
            # Ctrl+Q still exits.
            session.activate(window)
            session.key("ctrl+l")
            session.wait_until_settled(window)
            session.key("ctrl+n")
            box = session.wait_for_dialog("Information", pid=app.pid)
            self.assertEqual(session.dialog_text(box),
                             "Please unlock the program first by entering the master password")
            session.dismiss_dialog(box)
            session.key("ctrl+e", "Delete")
            self.expect_no_dialog(session, app, window)
            self.assertEqual(session.find_windows("Add New Password", pid=app.pid), [])
            self.assertEqual(session.find_windows("Edit Password", pid=app.pid), [])
            session.screenshot("locked-by-keyboard.png", window)
            session.key("ctrl+q")
            self.assertEqual(app.wait(), 0)


if __name__ == "__main__":
    harness.require_display_tools()
    ARGS, argv = harness.parse_arguments(__doc__)
    unittest.main(argv=argv, verbosity=2)
