#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The program on a Wayland compositor with the data-control protocol (headless sway, swaybar as
the tray host), used while another program has the focus: a copied password is erased in the
background, someone else's text is left alone, the tray copies and brings the window back, a
second start focuses the first copy, and dialogs appear over the main window.

Usage: test_wayland_sway.py --program CORVELLA --cli CORVELLA_CLI [unittest arguments]
(CORVELLA_ACTIVATION_LAUNCHER names the tool that starts a program with an activation token)
"""
import os
import sys
import tempfile
import time
import unittest
from unittest import mock

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import wayland  # noqa: E402
from harness import MAIN_TITLE, wait_until  # noqa: E402

ARGS = None
MASTER = "correct horse"
VAULT = [
    {"siteName": "Mail", "userName": "alice", "url": "https://mail.example",
     "password": "S3cret-Mail!"},
    {"siteName": "Bank", "userName": "bob", "url": "https://bank.example",
     "password": "Bank-Pa55 \u00e9"},
]
SECRET_HINT = "x-kde-passwordManagerHint"
# Erased 10 s after the copy; generous for a loaded machine, and never a judgement of speed.
ERASED_WITHIN = 30


class SwayTest(unittest.TestCase):

    def open_vault(self, session):
        session.write_password_file(MASTER, VAULT)
        app, window = session.launch()
        session.type_text(MASTER)
        session.key("Return")
        session.wait_for_focus(MAIN_TITLE, pid=app.pid)
        session._settle()
        return app, window

    def wait_until_erased(self, session, password, copied_at):
        wait_until(lambda: session.clipboard() != password, ERASED_WITHIN,
                   "the password to be erased")
        print(f"erased about {time.monotonic() - copied_at:.1f} s after the copy")
        self.assertIn(session.clipboard(), ("", None))

    def test_clipboard_in_the_background(self):
        with wayland.SwaySession(ARGS.program, ARGS.cli) as session:
            app, window = self.open_vault(session)

            # The row menu by keyboard: first match, into the list, menu, its second item.
            session.key("Down")
            session.key("Tab")
            session.key("shift+F10")
            session.key("Down")
            session.key("Down")
            session.key("Return")
            password = VAULT[0]["password"]
            wait_until(lambda: session.clipboard() == password, what="the copied password")
            copied_at = time.monotonic()
            self.assertIn(SECRET_HINT, session.clipboard_types())
            self.assertIn("text/plain;charset=utf-8", session.clipboard_types())
            other = session.start_other_client()
            self.wait_until_erased(session, password, copied_at)
            self.assertEqual(session.focused_window()["pid"], other["pid"])

            # From the tray menu while the other program keeps the focus.
            password = VAULT[1]["password"]
            session.tray_menu_click("Bank")
            wait_until(lambda: session.clipboard() == password, what="the tray's copy")
            copied_at = time.monotonic()
            self.assertEqual(session.focused_window()["pid"], other["pid"])
            self.wait_until_erased(session, password, copied_at)

            # Text that another program copied after ours stays.
            session.tray_menu_click("Mail")
            wait_until(lambda: session.clipboard() == VAULT[0]["password"],
                       what="the tray's copy")
            session.set_clipboard("someone else's text")
            copied_at = time.monotonic()
            wait_until(lambda: time.monotonic() - copied_at > 12, what="12 s to pass")
            self.assertEqual(session.clipboard(), "someone else's text")
            session.screenshot("wayland-sway-clipboard.png")

    def test_window_comes_to_the_front(self):
        launcher = os.environ.get("CORVELLA_ACTIVATION_LAUNCHER")
        pointer = os.environ.get("CORVELLA_POINTER_CLICK")
        self.assertTrue(launcher, "CORVELLA_ACTIVATION_LAUNCHER is not set")
        self.assertTrue(pointer, "CORVELLA_POINTER_CLICK is not set")
        with wayland.SwaySession(ARGS.program, ARGS.cli, tools=[launcher],
                                 pointer=pointer) as session:
            launcher = session.extra_tools[0]
            app, window = self.open_vault(session)

            # A second start from a launcher that gives it a token focuses the first copy.
            other = session.start_other_client()
            second = session.start("corvella-second", [launcher, session.program])
            self.assertEqual(second.wait(), 0)
            session.wait_for_focus(MAIN_TITLE, pid=app.pid)
            self.assertEqual(len(session.find_windows(MAIN_TITLE)), 1)

            # swaybar's tray icon: a click, and a right click, for which swaybar asks for a menu
            # that it does not show.
            for button in ("left", "right"):
                session.focus(other)
                wait_until(lambda: session.focused_window()["pid"] == other["pid"],
                           what="the other program to have the focus")
                session.click(*wayland.TRAY_ICON, button)
                session.wait_for_focus(MAIN_TITLE, pid=app.pid)

            # Dialogs float over the main window at their own size.
            main = session.find_windows(MAIN_TITLE, pid=app.pid)[0]["rect"]
            session.key("ctrl+n")
            editor = session.wait_for_focus("Add New Password", pid=app.pid)
            session.screenshot("wayland-sway-editor.png")
            self.assert_over(editor, main)
            session.key("Escape")
            session.wait_for_focus(MAIN_TITLE, pid=app.pid)
            session.key("Down")
            session.key("Tab")
            session.key("Delete")
            question = session.wait_for_focus("Confirm", pid=app.pid)
            session.screenshot("wayland-sway-question.png")
            self.assert_over(question, main)
            session.key("Escape")
            session.wait_for_focus(MAIN_TITLE, pid=app.pid)

    def test_failure_leaves_a_screenshot(self):
        with tempfile.TemporaryDirectory() as folder:
            with mock.patch.dict(os.environ, {"CORVELLA_GUI_OUTPUT_DIR": folder}), \
                    self.assertRaises(harness.HarnessError):
                with wayland.SwaySession(ARGS.program, ARGS.cli):
                    raise harness.HarnessError("a failing step")
            shots = [name for name in os.listdir(folder) if name.startswith("failure-")]
            self.assertEqual(len(shots), 1, shots)
            with open(os.path.join(folder, shots[0]), "rb") as picture:
                self.assertEqual(picture.read(8), b"\x89PNG\r\n\x1a\n")

    def assert_over(self, dialog, main):
        self.assertTrue(dialog["floating"], dialog)
        x, y, width, height = dialog["rect"]
        left, top, main_width, main_height = main
        centre = (x + width // 2, y + height // 2)
        self.assertTrue(left <= centre[0] <= left + main_width and
                        top <= centre[1] <= top + main_height, f"{dialog} not over {main}")
        self.assertLess(width, main_width)
        self.assertLess(height, main_height)


if __name__ == "__main__":
    ARGS, argv = harness.parse_arguments(__doc__)
    unittest.main(argv=argv, verbosity=2)
